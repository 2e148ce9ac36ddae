// SPDX-License-Identifier: MIT
#include "platform/symlink.h"

#include <unistd.h>

namespace krcommon::platform {

bool readLink(const std::string &path, std::string &contents)
{
    // readlink does not say how long the contents are: grow until they fit.
    for (std::size_t size = 256;; size *= 2) {
        contents.resize(size);
        const ssize_t n = ::readlink(path.c_str(), &contents[0], size);
        if (n < 0)
            return false;
        if (std::size_t(n) < size) {
            contents.resize(std::size_t(n));
            return true;
        }
    }
}

} // namespace krcommon::platform
