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
 * the model byte for byte. A path is stored as given and matches only a
 * listed path with the same bytes, as file systems on Linux compare names
 * (files saved by earlier versions hold lowercased paths, which match that
 * spelling). Suffixes are matched against the file filters ignoring ASCII
 * letter case. The file holds one path per line, so a path holding a line
 * break (CR or LF) is never listed.
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
     * Writes the content to @p path.
     *
     * The save is atomic where a new file can take the old one's place: a
     * temporary file beside it, given the old file's owner, group and
     * permissions, is written, flushed and renamed over it; on failure the
     * previous file stays byte for byte as it was. Where a rename would
     * change what the file is (it has other hard links, its owner or group
     * cannot be given to a new file, or its directory takes no new file) the
     * file is written in place: truncated, written, flushed and closed. A
     * write error then still gives false, but may leave the file cut short.
     *
     * A file the caller may not write is never saved over, and a sensor type
     * holding CR, LF or NUL is refused, as it would not read back the same.
     * @return false on any error (refused, cannot create, write, flush or
     *         rename); the file is then untouched, except after a write error
     *         in place
     */
    bool save2File(const char *path);

    /**
     * Adds the data file @p path, as given, to the list of its kind unless
     * the list holds it already.
     * @param isGeoSysGcd true to make @p path the GeoSysGcd file, whatever its suffix
     * @return true when the file can be shown (also when it was listed
     *         already); false, changing nothing, when it cannot
     */
    bool addViewFile(const char *path, bool isGeoSysGcd);

    /**
     * Removes the data file @p path from the list of its kind: the first
     * listed path with the same bytes.
     * @return true when the file can be shown (also when it was not listed);
     *         false, changing nothing, when it cannot
     */
    bool delViewFile(const char *path);

    /** Has no effect. */
    void removeParaFile(const char *path);

    /**
     * Whether the data file @p path can be shown, by its suffix.
     * @return the type code: 6 aerial, 7 satellite, 8 ADS photograph; -1 when
     *         it cannot be shown (also for a null path and for a path holding
     *         CR or LF)
     */
    int isCanShow(const char *path);

private:
    QExplicitlySharedDataPointer<CKrViewParaFileImp> m_pImp;
};

#endif // KRCOMMON_CKRLUMOPARAFILE_H
