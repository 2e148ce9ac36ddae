// SPDX-License-Identifier: MIT
#include "platform/codepage.h"

#include "platform/icuconverter.h"
#include "platform/utf8.h"

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace krcommon::platform {

// How the local codec is driven.
enum class CodecRoute {
    Utf8,      // Qt's UTF-8 codec: done here, with its rules
    Latin1,    // Qt's Latin-1 codec: done here
    Streaming, // ASCII-compatible codec that keeps partial characters in its ConverterState
    WholePass, // any other codec (UTF-16/32, stateful or unknown ones): one call on all the text
};

namespace {

using Route = CodecRoute;

// NOTE: only codecs known to carry a partial character across calls in their
// ConverterState, to decode a zero byte as U+0000 and to encode U+0000 as a
// zero byte are fed in chunks. On Debian's Qt these are ICU converters.
Route routeFor(int mib)
{
    switch (mib) {
    case 106:
        return Route::Utf8;
    case 4:
        return Route::Latin1;
    case 17:   // Shift_JIS
    case 18:   // EUC-JP
    case 38:   // EUC-KR
    case 113:  // GBK
    case 114:  // GB18030
    case 2025: // GB2312
    case 2026: // Big5
    case 2101: // Big5-HKSCS
    case 2084: // KOI8-R
    case 2086: // IBM866
    case 2088: // KOI8-U
    case 2259: // TIS-620
        return Route::Streaming;
    default:
        break;
    }
    const bool iso8859 = (mib >= 5 && mib <= 13) || (mib >= 109 && mib <= 112); // parts 2 to 10, 13 to 16
    const bool windows = mib >= 2250 && mib <= 2258;                            // windows-1250 to -1258
    return iso8859 || windows ? Route::Streaming : Route::WholePass;
}

void append(std::string &out, const char *data, std::size_t size)
{
    out.append(data, size);
}

void append(std::vector<char> &out, const char *data, std::size_t size)
{
    out.insert(out.end(), data, data + size);
}

void append(std::u16string &out, const char16_t *data, std::size_t size)
{
    out.append(data, size);
}

// Output written over the input it comes from, behind the input read so far.
// It goes through a StackBuffer: writing each character right behind the bytes
// still to be read was measured slower than gathering it first.
struct OverInput {
    char *end;
};

void append(OverInput &out, const char *data, std::size_t size)
{
    std::memmove(out.end, data, size);
    out.end += size;
}

template<typename Out>
void reserveFor(Out &out, std::size_t size, std::size_t numerator, std::size_t denominator)
{
    const std::size_t room = out.max_size() - out.size();
    if (size / denominator < room / numerator)
        out.reserve(out.size() + size / denominator * numerator + 16);
}

int checkedCount(std::size_t size)
{
    return size > std::size_t(INT_MAX) ? 0 : int(size);
}

// The counting rule of both conversions: with @p outCount 0 the size needed,
// otherwise the count copied to @p out, or 0 when it does not fit.
template<typename Text, typename Unit>
int deliver(const Text &converted, Unit *out, int outCount)
{
    const int needed = checkedCount(converted.size());
    if (outCount == 0 || needed == 0)
        return needed;
    if (needed > outCount)
        return 0;
    std::copy(converted.begin(), converted.end(), out);
    return needed;
}

const QChar *asQChars(const char16_t *units)
{
    return reinterpret_cast<const QChar *>(units);
}

const char16_t *asUnits(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// Decodes UTF-8 into UTF-16 pieces of at most `capacity` units, handed to sink(units, count).
template<typename Sink>
void decodeUtf8(const char *text, std::size_t size, char16_t *scratch, std::size_t capacity, Sink &&sink)
{
    const char *const end = text + size;
    text += utf8::bomLength(text, size);
    while (text < end)
        sink(scratch, utf8::decode(text, end, scratch, capacity));
}

// NOTE: Qt's own two-byte codecs (Windows builds, and builds without ICU)
// read a lead byte and whatever byte follows as one character: a stray lead
// byte takes a "/", a space or the zero terminator with it. ICU, and so the
// library, replaces the lead byte alone and reads the ASCII byte after it on
// its own; these tables find where that differs.
struct LeadBytes {
    const QTextCodec *codec = nullptr;
    std::array<bool, 256> lead{};                   // opens a two-byte character
    std::array<std::array<bool, 128>, 128> stray{}; // [lead - 0x80][byte]: the pair is ill-formed
};

// The codec's lead bytes when all its characters have one or two bytes, else null.
const LeadBytes *leadBytesOf(const QTextCodec *codec)
{
    static std::mutex lock;
    static std::vector<std::pair<const QTextCodec *, std::unique_ptr<LeadBytes>>> known;
    const std::lock_guard<std::mutex> guard(lock);
    for (const auto &[knownCodec, bytes] : known) {
        if (knownCodec == codec)
            return bytes.get();
    }
    auto bytes = std::make_unique<LeadBytes>();
    bytes->codec = codec;
    bool pairsOnly = true;
    for (int b = 0x80; b < 0x100 && pairsOnly; ++b) {
        const char first = char(b);
        QTextCodec::ConverterState alone;
        codec->toUnicode(&first, 1, &alone);
        bytes->lead[std::size_t(b)] = alone.remainingChars > 0;
        for (int t = 0; bytes->lead[std::size_t(b)] && t < 0x100; ++t) {
            const char pair[] = {first, char(t)};
            QTextCodec::ConverterState state;
            codec->toUnicode(pair, 2, &state);
            pairsOnly = pairsOnly && state.remainingChars == 0;
            if (t < 0x80)
                bytes->stray[std::size_t(b - 0x80)][std::size_t(t)] = state.invalidChars > 0;
        }
    }
    if (!pairsOnly)
        bytes.reset();
    known.emplace_back(codec, std::move(bytes));
    return known.back().second.get();
}

// Decodes with one of Qt's own codecs that keep partial characters in their
// ConverterState; a character cut off at the end becomes U+FFFD.
template<typename Sink>
void decodeWithQt(const QTextCodec *codec, const char *text, std::size_t size, std::size_t chunk, Sink &&sink)
{
    const char16_t replacement = 0xFFFD;
    const LeadBytes *const leads = leadBytesOf(codec);
    const char *const end = text + size;
    const char *piece = text; // decoded up to here
    std::optional<QTextCodec::ConverterState> state;
    state.emplace();
    const auto decode = [&](const char *to) {
        for (; piece < to;) {
            const std::size_t n = std::min(chunk, std::size_t(to - piece));
            const QString units = codec->toUnicode(piece, int(n), &*state);
            sink(asUnits(units), std::size_t(units.size()));
            piece += n;
        }
        if (state->remainingChars > 0)
            sink(&replacement, 1);
        state.emplace();
    };
    for (const char *p = text; leads && p + 1 < end;) {
        const auto byte = static_cast<unsigned char>(*p);
        if (!leads->lead[byte]) {
            ++p;
            continue;
        }
        const auto next = static_cast<unsigned char>(p[1]);
        if (next >= 0x80 || !leads->stray[byte - 0x80][next]) {
            p += 2;
            continue;
        }
        decode(p);
        sink(&replacement, 1);
        piece = ++p;
    }
    decode(end);
}

// Decodes local code page bytes into UTF-16 pieces handed to sink(units, count).
template<typename Sink>
void decodeLocal(const QTextCodec *codec, Route route, const char *text, std::size_t size, char16_t *scratch,
                 std::size_t chunk, Sink &&sink)
{
    if (route != Route::Utf8 && route != Route::Latin1) {
        if (IcuConverter *icu = IcuConverter::forCodec(codec)) {
            icu->toUnicode(text, text + size, true, scratch, chunk, sink);
            return;
        }
    }
    switch (route) {
    case Route::Utf8:
        decodeUtf8(text, size, scratch, chunk, sink);
        return;
    case Route::Latin1:
        for (std::size_t done = 0; done < size;) {
            const std::size_t n = std::min(chunk, size - done);
            for (std::size_t i = 0; i < n; ++i)
                scratch[i] = char16_t(static_cast<unsigned char>(text[done + i]));
            sink(scratch, n);
            done += n;
        }
        return;
    case Route::Streaming:
        decodeWithQt(codec, text, size, chunk, sink);
        return;
    case Route::WholePass: {
        if (size > std::size_t(INT_MAX))
            throw std::length_error("krcommon: text too long for the local codec");
        QTextCodec::ConverterState state;
        QString units = codec->toUnicode(text, int(size), &state);
        // What a codec keeps for the next call is a character cut off at the end.
        if (state.remainingChars > 0)
            units += QChar::ReplacementCharacter;
        sink(asUnits(units), std::size_t(units.size()));
        return;
    }
    }
}

// Encodes UTF-16 pieces to the local code page, appending to an output.
class LocalEncoder
{
public:
    // `icu` drives the codec of the Streaming route when it is one of ICU's.
    LocalEncoder(QTextCodec *codec, Route route, IcuConverter *icu)
        : m_codec(codec)
        , m_route(route)
        , m_icu(icu)
    {}

    // `bytes` has room for utf8::Encoder::maxBytes(count) bytes.
    template<typename Out>
    void feed(const char16_t *units, std::size_t count, char *bytes, Out &out)
    {
        switch (m_route) {
        case Route::Utf8:
            append(out, bytes, m_utf8.encode(units, count, bytes));
            return;
        case Route::Latin1:
            for (std::size_t i = 0; i < count; ++i)
                bytes[i] = units[i] < 0x100 ? char(units[i]) : '?';
            append(out, bytes, count);
            return;
        case Route::Streaming: {
            if (m_icu) {
                m_icu->fromUnicode(units, units + count, false, bytes, utf8::Encoder::maxBytes(count),
                                   [&out](const char *data, std::size_t size) { append(out, data, size); });
                return;
            }
            encodeWithQt(units, count, out);
            return;
        }
        case Route::WholePass:
            m_whole.append(asQChars(units), int(count));
            return;
        }
    }

    template<typename Out>
    void finish(char *bytes, Out &out)
    {
        switch (m_route) {
        case Route::Utf8:
            append(out, bytes, m_utf8.finish(bytes));
            return;
        case Route::Latin1:
            return;
        case Route::Streaming: {
            if (m_icu) {
                m_icu->fromUnicode(nullptr, nullptr, true, bytes, utf8::Encoder::maxBytes(0),
                                   [&out](const char *data, std::size_t size) { append(out, data, size); });
                return;
            }
            // A high surrogate left waiting at the end becomes '?'.
            if (m_high)
                append(out, "?", 1);
            m_high = 0;
            return;
        }
        case Route::WholePass: {
            const QByteArray encoded = m_codec->fromUnicode(m_whole);
            append(out, encoded.constData(), std::size_t(encoded.size()));
            return;
        }
        }
    }

private:
    // NOTE: Qt's own GBK codec drops a character it cannot encode, and Qt's
    // codecs write a character beyond the basic plane they lack as two '?'.
    // A text the codec encodes whole is taken as it is; otherwise each
    // character is encoded alone, one '?' for each it lacks.
    template<typename Out>
    void encodeWithQt(const char16_t *units, std::size_t count, Out &out)
    {
        const char16_t *const end = units + count;
        if (m_high == 0 && (count == 0 || !QChar::isHighSurrogate(end[-1]))) {
            QTextCodec::ConverterState state;
            const QByteArray encoded = m_codec->fromUnicode(asQChars(units), int(count), &state);
            if (state.invalidChars == 0) {
                append(out, encoded.constData(), std::size_t(encoded.size()));
                return;
            }
        }
        for (const char16_t *u = units; u < end; ++u) {
            if (m_high && QChar::isLowSurrogate(*u)) {
                const char16_t pair[] = {m_high, *u};
                m_high = 0;
                encodeCharacter(pair, 2, QChar::surrogateToUcs4(pair[0], pair[1]), out);
                continue;
            }
            if (m_high)
                append(out, "?", 1);
            m_high = QChar::isHighSurrogate(*u) ? *u : 0;
            if (!m_high)
                encodeCharacter(u, 1, *u, out);
        }
    }

    // Encodes the character @p code of @p count units alone.
    template<typename Out>
    void encodeCharacter(const char16_t *units, int count, char32_t code, Out &out)
    {
        QTextCodec::ConverterState state;
        const QByteArray encoded = m_codec->fromUnicode(asQChars(units), count, &state);
        if (state.invalidChars == 0 && !encoded.isEmpty())
            append(out, encoded.constData(), std::size_t(encoded.size()));
        else if (!isDefaultIgnorable(code))
            append(out, "?", 1);
    }

    // Characters that a code page lacking them leaves out rather than writing '?', as ICU does.
    static bool isDefaultIgnorable(char32_t c)
    {
        return c == 0xAD || c == 0x34F || c == 0x61C || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) ||
               (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
               (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
               c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3) ||
               (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
    }

    QTextCodec *m_codec;
    Route m_route;
    IcuConverter *m_icu;
    utf8::Encoder m_utf8;
    char16_t m_high = 0; // a high surrogate waiting for the next piece
    QString m_whole;
};

// Encodes UTF-16 pieces to UTF-8, through a scratch buffer of maxBytes(capacity).
template<typename Out>
class Utf8Writer
{
public:
    Utf8Writer(char *bytes, std::size_t capacity, Out &out)
        : m_bytes(bytes)
        , m_capacity(capacity)
        , m_out(out)
    {}

    void operator()(const char16_t *units, std::size_t count)
    {
        for (std::size_t done = 0; done < count;) {
            const std::size_t n = std::min(m_capacity, count - done);
            append(m_out, m_bytes, m_encoder.encode(units + done, n, m_bytes));
            done += n;
        }
    }

    void finish() { append(m_out, m_bytes, m_encoder.finish(m_bytes)); }

    // ASCII text, which UTF-8 keeps as it is.
    void ascii(const char *text, std::size_t size)
    {
        finish();
        append(m_out, text, size);
    }

private:
    char *m_bytes;
    std::size_t m_capacity;
    Out &m_out;
    utf8::Encoder m_encoder;
};

// The end of the run of bytes from 0x80 up at @p p.
const char *nonAsciiEnd(const char *p, const char *end)
{
    while (p < end && static_cast<unsigned char>(*p) >= 0x80)
        ++p;
    return p;
}

// Length of the ASCII run at @p p.
std::size_t asciiRun(const char *p, const char *end)
{
    return utf8::asciiPrefix(reinterpret_cast<const unsigned char *>(p), reinterpret_cast<const unsigned char *>(end));
}

// Output gathered in a stack buffer and appended in large pieces. The loops
// keep the write position in a local, so it stays in a register.
template<typename Out>
struct StackBuffer {
    explicit StackBuffer(Out &output)
        : out(output)
    {}

    Out &out;
    char data[4096]; // not filled: only what is written is read

    // The write position, after appending what was written when fewer than 8 bytes are left.
    char *room(char *o)
    {
        if (data + sizeof data - o >= 8)
            return o;
        append(out, data, std::size_t(o - data));
        return data;
    }

    char *put(char *o, const char *text, std::size_t size)
    {
        if (std::size_t(data + sizeof data - o) >= size) {
            std::memcpy(o, text, size);
            return o + size;
        }
        append(out, data, std::size_t(o - data));
        append(out, text, size);
        return data;
    }

    void finish(char *o) { append(out, data, std::size_t(o - data)); }

    // Whether a character of @p bytes, read from @p read bytes, may be written:
    // over the input only when it is no longer, so the output never reaches
    // input not yet read.
    static bool fits(std::size_t bytes, std::size_t read) { return !std::is_same_v<Out, OverInput> || bytes <= read; }
};

// Decodes with the code page's table up to the first byte it does not hold,
// appending UTF-8 to @p out; returns where it stopped.
template<typename Out>
const char *decodeWithTable(const DoubleByteTable &table, bool ascii, const char *p, const char *end, Out &out)
{
    constexpr char16_t none = DoubleByteTable::none;
    StackBuffer<Out> buffer(out);
    char *o = buffer.data;
    while (p < end) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte < 0x80 && ascii) {
            const std::size_t n = asciiRun(p, end);
            o = buffer.put(o, p, n);
            p += n;
            continue;
        }
        char16_t unit = table.single[byte];
        if (unit != none)
            ++p;
        else if (end - p >= 2 && byte >= 0x80 &&
                 (unit = table.pairs[std::size_t(byte - 0x80) * 256 + static_cast<unsigned char>(p[1])]) != none)
            p += 2;
        else
            break;
        o = buffer.room(o);
        if (unit < 0x80) {
            *o++ = char(unit);
        } else if (unit < 0x800) {
            *o++ = char(0xC0 | unit >> 6);
            *o++ = char(0x80 | (unit & 0x3F));
        } else {
            *o++ = char(0xE0 | unit >> 12);
            *o++ = char(0x80 | (unit >> 6 & 0x3F));
            *o++ = char(0x80 | (unit & 0x3F));
        }
    }
    buffer.finish(o);
    return p;
}

// Encodes UTF-8 with the code page's table up to the first character it does
// not hold (and any beyond the basic plane, or one that does not fit);
// returns where it stopped.
template<typename Out>
const char *encodeWithTable(const DoubleByteTable &table, bool ascii, const char *p, const char *end, Out &out)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    const auto *const e = reinterpret_cast<const unsigned char *>(end);
    // A local copy: the table would be reloaded after every byte written.
    const std::uint16_t *const encodings = table.encodings.data();
    StackBuffer<Out> buffer(out);
    char *o = buffer.data;
    while (u < e) {
        unsigned code = u[0];
        int length = 1;
        if (code < 0x80) {
            if (ascii && e - u >= 8) {
                // Eight bytes copied at once, of which the ASCII ones count:
                // paths hold many short runs, not worth a call each.
                o = buffer.room(o);
                std::memcpy(o, u, 8);
                const std::size_t n = utf8::asciiPrefix8(u);
                o += n;
                u += n;
                if (n == 8) {
                    const std::size_t rest = utf8::asciiPrefix(u, e);
                    o = buffer.put(o, reinterpret_cast<const char *>(u), rest);
                    u += rest;
                }
                continue;
            }
            if (ascii) {
                const std::size_t n = utf8::asciiPrefix(u, e);
                o = buffer.put(o, reinterpret_cast<const char *>(u), n);
                u += n;
                continue;
            }
        } else if (utf8::isThreeByteSequence(u, e)) {
            code = (code & 0x0Fu) << 12 | (u[1] & 0x3Fu) << 6 | (u[2] & 0x3Fu);
            length = 3;
        } else {
            length = utf8::sequenceLength(u, e);
            if (length == 0) {
                code = 0xFFFD; // one ill-formed byte
                length = 1;
            } else if (length == 2) {
                code = (code & 0x1Fu) << 6 | (u[1] & 0x3Fu);
            } else {
                break;
            }
        }
        const std::uint16_t encoded = encodings[code];
        if (encoded == DoubleByteTable::none || !StackBuffer<Out>::fits(encoded >= 0x100 ? 2 : 1, std::size_t(length)))
            break;
        o = buffer.room(o);
        if (encoded >= 0x100)
            *o++ = char(encoded >> 8);
        *o++ = char(encoded);
        u += length;
    }
    buffer.finish(o);
    return reinterpret_cast<const char *>(u);
}

// Qt's own UTF-8 codec, the usual local one, which needs no converter.
const QTextCodec *qtUtf8Codec()
{
    static const QTextCodec *const codec = QTextCodec::codecForMib(106);
    return codec;
}

} // namespace

int multiByteToWideChar(CodePage codePage, const char *text, int byteCount, char16_t *out, int outCount)
{
    if (!text || byteCount == 0 || byteCount < -1 || outCount < 0 || (outCount > 0 && !out))
        return 0;
    const std::size_t size = byteCount == -1 ? std::strlen(text) + 1 : std::size_t(byteCount);
    const std::size_t chunk = Transcoder::defaultChunk;
    const auto scratch = std::make_unique<char16_t[]>(chunk);
    std::u16string units;
    auto collect = [&units](const char16_t *data, std::size_t count) { append(units, data, count); };
    if (codePage == CodePage::Utf8)
        decodeUtf8(text, size, scratch.get(), chunk, collect);
    else {
        QTextCodec *const codec = QTextCodec::codecForLocale();
        decodeLocal(codec, routeFor(codec->mibEnum()), text, size, scratch.get(), chunk, collect);
    }

    return deliver(units, out, outCount);
}

int wideCharToMultiByte(CodePage codePage, const char16_t *text, int unitCount, char *out, int outCount)
{
    if (!text || unitCount == 0 || unitCount < -1 || outCount < 0 || (outCount > 0 && !out))
        return 0;
    const std::size_t size = unitCount == -1 ? std::char_traits<char16_t>::length(text) + 1 : std::size_t(unitCount);
    std::string bytes;
    std::string scratch(utf8::Encoder::maxBytes(Transcoder::defaultChunk), '\0');
    if (codePage == CodePage::Utf8) {
        Utf8Writer<std::string> writer(scratch.data(), Transcoder::defaultChunk, bytes);
        writer(text, size);
        writer.finish();
    } else {
        QTextCodec *const codec = QTextCodec::codecForLocale();
        const Route route = routeFor(codec->mibEnum());
        LocalEncoder encoder(codec, route, route == Route::Streaming ? IcuConverter::forCodec(codec) : nullptr);
        for (std::size_t done = 0; done < size;) {
            const std::size_t n = std::min(Transcoder::defaultChunk, size - done);
            encoder.feed(text + done, n, scratch.data(), bytes);
            done += n;
        }
        encoder.finish(scratch.data(), bytes);
    }

    return deliver(bytes, out, outCount);
}

Transcoder::Transcoder(Direction direction, std::size_t chunk)
    : m_direction(direction)
    , m_codec(QTextCodec::codecForLocale())
    , m_icu(m_codec == qtUtf8Codec() ? nullptr : IcuConverter::forCodec(m_codec))
    , m_route(routeFor(m_icu ? m_icu->mib() : m_codec->mibEnum()))
    , m_chunk(std::max<std::size_t>(chunk, 2))
{
    // UTF-8 and the code pages with a table need no scratch unless a table lacks a character.
    if (m_route != Route::Utf8 && !(m_icu && m_icu->table()))
        allocateScratch();
}

void Transcoder::allocateScratch()
{
    if (m_units)
        return;
    m_units = std::make_unique<char16_t[]>(m_chunk);
    m_bytes = std::make_unique<char[]>(utf8::Encoder::maxBytes(m_chunk));
}

Transcoder::~Transcoder() = default;

bool Transcoder::keepsAsItIs(const char *text, std::size_t size) const
{
    // Well-formed UTF-8 under the UTF-8 codec, unless it starts with a byte order mark, which decoding drops.
    return m_route == Route::Utf8 && utf8::bomLength(text, size) == 0 && utf8::isWellFormed(text, size);
}

void Transcoder::run(const char *text, std::size_t size, std::string &out)
{
    convert(text, size, out);
}

void Transcoder::run(const char *text, std::size_t size, std::vector<char> &out)
{
    convert(text, size, out);
}

template<typename Out>
void Transcoder::convert(const char *text, std::size_t size, Out &out)
{
    if (size == 0)
        return;
    const Route route = m_route;
    if (route == Route::Utf8) {
        // UTF-8 in and out: the well-formed runs are copied as they are.
        reserveFor(out, size, 1, 1);
        utf8::sanitize(text, size, [&out](const char *data, std::size_t count) { append(out, data, count); });
        return;
    }
    const char *const end = text + size;
    IcuConverter *const icu = m_icu;
    const DoubleByteTable *const table = icu ? icu->table() : nullptr;
    if (m_direction == Direction::LocalToUtf8) {
        reserveFor(out, size, 3, 2); // two-byte characters grow by half
        const char *p = table ? decodeWithTable(*table, icu->asciiTransparent(), text, end, out) : text;
        if (p == end)
            return;
        allocateScratch();
        Utf8Writer<Out> writer(m_bytes.get(), m_chunk, out);
        if (!icu) {
            decodeLocal(m_codec, route, text, size, m_units.get(), m_chunk, writer);
            writer.finish();
            return;
        }
        // ASCII runs between characters are copied; ICU gets the other bytes
        // and the byte after them, which may be a trail byte.
        while (p < end) {
            const bool transparent = icu->asciiTransparent() && !icu->decoderPending();
            if (const std::size_t n = transparent ? asciiRun(p, end) : 0) {
                writer.ascii(p, n);
                p += n;
                continue;
            }
            const char *q = transparent ? nonAsciiEnd(p, end) : end;
            q += q < end ? 1 : 0;
            icu->toUnicode(p, q, q == end, m_units.get(), m_chunk, writer);
            p = q;
        }
        writer.finish();
        return;
    }
    reserveFor(out, size, 1, 1);
    const char *p = text + utf8::bomLength(text, size);
    if (const DoubleByteTable *const encodings = encodingTable())
        p = encodeWithTable(*encodings, icu->asciiTransparent(), p, end, out);
    encodeRest(p, end, out);
}

void Transcoder::runInPlace(std::string &text)
{
    const std::size_t size = text.size();
    if (keepsAsItIs(text.data(), size))
        return;
    const DoubleByteTable *const encodings = m_direction == Direction::Utf8ToLocal ? encodingTable() : nullptr;
    if (!encodings) {
        std::string out;
        convert(text.data(), size, out);
        text.swap(out);
        return;
    }
    // NOTE: the table's characters are never longer than their UTF-8, '?' for
    // those the code page lacks and for ill-formed bytes included (checked for
    // each one by StackBuffer::fits), so the output goes over the input.
    char *const data = text.data();
    const char *const end = data + size;
    OverInput written{data};
    const char *const p =
        encodeWithTable(*encodings, m_icu->asciiTransparent(), data + utf8::bomLength(data, size), end, written);
    if (p == end) {
        text.resize(std::size_t(written.end - data));
        return;
    }
    std::string out;
    reserveFor(out, size, 1, 1);
    out.assign(data, written.end);
    encodeRest(p, end, out);
    text.swap(out);
}

const DoubleByteTable *Transcoder::encodingTable() const
{
    return m_route == Route::Streaming && m_icu ? m_icu->table() : nullptr;
}

template<typename Out>
void Transcoder::encodeRest(const char *p, const char *end, Out &out)
{
    if (p == end)
        return;
    const Route route = m_route;
    IcuConverter *const streaming = route == Route::Streaming ? m_icu : nullptr;
    allocateScratch();
    LocalEncoder encoder(m_codec, route, streaming);
    while (p < end) {
        const bool transparent = streaming && streaming->asciiTransparent() && !streaming->encoderPending();
        if (const std::size_t n = transparent ? asciiRun(p, end) : 0) {
            append(out, p, n);
            p += n;
            continue;
        }
        // A UTF-8 sequence never holds an ASCII byte, so it ends before the next one.
        const char *const q = transparent ? std::max(nonAsciiEnd(p, end), p + 1) : end;
        while (p < q)
            encoder.feed(m_units.get(), utf8::decode(p, q, m_units.get(), m_chunk), m_bytes.get(), out);
    }
    encoder.finish(m_bytes.get(), out);
}

} // namespace krcommon::platform
