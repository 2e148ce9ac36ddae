// SPDX-License-Identifier: MIT
// Prepares what a viewer shows: divides a survey area into blocks, then
// lists a folder of data files, builds a view parameter file from those the
// viewer can show, and checks that it loads back to the same file.
//
//   viewer-prep [work-directory]
//
// Without a directory the program works in a temporary one.
#include <KrCommon/CKrCommon.h>
#include <KrCommon/CKrLumoParaFile.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
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

// The sample data folder: aerial photographs in two strips among other
// files, and a version-control directory the listing skips.
QString makeSampleFolder(const QString &root)
{
    const QString folder = root + QStringLiteral("/flight-07");
    const char *names[] = {"strip1/IMG_0001.JPG", "strip1/IMG_0002.jpg", "strip1/camera.kx",
                           "strip2/IMG_0101.JPG", "strip2/strip2.tif",   "strip2/strip2.tif.ovr",
                           "readme.txt",          "terrain.dem",         ".svn/entries"};
    for (const char *name : names) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("sample");
    }
    return folder;
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
    CKrCommon &common = CKrCommon::GetSingleTon();
    const QString folder = makeSampleFolder(workDir);

    IMAGE_TYPE_INFO info;
    info.imageType = 1; // aerial photographs
    CKrLumoParaFile viewFile(info);

    // Every file below the folder (the trailing separator matters), in the
    // order the file system gives; sorted here only for a stable printout.
    QStringList files = common.RecureDir(folder + QLatin1Char('/'));
    files.sort();
    std::printf("\nData files below %s:\n", QFile::encodeName(folder).constData());
    for (const QString &file : files) {
        const QByteArray path = file.toLocal8Bit();
        const int typeCode = viewFile.isCanShow(path.constData());
        std::printf("  %-40s %s\n", path.constData() + folder.size() + 1, typeCode > 0 ? "shown" : "not shown");
        if (typeCode > 0)
            viewFile.addViewFile(path.constData(), false);
    }
    const QByteArray gcp = QFile::encodeName(folder) + "/control/Area.gcp";
    viewFile.addViewFile(gcp.constData(), true);

    const QByteArray saved = QFile::encodeName(workDir) + "/flight-07.view";
    if (!viewFile.save2File(saved.constData())) {
        std::fprintf(stderr, "cannot save %s\n", saved.constData());
        return false;
    }

    // Load it back into a fresh facade and save that: the file is the model,
    // section by section, so both saves must be the same bytes.
    CKrLumoParaFile reloaded(info);
    const QByteArray copy = QFile::encodeName(workDir) + "/flight-07-reloaded.view";
    if (!reloaded.load4File(saved.constData()) || !reloaded.save2File(copy.constData())) {
        std::fprintf(stderr, "cannot reload %s\n", saved.constData());
        return false;
    }
    if (!common.compareFile(saved.constData(), copy.constData())) {
        std::fprintf(stderr, "%s and %s differ\n", saved.constData(), copy.constData());
        return false;
    }
    std::printf("\nView parameter file %s, loaded back and saved again to the same bytes\n"
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
