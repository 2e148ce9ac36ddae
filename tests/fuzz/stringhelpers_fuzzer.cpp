// SPDX-License-Identifier: MIT
// Fuzzes the string helpers of CKrCommon with arbitrary input: the first two
// bytes choose the line width, the rest is the text (bytes for the std::string
// forms, UTF-16 code units or UTF-8 for the QString forms). Besides the
// sanitizers, each result is checked against the break-count rules.

#include <CKrCommon.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "stringhelpers_fuzzer: %s\n", what);
        std::abort();
    }
}

// True when @p result is @p text with breaks at k * width - 1, k = 1 ..
// breaks, and nothing else changed.
template<typename String, typename Char>
bool brokenAt(const String &result, const String &text, std::size_t width, std::size_t breaks, Char newline)
{
    if (std::size_t(result.size()) != std::size_t(text.size()) + breaks)
        return false;
    auto from = text.begin();
    std::size_t k = 1;
    for (std::size_t i = 0; i < std::size_t(result.size()); ++i) {
        const Char c = result.begin()[std::ptrdiff_t(i)];
        if (k <= breaks && i == k * width - 1) {
            if (c != newline)
                return false;
            ++k;
        } else if (c != *from++) {
            return false;
        }
    }
    return true;
}

void checkStdLineBreak(const std::string &text, unsigned width)
{
    std::string result = text;
    CKrCommon::GetSingleTon().insertLineBreak(result, width);
    if (width == 0 || text.size() <= width)
        check(result == text, "std::string: a short text or width 0 changed");
    else if (width == 1)
        check(result == text.substr(0, 1) + std::string(text.size(), '\n') + text.substr(1),
              "std::string: width 1 is not one byte, then size breaks, then the rest");
    else
        check(brokenAt(result, text, width, text.size() / width, '\n'),
              "std::string: breaks are not size / width at k * width - 1");
}

void checkQtLineBreak(const QString &text, int width)
{
    QString result = text;
    CKrCommon::GetSingleTon().insertLineBreak(result, width);
    if (width < 2 || text.size() <= width) {
        check(result == text, "QString: a short text or width below 2 changed");
        return;
    }
    const std::size_t breaks = std::size_t(text.size() - 1) / std::size_t(width - 1);
    check(brokenAt(result, text, std::size_t(width), breaks, QChar(QLatin1Char('\n'))),
          "QString: breaks are not (size - 1) / (width - 1) at k * width - 1");
    check(result.size() - int(breaks * std::size_t(width)) >= 1, "QString: a break stands at the end");
}

void checkTransfer(const QString &text)
{
    QList<double> xs{1.5}, ys;
    CKrCommon::GetSingleTon().ptTransfer(xs, ys, text);
    const QStringList parts = text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    check(xs.size() == 1 + parts.at(0).count(QLatin1Char(';')) + 1 && xs.front() == 1.5,
          "ptTransfer: x values are not one per token after the old ones");
    check(ys.size() == (parts.size() > 1 ? parts.at(1).count(QLatin1Char(';')) + 1 : 0),
          "ptTransfer: y values are not one per token of the second part");
}

void checkSerial(const std::string &text)
{
    std::string result = text;
    CKrCommon::GetSingleTon().serialStr(result);
    const std::size_t length = std::min(text.find('\0'), text.size());
    if (text.find('/') >= length) {
        check(result == text, "serialStr: a text without slashes changed");
        return;
    }
    check(result.size() == length && result.find('/') == std::string::npos, "serialStr: a slash is left");
    for (std::size_t i = 0; i < length; ++i)
        check(result[i] == (text[i] == '/' ? '\\' : text[i]), "serialStr: another byte changed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint16_t raw = std::uint16_t(data[0] | data[1] << 8);
    // Mostly small widths, where the rules have their corners; sometimes any.
    const unsigned width = raw & 0x8000 ? raw & 0x7fff : raw % 24;
    const std::string bytes(reinterpret_cast<const char *>(data + 2), size - 2);

    checkStdLineBreak(bytes, width);
    checkQtLineBreak(QString(reinterpret_cast<const QChar *>(bytes.data()), int(bytes.size() / 2)),
                     raw & 0x8000 ? int(std::int16_t(raw)) : int(width));
    checkQtLineBreak(QString::fromUtf8(bytes.data(), int(bytes.size())), int(width));
    checkTransfer(QString::fromUtf8(bytes.data(), int(bytes.size())));
    checkSerial(bytes);
    return 0;
}
