// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a tree of Unreal music packages for the batch benchmark: COUNT
// packages with sizes spread evenly between MIN and MAX bytes, spread over
// sub-folders of at most 100 packages, module kinds taking turns. Each
// package carries a small real module followed by pseudo-random bytes up to
// its size, so the module signature sits in the first 500 bytes and the
// extraction copies almost the whole package.
//
//   make_batch_tree FOLDER COUNT MIN MAX [SEED]
#include "fixtures/Fixtures.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

bool Write(const std::string& path, const fixtures::Bytes& bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

bool MakeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: make_batch_tree FOLDER COUNT MIN MAX [SEED]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const unsigned long long minSize = std::strtoull(argv[3], nullptr, 10);
    const unsigned long long maxSize = std::strtoull(argv[4], nullptr, 10);
    std::uint64_t state = argc == 6 ? std::strtoull(argv[5], nullptr, 10) : 0x4B6C616E67ULL;
    if (count < 0 || minSize > maxSize || maxSize >= (1ULL << 31) || !MakeFolder(folder))
        return 2;

    const fixtures::ModuleKind kinds[] = {fixtures::ModuleKind::ImpulseTracker,
                                          fixtures::ModuleKind::ScreamTracker3,
                                          fixtures::ModuleKind::FastTracker2};
    fixtures::Bytes modules[3];
    std::size_t overhead[3];
    for (int k = 0; k < 3; ++k) {
        modules[k] = fixtures::MakeModule(kinds[k]);
        overhead[k] = fixtures::WrapInPackage(modules[k]).bytes.size() - modules[k].size();
    }

    auto next = [&state] {
        // xorshift64*: quick, and enough to keep the bytes from repeating.
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    };

    for (long i = 0; i < count; ++i) {
        const unsigned long long size =
            count > 1 ? minSize + (maxSize - minSize) * static_cast<unsigned long long>(i) /
                                      static_cast<unsigned long long>(count - 1)
                      : minSize;
        fixtures::Bytes payload = modules[i % 3];
        // The package adds its own bytes around the payload (the length
        // field may take a few more for a longer payload).
        const std::size_t target = size > overhead[i % 3] + 4 ? static_cast<std::size_t>(size - overhead[i % 3] - 4) : 0;
        if (payload.size() < target) {
            std::size_t at = payload.size();
            payload.resize(target);
            for (; at + 8 <= target; at += 8) {
                const std::uint64_t word = next();
                for (int b = 0; b < 8; ++b)
                    payload[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(word >> (8 * b));
            }
        }
        fixtures::PackageOptions options;
        options.formatName = fixtures::FormatName(kinds[i % 3]);
        const fixtures::Package package = fixtures::WrapInPackage(payload, options);

        char sub[32];
        std::snprintf(sub, sizeof sub, "/%03ld", i / 100);
        char name[32];
        std::snprintf(name, sizeof name, "/Lied%05ld.umx", i);
        const std::string dir = folder + sub;
        if (!MakeFolder(dir) || !Write(dir + name, package.bytes)) {
            std::fprintf(stderr, "make_batch_tree: cannot write %s%s\n", dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
