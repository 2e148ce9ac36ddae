// SPDX-License-Identifier: MIT
// Fuzzes the six path members with arbitrary bytes. Besides the sanitizers,
// each result is checked to be the piece of the input its member promises.

#include <CKrCommon.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "paths_fuzzer: %s\n", what);
        std::abort();
    }
}

bool isPrefix(const std::string &part, const std::string &whole)
{
    return whole.compare(0, part.size(), part) == 0 && part.size() <= whole.size();
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    const std::string path(reinterpret_cast<const char *>(data), size);

    for (const bool forward : {true, false}) {
        const char ch = size > 0 ? path[size / 2] : '.';
        const int at = common.findIndex(path, ch, forward);
        check(at == -1 ? path.find(ch) == std::string::npos : std::size_t(at) < size && path[std::size_t(at)] == ch,
              "findIndex gives a position that does not hold the byte");
        check(at == int(forward ? path.find(ch) : path.rfind(ch)), "findIndex misses the first or last occurrence");
    }

    const std::string root = common.getRootPath(path);
    check(isPrefix(root, path) && root.find_first_of("/\\") == std::string::npos, "root is no separator-free prefix");
    check(root.empty() || isSeparator(path[root.size()]), "root does not end at a separator");

    const std::string parent = common.getParentPath(path);
    check(isPrefix(parent, path) && (parent.empty() || isSeparator(path[parent.size()])),
          "parent is no prefix ending at a separator");

    // Without its suffix and the suffix put back together give the path.
    const std::string stem = common.getFileNameWithOutSuffix(path);
    const std::string suffix = common.getSuffixByFileName(path);
    check(isPrefix(stem, path), "the path without suffix is no prefix");
    check(suffix.empty() || (suffix[0] == '.' && stem + suffix == path), "stem and suffix do not make the path");
    check(suffix.find_first_of("/\\") == std::string::npos, "a suffix reaches into a directory");

    // The last component: a piece of the text before the first zero byte.
    const std::string text(path.c_str());
    const std::string name = common.getFileNameFormPath(text.c_str());
    check(text.find(name) != std::string::npos && name.find('\\') == std::string::npos,
          "file name is not a backslash-free piece of the path");
    const std::size_t end = text.size() - (!text.empty() && isSeparator(text.back()) ? 1 : 0);
    check(name.size() <= end && text.compare(end - name.size(), name.size(), name) == 0,
          "file name does not end where the path (less one trailing separator) ends");
    return 0;
}
