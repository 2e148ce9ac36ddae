// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_SYMLINK_H
#define KRCOMMON_PLATFORM_SYMLINK_H

#include <string>

namespace krcommon::platform {

/**
 * Reads the contents of the symbolic link @p path, of any length, into
 * @p contents.
 * @return false with errno set when @p path is no link or cannot be read
 */
bool readLink(const std::string &path, std::string &contents);

} // namespace krcommon::platform

#endif
