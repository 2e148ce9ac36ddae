// SPDX-License-Identifier: MIT
// The file and process members beside their peers, in the same process:
// compareFile against a read() loop with 64 KiB buffers and memcmp on two
// identical 1 GiB files in the page cache (with the floor, the same loop
// reading both files without comparing them), and RecureDir against fts and
// QDirIterator on a tree of 100k files in 1,000 directories and on a 30-deep
// chain of directories. Each job is named <job>/krcommon and <job>/peer:<name>
// (scripts/run-bench prints the ratios); the command-line tools a user would
// reach for (cmp -s, find) run beside them as <job>/tool:<name>, in wall time
// only, since their CPU time is a child's. killProcessFromName's scan runs with
// 1,000 more processes.
//
// Fixtures are written once per run into the system's temporary directory
// (about 2.2 GB of disk: the two compared files hold random bytes, so that
// they really sit in the page cache, not in holes) and removed at the end.

#include <CKrCommon.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fts.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr qint64 compareSize = qint64(1) << 30;
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
        // On disk before any run is timed: the kernel writing 2 GiB back in
        // the background would slow whichever job runs first.
        a.flush();
        b.flush();
        ::fsync(a.handle());
        ::fsync(b.handle());
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

// The peer: both files read in 64 KiB blocks, each pair compared with
// memcmp; with @p compare false, the floor: reading both without comparing.
bool readLoop(const char *first, const char *second, bool compare)
{
    constexpr std::size_t block = std::size_t(64) << 10;
    static std::vector<char> x(block), y(block);
    const int a = ::open(first, O_RDONLY | O_CLOEXEC), b = ::open(second, O_RDONLY | O_CLOEXEC);
    bool equal = a >= 0 && b >= 0;
    for (; equal;) {
        const ssize_t n = ::read(a, x.data(), block), m = ::read(b, y.data(), block);
        equal = n == m && n >= 0 && (!compare || std::memcmp(x.data(), y.data(), std::size_t(n)) == 0);
        if (n <= 0)
            break;
    }
    ::close(a);
    ::close(b);
    return equal;
}

// Who compares: 0 KrCommon, 1 the read() + memcmp loop, 2 the floor, 3 cmp -s.
template<int who>
void BM_CompareFile(benchmark::State &state)
{
    const CompareFixture &files = compareFixture();
    const char *const a = files.first.constData();
    const char *const b = files.second.constData();
    if (!CKrCommon::GetSingleTon().compareFile(a, b)) // also fills the page cache
        state.SkipWithError("the fixture files do not compare equal");
    for (auto _ : state) {
        bool equal = false;
        switch (who) {
        case 0:
            equal = CKrCommon::GetSingleTon().compareFile(a, b);
            break;
        case 1:
        case 2:
            equal = readLoop(a, b, who == 1);
            break;
        default:
            equal = runTool({"cmp", "-s", a, b});
        }
        if (!equal)
            state.SkipWithError("the files compared unequal");
    }
    state.SetBytesProcessed(state.iterations() * 2 * compareSize);
}
#define KRCOMMON_COMPARE(who, name)                                                                                    \
    BENCHMARK_TEMPLATE(BM_CompareFile, who)->Name(name)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2)
KRCOMMON_COMPARE(0, "compare_file/krcommon");
KRCOMMON_COMPARE(1, "compare_file/peer:read_memcmp_64k");
KRCOMMON_COMPARE(2, "compare_file/floor:read_64k");
KRCOMMON_COMPARE(3, "compare_file/tool:cmp");

// The files below @p root as RecureDir lists them on these trees, which hold
// no links: hidden directories skipped, each path a QString through the local
// code page. fts at its fastest: no stat, the entry types of the directory read.
QStringList ftsWalk(const QByteArray &root)
{
    QStringList files;
    char *const paths[] = {const_cast<char *>(root.constData()), nullptr};
    FTS *const fts = ::fts_open(paths, FTS_PHYSICAL | FTS_NOCHDIR | FTS_NOSTAT, nullptr);
    for (FTSENT *e; fts && (e = ::fts_read(fts)) != nullptr;) {
        if (e->fts_info == FTS_D && e->fts_level > 0 && e->fts_name[0] == '.')
            ::fts_set(fts, e, FTS_SKIP);
        else if (e->fts_info == FTS_F || e->fts_info == FTS_NSOK)
            files.append(QString::fromLocal8Bit(e->fts_path, int(e->fts_pathlen)));
    }
    if (fts)
        ::fts_close(fts);
    return files;
}

QStringList dirIteratorWalk(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

// Argument: the tree (0 wide, 1 the deep chain). Who walks: 0 KrCommon,
// 1 fts, 2 QDirIterator, 3 find.
template<int who>
void BM_RecureDir(benchmark::State &state)
{
    const bool chain = state.range(0) != 0;
    const TreeFixture &tree = treeFixture(chain);
    const QString root = QFile::decodeName(tree.root);
    const qsizetype expected = chain ? qsizetype(chainDepth) * filesPerChainDir : 100000;
    qsizetype files = expected;
    for (auto _ : state) {
        switch (who) {
        case 0:
            files = CKrCommon::GetSingleTon().RecureDir(root).size();
            break;
        case 1:
            files = ftsWalk(tree.root).size();
            break;
        case 2:
            files = dirIteratorWalk(root).size();
            break;
        default:
            if (!runTool({"find", tree.root.constData(), "-type", "f"}))
                state.SkipWithError("find failed");
        }
    }
    if (files != expected)
        state.SkipWithError("the wrong number of files was listed");
    state.SetItemsProcessed(state.iterations() * expected);
}
#define KRCOMMON_RECURE_DIR(who, name)                                                                                 \
    BENCHMARK_TEMPLATE(BM_RecureDir, who)                                                                              \
        ->Name(name)                                                                                                   \
        ->Arg(0)                                                                                                       \
        ->Arg(1)                                                                                                       \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->UseRealTime()                                                                                                \
        ->MinTime(2)
KRCOMMON_RECURE_DIR(0, "recure_dir/krcommon");
KRCOMMON_RECURE_DIR(1, "recure_dir/peer:fts");
KRCOMMON_RECURE_DIR(2, "recure_dir/peer:qdiriterator");
KRCOMMON_RECURE_DIR(3, "recure_dir/tool:find");

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
BENCHMARK(BM_KillProcessFromName)->Name("kill_process/krcommon")->Unit(benchmark::kMillisecond);

} // namespace
