// SPDX-License-Identifier: MIT
// Reading a view parameter file into the model.
#include "viewpara/lmfile.h"

#include "platform/rawfile.h"

#include <QString>

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

namespace {

// Large blocks keep the system calls few; lines are cut out of the block in
// place, so only a line that straddles two blocks is copied.
constexpr std::size_t blockSize = std::size_t(1) << 20;

// White space as isspace() sees it in the C locale, independent of the
// process locale.
inline bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The line as Latin-1 text, one QChar per byte.
QString toText(const char *text, std::size_t size)
{
    // QString counts in int; a longer line cannot be held, like any other
    // allocation that fails.
    if (size > std::size_t(std::numeric_limits<int>::max()))
        throw std::bad_alloc();
    return QString::fromLatin1(text, int(size));
}

bool equalsIgnoreAsciiCase(const char *text, std::size_t size, const char *keyword)
{
    const std::size_t keywordSize = std::strlen(keyword);
    if (size != keywordSize)
        return false;
    for (std::size_t i = 0; i < size; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
        char k = keyword[i];
        if (k >= 'A' && k <= 'Z')
            k = char(k + ('a' - 'A'));
        if (c != k)
            return false;
    }
    return true;
}

class LineParser
{
public:
    explicit LineParser(CLMFile &model)
        : m_model(model)
    {}

    void parse(const char *line, std::size_t size);

private:
    enum class Target { None, GeoSysGcd, List };

    void openSatPhoto(const char *rest, const char *end);

    CLMFile &m_model;
    Target m_target = Target::None;
    CLMFile::PathList *m_list = nullptr;
};

void LineParser::parse(const char *line, std::size_t size)
{
    // The line's text ends at its first NUL byte.
    if (const void *nul = std::memchr(line, '\0', size))
        size = std::size_t(static_cast<const char *>(nul) - line);
    while (size > 0 && (line[size - 1] == '\n' || line[size - 1] == '\r'))
        --size;

    const char *end = line + size;
    const char *word = line;
    while (word != end && isBlank(*word))
        ++word;
    if (word == end)
        return; // blank line: the section goes on
    const char *wordEnd = word;
    while (wordEnd != end && !isBlank(*wordEnd))
        ++wordEnd;
    const std::size_t wordSize = std::size_t(wordEnd - word);

    // Only a keyword that is the whole first word opens a section.
    if (wordSize >= 3 && wordSize <= 9) {
        if (equalsIgnoreAsciiCase(word, wordSize, "GeoSysGcd")) {
            m_target = Target::GeoSysGcd;
            m_list = nullptr;
            return;
        }
        if (equalsIgnoreAsciiCase(word, wordSize, "SatPhoto")) {
            openSatPhoto(wordEnd, end);
            return;
        }
        for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
            if (equalsIgnoreAsciiCase(word, wordSize, section.keyword)) {
                m_target = Target::List;
                m_list = &(m_model.*section.list);
                return;
            }
        }
    }

    // A data line: the whole line, leading blanks included.
    switch (m_target) {
    case Target::None:
        break;
    case Target::GeoSysGcd:
        // NOTE: the section holds one path; later lines up to the next header are dropped.
        m_model.m_GeoSysGcd = toText(line, size);
        m_target = Target::None;
        break;
    case Target::List:
        m_list->append(toText(line, size));
        break;
    }
}

// "SatPhoto [SensorType = <type>]": the literal part is case-sensitive, blanks
// around it are optional. "= ]" names the empty sensor type, which is what the
// writer gives for an empty one; a header without "=" or with nothing after it
// opens no group and the following data lines are dropped.
void LineParser::openSatPhoto(const char *p, const char *end)
{
    m_target = Target::None;
    m_list = nullptr;

    static const char literal[] = "[SensorType";
    constexpr std::size_t literalSize = sizeof(literal) - 1;
    while (p != end && isBlank(*p))
        ++p;
    if (std::size_t(end - p) < literalSize || std::memcmp(p, literal, literalSize) != 0)
        return;
    p += literalSize;
    while (p != end && isBlank(*p))
        ++p;
    if (p == end || *p != '=')
        return;
    ++p;
    while (p != end && isBlank(*p))
        ++p;
    if (p == end)
        return;

    const void *close = std::memchr(p, ']', std::size_t(end - p));
    const char *typeEnd = close ? static_cast<const char *>(close) : end;
    m_list = m_model.getSatPhotoList(toText(p, std::size_t(typeEnd - p)));
    m_target = Target::List;
}

} // namespace

bool CLMFile::load4File(const char *path)
{
    clear();
    krcommon::platform::RawFileReader file;
    if (!path || !file.open(path))
        return false;

    const auto block = std::make_unique<char[]>(blockSize);
    // The start of a line that began in an earlier block, up to its first
    // NUL: the text ends there, so the rest of such a line is skipped rather
    // than kept (a file of NUL bytes and no line feed is read in constant
    // memory).
    std::string carried;
    bool pastNul = false;
    LineParser parser(*this);
    for (;;) {
        const std::ptrdiff_t got = file.read(block.get(), blockSize);
        if (got < 0)
            return false; // what was read so far stays in the model
        if (got == 0)
            break;
        const char *p = block.get();
        const char *const end = p + got;
        while (p != end) {
            const void *found = std::memchr(p, '\n', std::size_t(end - p));
            const char *const lineEnd = found ? static_cast<const char *>(found) : end;
            if (found && carried.empty() && !pastNul) {
                parser.parse(p, std::size_t(lineEnd - p)); // the whole line is in this block
            } else {
                if (!pastNul) {
                    const void *nul = std::memchr(p, '\0', std::size_t(lineEnd - p));
                    pastNul = nul != nullptr;
                    carried.append(p, std::size_t((nul ? static_cast<const char *>(nul) : lineEnd) - p));
                }
                if (!found)
                    break;
                parser.parse(carried.data(), carried.size());
                carried.clear();
                pastNul = false;
            }
            p = lineEnd + 1;
        }
    }
    // A last line without a line feed counts too.
    parser.parse(carried.data(), carried.size());
    return true;
}
