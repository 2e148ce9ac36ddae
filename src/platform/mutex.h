// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_MUTEX_H
#define KRCOMMON_PLATFORM_MUTEX_H

// A process-local mutual-exclusion object behind an opaque handle, in the
// shape of an unnamed Win32 mutex: created once, waited on without time
// limit, released by the thread that holds it, closed at unload.

namespace krcommon::platform {

using MutexHandle = void *;

/** Creates an unowned process-local mutex; null when it cannot be made. */
MutexHandle createMutex() noexcept;

/** Waits for the mutex without time limit. A null handle is a no-op. */
void lockMutex(MutexHandle mutex) noexcept;

/** Releases the mutex held by the calling thread. A null handle is a no-op. */
void unlockMutex(MutexHandle mutex) noexcept;

/** Destroys the mutex. A null handle is a no-op. */
void closeMutex(MutexHandle mutex) noexcept;

} // namespace krcommon::platform

#endif
