// SPDX-License-Identifier: GPL-3.0-or-later
// The file search over a generated tree of 100,000 entries in 1,000 folders
// (99 files in each folder, one in ten a package), against `find` over the
// same tree in the same run.
#include "FileFind/FileFind.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 99;  // per top folder: 10 + 990 = 1,000 folders
constexpr int kFilesPerFolder = 99;
constexpr int kEntries = kTopFolders * (1 + kSubFolders) * (1 + kFilesPerFolder);
constexpr int kPackages = kTopFolders * (1 + kSubFolders) * 10;

void Fill(const std::string& folder)
{
    for (int i = 0; i < kFilesPerFolder; ++i) {
        const std::string name = folder + "f" + std::to_string(i) + (i % 10 == 0 ? ".umx" : ".dat");
        const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

class Tree {
public:
    Tree()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kh-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern + "/";
        for (int t = 0; t < kTopFolders; ++t) {
            const std::string top = root_ + "d" + std::to_string(t) + "/";
            ::mkdir(top.c_str(), 0755);
            Fill(top);
            for (int s = 0; s < kSubFolders; ++s) {
                const std::string sub = top + "s" + std::to_string(s) + "/";
                ::mkdir(sub.c_str(), 0755);
                Fill(sub);
            }
        }
    }
    ~Tree()
    {
        const std::string cmd = "rm -rf '" + root_ + "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", root_.c_str());
    }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};

const Tree& TheTree()
{
    static Tree tree;
    return tree;
}

void BM_FileSearch(benchmark::State& state)
{
    const std::string root = TheTree().Root();
    TFileSearch search;
    search.SetSearchFile(root + "*.umx");
    std::size_t found = 0;
    search.OnFileFind = [&found](const std::string&, const platform::TSearchRec&) { ++found; };
    for (auto _ : state) {
        found = 0;
        search.Search();
        benchmark::DoNotOptimize(search.FilesFound().data());
    }
    if (found != static_cast<std::size_t>(kPackages))
        state.SkipWithError("wrong number of packages found");
    state.SetItemsProcessed(state.iterations() * kEntries);
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FileSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same walk and pattern through find(1), its output read and counted.
void BM_FindCommand(benchmark::State& state)
{
    const std::string cmd = "find '" + TheTree().Root() + "' -iname '*.umx'";
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        FILE* out = ::popen(cmd.c_str(), "r");
        if (!out) {
            state.SkipWithError("find could not be started");
            return;
        }
        char line[4096];
        while (std::fgets(line, sizeof line, out))
            ++found;
        ::pclose(out);
    }
    if (found != static_cast<std::size_t>(kPackages))
        state.SkipWithError("find reported a different number of packages");
    state.SetItemsProcessed(state.iterations() * kEntries);
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_FindCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The walk lets pending events through after every entry; a real
    // application object makes that cost part of the figure.
    QApplication app(argc, argv);
    TheTree();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
