// SPDX-License-Identifier: MIT
// The code-page layer: the counting contract, UTF-8 with Qt's rules, and the
// chunked conversion giving the bytes of one whole pass through the codec.
#include "platform/codepage.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

#include <string>
#include <vector>

using namespace krcommon::platform;

namespace {

// Sets the local codec for one test and puts the previous one back.
class LocalCodec
{
public:
    explicit LocalCodec(const char *name)
        : m_previous(QTextCodec::codecForLocale())
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
    }
    ~LocalCodec() { QTextCodec::setCodecForLocale(m_previous); }

private:
    QTextCodec *m_previous;
};

std::u16string units(const QString &text)
{
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
}

// Every string of up to `maxLength` symbols from `alphabet`.
template<typename T>
std::vector<std::vector<T>> allStrings(const std::vector<T> &alphabet, int maxLength)
{
    std::vector<std::vector<T>> result{{}};
    for (std::size_t begin = 0, length = 0; int(length) < maxLength; ++length) {
        const std::size_t end = result.size();
        for (std::size_t i = begin; i < end; ++i)
            for (T symbol : alphabet) {
                result.push_back(result[i]);
                result.back().push_back(symbol);
            }
        begin = end;
    }
    return result;
}

// Text with characters that straddle any chunk boundary: well-formed UTF-8 of
// one to four bytes, ASCII runs, and ill-formed bytes.
QByteArray mixedUtf8(QRandomGenerator &random, int size)
{
    static const char *const pieces[] = {
        "abc ", "\xE4\xB8\xAD", "\xE6\x96\x87", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xE2\x82\xAC", "\n",
        "\xFF", "\xE4\xB8",     "\xED\xA0\x80", "\x80",     "\xC0\xAF",         "\xEF\xBB\xBF", "\xE8\xB5\x84"};
    QByteArray text;
    while (text.size() < size)
        text += pieces[random.bounded(int(std::size(pieces)))];
    return text + '\n';
}

} // namespace

class CodePageTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void counting_data()
    {
        QTest::addColumn<bool>("decode"); // multiByteToWideChar, else wideCharToMultiByte
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("outCount");
        QTest::addColumn<int>("result");

        // The text is "a\xE4\xB8\xAD" (decode, 4 bytes -> 2 units) or u"a\u4E2D" (encode, 2 units -> 4 bytes).
        QTest::newRow("decode_size_query") << true << 4 << 0 << 2;
        QTest::newRow("decode_written") << true << 4 << 2 << 2;
        QTest::newRow("decode_room_to_spare") << true << 4 << 8 << 2;
        QTest::newRow("decode_too_small") << true << 4 << 1 << 0;
        QTest::newRow("decode_terminator_counted") << true << -1 << 0 << 3;
        QTest::newRow("decode_count_zero") << true << 0 << 8 << 0;
        QTest::newRow("decode_count_below_minus_one") << true << -2 << 8 << 0;
        QTest::newRow("decode_negative_out_count") << true << 4 << -1 << 0;
        QTest::newRow("encode_size_query") << false << 2 << 0 << 4;
        QTest::newRow("encode_written") << false << 2 << 4 << 4;
        QTest::newRow("encode_too_small") << false << 2 << 3 << 0;
        QTest::newRow("encode_terminator_counted") << false << -1 << 0 << 5;
        QTest::newRow("encode_count_zero") << false << 0 << 8 << 0;
        QTest::newRow("encode_count_below_minus_one") << false << -2 << 8 << 0;
    }

    void counting()
    {
        QFETCH(bool, decode);
        QFETCH(int, count);
        QFETCH(int, outCount);
        QFETCH(int, result);

        const char bytes[] = "a\xE4\xB8\xAD";
        const char16_t text[] = u"a\u4E2D";
        std::vector<char16_t> unitsOut(8, u'#');
        std::vector<char> bytesOut(8, '#');
        const int got = decode ? multiByteToWideChar(CodePage::Utf8, bytes, count, unitsOut.data(), outCount)
                               : wideCharToMultiByte(CodePage::Utf8, text, count, bytesOut.data(), outCount);
        QCOMPARE(got, result);
        const int written = outCount > 0 ? result : 0; // nothing is written on failure or for a query
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(unitsOut[i] == u'#', !decode || i >= written);
            QCOMPARE(bytesOut[i] == '#', decode || i >= written);
        }
        if (written > 0 && decode)
            QCOMPARE(unitsOut[1], u'\u4E2D');
        if (written > 0 && !decode)
            QCOMPARE(std::string(bytesOut.data(), 4), std::string(bytes, 4));
    }

    void nullText()
    {
        char16_t unitsOut[4];
        char bytesOut[4];
        QCOMPARE(multiByteToWideChar(CodePage::Local, nullptr, -1, unitsOut, 4), 0);
        QCOMPARE(wideCharToMultiByte(CodePage::Local, nullptr, -1, bytesOut, 4), 0);
    }

    // Every string of up to four bytes from the bytes that matter to UTF-8
    // decodes as QString::fromUtf8 does, and every string of up to four units
    // that matter to UTF-16 encodes as QString::toUtf8 does.
    void utf8AsQt()
    {
        const std::vector<char> bytes{'\x41', '\x80', '\xBB', '\xBF', '\xC1', '\xC2', '\xDF', '\xE0', '\xED',
                                      '\xEF', '\xF0', '\xF4', '\xF5', '\x9F', '\xA0', '\x8F', '\x90', '\xFF'};
        for (const std::vector<char> &text : allStrings(bytes, 4)) {
            const int size = int(text.size());
            std::u16string decoded(std::size_t(size) + 1, u'\0');
            decoded.resize(std::size_t(
                size ? multiByteToWideChar(CodePage::Utf8, text.data(), size, decoded.data(), size + 1) : 0));
            QVERIFY2(decoded == units(QString::fromUtf8(text.data(), size)),
                     QByteArray(text.data(), size).toHex().constData());
        }
        const std::vector<char16_t> alphabet{0x41, 0x7FF, 0x800, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFEFF, 0xFFFF};
        for (const std::vector<char16_t> &text : allStrings(alphabet, 4)) {
            const int size = int(text.size());
            std::string encoded(std::size_t(size) * 3 + 1, '\0');
            encoded.resize(std::size_t(
                size ? wideCharToMultiByte(CodePage::Utf8, text.data(), size, encoded.data(), size * 3 + 1) : 0));
            const QByteArray expected = QString(reinterpret_cast<const QChar *>(text.data()), size).toUtf8();
            QCOMPARE(encoded, expected.toStdString());
        }
    }

    // Chunks as small as two units split every multibyte sequence somewhere;
    // the result must still be what one whole pass through Qt gives.
    void chunkedAsWholePass_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<int>("chunk");
        for (const char *codec : {"GBK", "GB18030", "UTF-8", "ISO-8859-1", "Big5"})
            for (int chunk : {2, 3, 7, 64, int(Transcoder::defaultChunk)})
                QTest::addRow("%s_chunk_%d", codec, chunk) << QByteArray(codec) << chunk;
        QTest::newRow("utf16_whole_pass") << QByteArray("UTF-16LE") << 3;
    }

    void chunkedAsWholePass()
    {
        QFETCH(QByteArray, codec);
        QFETCH(int, chunk);
        const LocalCodec local(codec.constData());
        QTextCodec *const qtCodec = QTextCodec::codecForLocale();
        QRandomGenerator random{quint32(chunk)};
        for (int round = 0; round < 8; ++round) {
            const QByteArray utf8 = mixedUtf8(random, 40 + round * 9000);
            // Local text: the UTF-8 text encoded, with ill-formed bytes mixed in.
            QByteArray local = qtCodec->fromUnicode(QString::fromUtf8(utf8));
            for (int i = 0; i < local.size(); i += 1 + int(random.bounded(300)))
                local.insert(i, "\x81\xFF\x80"[random.bounded(3)]);
            local += '\n';

            std::string toLocal, toUtf8;
            Transcoder(Transcoder::Direction::Utf8ToLocal, std::size_t(chunk))
                .run(utf8.data(), std::size_t(utf8.size()), toLocal);
            Transcoder(Transcoder::Direction::LocalToUtf8, std::size_t(chunk))
                .run(local.data(), std::size_t(local.size()), toUtf8);
            QCOMPARE(toLocal, qtCodec->fromUnicode(QString::fromUtf8(utf8)).toStdString());
            QCOMPARE(toUtf8, qtCodec->toUnicode(local).toUtf8().toStdString());
        }
    }
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "codepagetest.moc"
