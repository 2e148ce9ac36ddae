// SPDX-License-Identifier: MIT
#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace krcommon::platform::utf8 {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

bool isHighSurrogate(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLowSurrogate(char16_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

} // namespace

std::size_t bomLength(const char *text, std::size_t size) noexcept
{
    // NOTE: only at the very start, as QString::fromUtf8 drops it.
    return size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

std::size_t decode(const char *&text, const char *end, char16_t *out, std::size_t capacity) noexcept
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *e = reinterpret_cast<const unsigned char *>(end);
    char16_t *o = out;
    char16_t *const oLast = out + capacity - 1; // room for a pair before this
    while (p < e && o < oLast) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            *o++ = char16_t(lead);
            ++p;
            continue;
        }
        switch (sequenceLength(p, e)) {
        case 0:
            *o++ = replacementCharacter;
            ++p;
            break;
        case 2:
            *o++ = char16_t((lead & 0x1Fu) << 6 | (p[1] & 0x3Fu));
            p += 2;
            break;
        case 3:
            *o++ = char16_t((lead & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu));
            p += 3;
            break;
        default: {
            const unsigned cp =
                ((lead & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu)) - 0x10000;
            *o++ = char16_t(0xD800 + (cp >> 10));
            *o++ = char16_t(0xDC00 + (cp & 0x3FF));
            p += 4;
            break;
        }
        }
    }
    text = reinterpret_cast<const char *>(p);
    return std::size_t(o - out);
}

std::size_t Encoder::encode(const char16_t *units, std::size_t size, char *out) noexcept
{
    char *o = out;
    const char16_t *u = units;
    const char16_t *const end = units + size;
    if (m_pendingHigh && u < end) {
        if (isLowSurrogate(*u)) {
            const unsigned cp = 0x10000 + ((m_pendingHigh - 0xD800u) << 10) + (*u - 0xDC00u);
            *o++ = char(0xF0 | cp >> 18);
            *o++ = char(0x80 | (cp >> 12 & 0x3F));
            *o++ = char(0x80 | (cp >> 6 & 0x3F));
            *o++ = char(0x80 | (cp & 0x3F));
            ++u;
        } else {
            *o++ = '?';
        }
        m_pendingHigh = 0;
    }
    while (u < end) {
        const char16_t c = *u;
        if (c < 0x80) {
            *o++ = char(c);
            ++u;
        } else if (c < 0x800) {
            *o++ = char(0xC0 | c >> 6);
            *o++ = char(0x80 | (c & 0x3F));
            ++u;
        } else if (isHighSurrogate(c)) {
            if (u + 1 == end) {
                m_pendingHigh = c; // its low half may start the next chunk
                ++u;
            } else if (isLowSurrogate(u[1])) {
                const unsigned cp = 0x10000 + ((c - 0xD800u) << 10) + (u[1] - 0xDC00u);
                *o++ = char(0xF0 | cp >> 18);
                *o++ = char(0x80 | (cp >> 12 & 0x3F));
                *o++ = char(0x80 | (cp >> 6 & 0x3F));
                *o++ = char(0x80 | (cp & 0x3F));
                u += 2;
            } else {
                *o++ = '?';
                ++u;
            }
        } else if (isLowSurrogate(c)) {
            *o++ = '?';
            ++u;
        } else {
            *o++ = char(0xE0 | c >> 12);
            *o++ = char(0x80 | (c >> 6 & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
            ++u;
        }
    }
    return std::size_t(o - out);
}

std::size_t Encoder::finish(char *out) noexcept
{
    if (!m_pendingHigh)
        return 0;
    m_pendingHigh = 0;
    *out = '?';
    return 1;
}

} // namespace krcommon::platform::utf8
