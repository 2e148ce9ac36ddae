// SPDX-License-Identifier: MIT
// Conversions between the local code page and UTF-8.
#include "CKrCommon.h"

#include "platform/codepage.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

using krcommon::platform::Transcoder;

namespace {

// The length-limited conversions give results of at most this many bytes.
constexpr std::size_t maxLimitedBytes = 511;

// Empties a vector on the way out unless the conversion succeeded, so `out`
// is empty after any false result and after an exception.
class ClearUnlessKept
{
public:
    explicit ClearUnlessKept(std::vector<char> &out)
        : m_out(out)
    {}
    ~ClearUnlessKept()
    {
        if (!m_kept)
            m_out.clear();
    }
    ClearUnlessKept(const ClearUnlessKept &) = delete;
    ClearUnlessKept &operator=(const ClearUnlessKept &) = delete;

    bool keepIfFilled()
    {
        m_kept = !m_out.empty();
        return m_kept;
    }

private:
    std::vector<char> &m_out;
    bool m_kept = false;
};

// `length` bytes of `text`, or with -1 the text and its terminator.
bool convertBytes(Transcoder::Direction direction, std::vector<char> &out, const char *text, int length)
{
    if (!text || length == 0 || length < -1) {
        out.clear();
        return false;
    }
    const std::size_t size = length == -1 ? std::strlen(text) + 1 : std::size_t(length);

    ClearUnlessKept guard(out);
    std::optional<Transcoder> transcoder;
    try {
        transcoder.emplace(direction, std::min(size + 2, Transcoder::defaultChunk));
    } catch (const std::bad_alloc &) {
        return false; // no room for the UTF-16 scratch buffer
    }
    // NOTE: `text` may lie inside `out` (encoding_fuzzer checks it), so
    // `out` changes only once all of it has been read.
    std::vector<char> converted;
    transcoder->run(text, size, converted);
    out.swap(converted);
    // A conversion that gives nothing is a failed one.
    return guard.keepIfFilled();
}

// The text up to its first zero byte, converted. Text with a zero byte inside
// is outside the contract; reading it as a C string is the simple answer.
std::string convertString(Transcoder::Direction direction, std::string text)
{
    text.resize(std::strlen(text.c_str()));
    Transcoder(direction, std::min(text.size() + 2, Transcoder::defaultChunk)).runInPlace(text);
    return text;
}

std::size_t textLength(const std::vector<char> &bytes)
{
    if (bytes.empty())
        return 0;
    const void *zero = std::memchr(bytes.data(), '\0', bytes.size());
    return zero ? std::size_t(static_cast<const char *>(zero) - bytes.data()) : bytes.size();
}

} // namespace

bool CKrCommon::MBToUTF8(std::vector<char> &out, const char *text, int length)
{
    return convertBytes(Transcoder::Direction::LocalToUtf8, out, text, length);
}

bool CKrCommon::UTF8ToMB(std::vector<char> &out, const char *text, int length)
{
    return convertBytes(Transcoder::Direction::Utf8ToLocal, out, text, length);
}

std::string CKrCommon::fromUtf8(std::string text)
{
    // Longer than INT_MAX bytes cannot convert to under 512 bytes either.
    if (text.size() > std::size_t(INT_MAX))
        return {};
    std::vector<char> bytes;
    UTF8ToMB(bytes, text.data(), int(text.size()));
    if (bytes.empty() || bytes.size() > maxLimitedBytes)
        return {};
    return {bytes.data(), textLength(bytes)};
}

std::string CKrCommon::convertToU8(std::string text)
{
    return convertString(Transcoder::Direction::LocalToUtf8, std::move(text));
}

std::string CKrCommon::convertToMB(std::string text)
{
    return convertString(Transcoder::Direction::Utf8ToLocal, std::move(text));
}

char *CKrCommon::convertToMB(char *text)
{
    if (!text)
        return nullptr;
    const std::size_t length = std::strlen(text);
    if (length > std::size_t(INT_MAX))
        return nullptr;
    std::vector<char> bytes;
    UTF8ToMB(bytes, text, int(length));
    // NOTE: the result goes where the input was, so it must not be longer:
    // under a UTF-8 local codec every ill-formed byte grows to three bytes
    // and would run past the caller's buffer (encodingtest::limitedToLocal, row grows_under_utf8).
    const std::size_t converted = textLength(bytes);
    if (bytes.empty() || bytes.size() > maxLimitedBytes || converted > length)
        return nullptr;
    std::memcpy(text, bytes.data(), converted);
    text[converted] = '\0';
    return text;
}

bool CKrCommon::vtrcToChar(char *dst, std::vector<char> &src, int dstSize)
{
    // NOTE: a negative size is no capacity at all, not a huge unsigned one
    // (encodingtest::vtrcToChar, row negative_size).
    if (!dst || dstSize < 0 || src.empty() || std::size_t(dstSize) <= src.size())
        return false;
    std::memcpy(dst, src.data(), src.size());
    dst[src.size()] = '\0';
    return true;
}
