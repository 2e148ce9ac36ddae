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

// The text before position @p at, empty when @p at is npos or 0.
std::string before(const std::string &text, std::size_t at)
{
    return at == std::string::npos ? std::string() : text.substr(0, at);
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
    // Without a separator both are empty; a leading separator gives an empty parent.
    check(root == before(path, path.find_first_of("/\\")), "root is not the text before the first separator");
    check(parent == before(path, path.find_last_of("/\\")), "parent is not the text before the last separator");

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
