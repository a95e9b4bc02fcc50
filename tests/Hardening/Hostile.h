// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the hardening tests: small packages, a snapshot of a folder tree
// that tells exactly what a run added or changed, a whole batch run through
// the main window with a time limit, and the command line as a child process
// with a time limit.
#pragma once

#include "MainFormProbe.h"
#include "ScriptedBrowseDialog.h"
#include "TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace hardening {

using testsupport::Bytes;

// A package of size bytes (pattern bytes without any signature) with sig
// planted at position at; no signature when sig is empty.
Bytes SmallPackage(std::size_t size, std::size_t at = 100, const std::string& sig = "IMPM");
// Bytes from position from to the end.
Bytes Tail(const Bytes& bytes, std::size_t from);

// One entry of a folder tree, seen without following symbolic links.
struct Entry {
    char type = '?';  // 'f' file, 'd' folder, 'l' link, 'p' FIFO, 's' socket, '?' other
    Bytes content;    // a regular file's bytes (only up to 1 MiB), a link's target
    long long size = 0;
    bool operator==(const Entry& other) const
    {
        return type == other.type && content == other.content && size == other.size;
    }
};
using Tree = std::map<std::string, Entry>;

// Every entry below root (paths relative to root, "/"-separated), never
// reading anything but regular files and never entering a linked folder.
Tree Snapshot(const std::string& root);

// Checks that after differs from before only in entries named like the scan
// copy or an output of one of the packages (paths relative to root): those may
// have been added, replaced or removed. Reports every other difference.
void ExpectOnlyOutputsChanged(const Tree& before, const Tree& after, const std::vector<std::string>& packages);

// Hidden temporary files ".name.XXXXXX" that a replacement leaves only when
// the program was killed half-way.
bool IsReplacementLeftover(const std::string& name);

// A whole run through the main window: the start button with a scripted
// folder dialog, then the event loop until the timer stays off. Working
// copies go to a temporary folder of the fixture's own.
class BatchRun : public ::testing::Test {
protected:
    BatchRun();
    void SetUp() override;

    // Runs over folder (absolute, no trailing "/"); fails the test when the
    // run does not end within limitMs.
    void Run(const std::string& folder, int limitMs = 60000);

    // The single error box of a stopped run, "" when none was shown.
    QString ErrorBox() const;

    testsupport::TempDir dir;
    testsupport::ScopedTmpDir tmp;
    testsupport::ScriptedBrowseDialog dialog;
    testsupport::BrowseDialogOverride useDialog {&dialog};
    testsupport::MainFormProbe form;
    std::vector<QString> statuses;
    // Called with each new status text, after it was recorded.
    std::function<void(const QString&)> onStatus;
};

QString Loading(const std::string& name);
extern const QString kEngineStarted;
extern const QString kExtracting;
extern const QString kExtracted;
extern const QString kNoModule;

// The command line as a child process.
struct Outcome {
    bool finished = false;  // false: killed at the time limit
    int exitCode = -1;      // -1 when it did not exit normally
    QStringList out;
    QString err;
};
// Runs klangheber with arguments; env adds to (or, with an empty value,
// removes from) the test's own environment.
Outcome RunKlangheber(const QStringList& arguments, const std::map<QString, QString>& env = {},
                      int limitMs = 120000);
// A program given as its path, with arguments, under the same rules.
Outcome RunProgram(const QString& program, const QStringList& arguments, const std::map<QString, QString>& env = {},
                   int limitMs = 120000);
QString KlangheberPath();
// Starts klangheber in process with arguments and the environment RunKlangheber
// gives it, without waiting for it.
void StartKlangheber(QProcess& process, const QStringList& arguments, const std::map<QString, QString>& env = {});

QString Q(const std::string& path);

}  // namespace hardening
