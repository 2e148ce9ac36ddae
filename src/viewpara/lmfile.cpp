// SPDX-License-Identifier: MIT
#include "viewpara/lmfile.h"

#include "viewpara/pathtext.h"

// The type lists in the order their sections are written and with the
// keywords that open them.
const CLMFile::TypeSection CLMFile::typeSections[7] = {
    {"IMG", &CLMFile::m_ImgList},           {"DEM", &CLMFile::m_DemList}, {"DLG", &CLMFile::m_DlgList},
    {"PtCloud", &CLMFile::m_PtCloudList},   {"GCP", &CLMFile::m_GcpList}, {"AeroPhoto", &CLMFile::m_AeroPhotoList},
    {"AdsPhoto", &CLMFile::m_AdsPhotoList},
};

CLMFile::~CLMFile() = default;

void CLMFile::clear()
{
    m_GeoSysGcd.clear();
    for (const TypeSection &section : typeSections)
        (this->*section.list).clear();
    m_SensorTypeList.clear();
    m_SatPhotoLists.clear();
    m_groupIndex.clear();
}

CLMFile::PathList *CLMFile::getSatPhotoList(const QString &sensorType)
{
    // NOTE: sensor types compare exactly: "ZY3", "zy3" and "ZY3 " are three groups.
    if (const auto it = m_groupIndex.constFind(sensorType); it != m_groupIndex.constEnd())
        return m_SatPhotoLists[std::size_t(it.value())].get();
    // Whatever fails to allocate is undone, so the three members stay in
    // step. Capacity grows geometrically: reserving one more each time would
    // copy the whole vector per new group.
    const int at = int(m_SensorTypeList.size());
    if (m_SatPhotoLists.size() == m_SatPhotoLists.capacity())
        m_SatPhotoLists.reserve(2 * m_SatPhotoLists.size() + 8);
    auto group = std::make_unique<PathList>();
    PathList *result = group.get();
    m_groupIndex.insert(sensorType, at);
    try {
        m_SensorTypeList.append(sensorType);
    } catch (...) {
        m_groupIndex.remove(sensorType);
        throw;
    }
    m_SatPhotoLists.push_back(std::move(group)); // cannot throw: capacity is there
    return result;
}

CLMFile::PathList *CLMFile::getSatPhotoList(const char *sensorType)
{
    return getSatPhotoList(krcommon::viewpara::fromBytes(sensorType));
}
