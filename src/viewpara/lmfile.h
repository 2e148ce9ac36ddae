// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_VIEWPARA_LMFILE_H
#define KRCOMMON_VIEWPARA_LMFILE_H

#include "viewpara/pathlist.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

/**
 * The in-memory model of one view parameter file: the GeoSysGcd path, the
 * seven type lists and the satellite photographs grouped by sensor type.
 *
 * Paths are Latin-1 QStrings holding the file's bytes one for one.
 */
class CLMFile
{
public:
    using PathList = krcommon::viewpara::PathList;

    /** A type list with the keyword of its section, in the order sections are written. */
    struct TypeSection {
        const char *keyword;
        PathList CLMFile::*list;
    };
    static const TypeSection typeSections[7];

    CLMFile() = default;
    virtual ~CLMFile();
    CLMFile(const CLMFile &) = delete;
    CLMFile &operator=(const CLMFile &) = delete;

    /** Empties the whole model: GeoSysGcd path, type lists and satellite groups. */
    void clear();

    /**
     * The satellite photo group of @p sensorType (exact, case-sensitive
     * comparison), created at the end when there is none. Never null.
     * Found through a hash, so a file of many groups loads in linear time.
     */
    PathList *getSatPhotoList(const QString &sensorType);
    PathList *getSatPhotoList(const char *sensorType);

    /**
     * Replaces the model by the content of the view parameter file @p path.
     * The model is emptied first, also when the file cannot be read.
     * @return false when the file cannot be opened or a read error occurs
     */
    bool load4File(const char *path);

    /**
     * Writes the model to @p path (atomically where the file allows it, see
     * RawSaveFile). Only a model that reads back the same is written: a
     * sensor type holding CR, LF or NUL, or a path holding LF or NUL or
     * ending in CR, makes the save fail before the file is touched.
     * @return false on any error; the previous file is then left as it was
     */
    bool save2File(const char *path) const;

    QString m_GeoSysGcd;
    PathList m_ImgList;
    PathList m_DemList;
    PathList m_DlgList;
    PathList m_PtCloudList;
    PathList m_GcpList;
    PathList m_AeroPhotoList;
    PathList m_AdsPhotoList;
    /** Sensor types of the satellite groups, in creation order; group i is m_SatPhotoLists[i]. */
    QStringList m_SensorTypeList;
    std::vector<std::unique_ptr<PathList>> m_SatPhotoLists;

private:
    // Sensor type -> index into m_SatPhotoLists. Groups are created only by
    // getSatPhotoList(), which keeps this in step with m_SensorTypeList.
    QHash<QString, int> m_groupIndex;
};

#endif
