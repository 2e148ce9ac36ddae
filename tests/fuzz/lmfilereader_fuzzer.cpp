// SPDX-License-Identifier: MIT
// Fuzzes the view parameter file reader with arbitrary bytes. Besides the
// sanitizers, saving is checked to be a fixed point after one load: a model
// read from any bytes holds only what the format can carry, so its saved
// file must load back into the same model and save to the same bytes.

#include "viewpara/lmfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

[[noreturn]] void fail(const char *what, const std::string &file)
{
    std::fprintf(stderr, "lmfilereader_fuzzer: %s (%s)\n", what, file.c_str());
    std::abort();
}

// On tmpfs when there is one, so the fsync of every save costs nothing.
QString workspaceTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(shm).isDir() ? shm : QDir::tempPath();
    return base + QStringLiteral("/lmfilereader_fuzzer-XXXXXX");
}

// One directory per process, removed at a normal exit; after a failure it is
// left for inspection.
class Workspace
{
public:
    Workspace()
        : m_dir(workspaceTemplate())
    {
        if (!m_dir.isValid())
            fail("cannot create a temporary directory", m_dir.errorString().toStdString());
        input = nativePath("input");
        saved = nativePath("saved");
        resaved = nativePath("resaved");
    }

    std::string input;
    std::string saved;
    std::string resaved;

private:
    std::string nativePath(const char *name) const
    {
        return QFile::encodeName(m_dir.filePath(QString::fromLatin1(name))).toStdString();
    }

    QTemporaryDir m_dir;
};

Workspace &workspace()
{
    static Workspace instance;
    return instance;
}

void writeFile(const std::string &path, const std::uint8_t *data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        fail("cannot write the input file", path);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("cannot read back a saved file", path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Satellite groups with paths, in order; empty groups are not saved, so they
// do not survive a round trip and are left out of the comparison.
QList<QPair<QString, QStringList>> savedGroups(const CLMFile &model)
{
    if (static_cast<std::size_t>(model.m_SensorTypeList.size()) != model.m_SatPhotoLists.size())
        fail("sensor types and satellite groups differ in number", std::string());
    QList<QPair<QString, QStringList>> groups;
    for (std::size_t i = 0; i < model.m_SatPhotoLists.size(); ++i) {
        const auto &group = *model.m_SatPhotoLists[i];
        if (!group.isEmpty())
            groups.append(qMakePair(model.m_SensorTypeList.at(static_cast<int>(i)), group.paths()));
    }
    return groups;
}

bool sameContent(const CLMFile &a, const CLMFile &b)
{
    if (a.m_GeoSysGcd != b.m_GeoSysGcd)
        return false;
    for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
        if (a.*section.list != b.*section.list)
            return false;
    }
    return savedGroups(a) == savedGroups(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Workspace &work = workspace();
    writeFile(work.input, data, size);

    CLMFile first;
    if (!first.load4File(work.input.c_str()))
        fail("load4File refused a readable file", work.input);
    if (!first.save2File(work.saved.c_str()))
        fail("save2File failed", work.saved);

    CLMFile second;
    if (!second.load4File(work.saved.c_str()))
        fail("load4File refused a saved file", work.saved);
    if (!sameContent(first, second))
        fail("a saved model loads back different", work.saved);
    if (!second.save2File(work.resaved.c_str()))
        fail("save2File failed", work.resaved);
    if (readFile(work.saved) != readFile(work.resaved))
        fail("saving a loaded model again gives other bytes", work.resaved);
    return 0;
}
