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
 *
 * @since 1.0
 */
struct IMAGE_TYPE_INFO {
    /**
     * Name of the satellite sensor, 8-bit text in the local code page; may be
     * empty. Satellite photographs are listed under it, byte for byte.
     */
    std::string sensorType;
    /** Kind of photograph: 1 aerial, 2 satellite, 3 ADS; any other value selects none. */
    int imageType = 0;
    /**
     * Working category: "SourceData", "AtWork", "DEM", "DLG", "DOM" or "GCP"
     * (exact, case-sensitive); any other value selects nothing.
     * CKrLumoParaFile does not read it: it always works on "SourceData".
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
 *
 * @since 1.0
 */
class KRCOMMON_EXPORT CKrLumoParaFile
{
public:
    /**
     * An empty file with an empty record: isCanShow() answers -1 for every
     * path, so only a GeoSysGcd file can be added.
     */
    CKrLumoParaFile();

    /**
     * An empty file for the sensor and kind of photograph of @p info. The
     * category is always "SourceData" (the category of @p info is not used),
     * so photographs of the record's kind can be shown. Known satellite names
     * (in GBK) are translated into their sensor codes (TH, Z3).
     * @param info the sensor type and kind of photograph; the caller's record
     *        is not changed
     */
    CKrLumoParaFile(IMAGE_TYPE_INFO info);

    /**
     * Shares the implementation of @p other: both see the same content.
     * @param other the facade to share with
     */
    CKrLumoParaFile(const CKrLumoParaFile &other);

    /**
     * Shares the implementation of @p other, giving up the current one (freed
     * when this was its last copy).
     * @param other the facade to share with
     * @return this facade
     */
    CKrLumoParaFile &operator=(const CKrLumoParaFile &other);

    /** Gives up this copy's share; the content is freed with the last copy, unsaved changes with it. */
    virtual ~CKrLumoParaFile();

    /**
     * Replaces the content by a view parameter file. The content is emptied
     * first, also when the file cannot be read. Paths are taken as the file
     * holds them, without the show test.
     * @param path the file's path, reaching the file system byte for byte
     * @return true when the whole file was read; false for a null path, a file
     *         that cannot be opened and a read error (the content then holds
     *         the lines read before it)
     * @throw std::bad_alloc when memory runs out
     * @note Blocks while reading the file.
     */
    bool load4File(const char *path);

    /**
     * Writes the content to @p path.
     *
     * The file is opened for writing as fopen(path, "w") would open it,
     * without truncating it: symbolic links are followed as the kernel
     * follows them, the kernel's link protections apply, and what that open
     * refuses is never saved. A missing file is created then, and removed
     * again if the save fails.
     *
     * The save is atomic where a new file can take the old one's place: a
     * temporary file beside it, private from its creation and given the old
     * file's owner, group, access ACL, extended attributes and permissions
     * before any content, is written, flushed and renamed over it; on failure
     * the previous file stays byte for byte as it was. Where a rename would
     * change what the file is (it has other hard links, its owner, group, ACL
     * or an attribute cannot be given to a new file exactly, or its directory
     * takes no new file) the file is written in place: truncated, written,
     * flushed and closed. A write error then still gives false, but may leave
     * the file cut short.
     *
     * Anything but a regular file is refused without blocking, and satellite
     * photographs listed under a sensor type holding CR, LF or NUL are
     * refused, as they would not read back the same. A new file gets what
     * fopen would give it (0666 less the umask, or the directory's default
     * ACL).
     * @param path the file's path, reaching the file system byte for byte
     * @return true when the file holds the content; false on any error (null
     *         path, refused, cannot create, write, flush or rename); the file
     *         is then untouched, except after a write error in place
     * @throw std::bad_alloc when memory runs out; the file is then untouched
     * @note Blocks while writing and flushing the file to disk.
     */
    bool save2File(const char *path);

    /**
     * Adds a data file, as given, to the list of its kind unless the list
     * holds it already. Satellite photographs go to the group of the
     * record's sensor type.
     * @param path the data file's path
     * @param isGeoSysGcd true to make @p path the GeoSysGcd file, whatever its
     *        suffix, in place of the one before
     * @return true when the file can be shown (also when it was listed
     *         already; with @p isGeoSysGcd, for every path without CR or LF);
     *         false, changing nothing, when it cannot or for a null path
     */
    bool addViewFile(const char *path, bool isGeoSysGcd);

    /**
     * Removes a data file from the list of its kind: the first listed path
     * with the same bytes. The GeoSysGcd file is never removed by it.
     * @param path the data file's path
     * @return true when the file can be shown (also when it was not listed);
     *         false, changing nothing, when it cannot
     */
    bool delViewFile(const char *path);

    /**
     * Has no effect: a view parameter file names no other file to drop.
     * @param path ignored
     */
    void removeParaFile(const char *path);

    /**
     * Whether a data file can be shown, by its suffix: the text after the last
     * `.` of its last component, ignoring ASCII letter case. Aerial
     * photographs are tif, jpg, kx and raw files; satellite photographs tif,
     * raw, xml, txt and kx files; ADS photographs sup files. The file system
     * is not asked.
     * @param path the data file's path; `/` and `\` both separate
     * @return the type code for the record's kind of photograph: 6 aerial,
     *         7 satellite, 8 ADS; -1 when it cannot be shown (also for a null
     *         path and for a path holding CR or LF)
     */
    int isCanShow(const char *path);

private:
    QExplicitlySharedDataPointer<CKrViewParaFileImp> m_pImp;
};

#endif // KRCOMMON_CKRLUMOPARAFILE_H
