// SPDX-License-Identifier: GPL-3.0-or-later
// Writes Unreal music packages for the rendering benchmark: real modules,
// the kinds taking turns (it, s3m, xm), 8 channels and 20 patterns of 64
// rows each (about two and a half minutes of music), until MINUTES of
// music are reached.
//
//   make_render_tree FOLDER MINUTES
#include "fixtures/Fixtures.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// A row lasts 6 ticks at 125 BPM: 0.12 s.
constexpr double kSecondsPerRow = 0.12;
constexpr int kPatterns = 20;
constexpr int kRows = 64;

bool Write(const std::string& path, const fixtures::Bytes& bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_render_tree FOLDER MINUTES\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double seconds = std::atof(argv[2]) * 60;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(folder.c_str());
        return 1;
    }
    const fixtures::ModuleKind kinds[] = {fixtures::ModuleKind::ImpulseTracker, fixtures::ModuleKind::ScreamTracker3,
                                          fixtures::ModuleKind::FastTracker2};
    int count = 0;
    for (double music = 0; music < seconds; music += kPatterns * kRows * kSecondsPerRow, ++count) {
        fixtures::ModuleOptions options;
        options.title = "Benchmark " + std::to_string(count + 1);
        options.patterns = kPatterns;
        options.rows = kRows;
        options.channels = 8;
        options.sampleLength = 2048;
        const fixtures::Bytes module = fixtures::MakeModule(kinds[count % 3], options);
        char name[32];
        std::snprintf(name, sizeof name, "/lied%03d.umx", count + 1);
        if (!Write(folder + name, fixtures::WrapInPackage(module).bytes)) {
            std::perror((folder + name).c_str());
            return 1;
        }
    }
    std::printf("%d packages\n", count);
    return 0;
}
