// SPDX-License-Identifier: GPL-3.0-or-later
// File names as the window handles them. A name is bytes, and any bytes the
// system accepts make a name, UTF-8 or not; Qt's strings are UTF-16 and its
// own conversion (QFile::encodeName/decodeName) loses the bytes that are not
// UTF-8. So the window keeps a name as a QString in which every such byte is
// the lone surrogate U+DC00 + byte (platform::PathToWide), converts it back
// to bytes for every file operation, and shows it with U+FFFD for those
// bytes.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <string>

class QUrl;

namespace hexwindow {

QString PathText(const std::string& bytes);
std::string PathBytes(const QString& text);
// For showing: every byte that is not UTF-8 as U+FFFD.
QString ShownPath(const QString& text);

// A name as Qt's file dialog gives it: the dialog lists a folder through
// Qt's lossy conversion, so a name that is not UTF-8 comes back with U+FFFD
// where its bytes were. Each such part of the path is matched against the
// entries of its folder (decoded the same way); a part without exactly one
// match stays as it is.
std::string DialogPathBytes(const QString& text);
// The bytes of a dropped local file's URL (percent-encoded bytes as they
// are, UTF-8 or not); empty for a URL that is not a local file.
std::string UrlPathBytes(const QUrl& url);

// path made absolute against the current folder, with "." and empty parts
// dropped and ".." taken back lexically (as QDir::cleanPath does).
std::string AbsolutePath(const std::string& path);

// Why this user may not write the existing regular file at path; empty when
// he may, or when there is no such file. A file without any write permission
// bit counts as read-only also for root, who could write it anyway.
QString WriteRefusal(const std::string& path);

// The German text of a system error (errno), as the program shows it.
QString ErrnoText(int error);

// The recent files as the settings keep them: names as strings, a name that
// is not UTF-8 as its bytes (a string would lose them).
QVariant StoredPaths(const QStringList& paths);
QStringList PathsFromStored(const QVariant& stored);

}  // namespace hexwindow
