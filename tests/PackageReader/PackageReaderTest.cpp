// SPDX-License-Identifier: GPL-3.0-or-later
// The package reader on well-formed packages: every version and format, the
// module after byte 500, several music objects, real files, and the
// packages it refuses as a whole.
#include "Reading.h"
#include "TempDir.h"
#include "fixtures/OpenMpt.h"

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace readertest;
using fixtures::FormatName;
using fixtures::MakeModule;
using fixtures::PackageOptions;
using fixtures::WrapInPackage;

TEST(PackageReader, FindsEachFormatInEveryVersionByteForByte)
{
    for (int version = 61; version <= 69; ++version) {
        for (ModuleKind kind : kKinds) {
            for (std::optional<std::uint32_t> start : {std::optional<std::uint32_t>(), std::optional(700u)}) {
                SCOPED_TRACE("version " + std::to_string(version) + ", " + FormatName(kind) + ", module at " +
                             (start ? std::to_string(*start) : "its natural place"));
                const Bytes module = MakeModule(kind, ShortSong());
                PackageOptions options;
                options.version = version;
                options.formatName = FormatName(kind);
                options.moduleStart = start;
                const fixtures::Package package = WrapInPackage(module, options);

                const umx::PackageContents contents = Read(package.bytes);
                ASSERT_TRUE(contents.Readable()) << contents.reason;
                EXPECT_EQ(contents.version, version);
                ASSERT_EQ(contents.music.size(), 1u);
                const umx::MusicObject& music = contents.music[0];
                EXPECT_EQ(music.objectName, "KlanghebersLied");
                EXPECT_EQ(music.format, FormatName(kind));
                EXPECT_EQ(music.offset, package.moduleStart);
                EXPECT_EQ(music.length, static_cast<std::int64_t>(module.size()));
                EXPECT_EQ(music.signature, umx::Signature::Matches);
                EXPECT_EQ(ModuleBytes(package.bytes, music), module);
            }
        }
    }
}

TEST(PackageReader, WhatItFindsPlaysLikeTheModule)
{
    for (ModuleKind kind : kKinds) {
        SCOPED_TRACE(FormatName(kind));
        const Bytes module = MakeModule(kind);
        PackageOptions options;
        options.formatName = FormatName(kind);
        options.moduleStart = 600;
        const fixtures::Package package = WrapInPackage(module, options);
        const umx::PackageContents contents = Read(package.bytes);
        ASSERT_EQ(contents.music.size(), 1u) << contents.reason;
        std::string error;
        const auto found = fixtures::LoadWithOpenMpt(ModuleBytes(package.bytes, contents.music[0]), &error);
        const auto bare = fixtures::LoadWithOpenMpt(module);
        ASSERT_TRUE(found) << error;
        ASSERT_TRUE(bare);
        EXPECT_EQ(found->type, kind == ModuleKind::SoundTracker ? "stk" : FormatName(kind));
        EXPECT_TRUE(fixtures::SameMusic(*found, *bare)) << fixtures::Describe(*found);
    }
}

TEST(PackageReader, ReadsEveryMusicObjectOfAFileInExportOrder)
{
    testsupport::TempDir dir;
    PackageOptions options;
    options.moreMusic = {{MakeModule(ModuleKind::FastTracker2), "Zwischenspiel", ""},
                         {MakeModule(ModuleKind::ProTracker), "Abspann", "MOD"}};
    const fixtures::Package package = WrapInPackage(MakeModule(ModuleKind::ImpulseTracker), options);
    testsupport::WriteFile(dir / "lieder.umx", package.bytes);

    const umx::PackageContents contents = umx::ReadPackageFile(dir / "lieder.umx");
    ASSERT_TRUE(contents.Readable()) << contents.reason;
    EXPECT_LE(contents.bytesRead, static_cast<std::int64_t>(package.bytes.size()));
    ASSERT_EQ(contents.music.size(), 3u);
    const char* names[] = {"KlanghebersLied", "Zwischenspiel", "Abspann"};
    const char* formats[] = {"it", "xm", "MOD"};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(contents.music[k].objectName, names[k]);
        EXPECT_EQ(contents.music[k].format, formats[k]);
        EXPECT_EQ(contents.music[k].offset, package.objects[k].moduleStart);
        EXPECT_EQ(contents.music[k].length, package.objects[k].moduleSize);
        EXPECT_EQ(contents.music[k].signature, umx::Signature::Matches);
    }
}

TEST(PackageReader, FlagsModulesThatDoNotCarryTheirFormatsSignature)
{
    struct Case {
        ModuleKind kind;
        const char* format;
        umx::Signature expected;
    };
    const Case cases[] = {
        {ModuleKind::ImpulseTracker, "s3m", umx::Signature::Mismatch},
        {ModuleKind::FastTracker2, "it", umx::Signature::Mismatch},
        {ModuleKind::ScreamTracker3, "mod", umx::Signature::Mismatch},
        {ModuleKind::ProTracker, "xm", umx::Signature::Mismatch},
        {ModuleKind::ImpulseTracker, "IT", umx::Signature::Matches},
        {ModuleKind::ImpulseTracker, "wav", umx::Signature::UnknownFormat},
        {ModuleKind::ImpulseTracker, "umx", umx::Signature::UnknownFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.kind) + " stored as " + c.format);
        PackageOptions options;
        options.formatName = c.format;
        const umx::PackageContents contents = Read(WrapInPackage(MakeModule(c.kind), options).bytes);
        ASSERT_EQ(contents.music.size(), 1u) << contents.reason;
        EXPECT_EQ(contents.music[0].format, c.format);
        EXPECT_EQ(contents.music[0].signature, c.expected);
    }
}

TEST(PackageReader, APackageWithoutMusicIsReadableAndEmpty)
{
    const umx::PackageContents contents = Read(fixtures::MakePackageWithoutModule(3000).bytes);
    EXPECT_TRUE(contents.Readable()) << contents.reason;
    EXPECT_TRUE(contents.music.empty());
}

TEST(PackageReader, RefusesWhatIsNoPackageOfAKnownVersion)
{
    const Bytes good = WrapInPackage(MakeModule(ModuleKind::ImpulseTracker)).bytes;
    auto withVersion = [&good](std::uint8_t version) {
        Bytes b = good;
        b[4] = version;
        return b;
    };
    Bytes notTagged = good;
    notTagged[3] ^= 0x01;
    struct Case {
        const char* what;
        Bytes bytes;
        umx::Failure expected;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", {}, umx::Failure::NotAPackage, "keine Unreal-Paketkennung"},
        {"three bytes of the tag", Bytes(good.begin(), good.begin() + 3), umx::Failure::NotAPackage, ""},
        {"tag changed", notTagged, umx::Failure::NotAPackage, ""},
        {"a bare module", MakeModule(ModuleKind::ImpulseTracker), umx::Failure::NotAPackage, ""},
        {"version 60", withVersion(60), umx::Failure::UnknownVersion, "Paketversion 60 unbekannt"},
        {"version 70", withVersion(70), umx::Failure::UnknownVersion, "Paketversion 70 unbekannt"},
        {"only the tag and version", Bytes(good.begin(), good.begin() + 6), umx::Failure::OutsideFile, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const umx::PackageContents contents = Read(c.bytes);
        EXPECT_EQ(contents.failure, c.expected) << contents.reason;
        EXPECT_TRUE(contents.music.empty());
        if (*c.reason) {
            EXPECT_EQ(contents.reason, c.reason);
        }
    }
}

TEST(PackageReader, AFileThatCannotBeReadIsAReadError)
{
    testsupport::TempDir dir;
    ::mkdir((dir / "ordner.umx").c_str(), 0700);
    for (const std::string name : {"fehlt.umx", "ordner.umx"}) {
        SCOPED_TRACE(name);
        const umx::PackageContents contents = umx::ReadPackageFile(dir / name);
        EXPECT_EQ(contents.failure, umx::Failure::ReadError);
        EXPECT_EQ(contents.reason.rfind("Datei nicht lesbar: ", 0), 0u) << contents.reason;
    }
    // A descriptor that fails every read: a folder's.
    const int fd = ::open((dir / "ordner.umx").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const umx::PackageContents contents = umx::ReadPackage(fd, 4096);
    ::close(fd);
    EXPECT_EQ(contents.failure, umx::Failure::ReadError);
    EXPECT_EQ(contents.reason.rfind("Lesefehler: ", 0), 0u) << contents.reason;
}
