// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_VIEWPARA_VIEWPARAFILEIMP_H
#define KRCOMMON_VIEWPARA_VIEWPARAFILEIMP_H

#include "CKrLumoParaFile.h"
#include "viewpara/lmfile.h"

#include <QSharedData>
#include <QStringList>

#include <map>
#include <memory>
#include <string>

/**
 * The implementation behind CKrLumoParaFile: the catalogue of data types and
 * file filters for one IMAGE_TYPE_INFO, the show test and registry, and the
 * model. Shared between facade copies through QSharedData's reference count.
 */
class CKrViewParaFileImp : public QSharedData
{
public:
    /** Type codes: which model member receives a file. */
    enum TypeCode {
        NotShowable = -1,
        GeoSysGcdCode = 1,
        ImgCode = 2,
        DemCode = 3,
        DlgCode = 4,
        PtCloudCode = 5,
        AeroPhotoCode = 6,
        SatPhotoCode = 7,
        AdsPhotoCode = 8,
    };

    /** An empty record and no sensor codes. */
    CKrViewParaFileImp();
    /** Serves @p info; its sensor type is translated into a sensor code where known. */
    explicit CKrViewParaFileImp(IMAGE_TYPE_INFO info);
    virtual ~CKrViewParaFileImp();
    CKrViewParaFileImp(const CKrViewParaFileImp &) = delete;
    CKrViewParaFileImp &operator=(const CKrViewParaFileImp &) = delete;

    // Catalogue.
    void initFilters();
    /** Replaces @p list by the ";"-separated, non-empty pieces of @p filter; null changes nothing.
     */
    static void parseFilter(const char *filter, QStringList *list);
    void translateSensorType(IMAGE_TYPE_INFO *info) const;
    void clearFilters();

    // Show test and registry.
    int isCanShow(const char *path, bool isGeoSysGcd) const;
    bool addViewFile(const char *path, bool isGeoSysGcd);
    bool delViewFile(const char *path);
    void removeParaFile(const char *path);

    bool load4File(const char *path);
    bool save2File(const char *path) const;

    const CLMFile &model() const { return *m_pLMFile; }
    CLMFile &model() { return *m_pLMFile; }
    const IMAGE_TYPE_INFO &typeInfo() const { return m_TypeInfo; }
    const std::map<std::string, std::string> &sensorCodeMap() const { return m_SensorCodeMap; }

    QStringList m_GeoSysGcdFilter;
    QStringList m_ImgFilter;
    QStringList m_DemFilter;
    QStringList m_DlgFilter;
    QStringList m_PtCloudFilter;
    QStringList m_AeroPhotoFilter;
    QStringList m_AdsPhotoFilter;
    QStringList m_SatPhotoFilter;

private:
    /** The list of type code @p code (2 to 8), null for any other. */
    CLMFile::PathList *listFor(int code);

    std::unique_ptr<CLMFile> m_pLMFile;
    std::map<std::string, std::string> m_SensorCodeMap;
    IMAGE_TYPE_INFO m_TypeInfo;
};

#endif
