// SPDX-License-Identifier: GPL-3.0-or-later
// The document core's byte store on a 256 MiB document: loading against a
// plain file copy of the same file, and inserting one byte at the start (time
// and peak memory). No widget and no Qt: the core alone.
#include "hexeditor/core/Document.h"
#include "platform/system/FileUtils.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t kDocumentSize = 256LL << 20;

// A folder of its own for the document, the copies and the working copies.
std::string g_folder;

std::string Document()
{
    const std::string path = g_folder + "document.bin";
    if (!platform::FileExists(path)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char> block(1 << 20);
        for (std::int64_t done = 0; done < kDocumentSize; done += static_cast<std::int64_t>(block.size())) {
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = static_cast<char>((done + static_cast<std::int64_t>(i)) * 2654435761u >> 13);
            if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size()))
                std::abort();
        }
        ::close(fd);
    }
    return path;
}

double PeakRssMiB()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_LoadFromFile256MiB(benchmark::State& state)
{
    const std::string document = Document();
    hexcore::Document store;
    store.NewFile("Untitled");
    for (auto _ : state) {
        if (!store.LoadFromFile(document))
            state.SkipWithError("LoadFromFile failed");
    }
    state.SetBytesProcessed(state.iterations() * kDocumentSize);
}

void BM_PlainFileCopy256MiB(benchmark::State& state)
{
    const std::string document = Document();
    const std::string copy = g_folder + "copy.bin";
    for (auto _ : state) {
        if (!platform::CopyFile(document, copy))
            state.SkipWithError("CopyFile failed");
    }
    state.SetBytesProcessed(state.iterations() * kDocumentSize);
    platform::RemoveIfPresent(copy);
}

void BM_InsertOneByteAtStart256MiB(benchmark::State& state)
{
    const std::string document = Document();
    hexcore::Document store;
    store.NewFile("Untitled");
    if (!store.LoadFromFile(document)) {
        state.SkipWithError("LoadFromFile failed");
        return;
    }
    const double before = PeakRssMiB();
    const std::uint8_t byte = 0x5A;
    for (auto _ : state)
        store.InsertBytes(&byte, 1, 0);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
    state.counters["peak_rss_growth_MiB"] = PeakRssMiB() - before;
    state.counters["page_buffer_KiB"] = hexcore::Document::kPageSize / 1024.0;
}

}  // namespace

BENCHMARK(BM_InsertOneByteAtStart256MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadFromFile256MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PlainFileCopy256MiB)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kh-bench-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return 1;
    g_folder = pattern + "/";
    ::setenv("TMPDIR", g_folder.c_str(), 1);  // working copies go there too

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    platform::RemoveIfPresent(g_folder + "document.bin");
    ::rmdir(pattern.c_str());
    return 0;
}
