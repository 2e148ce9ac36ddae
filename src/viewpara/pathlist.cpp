// SPDX-License-Identifier: MIT
#include "viewpara/pathlist.h"

namespace krcommon::viewpara {

// NOTE: the side vectors are brought to the list's length first, so a list
// left uneven by a failed allocation in add() is repaired here.
QHash<QString, PathList::Positions> &PathList::index() const
{
    if (m_indexStale) {
        const int n = int(m_paths.size());
        m_hole.resize(std::size_t(n), false);
        m_nextSame.assign(std::size_t(n), -1);
        m_index.clear();
        m_index.reserve(size());
        for (int i = 0; i < n; ++i) {
            if (m_hole[std::size_t(i)])
                continue;
            const auto it = m_index.find(m_paths.at(i));
            if (it == m_index.end()) {
                m_index.insert(m_paths.at(i), Positions{i, i});
            } else {
                m_nextSame[std::size_t(it->last)] = i;
                it->last = i;
            }
        }
        m_indexStale = false;
    }
    return m_index;
}

void PathList::compact() const
{
    if (m_holes == 0)
        return;
    m_hole.resize(std::size_t(m_paths.size()), false);
    QStringList kept;
    kept.reserve(size());
    for (int i = 0; i < m_paths.size(); ++i) {
        if (!m_hole[std::size_t(i)])
            kept.append(m_paths.at(i));
    }
    std::vector<bool> noHoles(std::size_t(kept.size()), false);
    m_paths.swap(kept);
    m_hole.swap(noHoles);
    m_holes = 0;
    m_indexStale = true; // positions have moved
}

const QStringList &PathList::paths() const
{
    compact();
    return m_paths;
}

bool PathList::contains(const QString &path) const
{
    return !path.isEmpty() && !isEmpty() && index().contains(path);
}

int PathList::add(const QString &path)
{
    if (path.isEmpty())
        return size();
    QHash<QString, Positions> &positions = index();
    if (positions.contains(path))
        return size();
    const int at = int(m_paths.size());
    m_indexStale = true; // until every part holds the new entry
    m_paths.append(path);
    m_hole.push_back(false);
    m_nextSame.push_back(-1);
    positions.insert(path, Positions{at, at});
    m_indexStale = false;
    return size();
}

void PathList::append(const QString &entry)
{
    m_paths.append(entry);
    m_indexStale = true;
}

bool PathList::remove(const QString &path)
{
    if (path.isEmpty() || isEmpty())
        return false;
    QHash<QString, Positions> &positions = index();
    const auto it = positions.find(path);
    if (it == positions.end())
        return false;
    const int at = it->first;
    const int next = m_nextSame[std::size_t(at)];
    if (next < 0)
        positions.erase(it);
    else
        it->first = next;
    m_hole[std::size_t(at)] = true;
    ++m_holes;
    // Holes cost memory and time on every rebuild; dropping them once they
    // outnumber the entries keeps each removal amortised O(1).
    if (m_holes > size())
        compact();
    return true;
}

void PathList::clear()
{
    m_paths.clear();
    m_hole.clear();
    m_holes = 0;
    m_index.clear();
    m_nextSame.clear();
    m_indexStale = false;
}

} // namespace krcommon::viewpara
