// SPDX-License-Identifier: MIT
// Threads racing on the first accessor call get one instance, constructed once.
#include <CKrCommon.h>

#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

// Qt's hook table for object-tracking tools (Qt 5: index 3 is AddQObject,
// called by every QObject constructor). It lets the test count constructions
// of the real class without touching the library.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {

constexpr int kAddQObjectHook = 3;
std::atomic<int> constructedObjects{0};
// Set around the racing call: Qt on Windows makes objects of its own as a
// foreign thread ends.
thread_local bool racing = false;

void countObject(QObject *)
{
    if (racing)
        constructedObjects.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

class SingletonRaceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void concurrentFirstCallsCreateOneInstance()
    {
        constexpr int threadCount = 32;
        std::vector<CKrCommon *> seen(threadCount, nullptr);
        std::atomic<bool> go{false};
        std::atomic<int> ready{0};

        std::vector<std::thread> threads;
        for (int i = 0; i < threadCount; ++i) {
            threads.emplace_back([&, i] {
                // Qt gives a foreign thread a QThread object on first use; make
                // it now, so the hook below counts only the racing calls.
                QThread::currentThread();
                ready.fetch_add(1);
                while (!go.load(std::memory_order_acquire)) {
                }
                racing = true;
                seen[i] = (i % 2) ? CKrCommon::GetSinglePton() : &CKrCommon::GetSingleTon();
                racing = false;
            });
        }
        while (ready.load() != threadCount)
            std::this_thread::yield();
        qtHookData[kAddQObjectHook] = reinterpret_cast<quintptr>(&countObject);
        go.store(true, std::memory_order_release);
        for (std::thread &t : threads)
            t.join();
        qtHookData[kAddQObjectHook] = 0;

        QCOMPARE(constructedObjects.load(), 1);
        QVERIFY(seen[0] != nullptr);
        for (CKrCommon *instance : seen)
            QCOMPARE(instance, seen[0]);
        QCOMPARE(CKrCommon::GetSinglePton(), seen[0]);
    }
};

QTEST_GUILESS_MAIN(SingletonRaceTest)

#include "singletonracetest.moc"
