// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_CKRLUMOPARAFILE_H
#define KRCOMMON_CKRLUMOPARAFILE_H

#include "krcommon_export.h"

#include <QExplicitlySharedDataPointer>

#include <string>

class CKrViewParaFileImp;

/**
 * What a viewer works on: the satellite sensor, the kind of photograph and
 * the working category.
 */
struct IMAGE_TYPE_INFO {
    /** Name of the satellite sensor, 8-bit text in the local code page; may be empty. */
    std::string sensorType;
    /** Kind of photograph: 1 aerial, 2 satellite, 3 ADS; any other value selects none. */
    int imageType = 0;
    /**
     * Working category: "SourceData", "AtWork", "DEM", "DLG", "DOM" or "GCP"
     * (exact, case-sensitive); any other value selects nothing.
     */
    std::string category;
};

/**
 * @class CKrLumoParaFile CKrLumoParaFile.h <KrCommon/CKrLumoParaFile.h>
 *
 * A view parameter file: the data files a viewer of the suite shows, sorted
 * by kind of data, held in memory and read from and written to a small
 * line-oriented text file.
 *
 * Paths are 8-bit text in the local code page; they reach the file system and
 * the model byte for byte. A path matches a listed one that equals it when
 * ASCII letter case is ignored; added paths are stored with their ASCII
 * letters lowercased.
 *
 * Copies share one implementation: a file added through one copy is seen
 * through the other. The shared object is released after the last copy.
 *
 * @note A facade (with its copies) is used by one thread at a time.
 */
class KRCOMMON_EXPORT CKrLumoParaFile
{
public:
    /** An empty file with an empty record: isCanShow() answers -1 for every path. */
    CKrLumoParaFile();

    /**
     * An empty file for the sensor and kind of photograph of @p info. The
     * category is always "SourceData" (the category of @p info is not used),
     * so photographs of the record's kind can be shown. Known satellite names
     * (in GBK) are translated into their sensor codes.
     */
    CKrLumoParaFile(IMAGE_TYPE_INFO info);

    /** Shares the implementation of @p other. */
    CKrLumoParaFile(const CKrLumoParaFile &other);

    /** Shares the implementation of @p other, giving up the current one. */
    CKrLumoParaFile &operator=(const CKrLumoParaFile &other);

    virtual ~CKrLumoParaFile();

    /**
     * Replaces the content by the view parameter file @p path. The content is
     * emptied first, also when the file cannot be read.
     * @return false when the file cannot be opened or read
     */
    bool load4File(const char *path);

    /**
     * Writes the content to @p path. The file is replaced atomically: on
     * failure the previous file stays byte for byte as it was.
     * @return false on any error (cannot create, write, flush or rename)
     */
    bool save2File(const char *path);

    /**
     * Adds the data file @p path to the list of its kind, unless it is listed.
     * @param isGeoSysGcd true to make @p path the GeoSysGcd file, whatever its suffix
     * @return true when the file can be shown (also when it was listed already)
     */
    bool addViewFile(const char *path, bool isGeoSysGcd);

    /**
     * Removes the data file @p path from the list of its kind.
     * @return true when the file can be shown (also when it was not listed)
     */
    bool delViewFile(const char *path);

    /** Has no effect. */
    void removeParaFile(const char *path);

    /**
     * Whether the data file @p path can be shown, by its suffix.
     * @return the type code: 6 aerial, 7 satellite, 8 ADS photograph; -1 when
     *         it cannot be shown (also for a null path)
     */
    int isCanShow(const char *path);

private:
    QExplicitlySharedDataPointer<CKrViewParaFileImp> m_pImp;
};

#endif // KRCOMMON_CKRLUMOPARAFILE_H
