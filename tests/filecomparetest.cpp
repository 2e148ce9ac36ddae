// SPDX-License-Identifier: MIT
// CKrCommon::compareFile against GNU cmp on real files.
#include <CKrCommon.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int none = -1;

void write(const QByteArray &path, const QByteArray &content)
{
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

} // namespace

class FileCompareTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two files a and b of random content; b differs from a where a row says.
    void compareFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("changed"); // the byte of b that differs, or none
        QTest::addColumn<int>("extra");   // bytes appended to b
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("equal");
        const QByteArray a("a"), b("b");
        constexpr int big = 300000; // several read blocks
        QTest::newRow("copy") << big << none << 0 << a << b << true;
        QTest::newRow("first_byte") << big << 0 << 0 << a << b << false;
        QTest::newRow("middle_byte") << big << big / 2 << 0 << a << b << false;
        QTest::newRow("last_byte") << big << big - 1 << 0 << a << b << false;
        QTest::newRow("first_byte_of_second_block") << big << 32768 << 0 << a << b << false;
        QTest::newRow("last_byte_of_first_block") << big << 32767 << 0 << a << b << false;
        QTest::newRow("longer") << big << none << 1 << a << b << false;
        QTest::newRow("empty") << 0 << none << 0 << a << b << true;
        QTest::newRow("empty_and_one_byte") << 0 << none << 1 << a << b << false;
        // On Windows text mode ended the files at the first 0x1A byte.
        QTest::newRow("after_ctrl_z") << 100 << 60 << 0 << a << b << false;
        QTest::newRow("same_file_twice") << 10 << none << 0 << a << a << true;
        QTest::newRow("missing") << 10 << none << 0 << a << QByteArray("none") << false;
        QTest::newRow("missing_twice") << 10 << none << 0 << QByteArray("none") << QByteArray("none") << false;
        QTest::newRow("directory") << 10 << none << 0 << QByteArray("d") << QByteArray("d") << false;
        // GBK, not valid UTF-8: opened with its own bytes.
        QTest::newRow("gbk_name") << 10 << none << 0 << a << QByteArray("\xCD\xBC\xCF\xF1") << true;
    }
    void compareFile()
    {
        QFETCH(int, size);
        QFETCH(int, changed);
        QFETCH(int, extra);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, equal);

        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QByteArray content(size, '\0');
        QRandomGenerator(size + changed).fillRange(reinterpret_cast<quint32 *>(content.data()), size / 4);
        if (size == 100)
            content[50] = '\x1A';
        write("a", content);
        if (changed != none)
            content[changed] = char(content[changed] ^ 0x5A);
        write("b", content + QByteArray(extra, 'x'));
        QVERIFY(::mkdir("d", 0755) == 0 && ::link("a", "\xCD\xBC\xCF\xF1") == 0);

        QCOMPARE(CKrCommon::GetSingleTon().compareFile(first.constData(), second.constData()), equal);
        ::unlink("\xCD\xBC\xCF\xF1"); // QTemporaryDir cannot remove a name invalid in UTF-8
        // cmp calls a directory equal to itself; the raw name cannot pass through QProcess.
        if (first != "d" && !second.startsWith('\xCD')) {
            const int cmp = QProcess::execute(
                QStringLiteral("cmp"), {QStringLiteral("-s"), QFile::decodeName(first), QFile::decodeName(second)});
            QCOMPARE(cmp == 0, equal);
        }
    }

    void nullPath()
    {
        QVERIFY(!CKrCommon::GetSingleTon().compareFile(nullptr, "a"));
        QVERIFY(!CKrCommon::GetSingleTon().compareFile("a", nullptr));
    }
};

QTEST_GUILESS_MAIN(FileCompareTest)
#include "filecomparetest.moc"
