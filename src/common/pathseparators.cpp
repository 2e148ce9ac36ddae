// SPDX-License-Identifier: MIT
#include "common/pathseparators.h"

#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace krcommon {

// Which bytes of a codec open a two-byte character that may end in "\", and
// which bytes complete a character after such a lead byte.
struct CodecBytes {
    const QTextCodec *codec = nullptr;
    bool multibyte = false;
    std::array<bool, 256> lead{};
    std::array<bool, 256> trail{};
};

namespace {

// NOTE: the classes are read from the codec itself, so the walk agrees with
// what QString::fromLocal8Bit makes of the text, for any code page: a byte
// is a lead byte when the codec reads it and a following "\" as one
// character. A byte that does not complete a character after a lead byte (a
// "/" after a cut-off character) stands for itself.
std::unique_ptr<CodecBytes> classify(const QTextCodec *codec)
{
    auto bytes = std::make_unique<CodecBytes>();
    bytes->codec = codec;
    const QString backslash = codec->toUnicode("\\", 1);
    int probe = 0;
    for (int b = 0x80; b < 0x100; ++b) {
        const char pair[] = {char(b), '\\'};
        bytes->lead[std::size_t(b)] = !codec->toUnicode(pair, 2).endsWith(backslash);
        if (bytes->lead[std::size_t(b)] && probe == 0)
            probe = b;
    }
    bytes->multibyte = probe != 0;
    for (int t = 0; bytes->multibyte && t < 0x100; ++t) {
        const char pair[] = {char(probe), char(t)};
        bool trail = codec->toUnicode(pair, 2).toUcs4().size() == 1;
        // Qt's own codecs (no ICU) take an ASCII byte after a lead byte into
        // one U+FFFD even where no pair has it as its second byte.
        if (trail && t < 0x80) {
            trail = false;
            for (int lead = probe; !trail && lead < 0x100; ++lead) {
                const char other[] = {char(lead), char(t)};
                QTextCodec::ConverterState state;
                if (bytes->lead[std::size_t(lead)])
                    codec->toUnicode(other, 2, &state);
                trail = bytes->lead[std::size_t(lead)] && state.invalidChars == 0;
            }
        }
        bytes->trail[std::size_t(t)] = trail;
    }
    return bytes;
}

// One classification per codec a host ever sets, made on first use and kept.
const CodecBytes &bytesOf(const QTextCodec *codec)
{
    static std::atomic<const CodecBytes *> recent{nullptr};
    const CodecBytes *bytes = recent.load(std::memory_order_acquire);
    if (bytes && bytes->codec == codec)
        return *bytes;
    static std::mutex lock;
    static std::vector<std::unique_ptr<CodecBytes>> known;
    const std::lock_guard<std::mutex> guard(lock);
    const CodecBytes *found = nullptr;
    for (const auto &entry : known) {
        if (entry->codec == codec)
            found = entry.get();
    }
    if (!found) {
        known.push_back(classify(codec));
        found = known.back().get();
    }
    recent.store(found, std::memory_order_release);
    return *found;
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

} // namespace

PathSeparators::PathSeparators()
{
    const CodecBytes &bytes = bytesOf(QTextCodec::codecForLocale());
    m_bytes = bytes.multibyte ? &bytes : nullptr;
}

std::size_t PathSeparators::next(std::string_view text, std::size_t from) const
{
    if (!m_bytes) {
        // Two byte searches beat find_first_of, which tests every byte
        // against the set: many times faster on long paths.
        const std::size_t slash = text.find('/', from);
        return std::min(slash, text.substr(0, slash).find('\\', from));
    }
    const std::size_t size = text.size();
    for (std::size_t i = from; i < size; ++i) {
        if (isSeparator(text[i]))
            return i;
        if (m_bytes->lead[static_cast<unsigned char>(text[i])] && i + 1 < size &&
            m_bytes->trail[static_cast<unsigned char>(text[i + 1])])
            ++i;
    }
    return std::string_view::npos;
}

std::size_t PathSeparators::last(std::string_view text, std::string_view which) const
{
    if (!m_bytes) {
        std::size_t found = std::string_view::npos;
        for (const char separator : which) {
            const std::size_t from = found == std::string_view::npos ? 0 : found + 1;
            const std::size_t at = text.substr(from).rfind(separator);
            found = at == std::string_view::npos ? found : from + at;
        }
        return found;
    }
    std::size_t found = std::string_view::npos;
    for (std::size_t at = next(text); at != std::string_view::npos; at = next(text, at + 1)) {
        if (which.find(text[at]) != std::string_view::npos)
            found = at;
    }
    return found;
}

} // namespace krcommon
