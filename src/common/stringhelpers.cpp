// SPDX-License-Identifier: MIT
// Small in-place string edits: path separators and line breaks.
#include "CKrCommon.h"

#include <algorithm>

void CKrCommon::serialStr(std::string &path)
{
    // The text ends at the first zero byte; a string with a slash in its text
    // is cut there, one without is left exactly as it was.
    const std::size_t length = std::min(path.find('\0'), path.size());
    if (path.find('/') >= length)
        return;
    std::replace(path.begin(), path.begin() + std::ptrdiff_t(length), '/', '\\');
    path.resize(length);
}

// Both forms put their breaks at indexes lineWidth - 1, 2 lineWidth - 1, ...
// of the result, so each full line holds lineWidth - 1 characters and its
// break. They differ in the number of breaks. The result is built in one
// pass rather than by inserting break after break, which is quadratic in the
// length of the text.

void CKrCommon::insertLineBreak(std::string &text, unsigned int lineWidth)
{
    const std::size_t length = text.size();
    // NOTE: width 0 would divide by zero; it leaves the text as it is
    // (stringhelpers_fuzzer, over its corpus in the suite).
    if (lineWidth == 0 || length <= lineWidth)
        return;
    // The count is fixed from the length before any break, so the last line
    // takes all that is left and may be longer than the others.
    const std::size_t breaks = length / lineWidth;
    std::string result;
    result.reserve(length + breaks);
    if (lineWidth == 1) {
        // The first break goes in after the first character, every later one
        // just before the text that follows: one character, then all breaks.
        result.append(1, text[0]).append(breaks, '\n').append(text, 1, std::string::npos);
    } else {
        const std::size_t chunk = lineWidth - 1;
        for (std::size_t k = 0; k < breaks; ++k)
            result.append(text, k * chunk, chunk).append(1, '\n');
        result.append(text, breaks * chunk, std::string::npos);
    }
    text.swap(result);
}

void CKrCommon::insertLineBreak(QString &text, int lineWidth)
{
    const auto length = text.size();
    // NOTE: width 0 would divide by zero and width 1 would never end: both
    // leave the text as it is, as negative widths always have
    // (stringhelpers_fuzzer, over its corpus in the suite).
    if (lineWidth < 2 || length <= lineWidth)
        return;
    // The count follows the growing text, so the breaks go on to its end:
    // every line but the last holds lineWidth - 1 characters, the last 1 to
    // lineWidth - 1, and no break stands at the end.
    const int chunk = lineWidth - 1;
    const auto breaks = (length - 1) / chunk;
    QString result;
    result.reserve(length + breaks);
    const QChar *line = text.constData();
    for (auto left = breaks; left > 0; --left, line += chunk)
        result.append(line, chunk).append(QLatin1Char('\n'));
    result.append(line, length - breaks * chunk);
    text.swap(result);
}
