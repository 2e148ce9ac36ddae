// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_SAVEFILE_H
#define KRCOMMON_PLATFORM_SAVEFILE_H

#include <cstddef>
#include <string>
#include <vector>

// Saving a file named by its own bytes: QSaveFile's contract, with its
// direct-write fallback, on raw byte paths.
//
// Atomic where a rename keeps what the target is: content goes to a temporary
// file in the target's directory, which takes over the target's owner, group
// and permission bits, is flushed to disk and renamed over the target by
// commit(). Until then the target stays as it was; a failed or abandoned save
// removes the temporary file and leaves the target byte for byte untouched.
//
// In place where a rename would change what the target is: a target with
// other hard links, one whose owner or group the caller cannot give a new
// file, or one in a directory that takes no new file. The content is gathered
// in memory; commit() truncates the target, writes, flushes and closes it.
// An abandoned save leaves the target untouched; a failed commit may leave it
// cut short, and reports false.
//
// An existing target that the caller may not write is never saved over.

namespace krcommon::platform {

class RawSaveFile
{
public:
    RawSaveFile() = default;
    /** Discards an uncommitted save: the temporary file is removed. */
    ~RawSaveFile();
    RawSaveFile(const RawSaveFile &) = delete;
    RawSaveFile &operator=(const RawSaveFile &) = delete;

    /**
     * Starts saving to @p path: creates the temporary file beside it, or
     * opens the target for writing in place.
     * @return false for a null or empty path, a target that is not a regular
     *         file or that the caller may not write, or when neither file can
     *         be opened (missing directory, no permission)
     */
    bool open(const char *path);

    /**
     * Appends @p size bytes. Writes are buffered; the first error is latched
     * and makes commit() fail.
     * @return false once any write has failed
     */
    bool write(const char *data, std::size_t size);

    /**
     * Flushes, syncs and closes the temporary file and renames it over the
     * target, or writes the target in place. A replaced file keeps its owner,
     * group and permission bits; a new file gets 0666 less the umask, as
     * fopen would give.
     * @return true when the target now holds exactly the written bytes; false
     *         on any error, the temporary file gone and, unless in place, the
     *         target untouched
     */
    bool commit();

    /** Abandons the save: removes the temporary file. */
    void cancel();

    /** errno of the first failure, 0 when none. */
    int error() const { return m_error; }

private:
    /** Creates the temporary file; 0 or the errno of the failure. */
    int createTemp();
    void discardTemp();
    bool flushBuffer();
    void fail(int error);

#ifdef _WIN32
    std::wstring m_wideTarget; // both "\\?\" paths
    std::wstring m_wideTemp;
#endif
    int m_fd = -1;
    int m_dirFd = -1; // the target's directory; names below are relative to it
    bool m_inPlace = false;
    int m_error = 0;
    std::string m_targetName;
    std::string m_tempName;
    std::vector<char> m_buffer;
};

} // namespace krcommon::platform

#endif
