// SPDX-License-Identifier: GPL-3.0-or-later
// The fixture generator itself: the modules play in libopenmpt with what was
// asked for, and the packages hold the structure the engine writes.
#include "fixtures/Fixtures.h"
#include "fixtures/OpenMpt.h"

#include <gtest/gtest.h>

using namespace fixtures;

namespace {

const ModuleKind kKinds[] = {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2};

// The package as a reader sees it, decoded independently of the writer.
struct Parsed {
    std::uint32_t tag, nameCount, nameOffset, exportCount, exportOffset, importCount, importOffset;
    std::uint16_t version;
    std::uint32_t generations;
    std::vector<std::string> names;
    struct Import {
        std::int32_t classPackage, className;
        std::int32_t package;
        std::int32_t objectName;
    };
    std::vector<Import> imports;
    std::int32_t exportClass, exportSuper, exportPackage, exportName, serialSize, serialOffset;
    std::uint32_t exportFlags;
};

Parsed Parse(const Bytes& b)
{
    Parsed p {};
    p.tag = ReadU32(b, 0);
    p.version = ReadU16(b, 4);
    p.nameCount = ReadU32(b, 12);
    p.nameOffset = ReadU32(b, 16);
    p.exportCount = ReadU32(b, 20);
    p.exportOffset = ReadU32(b, 24);
    p.importCount = ReadU32(b, 28);
    p.importOffset = ReadU32(b, 32);
    p.generations = ReadU32(b, 52);
    std::size_t pos = p.nameOffset;
    for (std::uint32_t i = 0; i < p.nameCount; ++i) {
        const std::int32_t len = ReadCompactIndex(b, pos);
        std::string name(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos) + len - 1);
        EXPECT_EQ(b.at(pos + static_cast<std::size_t>(len) - 1), 0) << "name not terminated: " << name;
        pos += static_cast<std::size_t>(len) + 4;
        p.names.push_back(name);
    }
    pos = p.importOffset;
    for (std::uint32_t i = 0; i < p.importCount; ++i) {
        Parsed::Import imp {};
        imp.classPackage = ReadCompactIndex(b, pos);
        imp.className = ReadCompactIndex(b, pos);
        imp.package = static_cast<std::int32_t>(ReadU32(b, pos));
        pos += 4;
        imp.objectName = ReadCompactIndex(b, pos);
        p.imports.push_back(imp);
    }
    pos = p.exportOffset;
    p.exportClass = ReadCompactIndex(b, pos);
    p.exportSuper = ReadCompactIndex(b, pos);
    p.exportPackage = static_cast<std::int32_t>(ReadU32(b, pos));
    pos += 4;
    p.exportName = ReadCompactIndex(b, pos);
    p.exportFlags = ReadU32(b, pos);
    pos += 4;
    p.serialSize = ReadCompactIndex(b, pos);
    p.serialOffset = ReadCompactIndex(b, pos);
    EXPECT_EQ(pos, b.size()) << "the export table ends the package";
    return p;
}

}  // namespace

TEST(CompactIndex, RoundTripsAcrossByteBoundaries)
{
    for (std::int32_t v : {0, 1, 63, 64, -1, -64, 8191, 8192, 1048575, 1048576, 2147483647, -2147483647}) {
        Bytes b;
        AppendCompactIndex(b, v);
        std::size_t pos = 0;
        EXPECT_EQ(ReadCompactIndex(b, pos), v);
        EXPECT_EQ(pos, b.size());
    }
    Bytes b;
    AppendCompactIndex(b, 64);
    EXPECT_EQ(b, (Bytes {0x40, 0x01}));
    b.clear();
    AppendCompactIndex(b, -5);
    EXPECT_EQ(b, (Bytes {0x85}));
}

TEST(Modules, PlayInLibOpenMptWithWhatWasAsked)
{
    for (ModuleKind kind : kKinds) {
        SCOPED_TRACE(FormatName(kind));
        const Bytes module = MakeModule(kind);
        EXPECT_EQ(DetectKind(module), kind);
        std::string error;
        const auto info = LoadWithOpenMpt(module, &error);
        ASSERT_TRUE(info) << error;
        EXPECT_EQ(info->type, FormatName(kind));
        EXPECT_EQ(info->container, "");
        EXPECT_EQ(info->title, kDefaultTitle);
        EXPECT_EQ(info->patterns, 3);
        EXPECT_EQ(info->orders, 3);
        EXPECT_EQ(info->samples, 1);
        EXPECT_EQ(info->channels, 4);
        EXPECT_GT(info->duration, 1.0);

        ModuleOptions other;
        other.title = "Zweites Lied";
        other.patterns = 5;
        other.channels = 6;
        other.sampleLength = 3000;
        const auto changed = LoadWithOpenMpt(MakeModule(kind, other));
        ASSERT_TRUE(changed);
        EXPECT_EQ(changed->title, "Zweites Lied");
        EXPECT_EQ(changed->patterns, 5);
        EXPECT_EQ(changed->channels, 6);
        EXPECT_GT(changed->duration, info->duration);
    }
}

TEST(Packages, HoldTheStructureTheEngineWrites)
{
    for (ModuleKind kind : kKinds) {
        SCOPED_TRACE(FormatName(kind));
        const Bytes module = MakeModule(kind);
        const Package pkg = WrapInPackage(module);
        const Bytes& b = pkg.bytes;
        const Parsed p = Parse(b);
        EXPECT_EQ(p.tag, 0x9E2A83C1u);
        EXPECT_EQ(p.version, 69);
        EXPECT_EQ(p.nameOffset, 64u) << "header with GUID and one generation";
        EXPECT_EQ(p.generations, 1u);
        EXPECT_EQ(ReadU32(b, 56), 1u) << "generation: export count";
        EXPECT_EQ(ReadU32(b, 60), p.nameCount) << "generation: name count";
        EXPECT_EQ(p.names, (std::vector<std::string> {FormatName(kind), "None", "Package", "Class", "Music",
                                                      "KlanghebersLied", "Engine", "Core"}));
        // Imports: Core.Package Engine, Core.Class Music inside Engine.
        ASSERT_EQ(p.imports.size(), 2u);
        EXPECT_EQ(p.names[p.imports[0].className], "Package");
        EXPECT_EQ(p.names[p.imports[0].objectName], "Engine");
        EXPECT_EQ(p.imports[0].package, 0);
        EXPECT_EQ(p.names[p.imports[1].classPackage], "Core");
        EXPECT_EQ(p.names[p.imports[1].className], "Class");
        EXPECT_EQ(p.names[p.imports[1].objectName], "Music");
        EXPECT_EQ(p.imports[1].package, -1);
        // Export: an object of class Music (import 2).
        EXPECT_EQ(p.exportCount, 1u);
        EXPECT_EQ(p.exportClass, -2);
        EXPECT_EQ(p.names[p.exportName], "KlanghebersLied");
        EXPECT_EQ(static_cast<std::uint32_t>(p.serialOffset), pkg.serialOffset);
        EXPECT_EQ(static_cast<std::uint32_t>(p.serialSize), pkg.serialSize);
        // Tables follow the data.
        EXPECT_EQ(p.importOffset, pkg.serialOffset + pkg.serialSize);
        EXPECT_GT(p.exportOffset, p.importOffset);

        // Serial data: "None", format name, end offset, length, module.
        std::size_t pos = pkg.serialOffset;
        EXPECT_EQ(p.names[ReadCompactIndex(b, pos)], "None");
        EXPECT_EQ(p.names[ReadCompactIndex(b, pos)], FormatName(kind));
        EXPECT_EQ(ReadU32(b, pos), pkg.serialOffset + pkg.serialSize);
        pos += 4;
        EXPECT_EQ(ReadCompactIndex(b, pos), static_cast<std::int32_t>(module.size()));
        EXPECT_EQ(pos, pkg.moduleStart);
        EXPECT_TRUE(std::equal(module.begin(), module.end(), b.begin() + pkg.moduleStart));
    }
}

TEST(Packages, LoadInLibOpenMptWithTheModulesMetadata)
{
    for (ModuleKind kind : kKinds) {
        SCOPED_TRACE(FormatName(kind));
        const auto bare = LoadWithOpenMpt(MakeModule(kind));
        PackageOptions options;
        options.generations = 2;
        options.extraNames = {"Vorspann", "impm"};
        options.gapBytes = 33;
        std::string error;
        const auto wrapped = LoadWithOpenMpt(WrapInPackage(MakeModule(kind), options).bytes, &error);
        ASSERT_TRUE(bare);
        ASSERT_TRUE(wrapped) << error;
        EXPECT_EQ(wrapped->container, "umx");
        EXPECT_TRUE(SameMusic(*wrapped, *bare)) << Describe(*wrapped) << "\n" << Describe(*bare);
    }
}

TEST(Packages, TheTablesReallyMatter)
{
    // libopenmpt follows the export's class reference: a broken one is refused.
    Package pkg = WrapInPackage(MakeImpulseTrackerModule());
    pkg.bytes[pkg.exportOffset] = 0x05;
    EXPECT_FALSE(LoadWithOpenMpt(pkg.bytes));
}

TEST(Packages, ModuleStartCanBeMovedToAnyOffset)
{
    const Bytes module = MakeFastTracker2Module();
    const std::uint32_t natural = WrapInPackage(module).moduleStart;
    for (std::uint32_t start = natural; start <= 485; start += (start < natural + 80 ? 1 : 37)) {
        PackageOptions options;
        options.moduleStart = start;
        const Package pkg = WrapInPackage(module, options);
        ASSERT_EQ(pkg.moduleStart, start);
        ASSERT_EQ(FindBytes(pkg.bytes, "Extended Module"), static_cast<long>(start));
        ASSERT_TRUE(LoadWithOpenMpt(pkg.bytes)) << "start " << start;
    }
    PackageOptions tooEarly;
    tooEarly.moduleStart = natural - 1;
    EXPECT_THROW(WrapInPackage(module, tooEarly), std::invalid_argument);
}

TEST(Packages, PlantsLandWhereAsked)
{
    PackageOptions options;
    options.gapBytes = 64;
    options.plants = {{90, "SCRM"}, {496, "IMPM"}};
    const Package pkg = WrapInPackage(MakeScreamTracker3Module(), options);
    EXPECT_EQ(FindBytes(pkg.bytes, "SCRM"), 90);
    EXPECT_EQ(FindBytes(pkg.bytes, "IMPM"), 496);
    options.plants = {{static_cast<std::uint32_t>(pkg.bytes.size() - 2), "IMPM"}};
    EXPECT_THROW(WrapInPackage(MakeScreamTracker3Module(), options), std::invalid_argument);
}

TEST(Packages, WithoutModuleHoldNoSignature)
{
    const Package pkg = MakePackageWithoutModule(5000);
    EXPECT_GE(pkg.bytes.size(), 5000u);
    EXPECT_LT(pkg.bytes.size(), 5100u);
    EXPECT_EQ(Parse(pkg.bytes).names[4], "Sound");
    for (const char* signature : {"IMPM", "SCRM", "Extended Module"})
        EXPECT_EQ(FindBytes(pkg.bytes, signature), -1) << signature;
    EXPECT_FALSE(LoadWithOpenMpt(pkg.bytes));
}

TEST(Modules, AmigaModulesPlayInLibOpenMpt)
{
    struct Case {
        ModuleKind kind;
        int channels;
        const char* tag;   // at 1080
        const char* type;  // as libopenmpt names it
    };
    for (const Case& c : {Case {ModuleKind::ProTracker, 4, "M.K.", "mod"}, Case {ModuleKind::ProTracker, 8, "8CHN", "mod"},
                          Case {ModuleKind::ProTracker, 12, "12CH", "mod"}, Case {ModuleKind::SoundTracker, 4, "", "stk"}}) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, tag '" + c.tag + "'");
        ModuleOptions song;
        song.channels = c.channels;
        const Bytes module = MakeModule(c.kind, song);
        EXPECT_EQ(FindBytes(module, c.tag) == 1080, *c.tag != 0);
        EXPECT_EQ(DetectKind(module), *c.tag ? std::optional(ModuleKind::ProTracker) : std::nullopt);
        std::string error;
        const auto info = LoadWithOpenMpt(module, &error);
        ASSERT_TRUE(info) << error;
        EXPECT_EQ(info->type, c.type);
        EXPECT_EQ(info->title, kDefaultTitle);
        EXPECT_EQ(info->patterns, 3);
        EXPECT_EQ(info->orders, 3);
        EXPECT_EQ(info->channels, c.channels);
        EXPECT_GT(info->duration, 1.0);
    }
}

TEST(Packages, OfEveryVersionLoadInLibOpenMpt)
{
    for (int version = 61; version <= 69; ++version) {
        for (ModuleKind kind : {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2,
                                ModuleKind::ProTracker, ModuleKind::SoundTracker}) {
            SCOPED_TRACE("version " + std::to_string(version) + ", " + FormatName(kind));
            PackageOptions options;
            options.version = version;
            options.formatName = FormatName(kind);
            options.moduleStart = 600;
            const Package pkg = WrapInPackage(MakeModule(kind), options);
            EXPECT_EQ(ReadU16(pkg.bytes, 4), version);
            std::string error;
            const auto wrapped = LoadWithOpenMpt(pkg.bytes, &error);
            const auto bare = LoadWithOpenMpt(MakeModule(kind));
            ASSERT_TRUE(wrapped) << error;
            EXPECT_EQ(wrapped->container, "umx");
            EXPECT_TRUE(SameMusic(*wrapped, *bare)) << Describe(*wrapped) << "\n" << Describe(*bare);
        }
    }
}

TEST(Packages, FieldsAndModulesCoverEveryByte)
{
    for (int version : {61, 63, 66, 69}) {
        SCOPED_TRACE("version " + std::to_string(version));
        PackageOptions options;
        options.version = version;
        options.generations = 2;
        options.moreMusic = {{MakeFastTracker2Module(), "Zweites", ""}};
        const Package pkg = WrapInPackage(MakeImpulseTrackerModule(), options);
        std::vector<int> cover(pkg.bytes.size());
        for (const Field& f : pkg.fields)
            for (std::uint32_t i = 0; i < f.size; ++i)
                ++cover.at(f.position + i);
        ASSERT_EQ(pkg.objects.size(), 2u);
        for (const ObjectPlace& o : pkg.objects)
            for (std::uint32_t i = 0; i < o.moduleSize; ++i)
                ++cover.at(o.moduleStart + i);
        EXPECT_EQ(std::count(cover.begin(), cover.end(), 1), static_cast<long>(cover.size()));
        EXPECT_EQ(pkg.objects[1].serialOffset, pkg.objects[0].serialOffset + pkg.objects[0].serialSize);
        EXPECT_EQ(pkg.fields.front().name, "header.tag");
        EXPECT_EQ(ReadU32(pkg.bytes, 20), 2u) << "export count";
    }
}
