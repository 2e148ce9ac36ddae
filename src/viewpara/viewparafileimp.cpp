// SPDX-License-Identifier: MIT
#include "viewpara/viewparafileimp.h"

#include "viewpara/pathtext.h"

#include <utility>

namespace {

// The catalogue's filter strings, one per type code. They are kept exactly as
// the suite has always written them, including ".tif" and ".raw" without the
// asterisk and the repeated raw entry: matching looks only at the text after
// an entry's last '.', so both spellings accept the same suffix.
constexpr char geoSysGcdFilter[] = "*.txt;*.grd;*.gcp";
constexpr char imgFilter[] = "*.tif;*.bbi;*.img;*.orl;*.ort;*.orr;*.orm";
constexpr char demFilter[] = "*.dem;*.bem;*.gem;*.tfw;*.bil;*.asc";
constexpr char dlgFilter[] = "*.kxm;*.kxv;*.xyz;*.dxf";
constexpr char ptCloudFilter[] = "*.las;*.dsm;*.txt";
constexpr char aeroPhotoFilter[] = ".tif;*.jpg;*.kx;*.raw";
constexpr char satPhotoFilter[] = "*.tif;.raw;*.xml;*.txt;*.raw;*.kx";
constexpr char adsPhotoFilter[] = "*.sup";

// Satellite names as hosts pass them (GBK, code page 936) and the sensor codes
// that name their photo groups in the file. Compared byte for byte.
constexpr char tianHui1Gbk[] = "\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5";
constexpr char ziYuan3Gbk[] = "\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5";

} // namespace

CKrViewParaFileImp::CKrViewParaFileImp()
    : m_pLMFile(std::make_unique<CLMFile>())
{
    initFilters();
}

CKrViewParaFileImp::CKrViewParaFileImp(IMAGE_TYPE_INFO info)
    : m_pLMFile(std::make_unique<CLMFile>())
    , m_TypeInfo(std::move(info))
{
    m_SensorCodeMap.emplace(tianHui1Gbk, "TH");
    m_SensorCodeMap.emplace(ziYuan3Gbk, "Z3");
    // The object's own copy is translated; the caller's record stays as it was.
    translateSensorType(&m_TypeInfo);
    initFilters();
}

CKrViewParaFileImp::~CKrViewParaFileImp() = default;

void CKrViewParaFileImp::initFilters()
{
    parseFilter(geoSysGcdFilter, &m_GeoSysGcdFilter);
    parseFilter(imgFilter, &m_ImgFilter);
    parseFilter(demFilter, &m_DemFilter);
    parseFilter(dlgFilter, &m_DlgFilter);
    parseFilter(ptCloudFilter, &m_PtCloudFilter);
    parseFilter(aeroPhotoFilter, &m_AeroPhotoFilter);
    parseFilter(adsPhotoFilter, &m_AdsPhotoFilter);
    parseFilter(satPhotoFilter, &m_SatPhotoFilter);
}

void CKrViewParaFileImp::parseFilter(const char *filter, QStringList *list)
{
    if (!filter || !list)
        return;
    // NOTE: pieces keep their blanks and letter case; only empty ones are dropped.
    *list = QString::fromLatin1(filter).split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void CKrViewParaFileImp::translateSensorType(IMAGE_TYPE_INFO *info) const
{
    if (!info)
        return;
    // No early exit: no code is itself a key, so at most one entry applies.
    for (const auto &[name, code] : m_SensorCodeMap) {
        if (info->sensorType == name)
            info->sensorType = code;
    }
}

void CKrViewParaFileImp::clearFilters()
{
    for (QStringList *filter : {&m_GeoSysGcdFilter, &m_ImgFilter, &m_DemFilter, &m_DlgFilter, &m_PtCloudFilter,
                                &m_AeroPhotoFilter, &m_AdsPhotoFilter, &m_SatPhotoFilter})
        filter->clear();
}

CLMFile::PathList *CKrViewParaFileImp::listFor(int code)
{
    CLMFile &file = model();
    switch (code) {
    case ImgCode:
        return &file.m_ImgList;
    case DemCode:
        return &file.m_DemList;
    case DlgCode:
        return &file.m_DlgList;
    case PtCloudCode:
        return &file.m_PtCloudList;
    case AeroPhotoCode:
        return &file.m_AeroPhotoList;
    case SatPhotoCode: {
        // The group is named by the translated sensor code, byte for byte.
        const std::string &sensor = m_TypeInfo.sensorType;
        return file.getSatPhotoList(QString::fromLatin1(sensor.data(), static_cast<int>(sensor.size())));
    }
    case AdsPhotoCode:
        return &file.m_AdsPhotoList;
    default:
        return nullptr;
    }
}

bool CKrViewParaFileImp::load4File(const char *path)
{
    return m_pLMFile->load4File(path);
}

bool CKrViewParaFileImp::save2File(const char *path) const
{
    return m_pLMFile->save2File(path);
}
