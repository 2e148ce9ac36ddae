// SPDX-License-Identifier: MIT
// The singleton's identity, meta-object and teardown at unload.
#include <CKrCommon.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>

namespace {

// Reads the protected instance pointer; never instantiated.
struct InstancePeek : CKrCommon {
    static CKrCommon *current() { return m_Instance.load(); }
};

const char kTeardownChild[] = "--teardown-child";

// Child process: create the instance, then let the process end normally and
// report from the destroyed() signal what the library's teardown did.
int runTeardownChild()
{
    CKrCommon *instance = CKrCommon::GetSinglePton();
    QObject::connect(instance, &QObject::destroyed, [] {
        std::printf("destroyed, instance %s\n", InstancePeek::current() ? "set" : "null");
        std::fflush(stdout);
    });
    std::printf("created\n");
    return 0;
}

} // namespace

class SingletonTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accessorsReturnOneInstance()
    {
        CKrCommon &first = CKrCommon::GetSingleTon();
        QCOMPARE(&CKrCommon::GetSingleTon(), &first);
        QCOMPARE(CKrCommon::GetSinglePton(), &first);
        QCOMPARE(InstancePeek::current(), &first);
        QVERIFY(first.parent() == nullptr);
    }

    void metaCast_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("isSelf");
        QTest::newRow("own_class") << QByteArray("CKrCommon") << true;
        QTest::newRow("base_class") << QByteArray("QObject") << true;
        QTest::newRow("own_class_other_case") << QByteArray("ckrcommon") << false;
        QTest::newRow("unrelated_class") << QByteArray("QThread") << false;
    }

    void metaCast()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, isSelf);
        CKrCommon *instance = CKrCommon::GetSinglePton();
        void *expected = isSelf ? static_cast<void *>(instance) : nullptr;
        QCOMPARE(instance->qt_metacast(name.constData()), expected);
    }

    void metaCastOfNullNameIsNull() { QVERIFY(CKrCommon::GetSinglePton()->qt_metacast(nullptr) == nullptr); }

    void metaObjectDescribesPlainQObjectSubclass()
    {
        const QMetaObject *meta = CKrCommon::GetSinglePton()->metaObject();
        QCOMPARE(meta, &CKrCommon::staticMetaObject);
        QCOMPARE(meta->className(), "CKrCommon");
        QCOMPARE(meta->superClass(), &QObject::staticMetaObject);
        QCOMPARE(meta->methodCount(), QObject::staticMetaObject.methodCount());
        QCOMPARE(meta->propertyCount(), QObject::staticMetaObject.propertyCount());
        QCOMPARE(meta->enumeratorCount(), QObject::staticMetaObject.enumeratorCount());
    }

    void teardownDestroysInstanceOnceAtExit()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kTeardownChild)},
                    QIODevice::ReadOnly | QIODevice::Text); // "\n" also where text ends in "\r\n"
        QVERIFY2(child.waitForFinished(30000), qPrintable(child.errorString()));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("created\ndestroyed, instance null\n"));
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], kTeardownChild) == 0)
        return runTeardownChild();
    QCoreApplication app(argc, argv);
    SingletonTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "singletontest.moc"
