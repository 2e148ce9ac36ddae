// SPDX-License-Identifier: MIT
#include "CKrCommon.h"

#include "platform/mutex.h"

namespace {

// Holds the creation lock for the rest of a scope, so it is released on every
// way out of the accessor, also when constructing the instance throws.
template<typename Lock, typename Unlock>
class ScopedLock
{
public:
    ScopedLock(Lock lock, Unlock unlock)
        : m_unlock(unlock)
    {
        lock();
    }
    ~ScopedLock() { m_unlock(); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;

private:
    Unlock m_unlock;
};

} // namespace

// Definition order matters: the lock is made before the teardown object, whose
// destructor (run at unload) deletes the instance and then closes the lock.
std::atomic<CKrCommon *> CKrCommon::m_Instance{nullptr};
void *CKrCommon::m_SafeMutex = krcommon::platform::createMutex();
CKrCommon::CKrFreeSelf CKrCommon::m_FreeSingleTon;

CKrCommon::CKrCommon()
    : QObject(nullptr)
{}

CKrCommon::~CKrCommon() = default;

CKrCommon &CKrCommon::GetSingleTon()
{
    return *GetSinglePton();
}

CKrCommon *CKrCommon::GetSinglePton()
{
    // Double-checked creation: the acquire load pairs with the release store
    // below, so a thread that sees the pointer also sees the constructed object.
    if (CKrCommon *instance = m_Instance.load(std::memory_order_acquire))
        return instance;

    ScopedLock lock(&CKrCommon::_Thread_Safe_Lock, &CKrCommon::_Thread_Safe_UnLock);
    CKrCommon *instance = m_Instance.load(std::memory_order_relaxed);
    if (!instance) {
        instance = new CKrCommon; // owned through m_Instance until the teardown
        m_Instance.store(instance, std::memory_order_release);
    }
    return instance;
}

void CKrCommon::_Thread_Safe_Lock()
{
    krcommon::platform::lockMutex(m_SafeMutex);
}

void CKrCommon::_Thread_Safe_UnLock()
{
    krcommon::platform::unlockMutex(m_SafeMutex);
}

CKrCommon::CKrFreeSelf::~CKrFreeSelf()
{
    delete m_Instance.exchange(nullptr, std::memory_order_acq_rel);
    // NOTE: the handle is cleared as well as closed, so an accessor called
    // after the teardown (from a later static destructor) runs unlocked
    // instead of waiting on a freed mutex.
    krcommon::platform::closeMutex(m_SafeMutex);
    m_SafeMutex = nullptr;
}
