// SPDX-License-Identifier: MIT
// The file and process members beside the tools they stand in for, measured
// in the same run: compareFile against "cmp -s" on two identical 512 MiB
// files in the page cache, RecureDir against "find DIR -type f" on a tree of
// 100k files in 1,000 directories and on a 30-deep chain of directories, and
// killProcessFromName's scan with 1,000 more processes running.
//
// Fixtures live in the system's temporary directory (about 1.1 GB of disk)
// and are removed when the program ends.

#include <CKrCommon.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr qint64 compareSize = qint64(512) << 20;
constexpr int treeGroups = 10, treeDirsPerGroup = 100, filesPerTreeDir = 100; // 100k files, 1,000 leaf directories
constexpr int chainDepth = 30, filesPerChainDir = 3334;                       // 100k files
constexpr int sleepers = 1000;

// Runs @p argv with its output discarded; true when it exits with 0.
bool runTool(std::vector<const char *> argv)
{
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char *const *>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    return spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void touch(const QByteArray &path)
{
    ::close(::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
}

struct CompareFixture {
    QTemporaryDir dir;
    QByteArray first, second;
    CompareFixture()
    {
        first = QFile::encodeName(dir.filePath(QStringLiteral("a.img")));
        second = QFile::encodeName(dir.filePath(QStringLiteral("b.img")));
        QByteArray block(1 << 20, '\0');
        QRandomGenerator random(512);
        QFile a(QFile::decodeName(first)), b(QFile::decodeName(second));
        if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly))
            return;
        for (qint64 written = 0; written < compareSize; written += block.size()) {
            random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            a.write(block);
            b.write(block);
        }
    }
};

const CompareFixture &compareFixture()
{
    static const CompareFixture fixture;
    return fixture;
}

struct TreeFixture {
    QTemporaryDir dir;
    QByteArray root; // with a trailing separator, as RecureDir wants it
    explicit TreeFixture(bool chain)
    {
        root = QFile::encodeName(dir.path()) + '/';
        if (chain) {
            QByteArray level = root;
            for (int d = 0; d < chainDepth; ++d) {
                level += "level" + QByteArray::number(d) + '/';
                ::mkdir(level.constData(), 0755);
                for (int f = 0; f < filesPerChainDir; ++f)
                    touch(level + "IMG_" + QByteArray::number(f) + ".tif");
            }
            return;
        }
        for (int g = 0; g < treeGroups; ++g) {
            const QByteArray group = root + "strip" + QByteArray::number(g) + '/';
            ::mkdir(group.constData(), 0755);
            for (int d = 0; d < treeDirsPerGroup; ++d) {
                const QByteArray sub = group + "block" + QByteArray::number(d) + '/';
                ::mkdir(sub.constData(), 0755);
                for (int f = 0; f < filesPerTreeDir; ++f)
                    touch(sub + "IMG_" + QByteArray::number(f) + ".tif");
            }
        }
    }
};

const TreeFixture &treeFixture(bool chain)
{
    static const TreeFixture tree(false), deepChain(true);
    return chain ? deepChain : tree;
}

// Sleeping children, started by the benchmark and ended and reaped by it at exit.
struct Sleepers {
    std::vector<pid_t> pids;
    Sleepers()
    {
        const char *argv[] = {"sleep", "3600", nullptr};
        for (int i = 0; i < sleepers; ++i) {
            pid_t pid = -1;
            if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char *const *>(argv), environ) == 0)
                pids.push_back(pid);
        }
    }
    ~Sleepers()
    {
        for (const pid_t pid : pids)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : pids)
            ::waitpid(pid, nullptr, 0);
    }
};

void BM_CompareFile(benchmark::State &state)
{
    const CompareFixture &files = compareFixture();
    CKrCommon &common = CKrCommon::GetSingleTon();
    if (!common.compareFile(files.first.constData(), files.second.constData())) // also fills the page cache
        state.SkipWithError("the fixture files do not compare equal");
    for (auto _ : state)
        benchmark::DoNotOptimize(common.compareFile(files.first.constData(), files.second.constData()));
    state.SetBytesProcessed(state.iterations() * 2 * compareSize);
}
BENCHMARK(BM_CompareFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_CmpSilent(benchmark::State &state)
{
    const CompareFixture &files = compareFixture();
    for (auto _ : state) {
        if (!runTool({"cmp", "-s", files.first.constData(), files.second.constData()}))
            state.SkipWithError("cmp -s failed or found a difference");
    }
    state.SetBytesProcessed(state.iterations() * 2 * compareSize);
}
BENCHMARK(BM_CmpSilent)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// Argument: 0 the wide tree, 1 the deep chain.
void BM_RecureDir(benchmark::State &state)
{
    const TreeFixture &tree = treeFixture(state.range(0) != 0);
    const QString root = QFile::decodeName(tree.root);
    qsizetype files = 0;
    for (auto _ : state) {
        const QStringList list = CKrCommon::GetSingleTon().RecureDir(root);
        files = list.size();
    }
    if (files != 100000 && files != chainDepth * filesPerChainDir)
        state.SkipWithError("RecureDir lists the wrong number of files");
    state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_RecureDir)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_FindTypeF(benchmark::State &state)
{
    const TreeFixture &tree = treeFixture(state.range(0) != 0);
    for (auto _ : state) {
        if (!runTool({"find", tree.root.constData(), "-type", "f"}))
            state.SkipWithError("find failed");
    }
    state.SetItemsProcessed(state.iterations() * (state.range(0) != 0 ? chainDepth * filesPerChainDir : 100000));
}
BENCHMARK(BM_FindTypeF)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// A name nothing has: the whole snapshot is walked, the worst case.
void BM_KillProcessFromName(benchmark::State &state)
{
    static const Sleepers running;
    const QByteArray name = "no-such-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    for (auto _ : state) {
        if (CKrCommon::GetSingleTon().killProcessFromName(name.constData()))
            state.SkipWithError("a process matched a random name");
    }
    state.counters["children"] = double(running.pids.size());
}
BENCHMARK(BM_KillProcessFromName)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
