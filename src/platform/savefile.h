// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_SAVEFILE_H
#define KRCOMMON_PLATFORM_SAVEFILE_H

#include <cstddef>
#include <string>
#include <vector>

// Atomic replacement of a file named by its own bytes: QSaveFile's contract on
// raw byte paths. Content goes to a temporary file in the target's directory,
// which is flushed to disk and renamed over the target by commit(). Until then
// the target stays as it was; a failed or abandoned save removes the
// temporary file and leaves the target byte for byte untouched.

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
     * Starts saving to @p path: creates the temporary file beside it.
     * @return false for a null or empty path, or when the temporary file
     *         cannot be created (missing directory, no permission)
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
     * target. A replaced file keeps its permission bits; a new file gets 0666
     * less the umask, as fopen would give.
     * @return true when the target now holds exactly the written bytes; false
     *         on any error, the target untouched and the temporary file gone
     */
    bool commit();

    /** Abandons the save: removes the temporary file. */
    void cancel();

    /** errno of the first failure, 0 when none. */
    int error() const { return m_error; }

private:
    bool flushBuffer();
    void fail(int error);

    int m_fd = -1;
    int m_error = 0;
    std::string m_targetPath;
    std::string m_tempPath;
    std::vector<char> m_buffer;
};

} // namespace krcommon::platform

#endif
