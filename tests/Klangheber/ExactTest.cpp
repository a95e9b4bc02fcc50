// SPDX-License-Identifier: GPL-3.0-or-later
// --exact: modules from the packages' own tables, run as a person runs the
// program, on generated packages of every version and format.
#include "CommandLineRun.h"
#include "RunSummary.h"
#include "fixtures/OpenMpt.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;
using fixtures::ModuleKind;

namespace {

const QString kFallback = QStringLiteral("Tabellen unlesbar, Suche nach Signatur");

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to = SIZE_MAX)
{
    const auto at = [&bytes](std::size_t offset) { return bytes.begin() + static_cast<long>(offset); };
    return Bytes(at(from), at(std::min(to, bytes.size())));
}

// The module of the package's index-th music object.
Bytes ModuleOf(const fixtures::Package& package, std::size_t index = 0)
{
    const fixtures::ObjectPlace& place = package.objects.at(index);
    return Slice(package.bytes, place.moduleStart, place.moduleStart + place.moduleSize);
}

// What the signature scan writes for a package: from the module to the end.
Bytes ScanResult(const fixtures::Package& package)
{
    return Slice(package.bytes, package.moduleStart);
}

// The package with the bytes of a field changed.
fixtures::Package Damaged(fixtures::Package package, const std::string& field, std::uint8_t value)
{
    const auto it = std::find_if(package.fields.begin(), package.fields.end(),
                                 [&](const fixtures::Field& f) { return f.name == field; });
    EXPECT_NE(it, package.fields.end()) << field;
    if (it != package.fields.end())
        std::fill_n(package.bytes.begin() + it->position, it->size, value);
    return package;
}

// a.umx: an IT module past the scanned bytes; b.umx: an S3M module and a
// ProTracker module "Zweites"; c.umx: a sound package (tables, no music);
// d.umx: an unknown version (the scan finds its IT module).
struct ExactCollection {
    explicit ExactCollection(const std::string& root)
    {
        fixtures::PackageOptions late;
        late.moduleStart = 600;
        a = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker), late);
        fixtures::PackageOptions two;
        two.moreMusic = {{fixtures::MakeModule(ModuleKind::ProTracker), "Zweites", ""}};
        b = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ScreamTracker3), two);
        d = Damaged(fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker)), "header.version", 0xFF);
        WriteFile(root + "/a.umx", a.bytes);
        WriteFile(root + "/b.umx", b.bytes);
        WriteFile(root + "/c.umx", fixtures::MakePackageWithoutModule().bytes);
        WriteFile(root + "/d.umx", d.bytes);
    }
    fixtures::Package a, b, d;
};

}  // namespace

TEST(Exact, EveryVersionAndFormatGivesExactlyTheWrappedModule)
{
    // Every module starts past the 500 bytes the signature scan looks at.
    TempDir dir;
    const ModuleKind kinds[] = {ModuleKind::ImpulseTracker, ModuleKind::ScreamTracker3, ModuleKind::FastTracker2,
                                ModuleKind::ProTracker, ModuleKind::SoundTracker};
    std::map<std::string, Bytes> expected;
    for (int version = 61; version <= 69; ++version) {
        for (const ModuleKind kind : kinds) {
            fixtures::PackageOptions options;
            options.version = version;
            options.formatName = fixtures::FormatName(kind);
            options.moduleStart = static_cast<std::uint32_t>(501 + 37 * (version - 61));
            const std::string name = "v" + std::to_string(version) + "-" + std::to_string(int(kind));
            const fixtures::Package package = fixtures::WrapInPackage(fixtures::MakeModule(kind), options);
            WriteFile(dir / (name + ".umx"), package.bytes);
            expected[name + ".umx"] = package.bytes;
            expected[name + fixtures::Extension(kind)] = ModuleOf(package);
        }
    }
    const Result r = Klangheber({"--batch", Folder(dir), "--exact"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(SummaryPattern("45 Pakete: 45 Module geschrieben (9 it, 9 s3m, 9 xm, 18 mod), 12:06 Musik, "
                                                  "0 ohne Modul, 0 Fehler"))
                    .match(r.err)
                    .hasMatch())
        << r.err.toStdString();
    EXPECT_FALSE(r.out.join('\n').contains(kFallback));
    EXPECT_EQ(Files(dir.Path()), expected);
    for (const auto& [name, bytes] : expected) {
        if (name.ends_with(".umx"))
            continue;
        std::string error;
        EXPECT_TRUE(fixtures::LoadWithOpenMpt(bytes, &error)) << name << ": " << error;
    }
}

TEST(Exact, LaterMusicObjectsGetNamesOfTheirOwnAndEveryWrittenOneIsReported)
{
    // In the output folder's sub-folder. a.umx: two objects of one name and
    // one whose name is too long for a file name (cut inside its first "Ä"
    // after 247 bytes); b.umx: its second output blocked by a folder.
    TempDir dir, out;
    ::mkdir((dir / "sub").c_str(), 0755);
    ::mkdir((out / "sub").c_str(), 0755);
    ::mkdir((out / "sub/b.Drittes.xm").c_str(), 0755);
    std::string longName = "x";
    for (int i = 0; i < 150; ++i)
        longName += "Ä";
    fixtures::ModuleOptions other;
    other.title = "Anderes Lied";
    fixtures::PackageOptions options;
    options.version = 63;
    options.moreMusic = {{fixtures::MakeModule(ModuleKind::FastTracker2), "Zweites", ""},
                         {fixtures::MakeModule(ModuleKind::FastTracker2, other), "Zweites", ""},
                         {fixtures::MakeModule(ModuleKind::FastTracker2), longName, ""}};
    const fixtures::Package a = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker), options);
    options.moreMusic = {{fixtures::MakeModule(ModuleKind::FastTracker2), "Drittes", ""}};
    const fixtures::Package b = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker), options);
    WriteFile(dir / "sub/a.umx", a.bytes);
    WriteFile(dir / "sub/b.umx", b.bytes);

    const Result r = Klangheber({"--batch", Folder(dir), "--exact", "-k", "--json", "-o", Folder(out)});
    EXPECT_EQ(r.exitCode, 1);
    const std::string cut = "sub/a." + longName.substr(0, 247) + ".4.xm";
    ASSERT_EQ(r.out.size(), 7) << r.out.join('\n').toStdString();
    EXPECT_EQ(BytesOf(ParseJsonLine(r.out[3])["output"].toString()), out / cut);
    EXPECT_EQ(BytesOf(ParseJsonLine(r.out[4])["output"].toString()), out / "sub/b.it");
    EXPECT_EQ(ParseJsonLine(r.out[5])["error"].toString(), "Dateizugriff verweigert.");
    const QJsonObject summary = ParseJsonLine(r.out.last());
    for (const auto& [field, count] : {std::pair {"modules", 5}, {"errors", 1}, {"unprocessed", 0}})
        EXPECT_EQ(summary[field].toInt(), count) << field;
    EXPECT_EQ(Files(out.Path()), (std::map<std::string, Bytes> {{"sub/a.it", ModuleOf(a, 0)},
                                                                {"sub/a.Zweites.xm", ModuleOf(a, 1)},
                                                                {"sub/a.Zweites.2.xm", ModuleOf(a, 2)},
                                                                {cut, ModuleOf(a, 3)},
                                                                {"sub/b.it", ModuleOf(b, 0)}}));
}

TEST(Exact, UnusableTablesFallBackToTheSignatureScanAndSaySo)
{
    TempDir dir;
    const fixtures::Package sound = fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker));
    fixtures::PackageOptions claimsXm;
    claimsXm.formatName = "xm";
    const fixtures::Package packages[] = {
        Damaged(sound, "header.tag", 0x00),           // not a package
        Damaged(sound, "header.version", 0xFF),       // an unknown version
        Damaged(sound, "header.exportOffset", 0xFF),  // a table past the end
        Damaged(sound, "music[0].length", 0x01),      // data that contradicts its entry
        fixtures::WrapInPackage(fixtures::MakeModule(ModuleKind::ImpulseTracker), claimsXm),  // no XM signature
    };
    std::map<std::string, Bytes> expected;
    for (std::size_t i = 0; i < std::size(packages); ++i) {
        const std::string name = "p" + std::to_string(i);
        WriteFile(dir / (name + ".umx"), packages[i].bytes);
        expected[name + ".umx"] = packages[i].bytes;
        expected[name + ".it"] = ScanResult(packages[i]);
    }
    const Result r = Klangheber({"--batch", Folder(dir), "--exact"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (std::size_t i = 0; i < std::size(packages); ++i) {
        const QString place = QStringLiteral("[%1/5] ").arg(i + 1);
        EXPECT_EQ(r.out.indexOf(place + kFallback) + 1, r.out.indexOf(place + "Engine gestartet.")) << i;
    }
    EXPECT_EQ(Files(dir.Path()), expected);
}

TEST(Exact, ListNamesEveryModuleWithItsOutput)
{
    TempDir dir, tmp;
    const ExactCollection tree(dir.Path());
    const std::map<std::string, Bytes> before = Files(dir.Path());
    const Result r = Klangheber({"--batch", Folder(dir), "--list", "--exact"}, {{"TMPDIR", Folder(tmp)}});
    EXPECT_EQ(r.exitCode, 0);
    const auto line = [&](int index, const std::string& package, const fixtures::Package& p, std::size_t object,
                          const char* kind, const std::string& output, const char* length = "0:06") {
        const fixtures::ObjectPlace& o = p.objects.at(object);
        return Q("[" + std::to_string(index) + "/4] " + (dir / package) + ": " + kind + ", Start " +
                 std::to_string(o.moduleStart) + ", " + std::to_string(o.moduleSize) +
                 " Bytes, „Klangheber Testlied“, " + length + ", Ausgabe " + (dir / output));
    };
    const std::string dLine = "[4/4] " + (dir / "d.umx") + ": it, Start " + std::to_string(tree.d.moduleStart) +
                              ", " + std::to_string(tree.d.bytes.size() - tree.d.moduleStart) +
                              " Bytes, „Klangheber Testlied“, 0:06, Ausgabe " +
                              (dir / "d.it") + " (" + kFallback.toStdString() + ")";
    EXPECT_EQ(r.out, (QStringList {line(1, "a.umx", tree.a, 0, "it", "a.it"),
                                   line(2, "b.umx", tree.b, 0, "s3m", "b.s3m", "0:23"),
                                   line(2, "b.umx", tree.b, 1, "mod", "b.Zweites.mod", "0:23"),
                                   Q("[3/4] " + (dir / "c.umx") + ": ohne Modul"), Q(dLine)}));
    EXPECT_TRUE(QRegularExpression(SummaryPattern("4 Pakete: 4 Module gefunden (2 it, 1 s3m, 1 mod), 0:58 Musik, 1 ohne Modul, "
                                                  "0 Fehler"))
                    .match(r.err)
                    .hasMatch())
        << r.err.toStdString();
    EXPECT_EQ(Files(dir.Path()), before);
}

TEST(Exact, JsonGivesOneObjectPerOutputWithTheFallbackAndItsReason)
{
    TempDir dir;
    const ExactCollection tree(dir.Path());
    const Result r = Klangheber({"--batch", Folder(dir), "--json", "--exact"});
    EXPECT_EQ(r.exitCode, 0);
    const auto size = [](const fixtures::Package& p, std::size_t k) { return int(p.objects.at(k).moduleSize); };
    const auto start = [](const fixtures::Package& p, std::size_t k) { return int(p.objects.at(k).moduleStart); };
    const struct {
        std::string package, result, kind;
        int start, size;
        std::string output, object;
        bool fallback;
    } expected[] = {
        {"a.umx", "module", "it", start(tree.a, 0), size(tree.a, 0), "a.it", "KlanghebersLied", false},
        {"b.umx", "module", "s3m", start(tree.b, 0), size(tree.b, 0), "b.s3m", "KlanghebersLied", false},
        {"b.umx", "module", "mod", start(tree.b, 1), size(tree.b, 1), "b.Zweites.mod", "Zweites", false},
        {"c.umx", "none", "", 0, 0, "", "", false},
        {"d.umx", "module", "it", int(tree.d.moduleStart), int(tree.d.bytes.size() - tree.d.moduleStart), "d.it", "",
         true},
    };
    ASSERT_EQ(r.out.size(), 6) << r.out.join('\n').toStdString();
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        SCOPED_TRACE(r.out[int(i)].toStdString());
        const QJsonObject o = ParseJsonLine(r.out[int(i)]);
        EXPECT_EQ(BytesOf(o["package"].toString()), dir / e.package);
        EXPECT_EQ(o["result"].toString().toStdString(), e.result);
        EXPECT_EQ(o["kind"].toString().toStdString(), e.kind);
        EXPECT_EQ(o["start"].toInt(), e.start);
        EXPECT_EQ(o["size"].toInt(), e.size);
        EXPECT_EQ(BytesOf(o["output"].toString()), e.output.empty() ? "" : dir / e.output);
        EXPECT_EQ(o["object"].toString().toStdString(), e.object);
        EXPECT_EQ(o["object"].isNull(), e.object.empty());
        EXPECT_EQ(o["fallback"].toString(), e.fallback ? kFallback : QString());
        EXPECT_EQ(o["reason"].toString().isEmpty(), !e.fallback);
        EXPECT_TRUE(o["error"].isNull());
    }
    const QJsonObject summary = ParseJsonLine(r.out.last());
    for (const auto& [field, count] : {std::pair {"packages", 4}, {"modules", 4}, {"it", 2}, {"s3m", 1}, {"mod", 1},
                                       {"none", 1}, {"unprocessed", 0}})
        EXPECT_EQ(summary[field].toInt(), count) << field;
    EXPECT_EQ(Files(dir.Path()), (std::map<std::string, Bytes> {{"a.it", ModuleOf(tree.a)},
                                                                {"a.umx", tree.a.bytes},
                                                                {"b.Zweites.mod", ModuleOf(tree.b, 1)},
                                                                {"b.s3m", ModuleOf(tree.b, 0)},
                                                                {"b.umx", tree.b.bytes},
                                                                {"c.umx", fixtures::MakePackageWithoutModule().bytes},
                                                                {"d.it", ScanResult(tree.d)},
                                                                {"d.umx", tree.d.bytes}}));
}
