// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_SAVEFILE_H
#define KRCOMMON_PLATFORM_SAVEFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Saving a file named by its own bytes: QSaveFile's contract, with its
// direct-write fallback, on raw byte paths.
//
// The kernel decides what may be saved: the target is opened for writing as
// fopen(path, "w") would open it, links followed and the kernel's link
// protections applied, and everything after works from that descriptor.
// Only a regular file is saved; nothing the caller may not open for writing
// is written.
//
// Atomic where a rename keeps what the target is: content goes to a private
// temporary file in the target's directory (unnamed where the file system
// allows, else mode 0600), which takes over the target's owner, group, access
// ACL, extended attributes and permission bits before any content, is
// flushed to disk and renamed over the target by commit(). Until then the
// target stays as it was; a failed or abandoned save leaves it byte for byte
// untouched and no temporary file behind.
//
// In place where a rename would change what the target is: a target with
// other hard links, one whose owner, group, ACL or attributes the caller
// cannot give a new file exactly, or one in a directory that takes no new
// file. The content is gathered in memory; commit() truncates the target,
// writes, flushes and closes it. An abandoned save leaves the target
// untouched; a failed commit may leave it cut short, and reports false.

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
     * Starts saving to @p path: opens the target for writing, creating it
     * when missing, then creates the temporary file beside it, or settles on
     * writing in place. A second call abandons the first save.
     * @return false for a null or empty path, a target that is not a regular
     *         file, that changed while it was opened, or that the kernel does
     *         not let the caller open for writing (no permission, another
     *         user's file or link in a sticky directory), or when the
     *         temporary file cannot be created for a reason other than the
     *         directory's permissions
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
     * group, permission bits, access ACL and extended attributes; a new file
     * gets what fopen would give it (0666 less the umask, or the directory's
     * default ACL).
     * @return true when the target now holds exactly the written bytes; false
     *         on any error, the temporary file gone and, unless in place, the
     *         target untouched (a target that open() created is removed)
     */
    bool commit();

    /** Abandons the save: removes the temporary file, and the target if open() created it. */
    void cancel();

    /** errno of the first failure, 0 when none. */
    int error() const { return m_error; }

private:
    /** Opens the target as fopen would reach it; 0 or the errno of the failure. */
    int openTarget(const char *path);
    /** Creates the temporary file; 0 or the errno of the failure. */
    int createTemp();
    /** Gives the temporary file a free name beside the target; 0 or the errno of the failure. */
    int nameTemp();
    int takeOverIdentity();
    void discardTemp();
    bool flushBuffer();
    /** Writes all of @p data to m_fd; on failure latches the error and returns false. */
    bool writeOut(const char *data, std::size_t size);
    void fail(int error);

    // Content is gathered up to this size and written in one call.
    static constexpr std::size_t bufferSize = std::size_t(1) << 20;

#ifdef _WIN32
    std::wstring m_wideTarget; // both "\\?\" paths
    std::wstring m_wideTemp;
#endif
    int m_fd = -1;       // where the content goes: the temporary file, or the target in place
    int m_targetFd = -1; // the target, opened for writing
    int m_dirFd = -1;    // the target's directory; names below are relative to it
    bool m_inPlace = false;
    bool m_created = false; // the target did not exist before open()
    int m_error = 0;
    std::uint64_t m_device = 0, m_inode = 0; // the target's
    std::string m_targetName;
    std::string m_tempName; // empty while the temporary file has no name
    std::vector<char> m_buffer;
};

} // namespace krcommon::platform

#endif
