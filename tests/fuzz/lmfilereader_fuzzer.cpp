// SPDX-License-Identifier: MIT
// Fuzzes the view parameter file reader with arbitrary bytes. Besides the
// sanitizers, saving is checked to be a fixed point after one load: a model
// read from any bytes holds only what the format can carry, so its saved
// file must load back into the same model and save to the same bytes. The
// one exception is a sensor type holding a CR ("SatPhoto [SensorType = a\rb]"),
// which the writer refuses: that save must fail.

#include "viewpara/lmfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "lmfilereader_fuzzer: %s\n", what);
        std::abort();
    }
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly), "cannot read back a saved file");
    return file.readAll();
}

// Satellite groups with paths, in order; empty groups are not saved, so they
// do not survive a round trip and are left out of the comparison.
QList<QPair<QString, QStringList>> savedGroups(const CLMFile &model)
{
    check(std::size_t(model.m_SensorTypeList.size()) == model.m_SatPhotoLists.size(),
          "sensor types and satellite groups differ in number");
    QList<QPair<QString, QStringList>> groups;
    for (std::size_t i = 0; i < model.m_SatPhotoLists.size(); ++i) {
        if (!model.m_SatPhotoLists[i]->isEmpty())
            groups.append(qMakePair(model.m_SensorTypeList.at(int(i)), model.m_SatPhotoLists[i]->paths()));
    }
    return groups;
}

bool writesLineBreak(const CLMFile &model)
{
    for (const auto &group : savedGroups(model)) {
        if (group.first.contains(QLatin1Char('\r')))
            return true;
    }
    return false;
}

bool sameContent(const CLMFile &a, const CLMFile &b)
{
    for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
        if (a.*section.list != b.*section.list)
            return false;
    }
    return a.m_GeoSysGcd == b.m_GeoSysGcd && savedGroups(a) == savedGroups(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // One directory per process, on tmpfs when there is one so that the fsync
    // of every save costs nothing; kept after a failure.
    static const QString base =
        QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static const QTemporaryDir dir(base + QStringLiteral("/lmfilereader_fuzzer-XXXXXX"));
    check(dir.isValid(), "cannot create a temporary directory");
    const QString input = dir.filePath(QStringLiteral("input")), saved = dir.filePath(QStringLiteral("saved")),
                  resaved = dir.filePath(QStringLiteral("resaved"));
    QFile file(input);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size) && file.flush(),
          "cannot write the input file");
    file.close();

    CLMFile first, second;
    check(first.load4File(QFile::encodeName(input).constData()), "load4File refused a readable file");
    if (writesLineBreak(first)) {
        check(!first.save2File(QFile::encodeName(saved).constData()), "save2File wrote a line break in a header");
        return 0;
    }
    check(first.save2File(QFile::encodeName(saved).constData()), "save2File failed");
    check(second.load4File(QFile::encodeName(saved).constData()), "load4File refused a saved file");
    check(sameContent(first, second), "a saved model loads back different");
    check(second.save2File(QFile::encodeName(resaved).constData()), "save2File failed again");
    check(readFile(saved) == readFile(resaved), "saving a loaded model again gives other bytes");
    return 0;
}
