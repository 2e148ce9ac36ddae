// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_CKRCOMMON_H
#define KRCOMMON_CKRCOMMON_H

#include "krcommon_export.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <set>
#include <string>
#include <vector>

/**
 * The extent of one map sheet with its identifier.
 *
 * x bounds come first (smaller, larger), then y bounds with the larger first.
 */
struct KRCOMMON_EXPORT SheetScope {
    float left = 0.0f;   ///< smaller x bound
    float right = 0.0f;  ///< larger x bound
    float top = 0.0f;    ///< larger y bound
    float bottom = 0.0f; ///< smaller y bound
    int id = 0;          ///< the sheet's identifier

    /** True when (@p x, @p y) lies strictly inside the sheet. */
    bool contains(float x, float y) const;
};

/**
 * One block of a survey partition, given by two opposite corners, with the
 * identifiers of the map sheets related to it.
 */
struct KRCOMMON_EXPORT Block {
    int tag = 0;            ///< belongs to the caller; the library never touches it
    float x1 = 0.0f;        ///< x of one corner
    float y1 = 0.0f;        ///< y of that corner
    float x2 = 0.0f;        ///< x of the opposite corner
    float y2 = 0.0f;        ///< y of the opposite corner
    std::set<int> sheetIds; ///< identifiers of the related sheets, ascending

    /** Adds @p sheet's id to sheetIds when the sheet is related to this block. */
    void relateSheet(const SheetScope &sheet);
};

/**
 * @class CKrCommon CKrCommon.h <KrCommon/CKrCommon.h>
 *
 * The process-wide singleton that carries the library's utility members.
 *
 * The one instance is created on the first call of GetSingleTon() or
 * GetSinglePton() and destroyed when the library is unloaded (or the process
 * ends). The utility members keep no state and take no lock: any number of
 * threads may call them at once on different arguments.
 *
 * @code
 * std::vector<std::vector<float>> rows;
 * CKrCommon::GetSingleTon().calBlock(rows, 0, 0, 1000, 600, 250, 250);
 * @endcode
 */
class KRCOMMON_EXPORT CKrCommon : public QObject
{
    Q_OBJECT

public:
    /** Destroys the instance; only the library's teardown does this. */
    ~CKrCommon() override;

    /**
     * Returns the one instance, creating it on first use.
     * @note Thread-safe: concurrent first calls create exactly one instance.
     */
    static CKrCommon &GetSingleTon();

    /** The same as GetSingleTon(), returning the address of the instance. */
    static CKrCommon *GetSinglePton();

    /**
     * Divides a rectangular survey area into a regular grid of blocks and
     * appends, row by row in increasing y, the origin corners of the blocks.
     *
     * The grid lines lie on whole multiples of the block size (the grid is
     * anchored at coordinate 0), so areas divided with the same block size
     * share their grid lines. The first column (row) starts on the grid line
     * at or below @p startX (@p startY); when the start lies inside a cell one
     * extra column (row) is added, so the grid always covers the area.
     *
     * @param rows output: one vector per grid row is appended, holding
     *        interleaved x, y pairs of the blocks' origin corners in
     *        increasing x; elements already present stay
     * @param startX the area's smallest x
     * @param startY the area's smallest y
     * @param width the area's extent along x (a length, not an end coordinate)
     * @param height the area's extent along y
     * @param blockWidth the size of a block along x, greater than zero
     * @param blockHeight the size of a block along y, greater than zero
     * @throw std::length_error when the column count is negative or the grid
     *        cannot be sized (a block size of zero, a non-finite argument, a
     *        count beyond 32 bits); nothing is appended then
     * @throw std::bad_alloc when memory runs out; rows appended before stay
     */
    void calBlock(std::vector<std::vector<float>> &rows, float startX, float startY, float width, float height,
                  float blockWidth, float blockHeight);

    // ---- Geometry: sheets and blocks, coordinate lists -------------------

    /** Relates every sheet to the blocks it reaches into; only adds ids. */
    void blockUserRelation(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks);

    /** Appends the numbers of "x1;x2;...|y1;y2;..." to @p xList and @p yList. */
    void ptTransfer(QList<double> &xList, QList<double> &yList, QString text);

    // ---- Text encodings --------------------------------------------------

    /** Converts local code page text to UTF-8 into @p out. */
    bool MBToUTF8(std::vector<char> &out, const char *text, int length);

    /** Converts UTF-8 text to the local code page into @p out. */
    bool UTF8ToMB(std::vector<char> &out, const char *text, int length);

    /** UTF-8 to the local code page, at most 511 bytes. */
    std::string fromUtf8(std::string text);

    /** Local code page to UTF-8, any length. */
    std::string convertToU8(std::string text);

    /** UTF-8 to the local code page, any length. */
    std::string convertToMB(std::string text);

    /** UTF-8 to the local code page in place, at most 511 bytes. */
    char *convertToMB(char *text);

    /** Copies @p src and a terminator into @p dst of @p dstSize bytes. */
    bool vtrcToChar(char *dst, std::vector<char> &src, int dstSize);

    // ---- String helpers --------------------------------------------------

    /** Turns every "/" into "\\". */
    void serialStr(std::string &path);

    /** Inserts line breaks; the break count is fixed from the length before. */
    void insertLineBreak(std::string &text, unsigned int lineWidth);

    /** Inserts line breaks; the break count follows the growing length. */
    void insertLineBreak(QString &text, int lineWidth);

    // ---- Paths, directories, files and processes -------------------------

    /**
     * Finds a byte in @p text, over its whole length (a zero byte is an
     * ordinary byte).
     * @param forward true for the first occurrence, false for the last
     * @return the byte index, or -1 when @p text holds no @p ch (or is empty)
     */
    int findIndex(std::string text, char ch, bool forward);

    /**
     * The text of @p path before its first separator ("/" or "\"):
     * D:\data\img.tif gives D:. Pure text; the file system is not asked.
     * @return empty when @p path has no separator or begins with one
     */
    std::string getRootPath(std::string path);

    /**
     * The text of @p path before its last separator ("/" or "\"):
     * D:\data\img.tif and D:\data\ both give D:\data.
     * @return empty when @p path has no separator, or only a leading one
     */
    std::string getParentPath(std::string path);

    /**
     * @p path without its suffix, directories kept: the text before the first
     * "." of the last component (the text after the last "/" or "\").
     * D:\old.dir\img.tar.gz gives D:\old.dir\img; .cfg gives the empty string.
     * @return the whole of @p path when its last component has no "."
     */
    std::string getFileNameWithOutSuffix(std::string path);

    /**
     * The suffix of @p path: the last component from its first "." on, the
     * dot included. D:\old.dir\img.tar.gz gives .tar.gz.
     * @return empty when the last component has no ".", or begins with one (.cfg)
     */
    std::string getSuffixByFileName(std::string path);

    /**
     * The last component of @p path, of any length. One trailing separator is
     * dropped first (D:\data\dir\ gives dir). When @p path holds a "\",
     * only "\" separates: a\b/d.tif gives b/d.tif.
     * @return empty for a null or empty path
     */
    std::string getFileNameFormPath(const char *path);

    /**
     * Creates, outermost first, the missing directories above the last
     * component of @p path; the last component itself is not created
     * (a/b/img.tif makes a and a/b; a/b/ does too; a/b makes a only).
     * Both "/" and "\" separate. The path reaches the file system as
     * QString::toLocal8Bit() gives it; any length.
     * @note Failures are not reported: a directory that cannot be made is missing afterwards.
     */
    void createDir(const QString &path);

    /**
     * The paths of all files below a directory, depth first, in the order the
     * file system lists them; directories themselves are not listed.
     *
     * @p path is searched as @p path + "*", so it is given with a trailing
     * separator (/data/); /data instead lists the entries of / whose names
     * begin with data. Each path is the text of its level followed by the
     * name; a subdirectory's level is its parent's text, its name and "/"
     * (on Windows "\"). Directories whose names begin with "." are skipped;
     * links to directories are followed, but never into a directory that is
     * already being walked. Names come back through QString::fromLocal8Bit(),
     * so each path opens again with toLocal8Bit().
     * @return empty when @p path cannot be read; an unreadable subdirectory
     *         contributes nothing and the walk goes on
     */
    QStringList RecureDir(const QString &path);

    /**
     * Whether two files hold the same bytes. The paths reach the file system
     * byte for byte and the files are read in binary; files of different
     * sizes are told apart without reading them.
     * @return false for a null path, a file that cannot be opened or read,
     *         and files of different size or content
     * @note Blocks while reading both files.
     */
    bool compareFile(const char *path1, const char *path2);

    /**
     * Ends at once (SIGKILL on Linux) the first running process, in ascending
     * process id, whose executable file name equals @p name ignoring the case
     * of A-Z; other bytes must be equal. The name is the file name without
     * directory (viewer.exe; viewer, or a full path, match nothing). Only the
     * first match ends, and that may be the calling process.
     * @return true when a match was found and its termination requested (not
     *         awaited); false for a null name or when nothing matches
     */
    bool killProcessFromName(const char *name);

protected:
    /** Constructs the QObject base with no parent. Only the accessors create instances. */
    CKrCommon();

    /**
     * The one instance; null until the first accessor call and after the
     * teardown. Read with acquire and written with release ordering, so the
     * unlocked first check of the accessors is race-free.
     */
    static std::atomic<CKrCommon *> m_Instance;

private:
    Q_DISABLE_COPY(CKrCommon)

    /** Runs the teardown when the library's static objects are destroyed. */
    class KRCOMMON_NO_EXPORT CKrFreeSelf
    {
    public:
        ~CKrFreeSelf();
    };

    static void _Thread_Safe_Lock();
    static void _Thread_Safe_UnLock();

    /** Opaque handle of the library's only lock, the creation lock. */
    static void *m_SafeMutex;
    static CKrFreeSelf m_FreeSingleTon;
};

#endif // KRCOMMON_CKRCOMMON_H
