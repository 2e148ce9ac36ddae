// SPDX-License-Identifier: MIT
// Fuzzes both forms of CKrCommon::insertLineBreak and CKrCommon::ptTransfer
// with arbitrary input: the first two bytes choose the line width, the rest
// is the text (bytes for the std::string form, UTF-16 code units or UTF-8 for
// the QString forms). Besides the sanitizers, each result is checked against
// the break-count rules and the token count.

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

// Checks that @p result is @p text with a break inserted at each
// k * width - 1, k = 1 .. breaks, and nothing else changed.
template<typename String, typename Char>
void checkBreaks(const String &result, const String &text, std::size_t width, std::size_t breaks, Char newline,
                 const char *what)
{
    check(std::size_t(result.size()) == std::size_t(text.size()) + breaks, what);
    String rest; // the result without its breaks: the text again
    for (std::size_t i = 0, k = 1; i < std::size_t(result.size()); ++i) {
        const Char c = result.begin()[std::ptrdiff_t(i)];
        if (k <= breaks && i == k * width - 1) {
            check(c == newline, what);
            ++k;
        } else {
            rest.push_back(c);
        }
    }
    check(rest == text, what);
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
        checkBreaks(result, text, width, text.size() / width, '\n', "std::string: breaks are not size / width");
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
    checkBreaks(result, text, std::size_t(width), breaks, QChar(QLatin1Char('\n')),
                "QString: breaks are not (size - 1) / (width - 1)");
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
    return 0;
}
