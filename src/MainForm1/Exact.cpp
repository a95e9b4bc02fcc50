// SPDX-License-Identifier: GPL-3.0-or-later
// An exact run's step: the package's own tables say where each music
// object's module lies, how long it is and what format it has, and each
// module is written byte for byte. Where the tables are of no use the
// package goes to the signature scan instead.
#include "MainForm1/MainForm1.h"

#include "PackageReader/PackageReader.h"
#include "platform/system/BlockFile.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>

namespace {

umx::PackageContents ReadTables(const MainForm1Unit::TPackagePlace& place)
{
    umx::PackageContents unreadable;
    unreadable.failure = umx::Failure::ReadError;
    unreadable.reason = "keine lesbare Datei";
    const int fd = place.PackageFd();
    if (fd < 0)
        return unreadable;
    std::int64_t size = 0;
    try {
        size = platform::StatusOf(fd).size;
    } catch (const platform::Exception&) {
        return unreadable;  // the signature scan takes the package up
    }
    return umx::ReadPackage(fd, size);
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

// The kind of a music object's module (only known formats get here).
const umx::ModuleKind& KindOf(const umx::MusicObject& music)
{
    return *umx::KindOfFormat(music.format);
}

// The object's name as it may stand in a file name: a "/" or NUL would
// lead elsewhere or cut the name, and becomes "_".
std::string SafeName(const std::string& name)
{
    std::string safe;
    for (const char c : name)
        safe += c == '/' || c == '\0' ? '_' : c;
    return safe;
}

// The longest start of text of at most max bytes that ends before a UTF-8
// character, not inside one.
std::string Utf8Start(const std::string& text, std::size_t max)
{
    std::size_t n = std::min(max, text.size());
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

// ".Name.ext", or ".Name.N.ext" with a number; the name cut so that the
// suffix takes at most room bytes (where that can be).
std::string ObjectSuffix(const std::string& name, int number, const std::string& extension, std::size_t room)
{
    const std::string tail = (number > 0 ? "." + std::to_string(number) : std::string()) + extension;
    const std::size_t fixed = 1 + tail.size();
    return "." + (fixed + name.size() <= room ? name : Utf8Start(name, room > fixed ? room - fixed : 0)) + tail;
}

// What the package's name ends with instead of ".umx", for each music
// object: the extension for the first, ".Object.ext" for each later one.
// Objects whose names give the same output get ".Object.2.ext",
// ".Object.3.ext", ...; a name too long for a file name of at most
// nameMax bytes is cut and carries the object's number (counted from 1).
std::vector<std::string> OutputSuffixes(const std::vector<umx::MusicObject>& music, const std::string& stem,
                                        std::size_t nameMax)
{
    const std::size_t room = nameMax > stem.size() ? nameMax - stem.size() : 0;
    std::vector<std::string> suffixes;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < music.size(); ++i) {
        const std::string extension = KindOf(music[i]).extension;
        std::string suffix = extension;
        if (i > 0) {
            const std::string name = SafeName(music[i].objectName);
            int number = ObjectSuffix(name, 0, extension, SIZE_MAX).size() > room ? static_cast<int>(i) + 1 : 0;
            suffix = ObjectSuffix(name, number, extension, room);
            while (taken.count(suffix)) {
                number = std::max(number + 1, 2);
                suffix = ObjectSuffix(name, number, extension, room);
            }
        }
        taken.insert(suffix);
        suffixes.push_back(suffix);
    }
    return suffixes;
}

// The longest file name the folder takes.
std::size_t NameMax(int folder)
{
    return folder >= 0 ? platform::NameMaxIn(folder) : NAME_MAX;
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
    const std::string name = platform::ExtractFileName(CurrentFile);
    const std::vector<std::string> suffixes =
        OutputSuffixes(contents.music, platform::ChangeFileExt(name, ""), NameMax(place_->OutputFolderFd()));
    std::vector<std::string> targets;
    for (const std::string& suffix : suffixes)
        targets.push_back(platform::ChangeFileExt(name, suffix));
    leftovers_.RemoveBeside(*place_, targets);

    // Each module goes into packageModules_ once written: an error of a later
    // one ends the package with these reported.
    for (std::size_t i = 0; i < contents.music.size(); ++i) {
        const umx::MusicObject& music = contents.music[i];
        TModuleOutput module;
        module.kind = &KindOf(music);
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
        packageModules_.push_back(module);
    }
    TPackageEnd end;
    end.place = CurrentPlace();
    end.modules = std::move(packageModules_);
    packageModules_.clear();
    ReportPackage(end);
    AdvanceQueue();
    return true;
}
