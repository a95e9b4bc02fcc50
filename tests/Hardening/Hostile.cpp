// SPDX-License-Identifier: GPL-3.0-or-later
#include "Hostile.h"

#include "platform/system/FileUtils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace hardening {

const QString kEngineStarted = QStringLiteral("Engine gestartet.");
const QString kExtracting = QStringLiteral("Daten werden extrahiert. Bitte warten...");
const QString kExtracted = QStringLiteral("Daten erfolgreich extrahiert!");
const QString kNoModule = QStringLiteral("Keine Impulse-/Scream-/FastTracker-Dateien gefunden!");

QString Q(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString Loading(const std::string& name)
{
    return QStringLiteral("Datei %1 wird geladen. Bitte warten...").arg(Q(name));
}

Bytes SmallPackage(std::size_t size, std::size_t at, const std::string& sig)
{
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>('a' + (i * 7 + i / 26) % 26);
    if (!sig.empty() && at + sig.size() <= size)
        std::copy(sig.begin(), sig.end(), b.begin() + static_cast<long>(at));
    return b;
}

Bytes Tail(const Bytes& bytes, std::size_t from)
{
    return Bytes(bytes.begin() + static_cast<long>(std::min(from, bytes.size())), bytes.end());
}

// ---- Tree snapshots ---------------------------------------------------------

namespace {

void Walk(const std::string& root, const std::string& relative, Tree& tree)
{
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string path = root + "/" + rel;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        Entry e;
        e.size = st.st_size;
        if (S_ISREG(st.st_mode)) {
            e.type = 'f';
            if (st.st_size <= (1 << 20)) {
                const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
                if (fd >= 0) {
                    e.content.resize(static_cast<std::size_t>(st.st_size));
                    const ssize_t n = ::read(fd, e.content.data(), e.content.size());
                    e.content.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
                    ::close(fd);
                }
            }
        } else if (S_ISDIR(st.st_mode)) {
            e.type = 'd';
            e.size = 0;
        } else if (S_ISLNK(st.st_mode)) {
            e.type = 'l';
            char target[4096];
            const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
            if (n > 0)
                e.content.assign(target, target + n);
        } else if (S_ISFIFO(st.st_mode)) {
            e.type = 'p';
        } else if (S_ISSOCK(st.st_mode)) {
            e.type = 's';
        }
        tree[rel] = e;
        if (e.type == 'd')
            Walk(root, rel, tree);
    }
    ::closedir(dir);
}

std::string Printable(const std::string& path)
{
    std::string out;
    for (unsigned char c : path) {
        if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

Tree Snapshot(const std::string& root)
{
    Tree tree;
    std::string r = root;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    Walk(r, "", tree);
    return tree;
}

void ExpectOnlyOutputsChanged(const Tree& before, const Tree& after, const std::vector<std::string>& packages)
{
    std::set<std::string> allowed;
    for (const std::string& p : packages)
        for (const char* ext : {".BAK", ".it", ".s3m", ".xm"})
            allowed.insert(platform::ChangeFileExt(p, ext));
    for (const auto& [path, entry] : before) {
        if (allowed.count(path))
            continue;
        const auto it = after.find(path);
        if (it == after.end())
            ADD_FAILURE() << "removed: " << Printable(path);
        else if (!(it->second == entry))
            ADD_FAILURE() << "changed: " << Printable(path);
    }
    for (const auto& [path, entry] : after) {
        if (!allowed.count(path) && !before.count(path))
            ADD_FAILURE() << "added: " << Printable(path);
    }
}

bool IsReplacementLeftover(const std::string& name)
{
    // "." + a name + "." + six characters of mkstemp.
    return name.size() > 8 && name[0] == '.' && name[name.size() - 7] == '.';
}

// ---- A run through the main window ----------------------------------------------

// The temporary folder is set before the form (and with it the byte editor,
// which picks its working copy at construction) is created.
BatchRun::BatchRun() : tmp(dir / "tmp") {}

void BatchRun::SetUp()
{
    Boxes().boxes.clear();
    form.Timer1->SetInterval(0);
    form.StatusBar1->OnTextChanged = [this](const QString& text) {
        statuses.push_back(text);
        if (onStatus)
            onStatus(text);
    };
}

void BatchRun::Run(const std::string& folder, int limitMs)
{
    dialog.ChoosePath(folder);
    form.Open->click();
    QElapsedTimer clock;
    clock.start();
    while (form.Timer1->Enabled() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_FALSE(form.Timer1->Enabled()) << "the run did not end within " << limitMs << " ms";
}

QString BatchRun::ErrorBox() const
{
    QString text;
    int errors = 0;
    for (const auto& box : Boxes().boxes) {
        if (box.error) {
            text = box.text;
            ++errors;
        }
    }
    EXPECT_LE(errors, 1) << "a stopped run shows one error box";
    return text;
}

// ---- The command line -------------------------------------------------------------

QString KlangheberPath()
{
    return QStringLiteral(KLANGHEBER_EXE);
}

namespace {

// The test's environment without a display, with env's changes.
QProcessEnvironment ChildEnvironment(const std::map<QString, QString>& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    for (const auto& [name, value] : env) {
        if (value.isEmpty())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    return environment;
}

}  // namespace

void StartKlangheber(QProcess& process, const QStringList& arguments, const std::map<QString, QString>& env)
{
    process.setProcessEnvironment(ChildEnvironment(env));
    process.start(KlangheberPath(), arguments);
}

Outcome RunProgram(const QString& program, const QStringList& arguments, const std::map<QString, QString>& env,
                   int limitMs)
{
    QProcess process;
    process.setProcessEnvironment(ChildEnvironment(env));
    process.start(program, arguments);
    Outcome outcome;
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return outcome;
    }
    outcome.finished = process.waitForFinished(limitMs);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

Outcome RunKlangheber(const QStringList& arguments, const std::map<QString, QString>& env, int limitMs)
{
    return RunProgram(KlangheberPath(), arguments, env, limitMs);
}

}  // namespace hardening
