// SPDX-License-Identifier: MIT
// Fuzzes the six path members and createDir with arbitrary bytes, under the
// process's own local codec and under GBK, Big5 and Shift_JIS, in which a
// character may end in the byte of "\". Besides the sanitizers, each result is
// checked to be the piece of the input its member promises, with separators
// found by the codec itself (one byte at a time through a QTextDecoder), and
// createDir is checked to make exactly the directories before them.

#include <CKrCommon.h>

#include <QTextCodec>
#include <QTextDecoder>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t npos = std::string::npos;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "paths_fuzzer: %s\n", what);
        std::abort();
    }
}

// The text before position @p at, empty when @p at is npos or 0.
std::string before(const std::string &text, std::size_t at)
{
    return at == npos ? std::string() : text.substr(0, at);
}

// The positions of the bytes that the local codec reads as "/" or "\".
std::vector<std::size_t> separators(const std::string &path)
{
    std::vector<std::size_t> found;
    QTextCodec *const codec = QTextCodec::codecForLocale();
    // UTF-8 holds no ASCII byte inside a character; Qt 6's decoder, fed one
    // byte at a time, swallows the one after a cut-off sequence.
    const bool utf8 = codec->mibEnum() == 106;
    const std::unique_ptr<QTextDecoder> decoder(codec->makeDecoder());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const QString read = decoder->toUnicode(&path[i], 1);
        if ((path[i] == '/' || path[i] == '\\') && (utf8 || read.endsWith(QLatin1Char(path[i]))))
            found.push_back(i);
    }
    return found;
}

std::size_t lastOf(const std::string &path, const std::vector<std::size_t> &at, char which)
{
    for (auto it = at.rbegin(); it != at.rend(); ++it) {
        if (path[*it] == which)
            return *it;
    }
    return npos;
}

void checkMembers(const std::string &path)
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    const char ch = path.empty() ? '.' : path[path.size() / 2];
    check(common.findIndex(path, ch, true) == int(path.find(ch)), "findIndex misses the first occurrence");
    check(common.findIndex(path, ch, false) == int(path.rfind(ch)), "findIndex misses the last occurrence");

    const std::vector<std::size_t> at = separators(path);
    const std::size_t first = at.empty() ? npos : at.front(), last = at.empty() ? npos : at.back();
    // Without a separator both are empty; a leading separator gives an empty parent.
    check(common.getRootPath(path) == before(path, first), "root is not the text before the first separator");
    check(common.getParentPath(path) == before(path, last), "parent is not the text before the last separator");

    // The suffix runs from the first "." of the last component, unless the component begins with it.
    const std::size_t start = last == npos ? 0 : last + 1, dot = path.find('.', start);
    check(common.getFileNameWithOutSuffix(path) == before(path, dot == npos ? path.size() : dot), "stem");
    check(common.getSuffixByFileName(path) == (dot == npos || dot == start ? std::string() : path.substr(dot)),
          "suffix");

    // The last component of the text up to its first zero byte, less one
    // trailing separator; any "\" outranks every "/".
    std::string text(path.c_str());
    std::vector<std::size_t> textAt(at.begin(), std::lower_bound(at.begin(), at.end(), text.size()));
    if (!textAt.empty() && textAt.back() + 1 == text.size()) {
        text.pop_back();
        textAt.pop_back();
    }
    std::size_t cut = lastOf(text, textAt, '\\');
    cut = cut == npos ? lastOf(text, textAt, '/') : cut;
    check(common.getFileNameFormPath(path.c_str()) == (cut == npos ? text : text.substr(cut + 1)), "file name");
}

// A scratch directory for createDir, emptied after each run.
const std::string &scratch()
{
    static std::string dir;
    if (dir.empty()) {
        char name[] = "/tmp/paths_fuzzer.XXXXXX";
        check(::mkdtemp(name) != nullptr, "no scratch directory");
        dir = name;
        std::atexit([] { ::rmdir(scratch().c_str()); });
    }
    return dir;
}

std::set<std::string> made;

int collect(const char *path, const struct stat *, int type, struct FTW *)
{
    if (type == FTW_DP && scratch() != path)
        made.insert(path + scratch().size() + 1);
    return 0;
}

int removeOne(const char *path, const struct stat *, int, struct FTW *)
{
    return scratch() == path ? 0 : ::rmdir(path);
}

// @p path as the kernel resolves it below the scratch directory: no empty
// and no "." components.
std::string resolved(const std::string &path)
{
    std::string out;
    for (std::size_t begin = 0, end; begin <= path.size(); begin = end + 1) {
        end = std::min(path.find('/', begin), path.size());
        const std::string component = path.substr(begin, end - begin);
        if (!component.empty() && component != ".")
            out += (out.empty() ? "" : "/") + component;
    }
    return out;
}

// The bytes the library gets from the text of @p path, below the scratch
// directory: every directory before a separator is made, and nothing else.
void checkCreateDir(const std::string &path)
{
    QTextCodec *const codec = QTextCodec::codecForLocale();
    const QString text = codec->toUnicode(path.c_str());
    const std::string bytes = codec->fromUnicode(text).toStdString();
    // Short enough for every name to be made; ".." could leave the scratch directory.
    if (bytes.size() > 200 || bytes.find("..") != npos)
        return;
    std::set<std::string> expected;
    for (const std::size_t at : separators(bytes)) {
        const std::string directory = resolved(bytes.substr(0, at));
        if (!directory.empty())
            expected.insert(directory);
    }
    CKrCommon::GetSingleTon().createDir(QString::fromLatin1(scratch().c_str()) + QLatin1Char('/') + text);
    made.clear();
    ::nftw(scratch().c_str(), collect, 16, FTW_DEPTH | FTW_PHYS);
    ::nftw(scratch().c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
    check(made == expected, "createDir made other directories than those before the separators");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTextCodec *const codecs[] = {QTextCodec::codecForLocale(), QTextCodec::codecForName("GBK"),
                                         QTextCodec::codecForName("Big5"), QTextCodec::codecForName("Shift_JIS")};
    const std::string path(reinterpret_cast<const char *>(data), size);
    for (QTextCodec *codec : codecs) {
        QTextCodec::setCodecForLocale(codec);
        checkMembers(path);
        checkCreateDir(path);
    }
    return 0;
}
