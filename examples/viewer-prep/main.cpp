// SPDX-License-Identifier: MIT
// Prepares what a viewer shows: divides a survey area into blocks, then
// builds a view parameter file from a folder of data files.
//
//   viewer-prep [work-directory]
//
// Without a directory the program works in a temporary one.
#include <KrCommon/CKrCommon.h>
#include <KrCommon/CKrLumoParaFile.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

void printBlockGrid()
{
    // A survey area west and south of the map origin, divided into 1 km blocks.
    const float startX = -1250.0f, startY = 3400.0f, width = 5000.0f, height = 2500.0f;
    const float blockSize = 1000.0f;
    std::vector<std::vector<float>> rows;
    CKrCommon::GetSingleTon().calBlock(rows, startX, startY, width, height, blockSize, blockSize);

    std::printf("Block grid of the area (%g, %g) + %g x %g in %g m blocks: %zu rows\n", double(startX), double(startY),
                double(width), double(height), double(blockSize), rows.size());
    for (const std::vector<float> &row : rows) {
        std::printf("  y %7g:", double(row.empty() ? 0.0f : row[1]));
        for (std::size_t i = 0; i < row.size(); i += 2)
            std::printf(" %6g", double(row[i]));
        std::printf("\n");
    }
}

// The sample data folder: aerial photographs among other files.
QByteArray makeSampleFolder(const QString &root)
{
    const QString folder = root + QStringLiteral("/flight-07");
    QDir().mkpath(folder);
    const char *names[] = {"IMG_0001.JPG", "IMG_0002.jpg", "strip3.tif", "strip3.tif.ovr",
                           "camera.kx",    "scan.raw",     "readme.txt", "terrain.dem"};
    for (const char *name : names) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("sample");
    }
    return QFile::encodeName(folder);
}

bool printFile(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    std::fwrite(content.constData(), 1, std::size_t(content.size()), stdout);
    return true;
}

bool buildViewFile(const QString &workDir)
{
    const QByteArray folder = makeSampleFolder(workDir);

    IMAGE_TYPE_INFO info;
    info.imageType = 1; // aerial photographs
    CKrLumoParaFile viewFile(info);

    std::printf("\nData files in %s:\n", folder.constData());
    const QStringList names = QDir(QFile::decodeName(folder)).entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QByteArray path = folder + '/' + QFile::encodeName(name);
        const int typeCode = viewFile.isCanShow(path.constData());
        std::printf("  %-16s %s\n", QFile::encodeName(name).constData(), typeCode > 0 ? "shown" : "not shown");
        if (typeCode > 0)
            viewFile.addViewFile(path.constData(), false);
    }
    const QByteArray gcp = folder + "/control/Area.gcp";
    viewFile.addViewFile(gcp.constData(), true);

    const QByteArray saved = QFile::encodeName(workDir) + "/flight-07.view";
    if (!viewFile.save2File(saved.constData())) {
        std::fprintf(stderr, "cannot save %s\n", saved.constData());
        return false;
    }

    // Load it back into a fresh facade and write that out again: the file
    // is the model, section by section.
    CKrLumoParaFile reloaded(info);
    const QByteArray copy = QFile::encodeName(workDir) + "/flight-07-reloaded.view";
    if (!reloaded.load4File(saved.constData()) || !reloaded.save2File(copy.constData())) {
        std::fprintf(stderr, "cannot reload %s\n", saved.constData());
        return false;
    }
    std::printf("\nView parameter file %s, loaded back\n"
                "(paths are stored exactly as added):\n",
                saved.constData());
    return printFile(copy);
}

} // namespace

int main(int argc, char *argv[])
{
    printBlockGrid();

    QTemporaryDir temporary;
    const QString workDir = argc > 1 ? QFile::decodeName(argv[1]) : temporary.path();
    if (argc > 1)
        QDir().mkpath(workDir);
    return buildViewFile(workDir) ? 0 : 1;
}
