// SPDX-License-Identifier: MIT
// Taking a path apart as plain text: its first component, its parent, its
// suffix and its last component. Nothing here touches the file system; both
// "/" and "\" separate. Separators are found as characters of the local code
// page (PathSeparators): the trail byte 0x5C of a GBK, Big5 or Shift_JIS
// character is none. Every other byte passes through untouched, and the
// whole string counts, whatever its length.
#include "CKrCommon.h"

#include "common/pathseparators.h"

#include <climits>

using krcommon::PathSeparators;

namespace {

constexpr std::size_t npos = std::string::npos;

// Position of the first byte of the last component: after the last separator
// of either kind, 0 when there is none.
std::size_t lastComponentStart(const PathSeparators &separators, const std::string &path)
{
    const std::size_t at = separators.last(path);
    return at == npos ? 0 : at + 1;
}

} // namespace

int CKrCommon::findIndex(std::string text, char ch, bool forward)
{
    // Searches run over the whole length: a zero byte is an ordinary byte.
    // NOTE: a position beyond INT_MAX has no int; it is reported as none
    // (PathTest::beyondIntMax).
    const std::size_t at = forward ? text.find(ch) : text.rfind(ch);
    return at == npos || at > std::size_t(INT_MAX) ? -1 : int(at);
}

std::string CKrCommon::getRootPath(std::string path)
{
    const std::size_t first = PathSeparators().next(path);
    path.resize(first == npos ? 0 : first);
    return path;
}

std::string CKrCommon::getParentPath(std::string path)
{
    // A lone leading separator has nothing before it: no parent.
    const std::size_t last = PathSeparators().last(path);
    path.resize(last == npos ? 0 : last);
    return path;
}

std::string CKrCommon::getFileNameWithOutSuffix(std::string path)
{
    // NOTE: only the last component counts: a dot in a directory name
    // (D:\old.dir\img.tif) is no suffix. Pinned by PathTest::decompose rows "dot_in_directory*".
    const std::size_t dot = path.find('.', lastComponentStart(PathSeparators(), path));
    if (dot != npos)
        path.resize(dot);
    return path;
}

std::string CKrCommon::getSuffixByFileName(std::string path)
{
    // A name that begins with a dot (.cfg) is all name and has no suffix.
    const std::size_t start = lastComponentStart(PathSeparators(), path);
    const std::size_t dot = path.find('.', start);
    return dot == npos || dot == start ? std::string() : path.substr(dot);
}

std::string CKrCommon::getFileNameFormPath(const char *path)
{
    if (!path)
        return {};
    const PathSeparators separators;
    std::string copy(path);
    if (!copy.empty() && separators.last(copy) == copy.size() - 1)
        copy.pop_back(); // one trailing separator only: D:\dir\ names dir
    // NOTE: a backslash, wherever it stands, outranks every slash: a\b/d.tif
    // gives b/d.tif. Stored callers split Windows paths this way.
    std::size_t at = separators.last(copy, "\\");
    if (at == npos)
        at = separators.last(copy, "/");
    return at == npos ? copy : copy.substr(at + 1);
}
