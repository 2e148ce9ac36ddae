// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_UTF8_H
#define KRCOMMON_PLATFORM_UTF8_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// UTF-8 with Qt's rules, so that text converted here equals what
// QString::fromUtf8 and QString::toUtf8 give:
// - decoding: a leading byte order mark is dropped; every byte that does not
//   start a well-formed sequence (stray continuation byte, overlong form,
//   surrogate, beyond U+10FFFF, truncated sequence) becomes one U+FFFD;
// - encoding: an unpaired surrogate becomes '?'.

namespace krcommon::platform::utf8 {

/** Bytes of the byte order mark at the start of @p text, 0 or 3. */
std::size_t bomLength(const char *text, std::size_t size) noexcept;

/**
 * Decodes UTF-8 from @p text up to @p end into @p out, which has room for
 * @p capacity units (at least 2). Stops at @p end or when fewer than two units
 * are free, always after a whole sequence, so a surrogate pair is never split.
 * @return the number of units written; @p text is advanced past what was read
 */
std::size_t decode(const char *&text, const char *end, char16_t *out, std::size_t capacity) noexcept;

/**
 * Encodes UTF-16 to UTF-8, a chunk at a time: a high surrogate at the end of a
 * chunk waits for the next one.
 */
class Encoder
{
public:
    /** The most bytes encode() writes for @p units units. */
    static constexpr std::size_t maxBytes(std::size_t units) { return 3 * units + 4; }

    /** Encodes @p size units into @p out (maxBytes(size) bytes); returns the bytes written. */
    std::size_t encode(const char16_t *units, std::size_t size, char *out) noexcept;

    /** Ends the text: a waiting high surrogate becomes '?'. Returns the bytes written (0 or 1). */
    std::size_t finish(char *out) noexcept;

private:
    char16_t m_pendingHigh = 0;
};

/**
 * Calls @p sink(const char *, std::size_t) with the UTF-8 text that decoding
 * @p text and encoding the result again gives: the well-formed runs of @p text
 * itself, with EF BF BD for every ill-formed byte and the byte order mark left out.
 */
template<typename Sink>
void sanitize(const char *text, std::size_t size, Sink &&sink);

/** Length of the well-formed sequence at @p p (1 to 4), 0 when @p p starts none. */
inline int sequenceLength(const unsigned char *p, const unsigned char *end) noexcept
{
    const unsigned lead = p[0];
    if (lead < 0x80)
        return 1;
    const std::ptrdiff_t available = end - p;
    auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (lead < 0xC2) // continuation byte, or the start of an overlong two-byte form
        return 0;
    if (lead < 0xE0)
        return available >= 2 && continuation(p[1]) ? 2 : 0;
    if (lead < 0xF0) {
        if (available < 3 || !continuation(p[1]) || !continuation(p[2]))
            return 0;
        const unsigned cp = (lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? 3 : 0;
    }
    if (lead < 0xF5) {
        if (available < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3]))
            return 0;
        const unsigned cp = (lead & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
        return cp >= 0x10000 && cp <= 0x10FFFF ? 4 : 0;
    }
    return 0;
}

/** How many of the eight bytes at @p p are ASCII before the first that is not. */
inline std::size_t asciiPrefix8(const unsigned char *p) noexcept
{
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t high = word & 0x8080808080808080ull;
    return high ? std::size_t(__builtin_ctzll(high)) / 8 : 8;
#else
    std::size_t n = 0;
    while (n < 8 && p[n] < 0x80)
        ++n;
    return n;
#endif
}

/** Length of the run of ASCII bytes at the start of [p, end). */
inline std::size_t asciiPrefix(const unsigned char *p, const unsigned char *end) noexcept
{
    const unsigned char *const start = p;
    // Eight bytes at a time, the last eight counted at once.
    while (end - p >= 8) {
        const std::size_t n = asciiPrefix8(p);
        p += n;
        if (n < 8)
            return std::size_t(p - start);
    }
    while (p < end && *p < 0x80)
        ++p;
    return std::size_t(p - start);
}

/** Whether [p, end) starts with a well-formed three-byte sequence (most CJK characters). */
inline bool isThreeByteSequence(const unsigned char *p, const unsigned char *end) noexcept
{
    return (p[0] & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 &&
           (p[0] != 0xE0 || p[1] >= 0xA0) && (p[0] != 0xED || p[1] < 0xA0); // no overlong form, no surrogate
}

/** Whether every byte of @p text belongs to a well-formed sequence. */
inline bool isWellFormed(const char *text, std::size_t size) noexcept
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *end = p + size;
    while (p < end) {
        if (*p < 0x80)
            p += asciiPrefix(p, end);
        else if (isThreeByteSequence(p, end))
            p += 3;
        else if (const int length = sequenceLength(p, end))
            p += length;
        else
            return false;
    }
    return true;
}

template<typename Sink>
void sanitize(const char *text, std::size_t size, Sink &&sink)
{
    static const char replacement[] = "\xEF\xBF\xBD";
    const auto *p = reinterpret_cast<const unsigned char *>(text) + bomLength(text, size);
    const auto *end = reinterpret_cast<const unsigned char *>(text) + size;
    const unsigned char *run = p; // start of the well-formed run not emitted yet
    while (p < end) {
        if (*p < 0x80) {
            p += asciiPrefix(p, end);
            continue;
        }
        if (isThreeByteSequence(p, end)) {
            p += 3;
            continue;
        }
        if (const int length = sequenceLength(p, end)) {
            p += length;
            continue;
        }
        if (p > run)
            sink(reinterpret_cast<const char *>(run), std::size_t(p - run));
        sink(replacement, std::size_t(3));
        run = ++p;
    }
    if (p > run)
        sink(reinterpret_cast<const char *>(run), std::size_t(p - run));
}

} // namespace krcommon::platform::utf8

#endif
