// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the reader fuzz target's seed packages into a folder: each version
// from 61 to 69 with one format after the other (IT, S3M, XM, ProTracker,
// Soundtracker), and packages with two music objects.
//   make_reader_seeds FOLDER
#include "fixtures/Fixtures.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_reader_seeds FOLDER\n");
        return 2;
    }
    using fixtures::ModuleKind;
    const ModuleKind kinds[] = {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2,
                                ModuleKind::ProTracker, ModuleKind::SoundTracker};
    fixtures::ModuleOptions song;
    song.patterns = 1;
    song.rows = 4;
    song.channels = 4;
    song.sampleLength = 16;
    bool ok = true;
    auto write = [&](const std::string& name, const fixtures::Bytes& bytes) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ok &= static_cast<bool>(out);
    };
    for (int version = 61; version <= 69; ++version) {
        const ModuleKind kind = kinds[version % 5];
        fixtures::PackageOptions options;
        options.version = version;
        options.formatName = fixtures::FormatName(kind);
        write("v" + std::to_string(version) + "-" + options.formatName + (kind == ModuleKind::SoundTracker ? "15" : ""),
              fixtures::WrapInPackage(fixtures::MakeModule(kind, song), options).bytes);
    }
    for (int version : {61, 69}) {
        fixtures::PackageOptions options;
        options.version = version;
        options.moreMusic = {{fixtures::MakeModule(ModuleKind::FastTracker2, song), "Zweites", ""}};
        write("v" + std::to_string(version) + "-two-songs",
              fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker, song), options).bytes);
    }
    return ok ? 0 : 1;
}
