// SPDX-License-Identifier: MIT
// Fuzzes the conversions between the local code page and UTF-8 with arbitrary
// bytes under a GBK and a UTF-8 local codec (the first byte chooses). Besides
// the sanitizers it checks that `out` is empty after false, that input inside
// `out` converts as a copy does, that the chunked conversion gives the bytes
// of the counting functions' whole pass, that the in-place form never writes
// past its input, and that valid text round-trips.

#include <CKrCommon.h>

#include "platform/codepage.h"

#include <QTextCodec>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using krcommon::platform::CodePage;

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "encoding_fuzzer: %s\n", what);
        std::abort();
    }
}

// The conversion through the counting functions and one whole UTF-16 buffer.
std::string wholePass(CodePage from, CodePage to, const std::string &text)
{
    using namespace krcommon::platform;
    if (text.empty())
        return std::string();
    const int units = multiByteToWideChar(from, text.data(), int(text.size()), nullptr, 0);
    std::u16string wide(std::size_t(units), u'\0');
    check(multiByteToWideChar(from, text.data(), int(text.size()), wide.data(), units) == units, "decode count");
    if (units == 0)
        return std::string();
    const int bytes = wideCharToMultiByte(to, wide.data(), units, nullptr, 0);
    std::string out(std::size_t(bytes), '\0');
    check(wideCharToMultiByte(to, wide.data(), units, out.data(), bytes) == bytes, "encode count");
    return out;
}

const std::string replacement("\xEF\xBF\xBD");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size > 1 << 20)
        return 0;
    static QTextCodec *const codecs[] = {QTextCodec::codecForName("GBK"), QTextCodec::codecForName("UTF-8")};
    const bool utf8Local = data[0] & 1;
    QTextCodec::setCodecForLocale(codecs[utf8Local]);
    CKrCommon &common = CKrCommon::GetSingleTon();
    // Up to the first zero byte: the string members read their input so.
    const char *const bytes = reinterpret_cast<const char *>(data + 1);
    const std::string text(bytes, strnlen(bytes, size - 1));

    for (const bool toUtf8 : {true, false}) {
        std::vector<char> out{'x'};
        const bool ok =
            toUtf8 ? common.MBToUTF8(out, bytes, int(size - 1)) : common.UTF8ToMB(out, bytes, int(size - 1));
        check(ok == !out.empty(), "the result flag does not match the output");
        std::vector<char> inPlace(bytes, bytes + size - 1);
        if (toUtf8)
            common.MBToUTF8(inPlace, inPlace.data(), int(size - 1));
        else
            common.UTF8ToMB(inPlace, inPlace.data(), int(size - 1));
        check(inPlace == out, "converting the output's own bytes gives another result");
        const std::string converted = toUtf8 ? common.convertToU8(text) : common.convertToMB(text);
        const CodePage from = toUtf8 ? CodePage::Local : CodePage::Utf8;
        const CodePage to = toUtf8 ? CodePage::Utf8 : CodePage::Local;
        check(converted == wholePass(from, to, text), "chunked and whole-pass conversions differ");
        if (text.size() == size - 1)
            check(converted == std::string(out.data(), out.size()), "string and vector forms differ");
    }

    // Valid text round-trips: UTF-8 decoded from local text, unless it needed
    // a replacement or starts with a byte order mark (which decoding drops).
    const std::string utf8 = common.convertToU8(text);
    if (utf8.find(replacement) == std::string::npos && utf8.compare(0, 3, "\xEF\xBB\xBF") != 0)
        check(common.convertToU8(common.convertToMB(utf8)) == utf8, "valid text does not round-trip");
    if (utf8Local && utf8 == text)
        check(common.convertToMB(text) == text, "valid UTF-8 changed under a UTF-8 local codec");

    // In place: never past the input's own bytes, and nothing written on null.
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const std::vector<char> before = buffer;
    if (char *result = common.convertToMB(buffer.data())) {
        check(std::strlen(result) <= text.size(), "the in-place result is longer than its input");
        check(std::string(result) == common.fromUtf8(text), "convertToMB(char*) and fromUtf8 differ");
    } else {
        check(buffer == before, "a failed in-place conversion wrote to the buffer");
    }
    return 0;
}
