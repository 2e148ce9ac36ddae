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
#include <memory>
#include <string>
#include <vector>

using krcommon::platform::DirectoryEntry;
using krcommon::platform::DirectoryId;
using krcommon::platform::DirectorySearch;

namespace {

// The bytes the file system gets for @p path; a zero character ends a path
// there, as it ends the C string the system call reads.
std::string localBytes(const QString &path)
{
    const QByteArray bytes = QTextCodec::codecForLocale()->fromUnicode(path);
    return {bytes.constData(), qstrnlen(bytes.constData(), uint(bytes.size()))};
}

// Collects the files below one directory, depth first.
class FileWalk
{
public:
    FileWalk()
        : m_codec(QTextCodec::codecForLocale())
    {
        // Names of plain ASCII bytes, the common case, are widened in place
        // when the local code page maps them to themselves, as every
        // ASCII-compatible one (UTF-8, GBK, Latin-1) does.
        static const char ascii[] = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                    "abcdefghijklmnopqrstuvwxyz{|}~";
        m_asciiVerbatim = m_codec->toUnicode(ascii) == QLatin1String(ascii);
    }

    /** Walks the search begun in searchAt(0), whose text is @p text. */
    void walk(const QString &text) { walk(0, text); }

    /** The search object for a depth; reused, with its buffer, for every directory there. */
    DirectorySearch &searchAt(std::size_t depth);

    QStringList files;

private:
    QString join(const QString &text, const DirectoryEntry &entry, bool descending) const;
    bool onCurrentPath(const DirectoryId &id) const;
    void walk(std::size_t depth, const QString &text);

    QTextCodec *m_codec;
    bool m_asciiVerbatim = false;
    // The directories being walked, outermost first, and their searches.
    std::vector<DirectoryId> m_path;
    std::vector<std::unique_ptr<DirectorySearch>> m_searches;
};

QString FileWalk::join(const QString &text, const DirectoryEntry &entry, bool descending) const
{
    bool ascii = m_asciiVerbatim;
    for (std::size_t i = 0; ascii && i < entry.length; ++i)
        ascii = (static_cast<unsigned char>(entry.name[i]) & 0x80) == 0;
    if (!ascii) {
        QString joined = text + m_codec->toUnicode(entry.name, int(entry.length));
        if (descending)
            joined += QLatin1Char(krcommon::platform::nativeSeparator);
        return joined;
    }
    // One allocation per listed file: the walk's cost is dominated by these.
    QString joined(text.size() + int(entry.length) + (descending ? 1 : 0), Qt::Uninitialized);
    QChar *out = std::copy(text.constBegin(), text.constEnd(), joined.data());
    for (std::size_t i = 0; i < entry.length; ++i)
        *out++ = QLatin1Char(entry.name[i]);
    if (descending)
        *out = QLatin1Char(krcommon::platform::nativeSeparator);
    return joined;
}

bool FileWalk::onCurrentPath(const DirectoryId &id) const
{
    return std::find(m_path.begin(), m_path.end(), id) != m_path.end();
}

DirectorySearch &FileWalk::searchAt(std::size_t depth)
{
    while (m_searches.size() <= depth)
        m_searches.push_back(std::make_unique<DirectorySearch>());
    return *m_searches[depth];
}

void FileWalk::walk(std::size_t depth, const QString &text)
{
    DirectorySearch &search = *m_searches[depth];
    m_path.push_back(search.id());
    for (DirectoryEntry entry; search.next(entry);) {
        if (!entry.isDirectory) {
            files.append(join(text, entry, false));
            continue;
        }
        if (entry.name[0] == '.')
            continue; // ".", ".." and every hidden directory (.svn, .git)
        // NOTE: a directory already on the walk's path is a link back to an
        // ancestor; entering it would never end. A linked directory elsewhere
        // is walked like any other. Pinned by DirectoryTest::recureDir row "symlink_loop".
        DirectorySearch &sub = searchAt(depth + 1);
        if (sub.openSubdirectory(search, entry.name) && !onCurrentPath(sub.id()))
            walk(depth + 1, join(text, entry, true));
        sub.close();
        // A subdirectory that cannot be read contributes nothing.
    }
    m_path.pop_back();
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
    if (walk.searchAt(0).open(localBytes(path))) {
        const auto zero = path.indexOf(QChar(0));
        walk.walk(zero < 0 ? path : path.left(zero));
    }
    return walk.files;
}
