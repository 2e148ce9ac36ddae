// SPDX-License-Identifier: MIT
// CKrCommon::serialStr and the two forms of CKrCommon::insertLineBreak.
#include <CKrCommon.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kLineBreakChild[] = "--line-break-child";

// The break rules step by step: one break at a time, at k * width - 1 (at
// index 1 for the very first break of width 1), the std::string form for a
// count fixed beforehand, the QString form while k fits the grown text.
std::string brokenStepByStep(std::string text, unsigned width)
{
    const std::size_t count = text.size() > width ? text.size() / width : 0;
    for (std::size_t k = 1; k <= count; ++k)
        text.insert(k * width >= 2 ? k * width - 1 : k * width, 1, '\n');
    return text;
}

QString brokenStepByStep(QString text, int width)
{
    if (text.size() <= width || width < 2)
        return text;
    for (int k = 1; k <= text.size() / width; ++k)
        text.insert(k * width - 1, QLatin1Char('\n'));
    return text;
}

// Child process: one call with a width that divides by zero or never ends
// in the plain rules; prints the result.
int runLineBreakChild(const char *form, const char *width, const char *text)
{
    std::string result = text;
    if (std::strcmp(form, "std") == 0) {
        CKrCommon::GetSingleTon().insertLineBreak(result, unsigned(std::atoi(width)));
    } else {
        QString qtext = QString::fromLatin1(text);
        CKrCommon::GetSingleTon().insertLineBreak(qtext, std::atoi(width));
        result = qtext.toStdString();
    }
    std::fputs(result.c_str(), stdout);
    return 0;
}

} // namespace

class StringHelpersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serialStr_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no_slashes") << QByteArray("d:\\img\\a.tif") << QByteArray("d:\\img\\a.tif");
        QTest::newRow("mixed_separators") << QByteArray("d:/img\\sub/a.tif") << QByteArray("d:\\img\\sub\\a.tif");
        QTest::newRow("only_slashes") << QByteArray("///") << QByteArray("\\\\\\");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("gbk_bytes_kept") << QByteArray("/\xb5\xd8\xcd\xbc/") << QByteArray("\\\xb5\xd8\xcd\xbc\\");
        // The text ends at a zero byte: cut there when it holds a slash.
        QTest::newRow("slash_before_zero") << QByteArray("a/b\0c/d", 7) << QByteArray("a\\b");
        QTest::newRow("slash_only_after_zero") << QByteArray("ab\0c/d", 6) << QByteArray("ab\0c/d", 6);
    }

    void serialStr()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        std::string text = path.toStdString();
        CKrCommon::GetSingleTon().serialStr(text);
        QCOMPARE(QByteArray::fromStdString(text), expected);
    }

    void lineBreakExamples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("fixedCount");
        QTest::addColumn<QString>("growingCount");
        const QString letters = QStringLiteral("abcdefghij");
        QTest::newRow("width_of_text") << letters << 10 << letters << letters;
        QTest::newRow("wider_than_text") << letters << 11 << letters << letters;
        QTest::newRow("ten_by_three") << letters << 3 << QStringLiteral("ab\ncd\nef\nghij")
                                      << QStringLiteral("ab\ncd\nef\ngh\nij");
        QTest::newRow("six_by_three") << letters.left(6) << 3 << QStringLiteral("ab\ncd\nef")
                                      << QStringLiteral("ab\ncd\nef");
        QTest::newRow("seven_by_three") << letters.left(7) << 3 << QStringLiteral("ab\ncd\nefg")
                                        << QStringLiteral("ab\ncd\nef\ng");
        QTest::newRow("width_one") << letters.left(3) << 1 << QStringLiteral("a\n\n\nbc") << letters.left(3);
        QTest::newRow("negative_width") << letters << -3 << QString() << letters;
    }

    void lineBreakExamples()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, fixedCount);
        QFETCH(QString, growingCount);
        if (width > 0) {
            std::string bytes = text.toStdString();
            CKrCommon::GetSingleTon().insertLineBreak(bytes, unsigned(width));
            QCOMPARE(QString::fromStdString(bytes), fixedCount);
        }
        CKrCommon::GetSingleTon().insertLineBreak(text, width);
        QCOMPARE(text, growingCount);
    }

    // Every short text and width against the rules applied break by break;
    // multi-byte and surrogate text is broken by bytes and code units alike.
    void lineBreakSmallSizes()
    {
        const std::string bytes = "a\xe4\xb8\xad"
                                  "bcdefghijklmnopqrstu";
        const QString units = QStringLiteral("a\U0001F600bcdefghijklmnopqrstu");
        for (int length = 0; length <= 24; ++length) {
            for (int width = 1; width <= 26; ++width) {
                std::string byteText = bytes.substr(0, std::size_t(length));
                CKrCommon::GetSingleTon().insertLineBreak(byteText, unsigned(width));
                QVERIFY2(byteText == brokenStepByStep(bytes.substr(0, std::size_t(length)), unsigned(width)),
                         qPrintable(QStringLiteral("std::string, length %1, width %2").arg(length).arg(width)));

                QString unitText = units.left(length);
                CKrCommon::GetSingleTon().insertLineBreak(unitText, width);
                QVERIFY2(unitText == brokenStepByStep(units.left(length), width),
                         qPrintable(QStringLiteral("QString, length %1, width %2").arg(length).arg(width)));
            }
        }
    }

    // Widths that would divide by zero or loop forever leave the text as it
    // is; each runs in a child process, so a hang fails instead of stalling.
    void degenerateWidthsLeaveTextUnchanged_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("std_width_zero") << QStringLiteral("std") << 0 << QStringLiteral("abcdef");
        QTest::newRow("std_width_zero_empty") << QStringLiteral("std") << 0 << QString();
        QTest::newRow("qt_width_zero") << QStringLiteral("qt") << 0 << QStringLiteral("abcdef");
        QTest::newRow("qt_width_one") << QStringLiteral("qt") << 1 << QStringLiteral("abcdef");
    }

    void degenerateWidthsLeaveTextUnchanged()
    {
        QFETCH(QString, form);
        QFETCH(int, width);
        QFETCH(QString, text);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kLineBreakChild), form, QString::number(width), text});
        QVERIFY2(child.waitForFinished(20000), "insertLineBreak did not return");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromLatin1(child.readAllStandardOutput()), text);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], kLineBreakChild) == 0)
        return runLineBreakChild(argv[2], argv[3], argv[4]);
    QCoreApplication app(argc, argv);
    StringHelpersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "stringhelperstest.moc"
