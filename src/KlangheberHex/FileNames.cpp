// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/FileNames.h"

#include "platform/shell/Shell.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/system/FolderListing.h"

#include <QByteArray>
#include <QFile>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <vector>

namespace hexwindow {

namespace {

// The parts of a path between its "/"s (empty parts left out).
std::vector<std::string> PathParts(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The one entry of folder whose name Qt shows as shown; empty when there is
// none or more than one.
std::string EntryShownAs(const std::string& folder, const QString& shown)
{
    platform::FolderListing listing(folder.empty() ? "." : folder);
    platform::FolderEntry entry;
    std::string found;
    int matches = 0;
    while (listing.Next(entry)) {
        if (QFile::decodeName(entry.name.c_str()) == shown) {
            found = entry.name;
            ++matches;
        }
    }
    return matches == 1 ? found : std::string();
}

}  // namespace

QString PathText(const std::string& bytes)
{
    return QString::fromStdU16String(platform::PathToWide(bytes));
}

std::string PathBytes(const QString& text)
{
    return platform::WideToPath(reinterpret_cast<const char16_t*>(text.utf16()));
}

QString ShownPath(const QString& text)
{
    QString shown = text;
    // Lone surrogates: a high one not followed by a low one, or a low one
    // not after a high one.
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const bool high = shown[i].isHighSurrogate();
        const bool pairedHigh = high && i + 1 < shown.size() && shown[i + 1].isLowSurrogate();
        if (pairedHigh) {
            ++i;
            continue;
        }
        if (high || shown[i].isLowSurrogate())
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

std::string DialogPathBytes(const QString& text)
{
    const std::string bytes = PathBytes(text);
    platform::FileStatus status;
    // A name that leads to nothing (not even a dangling link) is matched
    // against the folder's entries below.
    if (!text.contains(QChar::ReplacementCharacter) ||
        platform::IgnoreFailure(
            [&] { status = platform::StatusIn(platform::kCurrentFolder, bytes, platform::Links::Keep); }))
        return bytes;
    std::string resolved = text.startsWith(u'/') ? "/" : "";
    const QStringList parts = text.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        std::string part = PathBytes(parts[i]);
        if (parts[i].contains(QChar::ReplacementCharacter)) {
            const std::string entry = EntryShownAs(resolved, parts[i]);
            if (!entry.empty())
                part = entry;
        }
        resolved += part;
        if (i + 1 < parts.size())
            resolved += '/';
    }
    return resolved;
}

std::string UrlPathBytes(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

std::string AbsolutePath(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        // Without a current folder the path is taken from the root.
        std::string current;
        platform::IgnoreFailure([&] { current = platform::CurrentFolder(); });
        full = current + "/" + path;
    }
    std::vector<std::string> kept;
    for (std::string& part : PathParts(full)) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(std::move(part));
    }
    std::string result;
    for (const std::string& part : kept)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

QString WriteRefusal(const std::string& path)
{
    platform::FileStatus status;
    // What cannot be looked at is no file the user could be kept from writing.
    if (!platform::IgnoreFailure([&] { status = platform::StatusIn(platform::kCurrentFolder, path); }) ||
        !status.regular)
        return {};
    if ((status.permissions & 0222) == 0)
        return QStringLiteral("schreibgeschützt: die Datei hat keine Schreibrechte");
    try {
        platform::CheckWriteAccess(path);
    } catch (const platform::Exception& e) {
        return e.Errno() == EROFS ? QStringLiteral("schreibgeschützt: der Datenträger ist schreibgeschützt")
                                  : QStringLiteral("schreibgeschützt: %1").arg(ErrnoText(e.Errno()));
    }
    return {};
}

QString ErrnoText(int error)
{
    const int code = platform::IoCodeFromErrno(error);
    QString text = QString::fromStdString(platform::EInOutError::TextFor(code));
    // Codes without a German text of their own also get the system's.
    if (code == error)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
    return text;
}

QVariant StoredPaths(const QStringList& paths)
{
    QVariantList stored;
    for (const QString& path : paths) {
        if (ShownPath(path) == path)
            stored.append(path);
        else
            stored.append(QByteArray::fromStdString(PathBytes(path)));
    }
    return stored;
}

QStringList PathsFromStored(const QVariant& stored)
{
    // A list of one comes back from the settings file as its one item.
    const QVariantList items = stored.typeId() == QMetaType::QString || stored.typeId() == QMetaType::QByteArray
                                   ? QVariantList{stored}
                                   : stored.toList();
    QStringList paths;
    for (const QVariant& item : items) {
        if (item.typeId() == QMetaType::QByteArray)
            paths.append(PathText(item.toByteArray().toStdString()));
        else
            paths.append(item.toString());
    }
    return paths;
}

}  // namespace hexwindow
