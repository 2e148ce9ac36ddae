// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_WIDEPATH_WIN_H
#define KRCOMMON_PLATFORM_WIDEPATH_WIN_H

#include <string>

// 8-bit paths on Windows: text in the ANSI code page (CP_ACP), as the
// library's 8-bit API always took them, handed to the wide Win32 calls.

namespace krcommon::platform::win {

/** @p text (ANSI code page) as UTF-16; empty for a null or empty @p text. */
std::wstring widen(const char *text, std::size_t size);
inline std::wstring widen(const std::string &text)
{
    return widen(text.data(), text.size());
}

/** @p text (UTF-16) in the ANSI code page; a character it lacks becomes '?'. */
std::string narrow(const wchar_t *text, std::size_t size);

/**
 * The absolute, normalised form of the ANSI path @p path with the "\\?\"
 * prefix ("\\?\UNC\" for a share), so that no MAX_PATH limit applies: "/" and
 * "\" both separate, "." and ".." are resolved, a relative path starts in the
 * current directory. Device paths ("\\.\", "NUL") stay as Windows forms them.
 * Empty when @p path is null or empty or cannot be resolved.
 */
std::wstring longPath(const char *path);
std::wstring longPath(const std::wstring &path);

/** errno value nearest to the Win32 error @p code. */
int errnoFromWin32(unsigned long code);

} // namespace krcommon::platform::win

#endif
