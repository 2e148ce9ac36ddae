// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_VIEWPARA_PATHLIST_H
#define KRCOMMON_VIEWPARA_PATHLIST_H

#include <QHash>
#include <QString>
#include <QStringList>

namespace krcommon::viewpara {

/**
 * One list of paths of a view parameter file, in file order.
 *
 * A path matches an entry equal to it when ASCII letter case is ignored.
 * Beside the list an index counts the entries per ASCII-folded key, so adding
 * n distinct paths costs linear time instead of a scan per add. Every
 * operation that changes the list keeps the index true; append() only marks
 * it stale, so reading a large file does not pay for an index nobody asks
 * for, and the next lookup rebuilds it in one pass.
 */
class PathList
{
public:
    const QStringList &paths() const { return m_paths; }
    int size() const { return m_paths.size(); }
    bool isEmpty() const { return m_paths.isEmpty(); }

    /** Index of the first entry equal to @p path ignoring ASCII case; -1 for none or an empty path.
     */
    int indexOf(const QString &path) const;

    /** Whether an entry equals @p path ignoring ASCII case. */
    bool contains(const QString &path) const;

    /**
     * Appends @p path with its ASCII letters lowercased unless an entry
     * matches it already or it is empty.
     * @return the number of entries afterwards
     */
    int add(const QString &path);

    /** Appends @p entry as it is, without looking for duplicates (file reading). */
    void append(const QString &entry);

    /**
     * Removes the first entry that matches @p path.
     * @return the index of the removed entry, -1 when none matched
     */
    int remove(const QString &path);

    void clear();

    friend bool operator==(const PathList &a, const PathList &b) { return a.m_paths == b.m_paths; }
    friend bool operator!=(const PathList &a, const PathList &b) { return !(a == b); }

private:
    /** The index, rebuilt first when append() has left it stale. */
    const QHash<QString, int> &keyCounts() const;

    QStringList m_paths;
    mutable QHash<QString, int> m_keyCounts; // ASCII-folded key -> entries with that key
    mutable bool m_indexStale = false;
};

} // namespace krcommon::viewpara

#endif
