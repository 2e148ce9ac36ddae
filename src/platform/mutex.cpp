// SPDX-License-Identifier: MIT
#include "platform/mutex.h"

#include <memory>
#include <mutex>
#include <new>

namespace krcommon::platform {

MutexHandle createMutex() noexcept
{
    return std::unique_ptr<std::mutex>(new (std::nothrow) std::mutex).release();
}

void lockMutex(MutexHandle mutex) noexcept
{
    if (mutex)
        static_cast<std::mutex *>(mutex)->lock();
}

void unlockMutex(MutexHandle mutex) noexcept
{
    if (mutex)
        static_cast<std::mutex *>(mutex)->unlock();
}

void closeMutex(MutexHandle mutex) noexcept
{
    std::unique_ptr<std::mutex> owned(static_cast<std::mutex *>(mutex));
}

} // namespace krcommon::platform
