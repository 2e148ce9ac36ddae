// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_ICUCONVERTER_H
#define KRCOMMON_PLATFORM_ICUCONVERTER_H

#include <cstddef>

#include <array>
#include <cstdint>
#include <vector>

class QTextCodec;

namespace krcommon::platform {

/**
 * The characters of a code page of one- and two-byte characters without
 * shift states, as its ICU converter decodes and encodes each on its own.
 * What the tables do not hold is left to the converter.
 */
struct DoubleByteTable {
    static constexpr char16_t none = 0xFFFF;
    std::array<char16_t, 256> single;     // a byte that is a character by itself, else none
    std::vector<char16_t> pairs;          // [(lead - 0x80) * 256 + trail]: a two-byte character, else none
    std::vector<std::uint16_t> encodings; // [unit]: its byte (< 0x100) or its two bytes (lead * 256 + trail), else none
};

/**
 * The ICU converter that one of Qt's ICU codecs drives, opened as the codec
 * opens it (substitution byte '?') but kept per thread, so a conversion does
 * not open one per call. Decoding ends with a flush, so a character cut off at
 * the end becomes the codec's replacement character instead of vanishing.
 */
class IcuConverter
{
public:
    /**
     * The converter of @p codec for the calling thread, in its initial state
     * at the first step of a conversion, or null when Qt does not convert @p codec with ICU (or this build
     * has no ICU). Valid until the thread's next call.
     */
    static IcuConverter *forCodec(const QTextCodec *codec);

    /** Bytes 0x00 to 0x7F are the characters U+0000 to U+007F in either direction, whatever came before. */
    bool asciiTransparent() const { return m_asciiTransparent; }

    /** Qt's number of the codec. */
    int mib() const { return m_mib; }

    /** The codec's table of one- and two-byte characters, or null when it has none. */
    const DoubleByteTable *table() const { return m_table; }

    /**
     * Decodes [@p text, @p end), the last piece of the input when @p last, and
     * hands the UTF-16 pieces (at most @p capacity units) to @p sink.
     */
    template<typename Sink>
    void toUnicode(const char *text, const char *end, bool last, char16_t *scratch, std::size_t capacity, Sink &&sink);

    /** Encodes [@p units, @p end), handing the bytes to @p sink through @p scratch of @p capacity bytes. */
    template<typename Sink>
    void fromUnicode(const char16_t *units, const char16_t *end, bool last, char *scratch, std::size_t capacity,
                     Sink &&sink);

    /** Whether input bytes or units wait in the converter for the rest of a character. */
    bool decoderPending() const;
    bool encoderPending() const;

    /**
     * One call of ICU's conversion: reads from @p text and writes to @p out,
     * advancing both; @p full is set when @p out filled up before the input
     * was read. False on an error that ends the conversion.
     */
    bool toUnicodeStep(const char *&text, const char *end, bool last, char16_t *&out, char16_t *outEnd, bool &full);
    bool fromUnicodeStep(const char16_t *&units, const char16_t *end, bool last, char *&out, char *outEnd, bool &full);

    IcuConverter(void *converter, int mib, bool asciiTransparent, const DoubleByteTable *table)
        : m_converter(converter)
        , m_mib(mib)
        , m_asciiTransparent(asciiTransparent)
        , m_table(table)
    {}

private:
    void resetIfNew();

    void *m_converter;   // ICU's UConverter, owned by the thread's cache
    bool m_reset = true; // reset before the next step: a new conversion begins
    int m_mib;
    bool m_asciiTransparent;
    const DoubleByteTable *m_table;
};

template<typename Sink>
void IcuConverter::toUnicode(const char *text, const char *end, bool last, char16_t *scratch, std::size_t capacity,
                             Sink &&sink)
{
    bool full = true;
    while (full) {
        char16_t *out = scratch;
        const bool ok = toUnicodeStep(text, end, last, out, scratch + capacity, full);
        sink(scratch, std::size_t(out - scratch));
        if (!ok)
            return;
    }
}

template<typename Sink>
void IcuConverter::fromUnicode(const char16_t *units, const char16_t *end, bool last, char *scratch,
                               std::size_t capacity, Sink &&sink)
{
    bool full = true;
    while (full) {
        char *out = scratch;
        const bool ok = fromUnicodeStep(units, end, last, out, scratch + capacity, full);
        sink(scratch, std::size_t(out - scratch));
        if (!ok)
            return;
    }
}

} // namespace krcommon::platform

#endif
