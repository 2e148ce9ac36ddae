// SPDX-License-Identifier: MIT
// Creating the directories above a path, and listing every file below a
// directory. Paths reach the file system as the local code page's bytes
// (QTextCodec::codecForLocale(), which is what QString::toLocal8Bit uses under
// Qt 5) and names come back through the same codec, so a listed name opens
// again and a created directory has the name asked for, in GBK, UTF-8 or any
// other local code page. Under Qt 6 toLocal8Bit is always UTF-8; going
// through the codec keeps a host that chose GBK working there too.
#include "CKrCommon.h"

#include "common/pathseparators.h"
#include "platform/directory.h"

#include <QTextCodec>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

using krcommon::platform::DirectoryEntry;
using krcommon::platform::DirectoryId;
using krcommon::platform::DirectorySearch;
using krcommon::platform::nativeSeparator;

namespace {

// The bytes the file system gets for @p path; a zero character ends a path
// there, as it ends the C string the system call reads.
std::string localBytes(const QString &path)
{
    const QByteArray bytes = QTextCodec::codecForLocale()->fromUnicode(path);
    return {bytes.constData()};
}

// NOTE: the searches held open at once, whatever the depth. A directory
// above the deepest few lets go of its descriptor while the walk is below it
// and opens it again when the walk comes back to it, so that a tree deeper
// than the process may open files is listed whole. Pinned by
// DirectoryTest::sameAsFind (over 100 levels, three descriptors to spare).
constexpr std::size_t heldSearches = 8;

struct DirectoryIdHash {
    std::size_t operator()(const DirectoryId &id) const
    {
        return std::hash<std::uint64_t>()(id.inode ^ (id.device * 0x9E3779B97F4A7C15U));
    }
};

// Collects the files below one directory, depth first. Each directory's
// entries are read whole when it is entered, so that its search may be let
// go; the walk keeps one text, that of the directory it is in, and the
// entries not yet handled of the directories on its path.
class FileWalk
{
public:
    FileWalk();

    /** Lists the search @p bytes + "*", whose text is @p text. */
    void run(const QString &text, const std::string &bytes);

    QStringList files;

private:
    struct Entry {
        std::size_t name; // offset in m_names, zero-terminated there
        std::size_t length;
        bool isDirectory;
    };
    struct Level {
        DirectoryId id;
        std::size_t textLength; // of m_text at this level
        std::size_t entries;    // this level's first entry in m_entries
        std::size_t names;      // and in m_names
        std::size_t next;       // the next entry to handle
        std::size_t name = 0;   // offset in m_names of the name it was entered by
        std::size_t search = none;
    };
    static constexpr std::size_t none = std::size_t(-1);

    bool decode(const char *name, std::size_t length, QString &text) const;
    void append(const char *name, std::size_t length);
    void descend(const Entry &entry, const QString &name);
    void enter(std::size_t search, std::size_t name);
    void leave();
    std::size_t acquire(std::size_t keep);
    void letGo(std::size_t search);
    template<typename Open>
    std::size_t openSearch(std::size_t keep, const Open &open);
    DirectorySearch *searchOf(std::size_t level);

    QTextCodec *m_codec;
    bool m_asciiVerbatim = false;
    QString m_text;      // the text of the deepest level
    std::string m_bytes; // the first level's search, without the "*"
    std::vector<Level> m_levels;
    std::vector<Entry> m_entries;
    std::string m_names;
    std::unordered_set<DirectoryId, DirectoryIdHash> m_onPath;
    std::vector<std::unique_ptr<DirectorySearch>> m_searches;
    std::vector<std::size_t> m_holders; // the level holding each search, or none
};

FileWalk::FileWalk()
    : m_codec(QTextCodec::codecForLocale())
{
    // Names of plain ASCII bytes, the common case, are widened in place
    // when the local code page maps them to themselves, as every
    // ASCII-compatible one (UTF-8, GBK, Latin-1) does.
    static const char ascii[] = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                "abcdefghijklmnopqrstuvwxyz{|}~";
    m_asciiVerbatim = m_codec->toUnicode(ascii) == QLatin1String(ascii);
}

// NOTE: a name is text only when the local code page carries it whole, that
// is when the text gives back its very bytes. Others (a GBK lead byte without
// its trail, bytes that are no UTF-8) would come back as the name of another
// file or of none; they are left out, with all below them. Pinned by
// DirectoryTest::recureDir rows "gbk_incomplete_character", "utf8_invalid_byte".
bool FileWalk::decode(const char *name, std::size_t length, QString &text) const
{
    // A leading byte order mark is part of the name, not a header to drop
    // (row "utf8_byte_order_mark").
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    text = m_codec->toUnicode(name, int(length), &state);
    return m_codec->fromUnicode(text) == QByteArray::fromRawData(name, int(length));
}

// Lists the file @p name of the deepest level.
void FileWalk::append(const char *name, std::size_t length)
{
    bool ascii = m_asciiVerbatim;
    for (std::size_t i = 0; ascii && i < length; ++i)
        ascii = (static_cast<unsigned char>(name[i]) & 0x80) == 0;
    if (!ascii) {
        QString text;
        if (decode(name, length, text))
            files.append(m_text + text);
        return;
    }
    // One allocation per listed file: the walk's cost is dominated by these.
    QString joined(m_text.size() + int(length), Qt::Uninitialized);
    QChar *out = std::copy(m_text.constBegin(), m_text.constEnd(), joined.data());
    for (std::size_t i = 0; i < length; ++i)
        *out++ = QLatin1Char(name[i]);
    files.append(joined);
}

// A free search, letting go of the one of the shallowest level that can
// spare it: not the second level's (that is opened by its text, not by name
// from the first) and not level @p keep's.
std::size_t FileWalk::acquire(std::size_t keep)
{
    std::size_t chosen = none;
    for (std::size_t i = 0; i < m_holders.size(); ++i) {
        if (m_holders[i] == none)
            return i;
        if (m_holders[i] != 1 && m_holders[i] != keep && (chosen == none || m_holders[i] < m_holders[chosen]))
            chosen = i;
    }
    if (m_searches.size() < heldSearches || chosen == none) {
        m_searches.push_back(std::make_unique<DirectorySearch>());
        m_holders.push_back(none);
        return m_searches.size() - 1;
    }
    letGo(chosen);
    return chosen;
}

void FileWalk::letGo(std::size_t search)
{
    m_searches[search]->close();
    if (m_holders[search] != none)
        m_levels[m_holders[search]].search = none;
    m_holders[search] = none;
}

// Opens a free search with @p open, keeping level @p keep's: the new search,
// or none. When opening fails, perhaps for want of descriptors (the host's
// own, or a low limit), every other search that can be opened again is let
// go of and it is tried once more. Pinned by DirectoryTest::sameAsFind, which
// walks with three descriptors to spare.
template<typename Open>
std::size_t FileWalk::openSearch(std::size_t keep, const Open &open)
{
    const std::size_t search = acquire(keep);
    DirectorySearch &directory = *m_searches[search];
    if (open(directory))
        return search;
    bool released = false;
    for (std::size_t i = 0; i < m_holders.size(); ++i) {
        if (m_holders[i] != none && m_holders[i] != 1 && m_holders[i] != keep) {
            letGo(i);
            released = true;
        }
    }
    if (released && open(directory))
        return search;
    directory.close();
    return none;
}

// The search of @p level (one below the first), opened again by name from the
// nearest level above it that holds one when it was let go; null when the
// directory is no longer where it was (renamed or replaced meanwhile).
DirectorySearch *FileWalk::searchOf(std::size_t level)
{
    std::size_t from = level;
    while (m_levels[from].search == none)
        --from; // the second level always holds its search
    for (; from < level; ++from) {
        Level &below = m_levels[from + 1];
        const DirectorySearch &parent = *m_searches[m_levels[from].search];
        const std::size_t search = openSearch(from, [&](DirectorySearch &directory) {
            return directory.openSubdirectory(parent, m_names.data() + below.name) && directory.id() == below.id;
        });
        if (search == none)
            return nullptr;
        below.search = search;
        m_holders[search] = from + 1;
    }
    return m_searches[m_levels[level].search].get();
}

// Walks subdirectory @p entry of the deepest level, whose text is @p name.
void FileWalk::descend(const Entry &entry, const QString &name)
{
    const std::size_t parent = m_levels.size() - 1;
    const char *const bytes = m_names.data() + entry.name;
    const DirectorySearch *const from = parent == 0 ? nullptr : searchOf(parent);
    if (parent != 0 && !from)
        return;
    // The first level's subdirectories are opened under the very text their
    // files are listed with: the search's text, the name and a separator. A
    // prefix search ("/data" + "*") matches names in the directory above.
    // NOTE: a directory already on the walk's path is a link back to an
    // ancestor; entering it would never end. A linked directory elsewhere
    // is walked like any other. Pinned by DirectoryTest::recureDir row "symlink_loop".
    const std::size_t search = openSearch(parent, [&](DirectorySearch &directory) {
        const bool opened =
            parent == 0 ? directory.open(std::string(m_bytes).append(bytes, entry.length).append(1, nativeSeparator))
                        : directory.openSubdirectory(*from, bytes);
        return opened && m_onPath.count(directory.id()) == 0;
    });
    if (search == none)
        return; // a subdirectory that cannot be read contributes nothing
    m_text.append(name).append(QLatin1Char(nativeSeparator));
    enter(search, entry.name);
}

// Makes the open search @p search the deepest level and reads its entries.
void FileWalk::enter(std::size_t search, std::size_t name)
{
    DirectorySearch &directory = *m_searches[search];
    Level level{directory.id(), std::size_t(m_text.size()), m_entries.size(), m_names.size(), m_entries.size()};
    level.name = name;
    level.search = search;
    for (DirectoryEntry entry; directory.next(entry);) {
        if (entry.isDirectory && entry.name[0] == '.')
            continue; // ".", ".." and every hidden directory (.svn, .git)
        m_entries.push_back(Entry{m_names.size(), entry.length, entry.isDirectory});
        m_names.append(entry.name, entry.length).push_back('\0');
    }
    m_holders[search] = m_levels.size();
    m_onPath.insert(level.id);
    m_levels.push_back(level);
}

// Ends the deepest level; the walk goes on in the one above it.
void FileWalk::leave()
{
    const Level done = m_levels.back();
    m_levels.pop_back();
    m_onPath.erase(done.id);
    m_entries.resize(done.entries);
    m_names.resize(done.names);
    if (m_levels.empty())
        return;
    Level &up = m_levels.back();
    m_text.truncate(int(up.textLength));
    if (done.search == none)
        return;
    // A level that let go of its search opens it again through "..", where
    // that leads back to it (not through a link), so that the levels holding
    // one stay the deepest few and none is opened again from far above.
    if (up.search == none && m_levels.size() > 1) {
        const DirectorySearch &below = *m_searches[done.search];
        const std::size_t search = openSearch(m_levels.size(), [&](DirectorySearch &directory) {
            return directory.openParent(below) && directory.id() == up.id;
        });
        if (search != none) {
            up.search = search;
            m_holders[search] = m_levels.size() - 1;
        }
    }
    m_searches[done.search]->close();
    m_holders[done.search] = none;
}

void FileWalk::run(const QString &text, const std::string &bytes)
{
    m_text = text;
    m_bytes = bytes;
    const std::size_t first = acquire(none);
    if (!m_searches[first]->open(bytes))
        return;
    enter(first, 0);
    letGo(first); // its subdirectories are opened by their text
    while (!m_levels.empty()) {
        Level &level = m_levels.back();
        if (level.next == m_entries.size()) {
            leave();
            continue;
        }
        const Entry entry = m_entries[level.next++];
        const char *const name = m_names.data() + entry.name;
        if (!entry.isDirectory) {
            append(name, entry.length);
            continue;
        }
        QString text;
        if (decode(name, entry.length, text))
            descend(entry, text);
    }
}

} // namespace

void CKrCommon::createDir(const QString &path)
{
    // Every directory above the last component: the text before each
    // separator character (never the trail byte 0x5C of a GBK, Big5 or
    // Shift_JIS character). A failure leaves that directory and those below
    // it missing and is not reported.
    const std::string bytes = localBytes(path);
    const krcommon::PathSeparators separators;
    std::vector<std::size_t> ends;
    for (std::size_t end = separators.next(bytes); end != std::string::npos; end = separators.next(bytes, end + 1))
        ends.push_back(end);
    krcommon::platform::makeDirectories(bytes, ends);
}

QStringList CKrCommon::RecureDir(const QString &path)
{
    FileWalk walk;
    const auto zero = path.indexOf(QChar(0));
    walk.run(zero < 0 ? path : path.left(zero), localBytes(path));
    return walk.files;
}
