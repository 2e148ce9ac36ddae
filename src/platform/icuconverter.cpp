// SPDX-License-Identifier: MIT
#include "platform/icuconverter.h"

#include <QByteArray>
#include <QTextCodec>

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
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
            entry.converter.emplace(conv, asciiTransparent(conv));
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
        ucnv_reset(converter(found->m_converter));
    return found;
}

bool IcuConverter::decoderPending() const
{
    UErrorCode error = U_ZERO_ERROR;
    return ucnv_toUCountPending(converter(m_converter), &error) > 0;
}

bool IcuConverter::encoderPending() const
{
    UErrorCode error = U_ZERO_ERROR;
    return ucnv_fromUCountPending(converter(m_converter), &error) > 0;
}

bool IcuConverter::toUnicodeStep(const char *&text, const char *end, bool last, char16_t *&out, char16_t *outEnd,
                                 bool &full)
{
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter(m_converter), &out, outEnd, &text, end, nullptr, last, &error);
    full = error == U_BUFFER_OVERFLOW_ERROR;
    return full || U_SUCCESS(error);
}

bool IcuConverter::fromUnicodeStep(const char16_t *&units, const char16_t *end, bool last, char *&out, char *outEnd,
                                   bool &full)
{
    UErrorCode error = U_ZERO_ERROR;
    ucnv_fromUnicode(converter(m_converter), &out, outEnd, &units, end, nullptr, last, &error);
    full = error == U_BUFFER_OVERFLOW_ERROR;
    return full || U_SUCCESS(error);
}

} // namespace krcommon::platform
