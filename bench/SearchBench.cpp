// SPDX-License-Identifier: GPL-3.0-or-later
// THexEditor::Find over a 64 MiB document for a pattern that does not occur,
// measured beside memmem over the same bytes held in memory.
#include "hexeditor/hexeditor.h"
#include "platform/system/FileUtils.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kDocumentSize = 64u << 20;

struct Document {
    std::vector<std::uint8_t> bytes;
    std::string path;
    THexEditor* editor = nullptr;
};

Document* doc = nullptr;

// An absent pattern of the given length: letters (so that case folding has
// work to do), checked against the document.
std::vector<std::uint8_t> AbsentPattern(std::size_t length)
{
    std::mt19937 rng(static_cast<unsigned>(length));
    for (;;) {
        std::vector<std::uint8_t> p(length);
        for (auto& c : p)
            c = static_cast<std::uint8_t>((rng() % 2 ? 'A' : 'a') + rng() % 26);
        if (!memmem(doc->bytes.data(), doc->bytes.size(), p.data(), p.size()))
            return p;
    }
}

void BM_Memmem(benchmark::State& state)
{
    const auto pattern = AbsentPattern(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const void* hit = memmem(doc->bytes.data(), doc->bytes.size(), pattern.data(), pattern.size());
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentSize));
}

void Find(benchmark::State& state, bool ignoreCase)
{
    const auto pattern = AbsentPattern(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> work(pattern);
    for (auto _ : state) {
        work = pattern;
        const auto result = doc->editor->Find(work.data(), static_cast<std::int32_t>(work.size()), 0,
                                              0x7FFFFFFF, ignoreCase, false);
        if (result != -1)
            state.SkipWithError("pattern found");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentSize));
}

void BM_FindCaseSensitive(benchmark::State& state) { Find(state, false); }
void BM_FindIgnoreCase(benchmark::State& state) { Find(state, true); }

BENCHMARK(BM_Memmem)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCaseSensitive)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindIgnoreCase)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Document document;
    doc = &document;
    // Random bytes: every byte value, letters among them, about equally often.
    document.bytes.resize(kDocumentSize);
    std::mt19937_64 rng(1);
    for (std::size_t i = 0; i < kDocumentSize; i += 8) {
        const std::uint64_t r = rng();
        std::memcpy(document.bytes.data() + i, &r, 8);
    }
    document.path = platform::GetTempPath() + "bench_search_" + std::to_string(platform::GetTickCount()) + ".bin";
    if (FILE* f = std::fopen(document.path.c_str(), "wb")) {
        std::fwrite(document.bytes.data(), 1, document.bytes.size(), f);
        std::fclose(f);
    }
    THexEditor editor;
    document.editor = &editor;
    if (!editor.LoadFromFile(document.path) || editor.DataSize() != static_cast<std::int32_t>(kDocumentSize)) {
        std::fprintf(stderr, "bench_search: could not load %s\n", document.path.c_str());
        platform::RemoveIfPresent(document.path);
        return 1;
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::RemoveIfPresent(document.path);
    return 0;
}
