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

// Whether @p part is @p whole's beginning, ending at a separator or at the end.
bool cutAtSeparator(const std::string &part, const std::string &whole)
{
    return whole.compare(0, part.size(), part) == 0 &&
           (part.size() == whole.size() || whole[part.size()] == '/' || whole[part.size()] == '\\');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    const std::string path(reinterpret_cast<const char *>(data), size);

    const char ch = size > 0 ? path[size / 2] : '.';
    check(common.findIndex(path, ch, true) == int(path.find(ch)), "findIndex misses the first occurrence");
    check(common.findIndex(path, ch, false) == int(path.rfind(ch)), "findIndex misses the last occurrence");

    const std::string root = common.getRootPath(path), parent = common.getParentPath(path);
    check(cutAtSeparator(root, path) && root.find_first_of("/\\") == std::string::npos, "root is cut elsewhere");
    check(cutAtSeparator(parent, path), "parent is not cut at a separator");

    // Without its suffix and the suffix put back together give the path.
    const std::string stem = common.getFileNameWithOutSuffix(path), suffix = common.getSuffixByFileName(path);
    check(path.compare(0, stem.size(), stem) == 0, "the path without suffix is no prefix");
    check(suffix.empty() || (suffix[0] == '.' && stem + suffix == path), "stem and suffix do not make the path");
    check(suffix.find_first_of("/\\") == std::string::npos, "a suffix reaches into a directory");

    // The last component ends where the text up to its first zero byte
    // (less one trailing separator) ends, and holds no backslash.
    const std::string text(path.c_str());
    const std::string name = common.getFileNameFormPath(text.c_str());
    const std::size_t end = text.size() - (!text.empty() && (text.back() == '/' || text.back() == '\\') ? 1 : 0);
    check(name.size() <= end && text.compare(end - name.size(), name.size(), name) == 0, "file name is misplaced");
    check(name.find('\\') == std::string::npos, "file name holds a backslash");
    return 0;
}
