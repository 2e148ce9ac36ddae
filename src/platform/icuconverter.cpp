// SPDX-License-Identifier: MIT
#include "platform/icuconverter.h"

// Builds without ICU (KRCOMMON_HAVE_ICU unset) convert every codec through Qt.
#ifdef KRCOMMON_HAVE_ICU

#include <QByteArray>
#include <QTextCodec>

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <typeinfo>

namespace krcommon::platform {

namespace {

UConverter *converter(void *handle)
{
    return static_cast<UConverter *>(handle);
}

// Qt 5's ICU codecs are its class QIcuCodec; with Qt 6 they live in Core5Compat under the same name.
bool isQtIcuCodec(const QTextCodec *codec)
{
    return std::strcmp(typeid(*codec).name(), "9QIcuCodec") == 0;
}

// Only table-driven codecs without shift states can decode and encode ASCII
// on their own; the tables are checked too (Shift_JIS maps 0x5C to the yen sign).
bool asciiTransparent(UConverter *conv)
{
    const UConverterType type = ucnv_getType(conv);
    if (type != UCNV_SBCS && type != UCNV_DBCS && type != UCNV_MBCS && type != UCNV_US_ASCII)
        return false;
    std::array<char, 128> bytes{};
    std::array<char16_t, 128> units{};
    for (std::size_t i = 0; i < 128; ++i) {
        bytes[i] = char(i);
        units[i] = char16_t(i);
    }
    std::array<char16_t, 256> decoded{};
    std::array<char, 512> encoded{};
    UErrorCode error = U_ZERO_ERROR;
    const int decodedCount =
        ucnv_toUChars(conv, decoded.data(), int(decoded.size()), bytes.data(), int(bytes.size()), &error);
    const int encodedCount =
        ucnv_fromUChars(conv, encoded.data(), int(encoded.size()), units.data(), int(units.size()), &error);
    ucnv_reset(conv);
    return U_SUCCESS(error) && decodedCount == 128 && encodedCount == 128 &&
           std::equal(units.begin(), units.end(), decoded.begin()) &&
           std::equal(bytes.begin(), bytes.end(), encoded.begin());
}

// Microsoft's code pages of one- and two-byte characters in ICU: GBK,
// windows-949 (EUC-KR) and Big5. They have no shift states and no mappings of
// several characters, so each character converts the same wherever it stands.
const char *const doubleByteNames[] = {"windows-936-2000", "windows-949-2000", "windows-950-2000"};

std::vector<char16_t> decodeAlone(UConverter *conv, const char *bytes, int size)
{
    std::array<char16_t, 8> units{};
    UErrorCode error = U_ZERO_ERROR;
    ucnv_reset(conv);
    const int count = ucnv_toUChars(conv, units.data(), int(units.size()), bytes, size, &error);
    return U_SUCCESS(error) ? std::vector<char16_t>(units.begin(), units.begin() + count) : std::vector<char16_t>();
}

bool isSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

DoubleByteTable buildTable(UConverter *conv)
{
    DoubleByteTable table;
    table.single.fill(DoubleByteTable::none);
    table.pairs.assign(std::size_t(128) * 256, DoubleByteTable::none);
    table.encodings.assign(0x10000, DoubleByteTable::none);
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const std::vector<char16_t> units = decodeAlone(conv, &byte, 1);
        // A lone lead byte is a character cut off, U+FFFD; lead bytes are looked up in pairs.
        if (units.size() == 1 && units[0] != 0xFFFD && !isSurrogate(units[0]))
            table.single[std::size_t(b)] = units[0];
    }
    for (int lead = 0x80; lead < 256; ++lead) {
        if (table.single[std::size_t(lead)] != DoubleByteTable::none)
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const char bytes[] = {char(lead), char(trail)};
            const std::vector<char16_t> units = decodeAlone(conv, bytes, 2);
            if (units.size() == 1 && units[0] != DoubleByteTable::none && !isSurrogate(units[0]))
                table.pairs[std::size_t(lead - 0x80) * 256 + std::size_t(trail)] = units[0];
        }
    }
    for (char32_t c = 0; c < 0x10000; ++c) {
        const char16_t unit = char16_t(c);
        if (isSurrogate(unit))
            continue;
        std::array<char, 8> bytes{};
        UErrorCode error = U_ZERO_ERROR;
        ucnv_reset(conv);
        const int count = ucnv_fromUChars(conv, bytes.data(), int(bytes.size()), &unit, 1, &error);
        const auto first = std::uint16_t(static_cast<unsigned char>(bytes[0]));
        const auto second = std::uint16_t(static_cast<unsigned char>(bytes[1]));
        if (U_SUCCESS(error) && count == 1)
            table.encodings[c] = first;
        else if (U_SUCCESS(error) && count == 2 && first >= 0x80 && (first << 8 | second) != DoubleByteTable::none)
            table.encodings[c] = std::uint16_t(first << 8 | second);
    }
    ucnv_reset(conv);
    return table;
}

// Built once per process, on first use, and shared by every thread.
const DoubleByteTable *doubleByteTable(UConverter *conv)
{
    UErrorCode error = U_ZERO_ERROR;
    const char *const name = ucnv_getName(conv, &error);
    for (std::size_t i = 0; i < std::size(doubleByteNames); ++i)
        if (U_SUCCESS(error) && std::strcmp(name, doubleByteNames[i]) == 0) {
            static std::array<std::once_flag, std::size(doubleByteNames)> once;
            static std::array<std::unique_ptr<DoubleByteTable>, std::size(doubleByteNames)> tables;
            std::call_once(once[i], [&] { tables[i] = std::make_unique<DoubleByteTable>(buildTable(conv)); });
            return tables[i].get();
        }
    return nullptr;
}

// The converters of the codecs this thread used last. A host rarely switches
// codecs, so a few entries keep the memory bounded and the lookup short.
class ThreadConverters
{
public:
    ThreadConverters() = default;
    ThreadConverters(const ThreadConverters &) = delete;
    ThreadConverters &operator=(const ThreadConverters &) = delete;
    ~ThreadConverters()
    {
        for (Entry &entry : m_entries)
            ucnv_close(entry.handle);
    }

    IcuConverter *find(const QTextCodec *codec)
    {
        for (Entry &entry : m_entries)
            if (entry.codec == codec)
                return entry.converter ? &*entry.converter : nullptr;
        Entry &entry = m_entries[m_next];
        m_next = (m_next + 1) % m_entries.size();
        ucnv_close(entry.handle);
        entry = Entry{codec, nullptr, std::nullopt};
        if (isQtIcuCodec(codec)) {
            UErrorCode error = U_ZERO_ERROR;
            UConverter *conv = ucnv_open(codec->name().constData(), &error);
            if (conv)
                ucnv_setSubstChars(conv, "?", 1, &error);
            if (U_FAILURE(error)) {
                ucnv_close(conv);
                return nullptr;
            }
            entry.handle = conv;
            entry.converter.emplace(conv, codec->mibEnum(), asciiTransparent(conv), doubleByteTable(conv));
        }
        return entry.converter ? &*entry.converter : nullptr;
    }

private:
    struct Entry {
        const QTextCodec *codec = nullptr;
        UConverter *handle = nullptr;
        std::optional<IcuConverter> converter;
    };
    std::array<Entry, 4> m_entries;
    std::size_t m_next = 0;
};

} // namespace

IcuConverter *IcuConverter::forCodec(const QTextCodec *codec)
{
    // NOTE: Qt never deletes its ICU codecs, so a codec's address names it
    // for the life of the process.
    thread_local ThreadConverters converters;
    IcuConverter *const found = converters.find(codec);
    if (found)
        found->m_reset = true; // on first use: most conversions go by the table alone
    return found;
}

void IcuConverter::resetIfNew()
{
    if (m_reset)
        ucnv_reset(converter(m_converter));
    m_reset = false;
}

bool IcuConverter::decoderPending() const
{
    UErrorCode error = U_ZERO_ERROR;
    return !m_reset && ucnv_toUCountPending(converter(m_converter), &error) > 0;
}

bool IcuConverter::encoderPending() const
{
    UErrorCode error = U_ZERO_ERROR;
    return !m_reset && ucnv_fromUCountPending(converter(m_converter), &error) > 0;
}

bool IcuConverter::toUnicodeStep(const char *&text, const char *end, bool last, char16_t *&out, char16_t *outEnd,
                                 bool &full)
{
    resetIfNew();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter(m_converter), &out, outEnd, &text, end, nullptr, UBool(last ? 1 : 0), &error);
    full = error == U_BUFFER_OVERFLOW_ERROR;
    return full || U_SUCCESS(error);
}

bool IcuConverter::fromUnicodeStep(const char16_t *&units, const char16_t *end, bool last, char *&out, char *outEnd,
                                   bool &full)
{
    resetIfNew();
    UErrorCode error = U_ZERO_ERROR;
    ucnv_fromUnicode(converter(m_converter), &out, outEnd, &units, end, nullptr, UBool(last ? 1 : 0), &error);
    full = error == U_BUFFER_OVERFLOW_ERROR;
    return full || U_SUCCESS(error);
}

} // namespace krcommon::platform

#else

namespace krcommon::platform {

IcuConverter *IcuConverter::forCodec(const QTextCodec *)
{
    return nullptr;
}

bool IcuConverter::decoderPending() const
{
    return false;
}

bool IcuConverter::encoderPending() const
{
    return false;
}

bool IcuConverter::toUnicodeStep(const char *&, const char *, bool, char16_t *&, char16_t *, bool &full)
{
    full = false;
    return false;
}

bool IcuConverter::fromUnicodeStep(const char16_t *&, const char16_t *, bool, char *&, char *, bool &full)
{
    full = false;
    return false;
}

} // namespace krcommon::platform

#endif
