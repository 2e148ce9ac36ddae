// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_DIRECTORY_H
#define KRCOMMON_PLATFORM_DIRECTORY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Directory services on paths given as their own bytes: making the
// directories along a path, and reading the entries that match a search pattern
// "dir" + "*", the way FindFirstFile/FindNextFile deliver them.

namespace krcommon::platform {

/** The separator appended when a walk descends into a subdirectory. */
#ifdef _WIN32
constexpr char nativeSeparator = '\\';
#else
constexpr char nativeSeparator = '/';
#endif

/**
 * Makes the directories named by the first @p ends[0], @p ends[1], ... bytes
 * of @p path (ascending positions of its separators), where missing, in that
 * order and as `mkdir -p` does (mode 0777 less the umask): the path is
 * walked one directory at a time from its start, each directory opened as
 * the file system resolves it for the caller, links and their protections
 * included. Nothing is made when the directory at the last end exists. The
 * walk stops at the first directory that can be neither opened nor made
 * (permission denied, a refused link, a file in the way, a name too long);
 * nothing is reported.
 *
 * Only "/" separates for a POSIX file system: an end at a "\" names a
 * directory made inside the one reached so far, which the walk does not enter.
 */
void makeDirectories(const std::string &path, const std::vector<std::size_t> &ends);

/** Identity of an opened directory: device and inode number. */
struct DirectoryId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const DirectoryId &other) const { return device == other.device && inode == other.inode; }
};

/** One entry as the search delivers it; name valid until the next call of next(). */
struct DirectoryEntry {
    const char *name = nullptr;
    std::size_t length = 0;
    bool isDirectory = false; // a link to a directory counts as a directory
};

/**
 * The entries of one directory that match a pattern, in the order the file
 * system delivers them, "." and ".." included.
 *
 * The pattern is "dir" + "*": open() takes the "dir" part. When it ends in a
 * separator every entry of that directory matches; otherwise its last
 * component is a name prefix (case-sensitive, as the file system is), and the
 * entries of the directory above it whose names begin with that prefix match.
 *
 * An open search holds one handle (a descriptor) until close(), also once
 * next() has delivered the last entry, so that its subdirectories can still
 * be opened from it.
 */
class DirectorySearch
{
public:
    DirectorySearch() = default;
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch &) = delete;
    DirectorySearch &operator=(const DirectorySearch &) = delete;

    /** Starts the search for @p dir + "*"; false when that directory cannot be read. */
    bool open(const std::string &dir);

    /** Starts a search of every entry of subdirectory @p name of @p parent's directory. */
    bool openSubdirectory(const DirectorySearch &parent, const char *name);

    /**
     * Starts a search of every entry of the directory that holds @p child's
     * directory (its ".."). For a directory entered through a link that is
     * not the directory the link is in: compare id() with the one expected.
     */
    bool openParent(const DirectorySearch &child);

    /** The next matching entry; false when there are no more (or reading fails). */
    bool next(DirectoryEntry &entry);

    /** The searched directory's identity (links resolved); valid after a successful open. */
    DirectoryId id() const { return m_id; }

    /** Ends the search and lets go of its handle. The object may start another one, reusing its buffer. */
    void close();

private:
    bool adopt(int fd);
#ifdef _WIN32
    bool start(std::wstring dir, const std::wstring &pattern);
    void *m_find = nullptr;  // the FindFirstFileW search
    bool m_pending = false;  // FindFirstFileW's entry is not delivered yet
    std::wstring m_dir;      // the searched directory, "\\?\" form, ending in "\"
    std::wstring m_wideName; // the last delivered entry's name,
    std::string m_name;      // and the same in the ANSI code page
#endif

    int m_fd = -1;
    bool m_ended = false; // next() has delivered every entry
    // Raw directory records as the kernel delivers them, kept across searches
    // so that a walk reusing the object allocates nothing per directory.
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    std::size_t m_next = 0;
    std::string m_prefix;
    DirectoryId m_id;
};

} // namespace krcommon::platform

#endif
