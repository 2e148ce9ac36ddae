// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_VIEWPARA_PATHLIST_H
#define KRCOMMON_VIEWPARA_PATHLIST_H

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace krcommon::viewpara {

/**
 * One list of paths of a view parameter file, in file order.
 *
 * A path matches only an entry with the same characters: Linux file systems
 * are case-sensitive, and folding A-Z would also fold the trail bytes of GBK
 * characters. An index beside the list keeps every add and remove O(1):
 *  - it maps each text to its first and last live position, and each position
 *    to the next one with the same text, so the first match is found without
 *    a scan also when a file lists a path twice;
 *  - a removed entry stays as a hole until holes outnumber entries or
 *    paths() is asked for, then the list is compacted in one pass;
 *  - append() (file reading) only marks the index stale, so reading a large
 *    file does not pay for an index nobody asks for.
 */
class PathList
{
public:
    /** The entries in order. */
    const QStringList &paths() const;
    int size() const { return int(m_paths.size()) - m_holes; }
    bool isEmpty() const { return size() == 0; }

    /** Whether an entry equals @p path; never for an empty path. */
    bool contains(const QString &path) const;

    /**
     * Appends @p path as it is unless an entry equals it or it is empty.
     * @return the number of entries afterwards
     */
    int add(const QString &path);

    /** Appends @p entry as it is, without looking for duplicates (file reading). */
    void append(const QString &entry);

    /**
     * Removes the first entry that equals @p path; later equal entries stay.
     * @return whether an entry was removed
     */
    bool remove(const QString &path);

    void clear();

    friend bool operator==(const PathList &a, const PathList &b) { return a.paths() == b.paths(); }
    friend bool operator!=(const PathList &a, const PathList &b) { return !(a == b); }

private:
    struct Positions {
        int first;
        int last;
    };

    /** The index, rebuilt first when it is stale. */
    QHash<QString, Positions> &index() const;
    void compact() const;

    mutable QStringList m_paths;      // entries, with holes where entries were removed
    mutable std::vector<bool> m_hole; // parallel to m_paths once anything was removed
    mutable int m_holes = 0;
    mutable QHash<QString, Positions> m_index;
    mutable std::vector<int> m_nextSame; // next live position with the same text, -1 for none
    mutable bool m_indexStale = false;
};

} // namespace krcommon::viewpara

#endif
