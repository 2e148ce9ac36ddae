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
 *
 * @since 1.0
 */
struct KRCOMMON_EXPORT SheetScope {
    float left = 0.0f;   ///< smaller x bound
    float right = 0.0f;  ///< larger x bound
    float top = 0.0f;    ///< larger y bound
    float bottom = 0.0f; ///< smaller y bound
    int id = 0;          ///< the sheet's identifier

    /**
     * Whether a point lies strictly inside the sheet.
     * @param x the point's x
     * @param y the point's y
     * @return true when left < @p x < right and bottom < @p y < top; false for
     *         a point on the boundary, a NaN coordinate, and for every point
     *         when left >= right or bottom >= top
     */
    bool contains(float x, float y) const;
};

/**
 * One block of a survey partition, given by two opposite corners, with the
 * identifiers of the map sheets related to it.
 *
 * @since 1.0
 */
struct KRCOMMON_EXPORT Block {
    int tag = 0;            ///< belongs to the caller; the library never touches it
    float x1 = 0.0f;        ///< x of one corner
    float y1 = 0.0f;        ///< y of that corner
    float x2 = 0.0f;        ///< x of the opposite corner
    float y2 = 0.0f;        ///< y of the opposite corner
    std::set<int> sheetIds; ///< identifiers of the related sheets, ascending

    /**
     * Adds the id of @p sheet to sheetIds when the sheet is related to this
     * block: when a corner of the block lies strictly inside the sheet
     * (SheetScope::contains), or when block and sheet share a part of
     * positive area. Touching along an edge or at a corner only is no
     * relation; a NaN coordinate takes part in none; a sheet with
     * left >= right or bottom >= top relates to nothing.
     * Ids are only ever added, never removed.
     * @param sheet the sheet to test; only read
     * @throw std::bad_alloc when the id cannot be inserted
     */
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
 *
 * @since 1.0
 */
class KRCOMMON_EXPORT CKrCommon : public QObject
{
    Q_OBJECT

public:
    /** Destroys the instance; only the library's teardown does this. */
    ~CKrCommon() override;

    /**
     * Returns the one instance, creating it on first use.
     * @return the instance; called after the teardown (from a later static
     *         destructor) it creates a new one, which is never destroyed
     * @throw std::bad_alloc when the instance cannot be created; a later call
     *        tries again
     * @note Thread-safe: concurrent first calls create exactly one instance.
     */
    static CKrCommon &GetSingleTon();

    /**
     * The same as GetSingleTon(), returning the address of the instance.
     * @return the instance, never null
     * @throw std::bad_alloc when the instance cannot be created
     * @note Thread-safe, as GetSingleTon().
     */
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
     * @note Thread-safe on different @p rows.
     */
    void calBlock(std::vector<std::vector<float>> &rows, float startX, float startY, float width, float height,
                  float blockWidth, float blockHeight);

    // ---- Geometry: sheets and blocks, coordinate lists -------------------

    /**
     * Relates every sheet to every block it reaches into, by the rule of
     * Block::relateSheet, with the result of testing all pairs.
     *
     * Candidate pairs come from a sweep over the rectangles, so the work is
     * O((n + k) log n) for n sheets and blocks and k relations, whatever the
     * layout, and the extra memory is linear in n.
     *
     * @param sheets the map sheets; only read
     * @param blocks updated in place: ids are added to the blocks' sheetIds,
     *        never removed; the number, order and other fields of the blocks
     *        stay as they were
     * @throw std::bad_alloc when memory runs out; ids added before stay
     * @throw std::length_error for more than 2^29 sheets and blocks together;
     *        no id is added then
     * @note Thread-safe on different @p blocks vectors.
     */
    void blockUserRelation(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks);

    /**
     * Appends the numbers of a coordinate list `x1;x2;...|y1;y2;...` to
     * @p xList and @p yList.
     *
     * The text is split at every `|`, then each of its first two parts at
     * every `;`, empty parts kept; parts after the second are ignored. Every
     * token gives one value, read as QVariant::toDouble() reads it (C locale,
     * blanks around it allowed); a token that cannot be read, the empty one
     * included, gives 0.0. A text without `|` appends to @p xList only.
     *
     * @param xList receives the values of the first part; values already in
     *        it stay in front
     * @param yList receives the values of the second part, the same way
     * @param text the coordinate list
     * @note Thread-safe on different @p xList and @p yList.
     */
    void ptTransfer(QList<double> &xList, QList<double> &yList, QString text);

    // ---- Text encodings --------------------------------------------------

    /**
     * Converts local code page text to UTF-8.
     *
     * The local code page is Qt's local 8-bit codec,
     * QTextCodec::codecForLocale(), under Qt 5 and Qt 6 alike. Ill-formed
     * input becomes U+FFFD, and so does a character cut off at the end.
     * @param out receives exactly the converted bytes; what it held before is dropped
     * @param text the text, which may lie inside @p out; null fails
     * @param length the number of bytes to convert, or -1 for a zero-terminated
     *        text, whose terminator is converted too (so @p out ends with a zero byte)
     * @return true when @p out holds the conversion; false for a null @p text,
     *         a @p length of 0 or below -1, or a conversion that gives no bytes,
     *         and @p out is then empty
     * @throw std::bad_alloc when @p out cannot grow; @p out is then empty
     * @note Like every conversion member, reads the local codec at each call
     *       and may run on several threads at once on different arguments.
     */
    bool MBToUTF8(std::vector<char> &out, const char *text, int length);

    /**
     * Converts UTF-8 text to the local code page, as MBToUTF8() does the
     * reverse. A leading byte order mark is dropped, ill-formed input becomes
     * U+FFFD, and characters the code page cannot represent become `?`.
     * @param out receives exactly the converted bytes; what it held before is dropped
     * @param text the UTF-8 text, which may lie inside @p out; null fails
     * @param length the number of bytes to convert, or -1 for a zero-terminated
     *        text, terminator included
     * @return as MBToUTF8(): false for a null @p text, a @p length of 0 or
     *         below -1, or a conversion that gives no bytes; @p out is empty
     *         after false
     * @throw std::bad_alloc when @p out cannot grow; @p out is then empty
     * @note Thread-safe on different @p out.
     */
    bool UTF8ToMB(std::vector<char> &out, const char *text, int length);

    /**
     * Converts UTF-8 text to the local code page when the result is short.
     * @param text the UTF-8 text, all of its bytes
     * @return the converted text up to its first zero byte, or the empty
     *         string when the conversion fails (an empty @p text included) or
     *         gives 512 bytes or more
     * @throw std::bad_alloc when memory runs out
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string fromUtf8(std::string text);

    /**
     * Converts local code page text of any length to UTF-8.
     * @param text read up to its first zero byte
     * @return the converted text; ill-formed input and a character cut off at
     *         the end become U+FFFD; empty for an empty text
     * @throw std::bad_alloc when memory runs out
     * @throw std::length_error for a text of 2^31 bytes or more under a local
     *        codec converted in one piece (UTF-16, UTF-32, and stateful ones
     *        where Qt has no ICU)
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string convertToU8(std::string text);

    /**
     * Converts UTF-8 text of any length to the local code page.
     * @param text read up to its first zero byte
     * @return the converted text; ill-formed input becomes U+FFFD, and that
     *         and any other character the code page cannot represent become
     *         `?`; empty for an empty text
     * @throw std::bad_alloc when memory runs out
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string convertToMB(std::string text);

    /**
     * Converts zero-terminated UTF-8 text to the local code page in place.
     *
     * The result is written over @p text only when it is shorter than 512
     * bytes and no longer than the input, so it always fits where the input was.
     * @param text the zero-terminated UTF-8 text, overwritten by the result
     * @return @p text holding the converted text, or null (and @p text
     *         untouched) for a null or empty text, a failed conversion, or a
     *         result that is too long
     * @throw std::bad_alloc when memory runs out; @p text is then untouched
     * @note Thread-safe on different @p text buffers.
     */
    char *convertToMB(char *text);

    /**
     * Copies the bytes of @p src and a terminating zero byte into @p dst.
     * @param dst the buffer to write
     * @param src the bytes to copy, all of them (zero bytes too); only read
     * @param dstSize the capacity of @p dst in bytes
     * @return true when copied; false, writing nothing, for a null @p dst, an
     *         empty @p src, or a @p dstSize (negative included) without room
     *         for all of @p src and the terminator
     * @note Thread-safe on different @p dst buffers.
     */
    bool vtrcToChar(char *dst, std::vector<char> &src, int dstSize);

    // ---- String helpers --------------------------------------------------

    /**
     * Turns every `/` of a path into `\`.
     * @param path edited in place. Its text ends at the first zero byte: when
     *        that text holds a `/` the string is cut there, otherwise the
     *        string is left exactly as it was
     * @note Thread-safe on different @p path strings.
     */
    void serialStr(std::string &path);

    /**
     * Breaks a text into lines of @p lineWidth bytes, the `\n` included.
     *
     * The breaks stand at indexes lineWidth - 1, 2 lineWidth - 1, ... of the
     * result; their number, size / lineWidth, is fixed from the size before,
     * so the last line holds all the rest and may be longer than the others.
     * A text no longer than @p lineWidth is left unchanged, and so is every
     * text for a @p lineWidth of 0. With @p lineWidth 1 the first byte is
     * followed by size breaks, then the rest.
     * @param text edited in place
     * @param lineWidth the length of a line, its break included
     * @note Thread-safe on different @p text strings.
     */
    void insertLineBreak(std::string &text, unsigned int lineWidth);

    /**
     * Breaks a text into lines of @p lineWidth UTF-16 code units, the `\n`
     * included.
     *
     * The breaks stand at indexes lineWidth - 1, 2 lineWidth - 1, ... and go
     * on to the end of the text: (size - 1) / (lineWidth - 1) breaks, the last
     * line holding 1 to lineWidth - 1 code units, no break at the end. A text
     * no longer than @p lineWidth is left unchanged, and so is every text for
     * a @p lineWidth below 2.
     * @param text edited in place
     * @param lineWidth the length of a line, its break included
     * @note Thread-safe on different @p text strings.
     */
    void insertLineBreak(QString &text, int lineWidth);

    // ---- Paths, directories, files and processes -------------------------
    //
    // Paths are 8-bit text in the local code page. Where a member looks for
    // the separators `/` and `\`, it finds those characters: the byte 0x5C
    // that ends a GBK, Big5 or Shift_JIS character (GBK 0x81 0x5C) separates
    // nothing. findIndex alone compares bytes.

    /**
     * Finds a byte in a text, over its whole length (a zero byte is an
     * ordinary byte).
     * @param text the text to search
     * @param ch the byte to find
     * @param forward true for the first occurrence, false for the last
     * @return the byte index, or -1 when @p text holds no @p ch (or is empty)
     *         or when the index does not fit in an int
     * @note Thread-safe: keeps no state, takes no lock.
     */
    int findIndex(std::string text, char ch, bool forward);

    /**
     * The first component of a path, as text: `D:\data\img.tif` gives `D:`.
     * The file system is not asked.
     * @param path the path; `/` and `\` both separate
     * @return the text before the first separator; empty when @p path has no
     *         separator or begins with one
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string getRootPath(std::string path);

    /**
     * The parent of a path, as text: `D:\data\img.tif` and `D:\data\` both
     * give `D:\data`.
     * @param path the path; `/` and `\` both separate
     * @return the text before the last separator; empty when @p path has no
     *         separator, or only a leading one
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string getParentPath(std::string path);

    /**
     * A path without its suffix, directories kept: `D:\old.dir\img.tar.gz`
     * gives `D:\old.dir\img`; `.cfg` gives the empty string.
     * @param path the path; its last component is the text after the last
     *        `/` or `\`
     * @return the text before the first `.` of the last component; the whole
     *         of @p path when that component has no `.`
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string getFileNameWithOutSuffix(std::string path);

    /**
     * The suffix of a path: its last component from the first `.` on, the
     * dot included. `D:\old.dir\img.tar.gz` gives `.tar.gz`.
     * @param path the path; its last component is the text after the last
     *        `/` or `\`
     * @return the suffix; empty when the last component has no `.`, or
     *         begins with one (`.cfg`)
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string getSuffixByFileName(std::string path);

    /**
     * The last component of a path, of any length. One trailing separator is
     * dropped first (`D:\data\dir\` gives `dir`). When the path holds a `\`,
     * only `\` separates: `a\b/d.tif` gives `b/d.tif`.
     * @param path the zero-terminated path
     * @return the last component; empty for a null or empty path
     * @note Thread-safe: keeps no state, takes no lock.
     */
    std::string getFileNameFormPath(const char *path);

    /**
     * Creates, outermost first, the missing directories above the last
     * component of a path; the last component itself is not created
     * (`a/b/img.tif` makes `a` and `a/b`; `a/b/` does too; `a/b` makes `a`
     * only). Both `/` and `\` separate; on Linux a directory named `w\a` is
     * made for `w\a/img`, since the file system itself separates at `/` only.
     * The path is walked one directory at a time, as `mkdir -p` does: each
     * existing directory is entered as the file system resolves it for the
     * caller (links followed, within the system's link protections), a
     * missing one is made, and the walk stops at the first that can be
     * neither entered nor made (permission denied is not "missing").
     * @param path the path, converted to bytes through the local code page
     *        (QTextCodec::codecForLocale(), under Qt 6 too), up to a zero
     *        character; no length limit of its own
     * @note Failures are not reported: a directory that cannot be made is
     *       missing afterwards. Thread-safe: keeps no state, takes no lock.
     */
    void createDir(const QString &path);

    /**
     * The paths of all files below a directory, depth first, in the order the
     * file system lists them; directories themselves are not listed.
     *
     * Each path is the text of its level followed by the name; a
     * subdirectory's level is its parent's text, its name and `/` (on Windows
     * `\`), and it is opened under that very text. Directories whose names
     * begin with `.` are skipped; links to directories are followed, but
     * never into a directory that is already being walked. Trees of any depth
     * are listed whole: the walk holds a few descriptors whatever the depth,
     * and its memory grows with the result only.
     *
     * Names come back through the local code page
     * (QTextCodec::codecForLocale(), under Qt 6 too), so each path opens again
     * when converted back through it; under Qt 6 QString::toLocal8Bit() is
     * UTF-8 whatever that codec is. A name that code page cannot carry whole
     * (its text does not convert back to the same bytes: a GBK lead byte
     * without its trail, bytes that are no UTF-8) is left out, a directory
     * with everything below it: no text would open it, and its nearest text
     * may name another file. A leading byte order mark is kept as part of
     * the name.
     * @param path searched as @p path + `*`, so it is given with a trailing
     *        separator (`/data/`); `/data` instead lists the files of `/`
     *        whose names begin with `data`, each as `/data` followed by its
     *        whole name (`/datadata.tif`, a path that opens nothing or another
     *        file), and walks the matching directories under `/data`, their
     *        name and `/` (`/datadata/`), where such a directory exists
     * @return the paths; empty when @p path cannot be read; an unreadable
     *         subdirectory contributes nothing and the walk goes on
     * @note Blocks while reading the tree. Thread-safe: keeps no state, takes
     *       no lock.
     */
    QStringList RecureDir(const QString &path);

    /**
     * Whether two files hold the same bytes. The paths reach the file system
     * byte for byte and the files are read in binary; files of different
     * sizes are told apart without reading them.
     * @param path1 the first file's path
     * @param path2 the second file's path
     * @return true when both hold the same bytes (one file under two names
     *         included); false for a null path, a file that cannot be opened
     *         or read (a directory), and files of different size or content
     * @note Blocks while reading both files. Thread-safe: keeps no state,
     *       takes no lock.
     */
    bool compareFile(const char *path1, const char *path2);

    /**
     * Ends at once (SIGKILL on Linux) the first running process, in ascending
     * process id, whose executable file name equals @p name ignoring the case
     * of A-Z; other bytes must be equal. Only the first match ends, and that
     * may be the calling process.
     *
     * The name is the one the system records for the executable file, read
     * through any of the process's live threads; the command line (argv[0]),
     * which any process may set, is never used, so a process whose executable
     * the caller may not examine (another user's, for a caller other than
     * root) matches nothing. An executable removed or replaced since the
     * process started is matched by its file name without the ` (deleted)`
     * that the system appends.
     * @param name the executable's file name without directory (`viewer.exe`;
     *        `viewer`, or a full path, match nothing)
     * @return true once the matching process has ended; false for a null name,
     *         when nothing matches, and when the match could not be signalled
     *         or had not ended ten seconds after the signal
     * @note Blocks until the process has ended (at most ten seconds).
     *       Thread-safe: keeps no state, takes no lock.
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
