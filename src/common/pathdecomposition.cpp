// SPDX-License-Identifier: MIT
// Taking a path apart as plain text: its first component, its parent, its
// suffix and its last component. Nothing here touches the file system; both
// "/" and "\" separate, and every search compares single bytes, so multibyte
// text in any code page passes through untouched.
#include "CKrCommon.h"

#include <algorithm>

namespace {

constexpr char slash = '/';
constexpr char backslash = '\\';

// Position of the first byte of the last component: after the last separator
// of either kind, 0 when there is none.
std::size_t lastComponentStart(const std::string &path)
{
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? 0 : at + 1;
}

// The first "." of the last component, npos when it has none.
//
// NOTE: only the last component counts: a dot in a directory name
// (D:\old.dir\img.tif) is no suffix. Pinned by PathTest::decompose rows "dot_in_directory*".
std::size_t suffixDot(const std::string &path)
{
    return path.find('.', lastComponentStart(path));
}

} // namespace

int CKrCommon::findIndex(std::string text, char ch, bool forward)
{
    // Searches run over the whole length: a zero byte is an ordinary byte.
    const std::size_t at = forward ? text.find(ch) : text.rfind(ch);
    return at == std::string::npos ? -1 : int(at);
}

std::string CKrCommon::getRootPath(std::string path)
{
    const int s = findIndex(path, slash, true);
    const int b = findIndex(path, backslash, true);
    if (s < 0 && b < 0)
        return {};
    const int first = s < 0 ? b : b < 0 ? s : std::min(s, b);
    return path.substr(0, std::size_t(first));
}

std::string CKrCommon::getParentPath(std::string path)
{
    const int last = std::max(findIndex(path, slash, false), findIndex(path, backslash, false));
    // A lone leading separator has nothing before it: no parent.
    return last > 0 ? path.substr(0, std::size_t(last)) : std::string();
}

std::string CKrCommon::getFileNameWithOutSuffix(std::string path)
{
    const std::size_t dot = suffixDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string CKrCommon::getSuffixByFileName(std::string path)
{
    // A name that begins with a dot (.cfg) is all name and has no suffix.
    const std::size_t dot = suffixDot(path);
    return dot == std::string::npos || dot == lastComponentStart(path) ? std::string() : path.substr(dot);
}

std::string CKrCommon::getFileNameFormPath(const char *path)
{
    if (!path)
        return {};
    std::string copy(path);
    if (!copy.empty() && (copy.back() == slash || copy.back() == backslash))
        copy.pop_back(); // one trailing separator only: D:\dir\ names dir
    // NOTE: a backslash, wherever it stands, outranks every slash: a\b/d.tif
    // gives b/d.tif. Stored callers split Windows paths this way.
    std::size_t at = copy.rfind(backslash);
    if (at == std::string::npos)
        at = copy.rfind(slash);
    return at == std::string::npos ? copy : copy.substr(at + 1);
}
