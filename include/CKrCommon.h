// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_CKRCOMMON_H
#define KRCOMMON_CKRCOMMON_H

#include "krcommon_export.h"

#include <QObject>

#include <atomic>
#include <set>
#include <vector>

/**
 * The extent of one map sheet with its identifier.
 *
 * x bounds come first (smaller, larger), then y bounds with the larger first.
 */
struct SheetScope {
    float left = 0.0f;   ///< smaller x bound
    float right = 0.0f;  ///< larger x bound
    float top = 0.0f;    ///< larger y bound
    float bottom = 0.0f; ///< smaller y bound
    int id = 0;          ///< the sheet's identifier
};

/**
 * One block of a survey partition, given by two opposite corners, with the
 * identifiers of the map sheets related to it.
 */
struct Block {
    int tag = 0;            ///< belongs to the caller; the library never touches it
    float x1 = 0.0f;        ///< x of one corner
    float y1 = 0.0f;        ///< y of that corner
    float x2 = 0.0f;        ///< x of the opposite corner
    float y2 = 0.0f;        ///< y of the opposite corner
    std::set<int> sheetIds; ///< identifiers of the related sheets, ascending
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
