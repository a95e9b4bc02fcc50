// SPDX-License-Identifier: GPL-3.0-or-later
// The command line run as a separate process without a display, and what
// its tests read back: the files of a tree, JSON lines with any bytes.
#pragma once

#include "TempDir.h"
#include "fixtures/Fixtures.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace testsupport {

struct Result {
    int exitCode = -1;
    QStringList out;
    QString err;
};

// The environment of a program run without a display, with extra added.
inline QProcessEnvironment WithoutDisplay(const std::map<QString, QString>& extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const auto& [name, value] : extra)
        env.insert(name, value);
    return env;
}

// Runs a program without a display.
inline Result RunProgram(const char* program, const QStringList& arguments, const std::map<QString, QString>& env = {})
{
    QProcess process;
    process.setProcessEnvironment(WithoutDisplay(env));
    process.start(QString::fromUtf8(program), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    Result result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline Result Klangheber(const QStringList& arguments, const std::map<QString, QString>& env = {})
{
    return RunProgram(KLANGHEBER_EXE, arguments, env);
}

inline QString Folder(const TempDir& dir)
{
    return QString::fromStdString(dir.Path());
}

inline QString Q(const std::string& path)
{
    return QString::fromStdString(path);
}

// A package carrying a module of kind (written to path); returns it.
inline fixtures::Package PutPackage(const std::string& path, fixtures::ModuleKind kind)
{
    fixtures::Package package = fixtures::WrapInPackage(fixtures::MakeModule(kind));
    WriteFile(path, package.bytes);
    return package;
}

// Every file below root with its bytes, paths relative to root.
inline std::map<std::string, Bytes> Files(const std::string& root, const std::string& below = "")
{
    std::map<std::string, Bytes> files;
    for (const std::string& name : ListDir(root + "/" + below)) {
        const std::string relative = below.empty() ? name : below + "/" + name;
        struct stat st {};
        ::lstat((root + "/" + relative).c_str(), &st);
        if (S_ISDIR(st.st_mode))
            files.merge(Files(root, relative));
        else
            files[relative] = S_ISREG(st.st_mode) ? ReadFile(root + "/" + relative) : Bytes {};
    }
    return files;
}

// A JSON line parsed. Qt's parser turns the lone surrogates \udc80..\udcff
// (the bytes 0x80..0xFF of a name that is no UTF-8) into U+FFFD, so they
// are moved to the private-use U+F780..U+F7FF first.
inline QJsonObject ParseJsonLine(const QString& line, QJsonParseError* error = nullptr)
{
    QString kept = line;
    kept.replace(QStringLiteral("\\udc"), QStringLiteral("\\uf7"));
    return QJsonDocument::fromJson(kept.toUtf8(), error).object();
}

// The bytes of a string from ParseJsonLine.
inline std::string BytesOf(const QString& text)
{
    std::string bytes;
    for (const uint codePoint : text.toUcs4()) {
        if (codePoint >= 0xF780 && codePoint <= 0xF7FF)
            bytes += static_cast<char>(codePoint - 0xF700);
        else
            bytes += QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1).toStdString();
    }
    return bytes;
}

}  // namespace testsupport
