// SPDX-License-Identifier: MIT
#include "viewpara/pathlist.h"

#include "viewpara/pathtext.h"

namespace krcommon::viewpara {

const QHash<QString, int> &PathList::keyCounts() const
{
    if (m_indexStale) {
        m_keyCounts.clear();
        m_keyCounts.reserve(m_paths.size());
        for (const QString &entry : m_paths)
            ++m_keyCounts[asciiLower(entry)];
        m_indexStale = false;
    }
    return m_keyCounts;
}

int PathList::indexOf(const QString &path) const
{
    if (path.isEmpty() || !contains(path))
        return -1;
    for (int i = 0; i < m_paths.size(); ++i) {
        if (asciiEqualsIgnoreCase(m_paths.at(i), path))
            return i;
    }
    return -1;
}

bool PathList::contains(const QString &path) const
{
    if (path.isEmpty() || m_paths.isEmpty())
        return false;
    return keyCounts().contains(asciiLower(path));
}

int PathList::add(const QString &path)
{
    if (path.isEmpty())
        return size();
    const QString key = asciiLower(path);
    // Bring the index up to date before the new entry joins the list.
    if (keyCounts().contains(key))
        return size();
    m_paths.append(key);
    m_keyCounts.insert(key, 1);
    return size();
}

void PathList::append(const QString &entry)
{
    m_paths.append(entry);
    m_indexStale = true;
}

int PathList::remove(const QString &path)
{
    const int i = indexOf(path);
    if (i < 0)
        return -1;
    // indexOf() has rebuilt the index, so it counts this entry.
    const QString key = asciiLower(m_paths.at(i));
    m_paths.removeAt(i);
    auto it = m_keyCounts.find(key);
    if (it != m_keyCounts.end() && --it.value() == 0)
        m_keyCounts.erase(it);
    return i;
}

void PathList::clear()
{
    m_paths.clear();
    m_keyCounts.clear();
    m_indexStale = false;
}

} // namespace krcommon::viewpara
