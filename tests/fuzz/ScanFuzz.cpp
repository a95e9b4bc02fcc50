// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: one package through the scan and the extraction of the main
// window. The input is written as a package, one timer tick runs, and the
// result must be what the package's first 500 bytes call for: the module from
// its first byte to the end of the package under the right extension, the
// scan copy and the no-module text, or the error that the signature's place
// gives ("Invalid SelStart", or a module that starts before the package).
#include "FuzzSupport.h"

#include "MainFormProbe.h"
#include "platform/system/FileUtils.h"

#include <QFile>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct World {
    std::string folder;  // ends in "/"
    testsupport::MainFormProbe* form = nullptr;
};

World& TheWorld()
{
    static World* world = [] {
        auto* w = new World;
        w->folder = fuzzsupport::MakeFolder("kh-scan-fuzz");
        // The editor's working copy stays in the fuzzer's own folder.
        ::mkdir((w->folder + "tmp").c_str(), 0700);
        ::setenv("TMPDIR", (w->folder + "tmp").c_str(), 1);
        fuzzsupport::StartApplication();
        w->form = new testsupport::MainFormProbe;
        w->form->Timer1->SetInterval(0);
        return w;
    }();
    return *world;
}

// Where needle lies wholly within the first 500 bytes; -1 when it does not.
long FindIn500(const Bytes& data, const char* needle)
{
    const std::size_t n = std::strlen(needle);
    const std::size_t limit = std::min<std::size_t>(data.size(), 500);
    for (std::size_t i = 0; i + n <= limit; ++i)
        if (std::memcmp(data.data() + i, needle, n) == 0)
            return static_cast<long>(i);
    return -1;
}

bool ReadAll(const std::string& path, Bytes& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    std::uint8_t buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    ::close(fd);
    return true;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    World& w = TheWorld();
    testsupport::MainFormProbe& form = *w.form;
    const Bytes input(data, data + size);
    const std::string package = w.folder + "p.umx";
    for (const char* name : {"p.umx", "p.BAK", "p.it", "p.s3m", "p.xm"})
        ::unlink((w.folder + name).c_str());
    fuzzsupport::WriteAll(package, input);

    form.ListBox1->clear();
    form.AppendToQueue(package);
    form.ListBox1->setCurrentRow(0);
    form.CurrentFile = package;
    form.HexEditor1->NewFile("Untitled");
    form.SetStatusText(QString());

    std::string error;
    try {
        form.Timer1Timer();
    } catch (const std::exception& e) {
        error = e.what();
    }
    form.Timer1->SetEnabled(false);

    // What the first 500 bytes call for.
    std::string expectedError;
    std::string extension;
    long start = -1;
    if (size <= 500) {
        expectedError = "Invalid SelStart";
    } else if (long at = FindIn500(input, "IMPM"); at >= 0) {
        extension = ".it";
        start = at;
    } else if ((at = FindIn500(input, "SCRM")) >= 0) {
        if (at < 41) {
            expectedError = "Invalid SelStart";
        } else if (at < 44) {
            expectedError = "Modul beginnt vor dem Anfang der Datei " + package;
        } else {
            extension = ".s3m";
            start = at - 44;
        }
    } else if ((at = FindIn500(input, "Extended Module")) >= 0) {
        extension = ".xm";
        start = at;
    }

    FUZZ_CHECK(error == expectedError, "error '" + error + "' where '" + expectedError + "' was due");
    std::vector<std::string> expectedNames {"p.umx", "tmp"};
    // A Scream Tracker signature too early fails after the scan copy was written.
    if (expectedError == "Invalid SelStart" && size > 500)
        expectedNames.push_back("p.BAK");
    if (expectedError.empty() && start < 0) {
        // No module: the scan copy holds the first 500 bytes.
        expectedNames.push_back("p.BAK");
        Bytes scanCopy;
        FUZZ_CHECK(ReadAll(w.folder + "p.BAK", scanCopy), "no scan copy");
        FUZZ_CHECK(scanCopy == Bytes(input.begin(), input.begin() + 500), "scan copy is not the first 500 bytes");
        FUZZ_CHECK(form.StatusText() == QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!"),
                   "status " + form.StatusText().toStdString());
    } else if (expectedError.empty()) {
        expectedNames.push_back("p" + extension);
        Bytes module;
        FUZZ_CHECK(ReadAll(w.folder + "p" + extension, module), "no module written");
        FUZZ_CHECK(module == Bytes(input.begin() + start, input.end()), "module is not the package's tail");
        FUZZ_CHECK(form.StatusText() == QStringLiteral("Daten erfolgreich extrahiert!"),
                   "status " + form.StatusText().toStdString());
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    const std::vector<std::string> names = Names(w.folder);
    std::string listing;
    for (const auto& n : names)
        listing += " '" + n + "'";
    FUZZ_CHECK(names == expectedNames, "files:" + listing);
    // The editor's working copy is the only one in the temporary folder
    // (where Qt also keeps its runtime folder).
    int copies = 0;
    for (const std::string& name : Names(w.folder + "tmp"))
        copies += name.size() > 5 && name.compare(name.size() - 5, 5, ".ZQWK") == 0;
    FUZZ_CHECK(copies == 1, "working copies: " + std::to_string(copies));
    return 0;
}
