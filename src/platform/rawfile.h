// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_RAWFILE_H
#define KRCOMMON_PLATFORM_RAWFILE_H

#include <cstddef>
#include <cstdint>

// Reading a file named by its own bytes. Paths handed to the library as
// const char* reach the file system byte for byte: QFile would re-encode them
// through the locale codec and miss a GBK-named file under a UTF-8 locale.

namespace krcommon::platform {

class RawFileReader
{
public:
    RawFileReader() = default;
    ~RawFileReader();
    RawFileReader(const RawFileReader &) = delete;
    RawFileReader &operator=(const RawFileReader &) = delete;

    /** Opens @p path for reading; false for a null path or when it cannot be opened. */
    bool open(const char *path);

    /**
     * Reads up to @p size bytes into @p buffer.
     * @return the number of bytes read, 0 at the end of the file, -1 on a read
     *         error (reading a directory, an I/O error)
     */
    std::ptrdiff_t read(char *buffer, std::size_t size);

    /** What fstat tells of the open file. */
    struct Status {
        bool regular = false; // a plain file, whose size is its content's length
        bool directory = false;
        std::uint64_t size = 0;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };

    /** The open file's status; false when there is no open file or it cannot be examined. */
    bool status(Status &st) const;

    /** Tells the system the file will be read once from start to end (a larger read-ahead). */
    void adviseSequential();

    void close();

private:
    int m_fd = -1;
};

} // namespace krcommon::platform

#endif
