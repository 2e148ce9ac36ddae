// SPDX-License-Identifier: MIT
// The singleton: one instance however many threads ask first, and a teardown
// at exit that destroys it once. Each case runs in a fresh child process, so
// it starts with no instance.
#include <CKrCommon.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

// Qt's hook table for object-tracking tools (index 3 is AddQObject, called by
// every QObject constructor): it counts constructions of the real class
// without touching the library.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {

// Reads the protected instance pointer; never instantiated.
struct InstancePeek : CKrCommon {
    static CKrCommon *current() { return m_Instance.load(); }
};

std::atomic<int> constructedObjects{0};
// Set around the racing call: Qt on Windows makes objects of its own as a
// foreign thread ends.
thread_local bool racing = false;

// Child: the instance reports from destroyed() what the library's teardown did.
int teardownChild()
{
    CKrCommon *instance = CKrCommon::GetSinglePton();
    QObject::connect(instance, &QObject::destroyed, [] {
        std::printf("destroyed, instance %s\n", InstancePeek::current() ? "set" : "null");
        std::fflush(stdout);
    });
    std::printf("created\n");
    return 0;
}

// Child: 32 threads race on the first call through both accessors.
int raceChild()
{
    constexpr int threadCount = 32;
    constexpr int addQObjectHook = 3;
    std::vector<CKrCommon *> seen(threadCount, nullptr);
    std::atomic<bool> go{false};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&, i] {
            // A foreign thread gets its QThread object on first use: make it
            // now, so the hook counts only the racing calls.
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
    qtHookData[addQObjectHook] = reinterpret_cast<quintptr>(+[](QObject *) { constructedObjects.fetch_add(racing); });
    go.store(true, std::memory_order_release);
    for (std::thread &t : threads)
        t.join();
    qtHookData[addQObjectHook] = 0;
    int distinct = 0;
    for (CKrCommon *instance : seen)
        distinct += instance != seen[0] || instance == nullptr;
    const bool same = CKrCommon::GetSinglePton() == seen[0] && &CKrCommon::GetSingleTon() == seen[0] &&
                      InstancePeek::current() == seen[0] && seen[0]->parent() == nullptr;
    std::printf("constructed %d, distinct %d, accessors %s\n", constructedObjects.load(), distinct,
                same ? "agree" : "differ");
    return 0;
}

} // namespace

class SingletonTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void child_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("threads_race_on_first_call")
            << QStringLiteral("--race") << QByteArray("constructed 1, distinct 0, accessors agree\n");
        QTest::newRow("teardown_destroys_once_at_exit")
            << QStringLiteral("--teardown") << QByteArray("created\ndestroyed, instance null\n");
    }

    void child()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, output);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {mode},
                    QIODevice::ReadOnly | QIODevice::Text); // "\n" also where text ends in "\r\n"
        QVERIFY2(child.waitForFinished(30000), qPrintable(child.errorString()));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), output);
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--race") == 0)
        return raceChild();
    if (argc > 1 && std::strcmp(argv[1], "--teardown") == 0)
        return teardownChild();
    QCoreApplication app(argc, argv);
    SingletonTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "singletontest.moc"
