// SPDX-License-Identifier: MIT
// Parsing of coordinate lists "x1;x2;...|y1;y2;...".
#include "CKrCommon.h"

#include <QVariant>

namespace {

void appendNumbers(QList<double> &list, const QStringList &tokens)
{
    // QVariant's reading of a number: unreadable and empty tokens give 0.0,
    // so every token gives exactly one value.
    for (const QString &token : tokens)
        list.append(QVariant(token).toDouble());
}

} // namespace

void CKrCommon::ptTransfer(QList<double> &xList, QList<double> &yList, QString text)
{
    const QChar partSeparator = QLatin1Char('|'), tokenSeparator = QLatin1Char(';');
    const QStringList parts = text.split(partSeparator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QStringList xTokens = parts.at(0).split(tokenSeparator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    // NOTE: a text without "|" has no second part: no y values
    // (StringHelpersTest::coordinateList, "no_separator").
    const QStringList yTokens =
        parts.size() > 1 ? parts.at(1).split(tokenSeparator, Qt::KeepEmptyParts, Qt::CaseSensitive) : QStringList();
    appendNumbers(xList, xTokens);
    appendNumbers(yList, yTokens);
}
