// SPDX-License-Identifier: MIT
// The code-page layer: the counting contract, UTF-8 with Qt's rules, and the
// chunked conversion giving the bytes of one whole pass through the codec.
#include "platform/codepage.h"

#include "testhelpers.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

#include <string>
#include <tuple>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

using namespace krcommon::platform;

namespace {

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

// A codec a host defines: Qt's codec @p real under another name, which the
// library drives through Qt rather than through ICU. Qt keeps it for good.
class HostCodec : public QTextCodec
{
public:
    explicit HostCodec(QTextCodec *real)
        : m_real(real)
    {}
    QByteArray name() const override { return "x-krcommon-" + m_real->name(); }
    int mibEnum() const override { return m_real->mibEnum(); }

protected:
    QString convertToUnicode(const char *in, int size, ConverterState *state) const override
    {
        return m_real->toUnicode(in, size, state);
    }
    QByteArray convertFromUnicode(const QChar *in, int size, ConverterState *state) const override
    {
        return m_real->fromUnicode(in, size, state);
    }

private:
    QTextCodec *m_real;
};

// The name of a host's codec of Qt's codec @p real, made at the first call.
QByteArray hostCodec(const QByteArray &real)
{
    QTextCodec *const codec = QTextCodec::codecForName(real);
    if (!QTextCodec::codecForName("x-krcommon-" + codec->name()))
        return (new HostCodec(codec))->name();
    return "x-krcommon-" + codec->name();
}

} // namespace

class CodePageTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Decoding "a\xE4\xB8\xAD" needs 2 units, encoding u"a\u4E2D" 4 bytes; -1 adds the terminator.
    void counting_data()
    {
        QTest::addColumn<bool>("decode"); // multiByteToWideChar, else wideCharToMultiByte
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("outCount");
        QTest::addColumn<int>("result");

        for (bool decode : {true, false}) {
            const int size = decode ? 2 : 4;
            const char *name = decode ? "decode" : "encode";
            QTest::addRow("%s_size_query", name) << decode << 6 - size << 0 << size;
            QTest::addRow("%s_written", name) << decode << 6 - size << size << size;
            QTest::addRow("%s_room_to_spare", name) << decode << 6 - size << 8 << size;
            QTest::addRow("%s_too_small", name) << decode << 6 - size << size - 1 << 0;
            QTest::addRow("%s_terminator_counted", name) << decode << -1 << 8 << size + 1;
            QTest::addRow("%s_count_zero", name) << decode << 0 << 8 << 0;
            QTest::addRow("%s_count_below_minus_one", name) << decode << -2 << 8 << 0;
            QTest::addRow("%s_negative_out_count", name) << decode << 6 - size << -1 << 0;
        }
    }

    void counting()
    {
        QFETCH(bool, decode);
        QFETCH(int, count);
        QFETCH(int, outCount);
        QFETCH(int, result);

        std::u16string units(8, u'#');
        std::string bytes(8, '#');
        QCOMPARE(decode ? multiByteToWideChar(CodePage::Utf8, "a\xE4\xB8\xAD", count, units.data(), outCount)
                        : wideCharToMultiByte(CodePage::Utf8, u"a\u4E2D", count, bytes.data(), outCount),
                 result);
        // Nothing is written by a size query or a failed call.
        const std::size_t written = outCount > 0 ? std::size_t(result) : 0;
        QCOMPARE(units, std::u16string(u"a\u4E2D", 3).substr(0, decode ? written : 0) +
                            std::u16string(decode ? 8 - written : 8, u'#'));
        QCOMPARE(bytes, std::string("a\xE4\xB8\xAD", 5).substr(0, decode ? 0 : written) +
                            std::string(decode ? 8 : 8 - written, '#'));
        QCOMPARE(multiByteToWideChar(CodePage::Local, nullptr, -1, units.data(), 8), 0);
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

    // Chunks as small as two units (smaller ones are taken as two) split every
    // multibyte sequence somewhere; the result must still be what one whole
    // pass through Qt gives.
    void chunkedAsWholePass_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<int>("chunk");
        for (const char *codec : {"GBK", "GB18030", "UTF-8", "ISO-8859-1", "Big5"})
            for (int chunk : {0, 1, 2, 3, 7, 64, int(Transcoder::defaultChunk)})
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
            local += local.size() % 2 ? "\n" : "\n\n"; // whole UTF-16 units

            std::string toLocal, toUtf8;
            Transcoder(Transcoder::Direction::Utf8ToLocal, std::size_t(chunk))
                .run(utf8.data(), std::size_t(utf8.size()), toLocal);
            Transcoder(Transcoder::Direction::LocalToUtf8, std::size_t(chunk))
                .run(local.data(), std::size_t(local.size()), toUtf8);
#ifdef _WIN32
            // Qt's own codecs keep other rules for stray lead bytes and characters a code page lacks: one chunk is
            // the reference.
            std::string wholeLocal, wholeUtf8;
            Transcoder(Transcoder::Direction::Utf8ToLocal, std::size_t(utf8.size()))
                .run(utf8.data(), std::size_t(utf8.size()), wholeLocal);
            Transcoder(Transcoder::Direction::LocalToUtf8, std::size_t(local.size()))
                .run(local.data(), std::size_t(local.size()), wholeUtf8);
#else
            const std::string wholeLocal = qtCodec->fromUnicode(QString::fromUtf8(utf8)).toStdString();
            const std::string wholeUtf8 = qtCodec->toUnicode(local).toUtf8().toStdString();
#endif
            QCOMPARE(toLocal, wholeLocal);
            QCOMPARE(toUtf8, wholeUtf8);

            // The whole-buffer conversions of the local code page agree with the codec too.
            const std::u16string text = units(QString::fromUtf8(utf8));
            std::u16string decoded(std::size_t(local.size()), u'\0');
            std::string encoded(text.size() * 4, '\0');
            decoded.resize(std::size_t(multiByteToWideChar(CodePage::Local, local.data(), int(local.size()),
                                                           decoded.data(), int(decoded.size()))));
            encoded.resize(std::size_t(wideCharToMultiByte(CodePage::Local, text.data(), int(text.size()),
                                                           encoded.data(), int(encoded.size()))));
#ifndef _WIN32
            QVERIFY(decoded == units(qtCodec->toUnicode(local)));
#endif
            QCOMPARE(encoded, toLocal);
        }
    }

#ifdef _WIN32
    // Qt's local codec, which the library converts with, is the ANSI code page
    // that 8-bit paths reach the wide Win32 calls through: every character of
    // the code page decodes and encodes alike. Left out: ill-formed pairs and
    // 936's 0xFF (U+F8F5), which Qt's codec drops and Windows does not. KRCOMMON_EXPECT_ACP pins the page.
    void localCodecIsAnsiCodePage()
    {
        if (const QByteArray acp = qgetenv("KRCOMMON_EXPECT_ACP"); !acp.isEmpty())
            QCOMPARE(uint(::GetACP()), acp.toUInt());
        QByteArray text;
        for (int lead = 1; lead < 255; ++lead) {
            for (int trail = 0x40; ::IsDBCSLeadByte(BYTE(lead)) && trail < 0xFF; ++trail)
                text += trail == 0x7F ? QByteArray() : QByteArray(1, char(lead)) + char(trail);
            if (!::IsDBCSLeadByte(BYTE(lead)))
                text += char(lead);
        }
        std::wstring wide(std::size_t(text.size()), L'\0');
        wide.resize(std::size_t(
            ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), int(wide.size()))));
        const QString decoded = QTextCodec::codecForLocale()->toUnicode(text);
        QCOMPARE(decoded, QString::fromStdWString(wide));
        QByteArray encoded(text.size() * 2, '\0');
        encoded.resize(::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), encoded.data(),
                                             int(encoded.size()), nullptr, nullptr));
        QCOMPARE(QTextCodec::codecForLocale()->fromUnicode(decoded), encoded);
    }
#endif

    // Under every codec Qt offers, every lead and trail byte pair decodes, and
    // every character of the basic plane encodes (over its own UTF-8), as one
    // pass through Qt does.
    void everyCodecAsQt()
    {
#ifdef _WIN32
        QSKIP("Qt without ICU takes the byte after a stray lead byte and drops or doubles characters a code page "
              "lacks; the conversions keep ICU's rules, which encodingtest checks");
#endif
        QByteArray pairs;
        for (int lead = 0; lead < 256; ++lead)
            for (int trail = 0; trail < 256; ++trail)
                pairs.append(char(lead)).append(char(trail)).append('\n');
        QString plane;
        for (char16_t c = 1; c < 0xD800; ++c)
            plane += QChar(c);
        for (char16_t c = 0xE000; c != 0; ++c)
            plane += QChar(c);
        const QByteArray planeUtf8 = plane.toUtf8();
        QByteArrayList names;
        for (int mib : QTextCodec::availableMibs())
            names << QTextCodec::codecForMib(mib)->name();
        for (const QByteArray &name : names << hostCodec("Big5") << hostCodec("GB18030")) {
            const LocalCodec local(name);
            QTextCodec *const codec = QTextCodec::codecForLocale();
            std::string decoded, encoded = planeUtf8.toStdString();
            Transcoder(Transcoder::Direction::LocalToUtf8).run(pairs.data(), std::size_t(pairs.size()), decoded);
            Transcoder(Transcoder::Direction::Utf8ToLocal).runInPlace(encoded);
            QVERIFY2(decoded == codec->toUnicode(pairs).toUtf8().toStdString(), codec->name().constData());
            QVERIFY2(encoded == codec->fromUnicode(plane).toStdString(), codec->name().constData());
        }
    }

    // Under a host's codec of Big5 or GB18030 (mibs the library streams), in
    // small chunks too, the conversions give what they give under Qt's own.
    // Left out: a lead byte at the very end, which Qt's ICU codecs drop without
    // counting it as remaining. Declared after everyCodecAsQt, as from then on
    // codecForMib() may give a host's codec.
    void hostCodecAsQt_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<QString>("text");
        const QByteArray as(int(Transcoder::defaultChunk) - 1, 'a'); // the next character straddles a chunk
        const auto text = [](const char16_t *units) { return QString::fromUtf16(units); };
        const std::tuple<const char *, QByteArray, QString> rows[] = {
            {"ascii", "dir/a b.txt", text(u"dir/a b.txt")},
            {"double_byte", "\xA4\xA4\xA4\xE5/\xB8\xF4", text(u"\u4E2D\u6587/\u8DEF")},
            {"stray_lead_slash_thai", "\xB0/\xB0\xA1", text(u"a\u0E01\uAC00")},
            {"stray_lead_space_pairs", "a\xB0 b", text(u"\xD83D\xDE00/\xD800/\xDC00")},
            {"high_surrogate_end", "\xFF\x80", text(u"a\xD83D")},
            {"ignorable", "\x80", text(u"a\u200B\uFEFF\xDC00\u00AD\U000E0001\u3164\U0001BCA0\U0001D17A\U0001D17Bb")},
            {"long", as + "\xA4\xA4", QString::fromLatin1(as) + text(u"\xD83D\xDE00\u0E01")}};
        for (const char *codec : {"Big5", "GB18030"})
            for (const auto &[name, local, text] : rows)
                QTest::addRow("%s_%s", codec, name) << QByteArray(codec) << local << text;
    }

    void hostCodecAsQt()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArray, local);
        QFETCH(QString, text);
        const std::u16string wide = units(text);
        const std::string utf8 = text.toStdString();
        const auto convert = [&](const QByteArray &name) {
            const LocalCodec set(name);
            std::u16string decoded(std::size_t(local.size()) + 1, u'\0');
            decoded.resize(std::size_t(multiByteToWideChar(CodePage::Local, local.data(), int(local.size()),
                                                           decoded.data(), int(decoded.size()))));
            std::string encoded(wide.size() * 4, '\0');
            encoded.resize(std::size_t(wideCharToMultiByte(CodePage::Local, wide.data(), int(wide.size()),
                                                           encoded.data(), int(encoded.size()))));
            QByteArrayList out{QString::fromStdU16String(decoded).toUtf8(), QByteArray::fromStdString(encoded)};
            for (std::size_t chunk : {2, 3}) {
                std::string toUtf8, toLocal;
                Transcoder(Transcoder::Direction::LocalToUtf8, chunk)
                    .run(local.data(), std::size_t(local.size()), toUtf8);
                Transcoder(Transcoder::Direction::Utf8ToLocal, chunk).run(utf8.data(), utf8.size(), toLocal);
                out << QByteArray::fromStdString(toUtf8) << QByteArray::fromStdString(toLocal);
            }
            return out;
        };
        QCOMPARE(convert(hostCodec(codec)), convert(codec));
    }
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "codepagetest.moc"
