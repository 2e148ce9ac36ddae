// SPDX-License-Identifier: MIT
#include "viewpara/pathtext.h"

namespace krcommon::viewpara {

namespace {

inline ushort foldAscii(ushort c)
{
    return c >= 'A' && c <= 'Z' ? ushort(c + ('a' - 'A')) : c;
}

} // namespace

QString fromBytes(const char *text)
{
    return text ? QString::fromLatin1(text) : QString();
}

bool asciiEqualsIgnoreCase(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    const QChar *pa = a.constData();
    const QChar *pb = b.constData();
    for (int i = 0; i < a.size(); ++i) {
        if (foldAscii(pa[i].unicode()) != foldAscii(pb[i].unicode()))
            return false;
    }
    return true;
}

QString fileSuffix(const QString &path)
{
    // NOTE: the suite writes Windows paths, so "\" separates as well as "/";
    // a "." in a directory name is not a suffix (d:\data.old\readme).
    const auto nameStart = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
    const auto dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return {};
    return path.mid(dot + 1);
}

bool filterAccepts(const QStringList &filter, const QString &suffix)
{
    if (suffix.isEmpty())
        return false;
    for (const QString &entry : filter) {
        // "*.tif" and ".tif" both name the suffix after the last ".".
        const auto dot = entry.lastIndexOf(QLatin1Char('.'));
        const auto start = dot + 1;
        if (entry.size() - start != suffix.size())
            continue;
        if (asciiEqualsIgnoreCase(entry.mid(start), suffix))
            return true;
    }
    return false;
}

} // namespace krcommon::viewpara
