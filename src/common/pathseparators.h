// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_COMMON_PATHSEPARATORS_H
#define KRCOMMON_COMMON_PATHSEPARATORS_H

#include <cstddef>
#include <string_view>

namespace krcommon {

struct CodecBytes;

/**
 * Finds the separators "/" and "\" of a path in the local code page, as
 * characters: under GBK, Big5, Shift_JIS and the other codecs in which a
 * multibyte character may end in the byte 0x5C (GBK 乗 is 81 5C), that byte
 * is no separator there. Under UTF-8 and single-byte code pages every "/" and
 * "\" byte is one.
 *
 * Positions given in must stand at the start of a character (0, or just
 * after a separator).
 */
class PathSeparators
{
public:
    /** For QTextCodec::codecForLocale() as it is now. */
    PathSeparators();

    /** The first separator at or after @p from; npos when there is none. */
    std::size_t next(std::string_view text, std::size_t from = 0) const;

    /** The last separator among the bytes in @p which ("/", "\" or both); npos when there is none. */
    std::size_t last(std::string_view text, std::string_view which = "/\\") const;

private:
    const CodecBytes *m_bytes; // null when every separator byte is a separator
};

} // namespace krcommon

#endif
