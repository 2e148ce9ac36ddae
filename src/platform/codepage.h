// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_CODEPAGE_H
#define KRCOMMON_PLATFORM_CODEPAGE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class QTextCodec;

namespace krcommon::platform {
class IcuConverter;
struct DoubleByteTable;
} // namespace krcommon::platform

// Conversions between the two 8-bit encodings the library knows and UTF-16.
//
// The local code page is Qt's local 8-bit codec, QTextCodec::codecForLocale(),
// read at each call: conversions agree with QString::fromLocal8Bit and
// toLocal8Bit, also after a host sets another codec. UTF-8 follows
// QString::fromUtf8 and toUtf8. Ill-formed input is replaced, not reported
// (U+FFFD when decoding; a truncated sequence at the very end too, which
// QString::fromLocal8Bit would drop for ICU's codecs), and a character the
// code page cannot represent becomes its default character ('?').

namespace krcommon::platform {

enum class CodePage { Local, Utf8 };

enum class CodecRoute; // how a codec is driven; internal to the conversions

/**
 * Decodes @p byteCount bytes of @p text (-1: up to and including its zero
 * terminator) into @p out, which holds @p outCount units.
 * @return the number of units written; with @p outCount 0 nothing is written
 *         and the number needed is returned; 0 for a null @p text, a
 *         @p byteCount of 0 or below -1, a negative @p outCount, or an
 *         @p out too small (nothing is written then)
 */
int multiByteToWideChar(CodePage codePage, const char *text, int byteCount, char16_t *out, int outCount);

/** The reverse of multiByteToWideChar(), with the same counting and failure rules. */
int wideCharToMultiByte(CodePage codePage, const char16_t *text, int unitCount, char *out, int outCount);

/**
 * Converts text between the local code page and UTF-8 in bounded chunks,
 * appending to the output without building a whole UTF-16 copy and without
 * zero-filling the output first. The bytes equal those of a conversion
 * through one whole UTF-16 buffer.
 */
class Transcoder
{
public:
    enum class Direction { LocalToUtf8, Utf8ToLocal };

    static constexpr std::size_t defaultChunk = 16384;

    /**
     * Takes the local codec and allocates the scratch buffers (@p chunk UTF-16
     * units, at least 2; also the most input bytes handed to the codec at once)
     * unless the codec is converted without them.
     * @throw std::bad_alloc when the scratch buffers cannot be allocated
     */
    explicit Transcoder(Direction direction, std::size_t chunk = defaultChunk);
    ~Transcoder();
    Transcoder(const Transcoder &) = delete;
    Transcoder &operator=(const Transcoder &) = delete;

    /**
     * Appends the conversion of @p size bytes of @p text to @p out.
     * @throw std::bad_alloc, std::length_error when @p out cannot grow
     */
    void run(const char *text, std::size_t size, std::string &out);
    void run(const char *text, std::size_t size, std::vector<char> &out);

    /**
     * Replaces @p text by its conversion, written over the text itself where
     * no character grows.
     * @throw std::bad_alloc, std::length_error when a new result cannot be allocated
     */
    void runInPlace(std::string &text);

private:
    template<typename Out>
    void convert(const char *text, std::size_t size, Out &out);
    template<typename Out>
    void encodeRest(const char *text, const char *end, Out &out);

    /** Whether the conversion of @p size bytes of @p text gives these very bytes. */
    bool keepsAsItIs(const char *text, std::size_t size) const;
    /** The code page's table for encoding, or null. */
    const DoubleByteTable *encodingTable() const;

    void allocateScratch();

    Direction m_direction;
    QTextCodec *m_codec;
    IcuConverter *m_icu; // the codec's ICU converter for this thread, or null
    CodecRoute m_route;
    std::size_t m_chunk;
    std::unique_ptr<char16_t[]> m_units;
    std::unique_ptr<char[]> m_bytes;
};

} // namespace krcommon::platform

#endif
