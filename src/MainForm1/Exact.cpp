// An exact run's step: the package's own tables say where each music
// object's module lies, how long it is and what format it has, and each
// module is written byte for byte. Where the tables are of no use the
// package goes to the signature scan instead.
#include "MainForm1/MainForm1.h"

#include "PackageReader/PackageReader.h"
#include "platform/system/BlockFile.h"
#include "platform/system/FileUtils.h"

#include <cctype>
#include <sys/stat.h>

namespace {

umx::PackageContents ReadTables(const MainForm1Unit::TPackagePlace& place)
{
    struct stat st {};
    const int fd = place.PackageFd();
    if (fd >= 0 && ::fstat(fd, &st) == 0)
        return umx::ReadPackage(fd, st.st_size);
    umx::PackageContents contents;
    contents.failure = umx::Failure::ReadError;
    contents.reason = "keine lesbare Datei";
    return contents;
}

// Why the tables give no modules to write; empty when they do. A module
// without its format's signature, or of a format without a known one,
// makes the whole package go to the signature scan.
std::string WhyUnusable(const umx::PackageContents& contents)
{
    if (!contents.Readable())
        return contents.reason;
    for (const umx::MusicObject& music : contents.music) {
        if (music.signature == umx::Signature::UnknownFormat)
            return "Musikobjekt " + music.objectName + ": Format " + music.format + " unbekannt";
        if (music.signature == umx::Signature::Mismatch)
            return "Musikobjekt " + music.objectName + ": Signatur für " + music.format + " fehlt";
    }
    return {};
}

// ".it" for a module of format "IT" (only known formats get here).
std::string ExtensionOf(const umx::MusicObject& music)
{
    std::string extension = ".";
    for (const char c : music.format)
        extension += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// What the package's name ends with instead of ".umx": the extension for
// the first music object, ".Object.ext" for each later one. A "/" or NUL
// in an object's name would lead elsewhere or cut the name: it becomes "_".
std::string OutputSuffix(const umx::MusicObject& music, std::size_t index)
{
    if (index == 0)
        return ExtensionOf(music);
    std::string suffix = ".";
    for (const char c : music.objectName)
        suffix += c == '/' || c == '\0' ? '_' : c;
    return suffix + ExtensionOf(music);
}

}  // namespace

QString TMainForm::TablesUnreadableText()
{
    return QStringLiteral("Tabellen unlesbar, Suche nach Signatur");
}

bool TMainForm::ConvertFromTables()
{
    const umx::PackageContents contents = ReadTables(*place_);
    tablesUnused_ = WhyUnusable(contents);
    if (!tablesUnused_.empty()) {
        SetStatusText(TablesUnreadableText());
        return false;
    }
    if (contents.music.empty()) {
        EndWithoutModule();
        return true;
    }
    std::vector<std::string> suffixes, targets;
    for (std::size_t i = 0; i < contents.music.size(); ++i) {
        suffixes.push_back(OutputSuffix(contents.music[i], i));
        targets.push_back(platform::ChangeFileExt(platform::ExtractFileName(CurrentFile), suffixes.back()));
    }
    leftovers_.RemoveBeside(*place_, targets);

    TPackageEnd end;
    end.place = CurrentPlace();
    for (std::size_t i = 0; i < contents.music.size(); ++i) {
        const umx::MusicObject& music = contents.music[i];
        TModuleOutput module;
        module.extension = ExtensionOf(music);
        module.start = music.offset;
        module.size = music.length;
        module.object = music.objectName;
        if (runOptions_.scanOnly) {
            module.output = platform::ChangeFileExt(CurrentFile, suffixes[i]);
        } else {
            ShowExtracting();
            platform::TUntypedFile output(place_->OutputPathAs(suffixes[i]));
            module.output =
                ExtractRange(*place_, music.offset, music.length, output, suffixes[i], TExtraction::TableModule);
        }
        end.modules.push_back(module);
    }
    ReportPackage(end);
    AdvanceQueue();
    return true;
}
