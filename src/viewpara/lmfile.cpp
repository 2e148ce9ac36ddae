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
}

CLMFile::PathList *CLMFile::getSatPhotoList(const QString &sensorType)
{
    // NOTE: sensor types compare exactly: "ZY3", "zy3" and "ZY3 " are three groups.
    for (int i = 0; i < m_SensorTypeList.size(); ++i) {
        if (m_SensorTypeList.at(i) == sensorType)
            return m_SatPhotoLists[size_t(i)].get();
    }
    // Grow both sides before either changes, so an allocation failure
    // leaves them the same length.
    m_SatPhotoLists.reserve(m_SatPhotoLists.size() + 1);
    m_SensorTypeList.reserve(m_SensorTypeList.size() + 1);
    auto group = std::make_unique<PathList>();
    PathList *result = group.get();
    m_SatPhotoLists.push_back(std::move(group));
    m_SensorTypeList.append(sensorType);
    return result;
}

CLMFile::PathList *CLMFile::getSatPhotoList(const char *sensorType)
{
    return getSatPhotoList(krcommon::viewpara::fromBytes(sensorType));
}
