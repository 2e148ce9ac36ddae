// SPDX-License-Identifier: MIT
// The show test and the registry: which model member takes a data file.
#include "viewpara/viewparafileimp.h"

#include "viewpara/pathtext.h"

#include <cstring>

using krcommon::viewpara::fileSuffix;
using krcommon::viewpara::filterAccepts;
using krcommon::viewpara::fromBytes;

int CKrViewParaFileImp::isCanShow(const char *path, bool isGeoSysGcd) const
{
    // NOTE: the file format holds one path per line; a path with a line break
    // would plant lines of its own in the saved file, so it is never listed.
    if (!path || std::strpbrk(path, "\r\n"))
        return NotShowable;
    // Asking for the GeoSysGcd file overrides the catalogue, whatever the suffix.
    if (isGeoSysGcd)
        return GeoSysGcdCode;

    const QString suffix = fileSuffix(fromBytes(path));
    const auto pick = [&suffix](const QStringList &filter, int code) {
        return filterAccepts(filter, suffix) ? code : int(NotShowable);
    };

    // NOTE: categories are compared exactly; "sourcedata" selects nothing.
    const std::string &category = m_TypeInfo.category;
    if (category == "SourceData" || category == "AtWork") {
        switch (m_TypeInfo.imageType) {
        case 1:
            return pick(m_AeroPhotoFilter, AeroPhotoCode);
        case 2:
            return pick(m_SatPhotoFilter, SatPhotoCode);
        case 3:
            return pick(m_AdsPhotoFilter, AdsPhotoCode);
        default:
            return NotShowable;
        }
    }
    if (category == "DEM")
        return pick(m_DemFilter, DemCode);
    if (category == "DLG")
        return pick(m_DlgFilter, DlgCode);
    if (category == "DOM") {
        // Point clouds first: ".txt" is a point cloud here, never an image.
        const int code = pick(m_PtCloudFilter, PtCloudCode);
        return code != NotShowable ? code : pick(m_ImgFilter, ImgCode);
    }
    if (category == "GCP")
        return pick(m_GeoSysGcdFilter, GeoSysGcdCode);
    return NotShowable;
}

bool CKrViewParaFileImp::addViewFile(const char *path, bool isGeoSysGcd)
{
    const int code = isCanShow(path, isGeoSysGcd);
    if (code < GeoSysGcdCode)
        return false;
    if (code == GeoSysGcdCode) {
        // The one GeoSysGcd path is replaced.
        model().m_GeoSysGcd = fromBytes(path);
        return true;
    }
    if (CLMFile::PathList *list = listFor(code))
        list->add(fromBytes(path));
    return true;
}

bool CKrViewParaFileImp::delViewFile(const char *path)
{
    const int code = isCanShow(path, false);
    if (code < GeoSysGcdCode)
        return false;
    const QString text = fromBytes(path);
    if (code == GeoSysGcdCode) {
        // Only the GeoSysGcd file itself is dropped, not any file of its kind
        // (viewparaimptest: gcp_del_other_path_keeps).
        if (model().m_GeoSysGcd == text)
            model().m_GeoSysGcd.clear();
        return true;
    }
    if (CLMFile::PathList *list = listFor(code))
        list->remove(text);
    return true;
}

// Kept for hosts that call it; a view parameter file names no other file to drop.
void CKrViewParaFileImp::removeParaFile(const char *) {}
