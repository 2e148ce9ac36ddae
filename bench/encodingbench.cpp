// SPDX-License-Identifier: MIT
// Conversions between the local code page and UTF-8 beside their peers in the
// same process. Names follow <job>/krcommon and <job>/peer:<name>:
//   paths_*   100,000 file paths of about 60 bytes, one call each
//   buffer_*  one 64 MiB text of Chinese survey reports
// with GBK or UTF-8 as the local codec. Peers: glibc's iconv() and ICU's
// ucnv_convertEx() with descriptors kept across calls (cached) or opened for
// each one (per_call), Qt's fromLocal8Bit/toLocal8Bit and its codec in one
// whole pass. Every peer's output is checked against KrCommon's.

#include <CKrCommon.h>

#include <QString>
#include <QTextCodec>

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t bufferSize = 64u << 20;

std::uint32_t nextRandom(std::uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// A GB2312 hanzi from the level-1 rows.
void addHanzi(std::string &text, std::uint32_t &state)
{
    text += char(0xB0 + nextRandom(state) % 39);
    text += char(0xA1 + nextRandom(state) % 94);
}

// Mostly hanzi, with full-width commas, short ASCII words and line breaks.
std::string makeGbkText()
{
    std::string text;
    text.reserve(bufferSize + 8);
    std::uint32_t state = 12345;
    static const char *const words[] = {"abc ", "2024 ", "Z3 ", "tif "};
    while (text.size() < bufferSize) {
        const std::uint32_t r = nextRandom(state) % 100;
        if (r < 80)
            addHanzi(text, state);
        else if (r < 85)
            text += "\xA3\xAC";
        else if (r < 97)
            text += words[nextRandom(state) % 4];
        else
            text += '\n';
    }
    return text;
}

// Paths such as D:\<hanzi>\2024\<hanzi>\DOM_0012345.tif, about 60 bytes.
std::vector<std::string> makeGbkPaths()
{
    std::vector<std::string> paths;
    std::uint32_t state = 54321;
    for (int i = 0; i < 100000; ++i) {
        std::string path = "D:\\";
        for (int level = 0; level < 3; ++level) {
            for (std::uint32_t n = 2 + nextRandom(state) % 5; n > 0; --n)
                addHanzi(path, state);
            path += level == 1 ? "\\2024_" : "\\";
        }
        path += "DOM_" + std::to_string(nextRandom(state) % 10000000) + ".tif";
        paths.push_back(path);
    }
    return paths;
}

std::string toUtf8(const std::string &gbk)
{
    return QTextCodec::codecForName("GBK")->toUnicode(gbk.data(), int(gbk.size())).toUtf8().toStdString();
}

struct Texts {
    std::string gbk = makeGbkText();
    std::string utf8 = toUtf8(gbk);
    std::vector<std::string> gbkPaths = makeGbkPaths();
    std::vector<std::string> utf8Paths;

    Texts()
    {
        for (const std::string &path : gbkPaths)
            utf8Paths.push_back(toUtf8(path));
    }
};

const Texts &texts()
{
    static const Texts instance;
    return instance;
}

// One conversion, as each job's contestants do it.
using Convert = std::function<std::string(const std::string &)>;

std::string iconvString(iconv_t cd, const std::string &text)
{
    std::string out(text.size() * 3 + 4, '\0');
    char *in = const_cast<char *>(text.data());
    char *o = out.data();
    std::size_t inLeft = text.size(), outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &in, &inLeft, &o, &outLeft);
    out.resize(out.size() - outLeft);
    return out;
}

struct IconvPeer {
    iconv_t cd;
    IconvPeer(const char *from, const char *to)
        : cd(iconv_open(to, from))
    {}
    ~IconvPeer() { iconv_close(cd); }
    IconvPeer(const IconvPeer &) = delete;
    IconvPeer &operator=(const IconvPeer &) = delete;
};

std::string icuString(UConverter *to, UConverter *from, const std::string &text)
{
    std::string out(text.size() * 3 + 4, '\0');
    char *o = out.data();
    const char *in = text.data();
    UChar pivot[1024];
    UChar *pivotSource = pivot, *pivotTarget = pivot;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &o, out.data() + out.size(), &in, text.data() + text.size(), pivot, &pivotSource,
                   &pivotTarget, pivot + 1024, true, true, &error);
    out.resize(std::size_t(o - out.data()));
    return out;
}

struct IcuPeer {
    UConverter *to;
    UConverter *from;
    IcuPeer(const char *fromName, const char *toName)
    {
        UErrorCode error = U_ZERO_ERROR;
        from = ucnv_open(fromName, &error);
        to = ucnv_open(toName, &error);
        ucnv_setSubstChars(to, "?", 1, &error);
    }
    ~IcuPeer()
    {
        ucnv_close(to);
        ucnv_close(from);
    }
    IcuPeer(const IcuPeer &) = delete;
    IcuPeer &operator=(const IcuPeer &) = delete;
};

// The contestants of a job converting from `from` to `to` under the local codec `local`.
std::vector<std::pair<std::string, Convert>> contestants(const char *local, bool toUtf8Direction)
{
    const char *from = toUtf8Direction ? local : "UTF-8";
    const char *to = toUtf8Direction ? "UTF-8" : local;
    auto iconvCached = std::make_shared<IconvPeer>(from, to);
    auto icuCached = std::make_shared<IcuPeer>(from, to);
    QTextCodec *codec = QTextCodec::codecForName(local);
    std::vector<std::pair<std::string, Convert>> list{
        {"krcommon",
         [toUtf8Direction](const std::string &text) {
             CKrCommon &common = CKrCommon::GetSingleTon();
             return toUtf8Direction ? common.convertToU8(text) : common.convertToMB(text);
         }},
        {"peer:iconv_cached", [iconvCached](const std::string &text) { return iconvString(iconvCached->cd, text); }},
        {"peer:iconv_per_call",
         [from, to](const std::string &text) { return iconvString(IconvPeer(from, to).cd, text); }},
        {"peer:icu_cached",
         [icuCached](const std::string &text) { return icuString(icuCached->to, icuCached->from, text); }},
        {"peer:icu_per_call",
         [from, to](const std::string &text) {
             const IcuPeer peer(from, to);
             return icuString(peer.to, peer.from, text);
         }},
        {"peer:qt_local8bit",
         [toUtf8Direction](const std::string &text) {
             const int size = int(text.size());
             return toUtf8Direction ? QString::fromLocal8Bit(text.data(), size).toUtf8().toStdString()
                                    : QString::fromUtf8(text.data(), size).toLocal8Bit().toStdString();
         }},
        {"peer:qtextcodec",
         [codec, toUtf8Direction](const std::string &text) {
             const int size = int(text.size());
             return toUtf8Direction ? codec->toUnicode(text.data(), size).toUtf8().toStdString()
                                    : codec->fromUnicode(QString::fromUtf8(text.data(), size)).toStdString();
         }},
    };
    return list;
}

void run(benchmark::State &state, const Convert &convert, const std::vector<std::string> &inputs)
{
    std::size_t bytes = 0;
    for (const std::string &input : inputs)
        bytes += input.size();
    for (auto _ : state)
        for (const std::string &input : inputs) {
            std::string out = convert(input);
            benchmark::DoNotOptimize(out.data());
        }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

struct Job {
    const char *name;
    const char *local;
    bool toUtf8;
    bool paths;
    bool gbkInput;
};

void registerJobs()
{
    static const Job jobs[] = {
        {"paths_gbk_to_u8", "GBK", true, true, true},           {"paths_u8_to_gbk", "GBK", false, true, false},
        {"paths_utf8_local_to_u8", "UTF-8", true, true, false}, {"paths_u8_to_utf8_local", "UTF-8", false, true, false},
        {"buffer_gbk_to_u8", "GBK", true, false, true},         {"buffer_u8_to_gbk", "GBK", false, false, false},
        {"buffer_u8_to_u8", "UTF-8", true, false, false},
    };
    for (const Job &job : jobs)
        for (auto &[name, convert] : contestants(job.local, job.toUtf8)) {
            const Job j = job;
            const std::string full = std::string(job.name) + "/" + name;
            auto *b = benchmark::RegisterBenchmark(full.c_str(), [j, convert](benchmark::State &state) {
                static std::vector<std::string> buffers;
                const std::vector<std::string> *inputs = nullptr;
                if (j.paths)
                    inputs = j.gbkInput ? &texts().gbkPaths : &texts().utf8Paths;
                else {
                    buffers = {j.gbkInput ? texts().gbk : texts().utf8};
                    inputs = &buffers;
                }
                // The peer must give KrCommon's bytes.
                QTextCodec::setCodecForLocale(QTextCodec::codecForName(j.local));
                CKrCommon &common = CKrCommon::GetSingleTon();
                const std::string &sample = inputs->front();
                if (convert(sample) != (j.toUtf8 ? common.convertToU8(sample) : common.convertToMB(sample))) {
                    state.SkipWithError("the output differs from KrCommon's");
                    return;
                }
                run(state, convert, *inputs);
            });
            b->Unit(benchmark::kMillisecond)->UseRealTime();
            if (!job.paths)
                b->Iterations(5);
        }
}

const int registered = (registerJobs(), 0);

} // namespace
