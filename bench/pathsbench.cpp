// SPDX-License-Identifier: MIT
// createDir on long paths of 64-byte components whose directories exist: a
// 1 MiB path (16,384 directories) alone, and a 64 KiB one beside "mkdir -p",
// the longest argument a command takes. Both walk the path one directory at
// a time. The trees live in the system's temporary directory and are removed
// with "rm -rf" when the program ends (they are deeper than PATH_MAX).

#include <CKrCommon.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

// Runs @p argv; true when it exits with 0.
bool runTool(std::vector<const char *> argv)
{
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char *const *>(argv.data()), environ) == 0 &&
           ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct DeepTree {
    QTemporaryDir dir;
    QByteArray parent; // the deepest directory
    bool made = false;
    explicit DeepTree(int bytes)
    {
        parent = QFile::encodeName(dir.path());
        const QByteArray component = '/' + QByteArray(63, 'd');
        int depth = 0;
        for (; parent.size() < bytes; ++depth)
            parent += component;
        CKrCommon::GetSingleTon().createDir(QFile::decodeName(parent + "/img"));
        QProcess find; // one byte per directory below the root
        find.start(QStringLiteral("find"),
                   {dir.path(), QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-type"),
                    QStringLiteral("d"), QStringLiteral("-printf"), QStringLiteral("x")});
        made = find.waitForFinished(-1) && find.readAllStandardOutput().size() == depth;
    }
    ~DeepTree() { runTool({"rm", "-rf", QFile::encodeName(dir.path()).constData()}); }
    DeepTree(const DeepTree &) = delete;
    DeepTree &operator=(const DeepTree &) = delete;
};

const DeepTree &deepTree(int bytes)
{
    static const DeepTree large(1 << 20), small(1 << 16);
    return bytes == (1 << 20) ? large : small;
}

void BM_CreateDir(benchmark::State &state)
{
    const DeepTree &tree = deepTree(int(state.range(0)));
    const QString path = QFile::decodeName(tree.parent + "/img");
    for (auto _ : state)
        CKrCommon::GetSingleTon().createDir(path);
    if (!tree.made)
        state.SkipWithError("createDir did not make every directory of the path");
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CreateDir)->Name("createdir_1mib/krcommon")->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateDir)->Name("createdir_64kib/krcommon")->Arg(1 << 16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MkdirP(benchmark::State &state)
{
    const DeepTree &tree = deepTree(1 << 16);
    for (auto _ : state) {
        if (!runTool({"mkdir", "-p", tree.parent.constData()}))
            state.SkipWithError("mkdir -p failed");
    }
    state.SetBytesProcessed(state.iterations() * (1 << 16));
}
BENCHMARK(BM_MkdirP)->Name("createdir_64kib/peer:mkdir_p")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
