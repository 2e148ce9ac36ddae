// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_VIEWPARA_PATHTEXT_H
#define KRCOMMON_VIEWPARA_PATHTEXT_H

#include <QString>
#include <QStringList>

// Text rules for paths and suffixes. Paths arrive as 8-bit text and are held
// as Latin-1 QStrings, one QChar per byte. Paths are compared exactly; only
// suffixes are matched ignoring case, and then only the ASCII letters A-Z are
// folded: QString::toLower() would also fold Latin-1 letters and GBK bytes.

namespace krcommon::viewpara {

/** Converts 8-bit text to a QString byte for byte; null gives a null QString. */
QString fromBytes(const char *text);

/** Whether @p a equals @p b when ASCII letter case is ignored. */
bool asciiEqualsIgnoreCase(const QString &a, const QString &b);

/**
 * The suffix of @p path: the text after the last "." of its file name, the
 * file name being the text after the last "/" or "\". Empty when the file
 * name holds no ".". (d:\data.old\readme has no suffix.)
 */
QString fileSuffix(const QString &path);

/**
 * Whether @p suffix is accepted by one of the @p filter entries: it equals,
 * ignoring ASCII case, an entry's text after its last "." ("*.tif" and ".tif"
 * both accept tif and TIF). An empty suffix is accepted by none.
 */
bool filterAccepts(const QStringList &filter, const QString &suffix);

} // namespace krcommon::viewpara

#endif
