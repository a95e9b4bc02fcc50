// SPDX-License-Identifier: GPL-3.0-or-later
// Reads an Unreal package's header, name, import and export tables and the
// data prefix of each music object. All integers are little-endian.
//
//   header   u32 tag, u16 version, u16 licensee, u32 flags, i32 name count
//            and offset, i32 export count and offset, i32 import count and
//            offset; below version 68 i32 heritage count and offset, from 68
//            on a 16-byte GUID, i32 generation count, 8 bytes a generation
//   name     from version 64 on compact length (terminator included), the
//            characters, NUL; before that the characters up to NUL; u32 flags
//   import   compact class package name, compact class name, i32 package
//            reference, compact object name
//   export   compact class reference, compact super reference, i32 package
//            reference, compact object name, u32 flags, compact serial size,
//            compact serial offset when the size is above 0
//   music    compact name "None" (no properties), compact format name, above
//            version 61 i32 absolute offset just past the data, compact data
//            length, the module's bytes
//
// A reference below 0 names import -ref-1, above 0 export ref-1, 0 nothing.
#include "PackageReader/BoundedReader.h"
#include "PackageReader/ModuleKinds.h"

#include "platform/system/FileIo.h"
#include "platform/system/SysUtils.h"
#include "platform/system/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace umx {

namespace {

using detail::BoundedReader;
using detail::Cursor;
using detail::Refuse;

constexpr std::uint32_t kTag = 0x9E2A83C1;
constexpr int kFirstVersionWithGenerations = 68;
constexpr int kFirstVersionWithNameLengths = 64;
constexpr int kLastVersionWithoutEndOffset = 61;
// The least bytes an entry can take.
constexpr std::int64_t kLeastImport = 1 + 1 + 4 + 1;
constexpr std::int64_t kLeastExport = 1 + 1 + 4 + 1 + 4 + 1;
// Entries reserved ahead at most. A count that fits the file can still be in
// the billions for a large (e.g. sparse) file; beyond this the tables grow
// with the entries actually read, so memory follows the bytes read.
constexpr std::int64_t kMaxReserved = 4096;

struct Table {
    std::int64_t count = 0;
    std::int64_t offset = 0;
};

struct Header {
    int version = 0;
    Table names, exports, imports;
};

// The name table, all names in one string.
class Names {
public:
    void Reserve(std::int64_t count) { starts_.reserve(static_cast<std::size_t>(std::min(count, kMaxReserved)) + 1); }
    void Add(std::string_view name)
    {
        pool_.append(name);
        starts_.push_back(pool_.size());
    }
    std::int64_t Count() const { return static_cast<std::int64_t>(starts_.size()) - 1; }
    // The name at index; a refusal when the index is out of range.
    std::string_view At(std::int64_t index, const std::string& where) const
    {
        if (index < 0 || index >= Count())
            Refuse(Failure::DamagedEntry, where + ": Namensindex " + std::to_string(index) + " außerhalb der Tabelle");
        const auto i = static_cast<std::size_t>(index);
        return std::string_view(pool_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    }

private:
    std::string pool_;
    std::vector<std::size_t> starts_ {0};
};

struct MusicExport {
    std::int64_t index;  // in the export table
    std::string_view name;
    std::int64_t serialOffset;
    std::int64_t serialSize;
};

class Reader {
public:
    explicit Reader(BoundedReader& reader) : reader_(reader) {}

    void Read(PackageContents& contents)
    {
        header_ = ReadHeader();
        contents.version = header_.version;
        ReadNames();
        ReadImports();
        for (const MusicExport& music : ReadExports())
            contents.music.push_back(ReadMusic(music));
    }

private:
    Header ReadHeader();
    void CheckTable(const Table& table, std::int64_t leastEntry, const char* what) const;
    void ReadNames();
    void ReadName(Cursor& cursor, std::int64_t left);
    void ReadImports();
    std::vector<MusicExport> ReadExports();
    MusicObject ReadMusic(const MusicExport& music);
    void CheckReference(std::int64_t reference, const std::string& where) const;

    BoundedReader& reader_;
    Header header_;
    Names names_;
    std::vector<bool> musicClass_;  // per import: Core.Class "Music"
};

Header Reader::ReadHeader()
{
    const std::int64_t size = reader_.Size();
    if (size < 4)
        Refuse(Failure::NotAPackage, "keine Unreal-Paketkennung");
    Cursor c(reader_, 0, size, "Paketkopf");
    c.Promise(8);
    if (c.U32() != kTag)
        Refuse(Failure::NotAPackage, "keine Unreal-Paketkennung");
    Header h;
    const std::uint8_t low = c.U8();
    h.version = low | c.U8() << 8;
    if (h.version < kFirstVersion || h.version > kLastVersion)
        Refuse(Failure::UnknownVersion, "Paketversion " + std::to_string(h.version) + " unbekannt");
    const bool generations = h.version >= kFirstVersionWithGenerations;
    c.Promise((generations ? 56 : 44) - c.Position());
    c.U8();  // licensee version
    c.U8();
    c.U32();  // package flags
    for (Table* table : {&h.names, &h.exports, &h.imports}) {
        table->count = c.I32();
        table->offset = c.I32();
    }
    if (generations) {
        std::string guid;
        c.Take(16, guid);
        const std::int64_t count = c.I32();
        // Each generation: export count and name count, which nothing here needs.
        if (count < 0 || count > (size - c.Position()) / 8)
            Refuse(Failure::OutsideFile, "Generationen reichen über das Dateiende");
    } else {
        const Table heritage {c.I32(), c.I32()};
        CheckTable(heritage, 16, "Herkunftstabelle");
    }
    CheckTable(h.names, h.version >= kFirstVersionWithNameLengths ? 6 : 5, "Namenstabelle");
    CheckTable(h.imports, kLeastImport, "Importtabelle");
    CheckTable(h.exports, kLeastExport, "Exporttabelle");
    return h;
}

// A table's entries take at least leastEntry bytes each and must all fit
// between its offset and the end of the file.
void Reader::CheckTable(const Table& table, std::int64_t leastEntry, const char* what) const
{
    const std::int64_t size = reader_.Size();
    if (table.count < 0 || table.offset < 0 || table.offset > size ||
        table.count > (size - table.offset) / leastEntry)
        Refuse(Failure::OutsideFile, std::string(what) + " (" + std::to_string(table.count) + " Einträge ab " +
                                         std::to_string(table.offset) + ") reicht über das Dateiende");
}

void Reader::ReadNames()
{
    Cursor c(reader_, header_.names.offset, reader_.Size(), "Namenstabelle");
    names_.Reserve(header_.names.count);
    for (std::int64_t i = 0; i < header_.names.count; ++i)
        ReadName(c, header_.names.count - i);
}

// One name entry; left counts it and the entries after it.
void Reader::ReadName(Cursor& c, std::int64_t left)
{
    const std::string where = "Name " + std::to_string(header_.names.count - left);
    std::string name;
    if (header_.version >= kFirstVersionWithNameLengths) {
        c.Promise(left * 6);
        const std::int64_t length = c.Compact();
        if (length < 1 || length > kMaxNameLength)
            Refuse(Failure::DamagedEntry, where + ": Länge " + std::to_string(length));
        c.Promise(length + 4 + (left - 1) * 6);
        c.Take(static_cast<std::size_t>(length), name);
        if (name.back() != '\0')
            Refuse(Failure::DamagedEntry, where + ": ohne Abschluss");
        name.resize(std::strlen(name.c_str()));
    } else {
        c.Promise(left * 5);
        for (std::uint8_t b; (b = c.U8()) != 0;) {
            if (static_cast<std::int64_t>(name.size()) + 1 >= kMaxNameLength)
                Refuse(Failure::DamagedEntry, where + ": länger als " + std::to_string(kMaxNameLength) + " Bytes");
            name.push_back(static_cast<char>(b));
            c.Promise(1 + 4 + (left - 1) * 5);
        }
    }
    c.U32();  // flags
    names_.Add(name);
}

void Reader::CheckReference(std::int64_t reference, const std::string& where) const
{
    if (reference < -header_.imports.count || reference > header_.exports.count)
        Refuse(Failure::DamagedEntry, where + ": Verweis " + std::to_string(reference) + " außerhalb der Tabellen");
}

void Reader::ReadImports()
{
    Cursor c(reader_, header_.imports.offset, reader_.Size(), "Importtabelle");
    musicClass_.reserve(static_cast<std::size_t>(std::min(header_.imports.count, kMaxReserved)));
    for (std::int64_t i = 0; i < header_.imports.count; ++i) {
        const std::string where = "Import " + std::to_string(i);
        c.Promise((header_.imports.count - i) * kLeastImport);
        names_.At(c.Compact(), where);  // class package
        const std::string_view className = names_.At(c.Compact(), where);
        CheckReference(c.I32(), where);
        const std::string_view objectName = names_.At(c.Compact(), where);
        musicClass_.push_back(platform::SameText(className, "Class") && platform::SameText(objectName, "Music"));
    }
}

std::vector<MusicExport> Reader::ReadExports()
{
    const std::int64_t size = reader_.Size();
    Cursor c(reader_, header_.exports.offset, size, "Exporttabelle");
    std::vector<MusicExport> music;
    for (std::int64_t i = 0; i < header_.exports.count; ++i) {
        const std::string where = "Export " + std::to_string(i);
        c.Promise((header_.exports.count - i) * kLeastExport);
        const std::int64_t classReference = c.Compact();
        CheckReference(classReference, where);
        CheckReference(c.Compact(), where);  // super
        CheckReference(c.I32(), where);      // package
        const std::string_view name = names_.At(c.Compact(), where);
        c.U32();  // object flags
        const std::int64_t serialSize = c.Compact();
        const std::int64_t serialOffset = serialSize > 0 ? c.Compact() : 0;
        if (serialSize < 0 || serialOffset < 0 || serialOffset > size || serialSize > size - serialOffset)
            Refuse(Failure::OutsideFile, where + ": Daten (" + std::to_string(serialSize) + " Bytes ab " +
                                             std::to_string(serialOffset) + ") außerhalb der Datei");
        if (classReference >= 0 || !musicClass_[static_cast<std::size_t>(-classReference - 1)])
            continue;
        if (serialSize == 0)
            Refuse(Failure::DamagedEntry, where + ": Musikobjekt ohne Daten");
        if (music.size() == kMaxMusicObjects)
            Refuse(Failure::DamagedEntry, "mehr als " + std::to_string(kMaxMusicObjects) + " Musikobjekte");
        music.push_back({i, name, serialOffset, serialSize});
    }
    // Each music object's data is its own: shared bytes mean damaged tables.
    std::vector<MusicExport> byOffset = music;
    std::sort(byOffset.begin(), byOffset.end(),
              [](const MusicExport& a, const MusicExport& b) { return a.serialOffset < b.serialOffset; });
    for (std::size_t i = 1; i < byOffset.size(); ++i)
        if (byOffset[i - 1].serialOffset + byOffset[i - 1].serialSize > byOffset[i].serialOffset)
            Refuse(Failure::DamagedEntry, "Musikobjekte teilen sich Bytes");
    return music;
}

MusicObject Reader::ReadMusic(const MusicExport& music)
{
    const std::string where = "Musikobjekt " + std::string(music.name);
    const std::int64_t serialEnd = music.serialOffset + music.serialSize;
    Cursor c(reader_, music.serialOffset, serialEnd, "Daten von " + where);
    const bool endOffset = header_.version > kLastVersionWithoutEndOffset;
    c.Promise(endOffset ? 7 : 3);
    if (!platform::SameText(names_.At(c.Compact(), where), "None"))
        Refuse(Failure::DamagedEntry, where + ": Eigenschaften vor den Daten");
    MusicObject object;
    object.objectName = music.name;
    object.format = names_.At(c.Compact(), where);
    const std::int64_t end = endOffset ? c.I32() : serialEnd;
    object.length = c.Compact();
    object.offset = c.Position();
    if (object.length < 0 || object.offset + object.length != serialEnd)
        Refuse(Failure::DamagedEntry, where + ": Datenlänge " + std::to_string(object.length) +
                                          " passt nicht zum Exporteintrag");
    if (end != serialEnd)
        Refuse(Failure::DamagedEntry, where + ": Endoffset " + std::to_string(end) + " passt nicht zu den Daten");
    object.signature = Signature::UnknownFormat;
    if (KindOfFormat(object.format)) {
        std::uint8_t head[kSignatureBytes];
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(object.length, kSignatureBytes));
        reader_.Read(object.offset, head, n, where);
        object.signature = CheckSignature(object.format, head, object.length);
    }
    return object;
}

}  // namespace

PackageContents ReadPackage(ByteSource& source)
{
    BoundedReader reader(source);
    PackageContents contents;
    try {
        Reader(reader).Read(contents);
    } catch (const detail::Refusal& refusal) {
        contents.failure = refusal.failure;
        contents.reason = refusal.reason;
        contents.music.clear();
    }
    contents.bytesRead = reader.BytesRead();
    return contents;
}

PackageContents ReadPackage(int fd, std::int64_t size)
{
    FileSource source(fd, size);
    return ReadPackage(source);
}

PackageContents ReadPackageFile(const std::string& path)
{
    platform::FileStatus status;
    const platform::UniqueFd fd = platform::OpenRegularFile(path, O_RDONLY, 0666, &status);
    if (!fd.IsOpen()) {
        PackageContents contents;
        contents.failure = Failure::ReadError;
        contents.reason = "Datei nicht lesbar: " + std::string(std::strerror(errno));
        return contents;
    }
    return ReadPackage(fd.Get(), status.size);
}

}  // namespace umx
