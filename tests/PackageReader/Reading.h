// SPDX-License-Identifier: GPL-3.0-or-later
// What the package reader tests share: reading bytes through a counting
// source (the reader may never read more than the file holds) and the
// generated packages they read.
#pragma once

#include "CountingSource.h"
#include "PackageReader/PackageReader.h"
#include "fixtures/Fixtures.h"

#include <gtest/gtest.h>

namespace readertest {

using fixtures::Bytes;
using fixtures::ModuleKind;

inline const ModuleKind kKinds[] = {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2,
                                    ModuleKind::ProTracker, ModuleKind::SoundTracker};

// Reads a package from memory and checks the reading bound on the way.
inline umx::PackageContents Read(const Bytes& package)
{
    testsupport::CountingSource source(package);
    umx::PackageContents contents = umx::ReadPackage(source);
    EXPECT_EQ(contents.bytesRead, source.BytesRead());
    EXPECT_LE(source.BytesRead(), static_cast<std::int64_t>(package.size()));
    EXPECT_EQ(contents.Readable(), contents.reason.empty()) << contents.reason;
    return contents;
}

// A short song, so a package stays a few KiB.
inline fixtures::ModuleOptions ShortSong()
{
    fixtures::ModuleOptions song;
    song.patterns = 2;
    song.rows = 8;
    song.sampleLength = 64;
    return song;
}

inline Bytes ModuleBytes(const Bytes& package, const umx::MusicObject& music)
{
    return Bytes(package.begin() + music.offset, package.begin() + music.offset + music.length);
}

}  // namespace readertest
