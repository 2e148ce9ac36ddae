// SPDX-License-Identifier: MIT
// Converting 64 MiB of Chinese text between GBK and UTF-8, and UTF-8 text
// under a UTF-8 local codec, beside the iconv command on the same bytes
// (stdout to /dev/null) and Qt's codecs in one whole pass.

#include <CKrCommon.h>

#include <QTemporaryDir>
#include <QTextCodec>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t textSize = 64u << 20;

// Mostly GB2312 characters, with full-width commas, short ASCII words and
// line breaks, as in survey reports and file lists.
std::string makeGbkText()
{
    std::string text;
    text.reserve(textSize + 8);
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    static const char *const words[] = {"abc ", "2024 ", "Z3 ", "tif "};
    while (text.size() < textSize) {
        const std::uint32_t r = next() % 100;
        if (r < 80) {
            text += char(0xB0 + next() % 39); // 0xB0..0xD6: level-1 hanzi rows
            text += char(0xA1 + next() % 94);
        } else if (r < 85) {
            text += "\xA3\xAC";
        } else if (r < 97) {
            text += words[next() % 4];
        } else {
            text += '\n';
        }
    }
    return text;
}

struct Texts {
    QTemporaryDir dir;
    std::string gbk = makeGbkText();
    std::string utf8 = QTextCodec::codecForName("GBK")->toUnicode(gbk.data(), int(gbk.size())).toUtf8().toStdString();
    std::string gbkPath = dir.filePath(QStringLiteral("text.gbk")).toStdString();
    std::string utf8Path = dir.filePath(QStringLiteral("text.utf8")).toStdString();

    Texts()
    {
        std::ofstream(gbkPath, std::ios::binary).write(gbk.data(), std::streamsize(gbk.size()));
        std::ofstream(utf8Path, std::ios::binary).write(utf8.data(), std::streamsize(utf8.size()));
    }
};

const Texts &texts()
{
    static const Texts instance;
    return instance;
}

void setLocalCodec(const char *name)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
}

// Runs `iconv -f from -t to path` with its output going to /dev/null; adds
// the child's CPU time to `cpuSeconds`.
bool runIconv(const char *from, const char *to, const std::string &path, double &cpuSeconds)
{
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0)
            _exit(127);
        execlp("iconv", "iconv", "-f", from, "-t", to, path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    cpuSeconds += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_Iconv(benchmark::State &state, const char *from, const char *to, bool gbkInput)
{
    const std::string &path = gbkInput ? texts().gbkPath : texts().utf8Path;
    double cpuSeconds = 0;
    for (auto _ : state) {
        if (!runIconv(from, to, path, cpuSeconds)) {
            state.SkipWithError("the iconv command failed");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(gbkInput ? texts().gbk.size() : texts().utf8.size()));
    // The child's own CPU time per run: the figure to set beside the others' CPU column.
    state.counters["child_cpu_ms"] = cpuSeconds * 1000 / double(state.iterations());
}

// convertToU8 (toUtf8) or convertToMB of the GBK or the UTF-8 text.
void BM_Library(benchmark::State &state, const char *codec, bool toUtf8, bool gbkInput)
{
    setLocalCodec(codec);
    const std::string &input = gbkInput ? texts().gbk : texts().utf8;
    CKrCommon &common = CKrCommon::GetSingleTon();
    for (auto _ : state) {
        std::string out = toUtf8 ? common.convertToU8(input) : common.convertToMB(input);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(input.size()));
}

// Qt's codecs on the whole text: toUnicode, then toUtf8 (or fromUnicode).
void BM_QtWholePass(benchmark::State &state, const char *codec, bool toUtf8, bool gbkInput)
{
    QTextCodec *local = QTextCodec::codecForName(codec);
    const std::string &input = gbkInput ? texts().gbk : texts().utf8;
    for (auto _ : state) {
        if (toUtf8) {
            QByteArray out = local->toUnicode(input.data(), int(input.size())).toUtf8();
            benchmark::DoNotOptimize(out.data());
        } else {
            QByteArray out = local->fromUnicode(QString::fromUtf8(input.data(), int(input.size())));
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(input.size()));
}

BENCHMARK_CAPTURE(BM_Iconv, gbk_to_utf8, "GBK", "UTF-8", true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Library, gbk_to_utf8_convertToU8, "GBK", true, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_QtWholePass, gbk_to_utf8, "GBK", true, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

BENCHMARK_CAPTURE(BM_Iconv, utf8_to_gbk, "UTF-8", "GBK", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Library, utf8_to_gbk_convertToMB, "GBK", false, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_QtWholePass, utf8_to_gbk, "GBK", false, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

BENCHMARK_CAPTURE(BM_Iconv, utf8_to_utf8, "UTF-8", "UTF-8", false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Library, utf8_local_convertToU8, "UTF-8", true, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Library, utf8_local_convertToMB, "UTF-8", false, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_QtWholePass, utf8_local_to_utf8, "UTF-8", true, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

} // namespace
