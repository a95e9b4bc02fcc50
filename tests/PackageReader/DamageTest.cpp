// SPDX-License-Identifier: GPL-3.0-or-later
// The package reader on damaged and hostile packages: it refuses them or
// still finds the right modules, never a wrong one, and never reads more
// than the file holds (Read checks that for every case).
#include "Reading.h"

#include "TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace readertest;
using fixtures::Field;
using fixtures::Package;
using fixtures::PackageOptions;

namespace {

// Versions whose header, name and music data layouts differ: no end offset
// and no name lengths; end offset; name lengths and heritage; generations.
const int kLayouts[] = {61, 63, 66, 69};

Package TwoSongs(int version)
{
    PackageOptions options;
    options.version = version;
    options.moreMusic = {{fixtures::MakeModule(ModuleKind::ScreamTracker3, ShortSong()), "Zweites", ""}};
    return fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker, ShortSong()), options);
}

using Damage = void (*)(Bytes&, const Field&);
const std::pair<const char*, Damage> kDamages[] = {
    {"bit 0 flipped", [](Bytes& b, const Field& f) { b[f.position] ^= 0x01; }},
    {"bit 1 flipped", [](Bytes& b, const Field& f) { b[f.position] ^= 0x02; }},
    {"bit 6 flipped", [](Bytes& b, const Field& f) { b[f.position] ^= 0x40; }},
    {"bit 7 flipped", [](Bytes& b, const Field& f) { b[f.position] ^= 0x80; }},
    {"last byte's bit 7 flipped", [](Bytes& b, const Field& f) { b[f.position + f.size - 1] ^= 0x80; }},
    {"all bits set", [](Bytes& b, const Field& f) { std::fill_n(b.begin() + f.position, f.size, 0xFF); }},
    {"all bits clear", [](Bytes& b, const Field& f) { std::fill_n(b.begin() + f.position, f.size, 0x00); }},
};

// Fields that fix a module's extent: no change to them may go unnoticed.
bool FixesAnExtent(const std::string& field)
{
    for (const char* suffix : {".length", ".endOffset", ".serialSize"})
        if (field.starts_with("music") || field.starts_with("export"))
            if (field.ends_with(suffix))
                return true;
    return false;
}

const Field& FieldNamed(const Package& package, const std::string& name)
{
    const auto it = std::find_if(package.fields.begin(), package.fields.end(),
                                 [&name](const Field& f) { return f.name == name; });
    if (it == package.fields.end())
        throw std::invalid_argument("no field " + name);
    return *it;
}

void Put(Bytes& b, std::size_t position, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(position));
}

Bytes U32(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

}  // namespace

TEST(PackageDamage, EveryFieldDamagedGivesARefusalOrTheRightModules)
{
    for (int version : kLayouts) {
        const Package package = TwoSongs(version);
        int refused = 0;
        for (const Field& field : package.fields) {
            for (const auto& [what, damage] : kDamages) {
                Bytes bytes = package.bytes;
                damage(bytes, field);
                if (bytes == package.bytes)
                    continue;
                SCOPED_TRACE("version " + std::to_string(version) + ", " + field.name + ": " + what);
                const umx::PackageContents contents = Read(bytes);
                if (!contents.Readable()) {
                    ++refused;
                    continue;
                }
                EXPECT_FALSE(FixesAnExtent(field.name)) << "read although a module's extent changed";
                for (const umx::MusicObject& music : contents.music) {
                    if (music.signature != umx::Signature::Matches)
                        continue;
                    const auto place = std::find_if(package.objects.begin(), package.objects.end(),
                                                    [&music](const auto& p) { return p.moduleStart == music.offset; });
                    ASSERT_NE(place, package.objects.end()) << "a module at " << music.offset;
                    EXPECT_EQ(music.length, place->moduleSize);
                }
            }
        }
        EXPECT_GT(refused, 0);
    }
}

TEST(PackageDamage, APackageCutShortIsRefused)
{
    for (int version : kLayouts) {
        const Package package = TwoSongs(version);
        std::vector<std::uint32_t> cuts = {package.objects[1].moduleStart + 10};
        for (const Field& field : package.fields)
            cuts.push_back(field.position);
        for (std::uint32_t cut : cuts) {
            SCOPED_TRACE("version " + std::to_string(version) + ", cut at " + std::to_string(cut));
            const umx::PackageContents contents = Read(Bytes(package.bytes.begin(), package.bytes.begin() + cut));
            EXPECT_FALSE(contents.Readable());
        }
    }
}

TEST(PackageDamage, HostileNumbersAreRefusedBeforeAnythingIsSizedByThem)
{
    PackageOptions options;
    options.moreMusic = {{fixtures::MakeModule(ModuleKind::ImpulseTracker, ShortSong()), "Zwilling", ""}};
    const Package package = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker, ShortSong()),
                                                    options);
    auto at = [&package](const std::string& name) { return FieldNamed(package, name).position; };
    struct Case {
        const char* what;
        std::string field;
        Bytes bytes;
        umx::Failure expected;
    };
    const Case cases[] = {
        {"2^31-1 names", "header.nameCount", U32(0x7FFFFFFF), umx::Failure::OutsideFile},
        {"-1 names", "header.nameCount", U32(0xFFFFFFFF), umx::Failure::OutsideFile},
        {"2^31-1 imports", "header.importCount", U32(0x7FFFFFFF), umx::Failure::OutsideFile},
        {"2^31-1 exports", "header.exportCount", U32(0x7FFFFFFF), umx::Failure::OutsideFile},
        {"2^31-1 generations", "header.generationCount", U32(0x7FFFFFFF), umx::Failure::OutsideFile},
        {"name table past the end", "header.nameOffset", U32(0x7FFFFFF0), umx::Failure::OutsideFile},
        {"a name of 2^29 bytes", "name[0].length", {0x40, 0x80, 0x80, 0x80, 0x04}, umx::Failure::DamagedEntry},
        {"a compact index of 6 bytes", "export[0].class", Bytes(6, 0xFF), umx::Failure::DamagedEntry},
        {"a compact index of 34 bits", "export[0].class", {0x7F, 0xFF, 0xFF, 0xFF, 0x7F}, umx::Failure::DamagedEntry},
        {"a name index out of range", "export[0].name", {0x3F}, umx::Failure::DamagedEntry},
        {"a reference out of range", "import[1].package", U32(-3), umx::Failure::DamagedEntry},
        {"data past the end", "export[1].serialOffset", {0x7F, 0x7F}, umx::Failure::OutsideFile},
        {"an import inside itself", "import[1].package", U32(-2), umx::Failure::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = package.bytes;
        Put(bytes, at(c.field), c.bytes);
        const umx::PackageContents contents = Read(bytes);
        EXPECT_EQ(contents.failure, c.expected) << contents.reason;
        if (c.expected == umx::Failure::None) {
            ASSERT_EQ(contents.music.size(), 2u);
            EXPECT_EQ(contents.music[1].offset, package.objects[1].moduleStart);
        }
    }

    // Two exports naming the same data (the twin's module is the same size,
    // so its serial size and offset take as many bytes).
    Bytes shared = package.bytes;
    const Field& first = FieldNamed(package, "export[0].serialOffset");
    ASSERT_EQ(first.size, FieldNamed(package, "export[1].serialOffset").size);
    std::copy_n(package.bytes.begin() + first.position, first.size, shared.begin() + at("export[1].serialOffset"));
    const umx::PackageContents contents = Read(shared);
    EXPECT_EQ(contents.failure, umx::Failure::DamagedEntry);
    EXPECT_EQ(contents.reason, "Musikobjekte teilen sich Bytes");
}

TEST(PackageDamage, TablesReadingTheSameBytesStopAtTheFilesSize)
{
    // Zeros read as empty names, imports and exports alike: three tables over
    // one region would read it three times.
    const std::uint32_t region = 6000;
    Bytes bytes = U32(0x9E2A83C1);
    bytes.insert(bytes.end(), {61, 0, 0, 0});  // version, licensee
    for (std::uint32_t v : {0u, region / 5, 44u, region / 12, 44u, region / 7, 44u, 0u, 0u}) {
        const Bytes field = U32(v);
        bytes.insert(bytes.end(), field.begin(), field.end());
    }
    bytes.resize(44 + region);
    const umx::PackageContents contents = Read(bytes);
    EXPECT_EQ(contents.failure, umx::Failure::ReadLimit) << contents.reason;
}

TEST(PackageDamage, CountsThatFitAHugeSparseFileReserveNothingLikeThem)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit leaves no room for the sanitizer's shadow memory";
#endif
    // 2^31-1 names of at least 6 bytes fit a 16 GiB file; they are zeros, so
    // the first name (length 0) is refused. Reserving for all of them would
    // take 16 GiB, far above the address space the reading child may use.
    testsupport::TempDir dir;
    const std::string path = dir / "riesig.umx";
    Bytes header = U32(0x9E2A83C1);
    header.insert(header.end(), {69, 0, 0, 0});
    // Flags, names, exports, imports (counts and offsets); GUID and no
    // generations.
    for (std::uint32_t v : {1u, 0x7FFFFFFFu, 56u, 0u, 56u, 0u, 56u}) {
        const Bytes field = U32(v);
        header.insert(header.end(), field.begin(), field.end());
    }
    header.resize(56);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bool written = ::pwrite(fd, header.data(), header.size(), 0) == 56 && ::ftruncate(fd, 16LL << 30) == 0;
    ::close(fd);
    if (!written)
        GTEST_SKIP() << "the file system refuses a 16 GiB sparse file";
    const auto readWithLittleAddressSpace = [&path] {
        rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 2LL << 30;
        ::setrlimit(RLIMIT_AS, &limit);
        const umx::PackageContents contents = umx::ReadPackageFile(path);
        std::_Exit(contents.failure == umx::Failure::DamagedEntry ? 0 : 1);
    };
    EXPECT_EXIT(readWithLittleAddressSpace(), testing::ExitedWithCode(0), "");
}
