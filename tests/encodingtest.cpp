// SPDX-License-Identifier: MIT
// CKrCommon's conversions between the local code page and UTF-8. The rows are
// those the Windows build needs too, where Qt's own codecs (no ICU) stand
// under GBK and the other multibyte code pages; UTF-8 and Latin-1 are the
// library's own code, which the code-page test and the encoding fuzzer's
// corpus check.
#include <CKrCommon.h>

#include "testhelpers.h"

#include <QTest>
#include <QTextCodec>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string bytes(const std::vector<char> &v)
{
    return std::string(v.data(), v.size());
}

CKrCommon &common()
{
    return CKrCommon::GetSingleTon();
}

} // namespace

class EncodingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversions_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<bool>("toUtf8"); // MBToUTF8, else UTF8ToMB
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray gbk("GBK"), utf8("UTF-8");
        const QByteArray ziyuanGbk("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5");
        const QByteArray ziyuan("\xE8\xB5\x84\xE6\xBA\x90\xE4\xB8\x89\xE5\x8F\xB7");
        const QByteArray fffd("\xEF\xBF\xBD");

        QTest::newRow("length_below_minus_one") << gbk << false << QByteArray("abc") << -2 << false << QByteArray();
        QTest::newRow("null_text") << utf8 << false << QByteArray() << -1 << false << QByteArray();
        QTest::newRow("only_bom_converts_to_nothing")
            << utf8 << false << QByteArray("\xEF\xBB\xBF") << 3 << false << QByteArray();
        QTest::newRow("ziyuan_gbk") << gbk << true << ziyuanGbk << 8 << true << ziyuan;
        QTest::newRow("ziyuan_to_gbk") << gbk << false << ziyuan << -1 << true << ziyuanGbk + '\0';
        // Ill-formed local text: each offending byte becomes U+FFFD, also a lead byte left at the end.
        QTest::newRow("gbk_lead_before_space") << gbk << true << QByteArray("\xD6 a") << 3 << true << fffd + " a";
        QTest::newRow("gbk_truncated_at_end") << gbk << true << QByteArray("a\xD6") << 2 << true << "a" + fffd;
        QTest::newRow("gbk_truncated_before_terminator")
            << gbk << true << QByteArray("a\xD6") << -1 << true << "a" + fffd + '\0';
        // A character cut off after "AB", under every kind of codec.
        const std::pair<const char *, QByteArray> cutOff[] = {
            {"EUC-KR", "\xB0"},     {"Shift_JIS", "\x81"},  {"Big5", "\xA4"}, {"GB18030", "\x81\x30\x81"},
            {"EUC-JP", "\x8F\xA1"}, {"CESU-8", "\xED\xA0"}, {"UTF-7", "+AG"}, {"ISO-2022-JP", "\x1B$B\x30"},
            {"UTF-16LE", "C"}};
        for (const auto &[name, cut] : cutOff)
            if (QTextCodec::codecForName(name)) // Qt without ICU (Windows) has no CESU-8 or UTF-7
                QTest::addRow("cut_off_%s", name) << QByteArray(name) << true << "AB" + cut << 2 + cut.size() << true
                                                  << QTextCodec::codecForName(name)->toUnicode("AB").toUtf8() + fffd;
        // Characters GBK cannot represent become one '?' each (an emoji, Thai ก, a cut-off one), a zero-width
        // space nothing; ill-formed UTF-8 is otherwise the code-page test's.
        QTest::newRow("lacking_in_gbk") << gbk << false
                                        << QByteArray("\xF0\x9F\x98\x80!\xE2\x80\x8B\xE0\xB8\x81\xE4\xB8") << 13 << true
                                        << QByteArray("?!???");
    }

    void conversions()
    {
        QFETCH(QByteArray, codec);
        QFETCH(bool, toUtf8);
        QFETCH(QByteArray, text);
        QFETCH(int, length);
        QFETCH(bool, ok);
        QFETCH(QByteArray, expected);
        const LocalCodec local(codec);

        std::vector<char> out{'o', 'l', 'd'}; // earlier content never survives
        const char *data = text.isNull() ? nullptr : text.constData();
        QCOMPARE(toUtf8 ? common().MBToUTF8(out, data, length) : common().UTF8ToMB(out, data, length), ok);
        QCOMPARE(bytes(out), expected.toStdString());

        // The string forms give the same bytes, without the terminator.
        if (data && length != 0 && length >= -1) {
            const std::string whole = length == -1 ? std::string(data) : std::string(data, std::size_t(length));
            QByteArray plain = expected;
            if (length == -1)
                plain.chop(1);
            QCOMPARE(toUtf8 ? common().convertToU8(whole) : common().convertToMB(whole), plain.toStdString());
        }
    }

    void limitedToLocal_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected"); // null: convertToMB(char*) gives null
        QTest::addColumn<QByteArray>("fromUtf8");

        const QByteArray zhong("\xE4\xB8\xAD"), zhongGbk("\xD6\xD0");
        QTest::newRow("empty") << QByteArray("GBK") << QByteArray("") << QByteArray() << QByteArray("");
        QTest::newRow("same_length") << QByteArray("GBK") << QByteArray("d:/a") << QByteArray("d:/a")
                                     << QByteArray("d:/a");
        QTest::newRow("result_511_bytes") << QByteArray("GBK") << zhong.repeated(255) + "x"
                                          << zhongGbk.repeated(255) + "x" << zhongGbk.repeated(255) + "x";
        QTest::newRow("result_512_bytes") << QByteArray("GBK") << zhong.repeated(256) << QByteArray() << QByteArray("");
        // Under a UTF-8 local codec each ill-formed byte grows to three bytes:
        // in place it would overrun the caller's buffer.
        QTest::newRow("grows_under_utf8") << QByteArray("UTF-8") << QByteArray("a\xFF\xFE") << QByteArray()
                                          << QByteArray("a\xEF\xBF\xBD\xEF\xBF\xBD");
    }

    void limitedToLocal()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, fromUtf8);
        const LocalCodec local(codec);

        QCOMPARE(common().fromUtf8(text.toStdString()), fromUtf8.toStdString());

        // The text, its terminator and a guard area that must stay untouched.
        std::vector<char> buffer(std::size_t(text.size()) + 1 + 16, '#');
        std::memcpy(buffer.data(), text.constData(), std::size_t(text.size()) + 1);
        const std::vector<char> before = buffer;
        char *const result = common().convertToMB(buffer.data());
        if (expected.isNull()) {
            QCOMPARE(result, static_cast<char *>(nullptr));
            QVERIFY(buffer == before);
        } else {
            QCOMPARE(result, buffer.data());
            QCOMPARE(QByteArray(result), expected);
            QVERIFY(std::equal(buffer.end() - 16, buffer.end(), before.end() - 16));
        }
        QCOMPARE(common().convertToMB(static_cast<char *>(nullptr)), static_cast<char *>(nullptr));
    }

    void vtrcToChar_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("dstSize");
        QTest::addColumn<bool>("ok");

        QTest::newRow("room_for_terminator") << 5 << 6 << true;
        QTest::newRow("no_room_for_terminator") << 5 << 5 << false;
        QTest::newRow("empty_vector") << 0 << 100 << false;
        // A negative size once compared as a huge unsigned one and copied.
        QTest::newRow("negative_size") << 5 << -1 << false;
    }

    void vtrcToChar()
    {
        QFETCH(int, size);
        QFETCH(int, dstSize);
        QFETCH(bool, ok);

        std::vector<char> src(std::size_t(size), 'x');
        char dst[16];
        std::memset(dst, '#', sizeof dst);
        QCOMPARE(common().vtrcToChar(dst, src, dstSize), ok);
        QCOMPARE(QByteArray(dst, 16),
                 ok ? QByteArray(size, 'x') + '\0' + QByteArray(15 - size, '#') : QByteArray(16, '#'));
        QCOMPARE(int(src.size()), size);
        QVERIFY(!common().vtrcToChar(nullptr, src, 16));
    }
};

QTEST_GUILESS_MAIN(EncodingTest)
#include "encodingtest.moc"
