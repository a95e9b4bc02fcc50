// SPDX-License-Identifier: GPL-3.0-or-later
// Klangheber Hex on a 1 GiB file: the time from "open" to the first paint
// of the bytes, against cp of the same file in the same run, and the time
// of one page-down (key handling and the repaint it causes) at the start,
// in the middle and at the end of the file.
//
// Targets: first paint within cp's time + 100 ms; a page-down under 5 ms
// at each place. Exit status 1 when a target is missed.
//
// Usage: bench_hexview [SIZE_MIB]   (default 1024)
// The file, cp's copy and the editor's working copy live in $TMPDIR (or
// /tmp); the file is made once and kept as kh-bench-hexview-<size>.bin.
#include "KlangheberHex/HexWindow.h"
#include "hexeditor/hexeditor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 3;
constexpr int kPageDowns = 100;
constexpr double kFirstPaintSlackMs = 100.0;
constexpr double kPageDownLimitMs = 5.0;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string TempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

// Pseudo-random bytes, so that nothing along the way can compress them.
std::string MakeFile(const std::string& folder, std::int64_t size)
{
    const std::string path = folder + "kh-bench-hexview-" + std::to_string(size >> 20) + ".bin";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size == size)
        return path;
    std::fprintf(stderr, "bench_hexview: writing %s\n", path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::uint64_t> block(1 << 20);
    std::uint64_t x = 88172645463325252ull;
    for (std::int64_t done = 0; done < size; done += static_cast<std::int64_t>(block.size() * 8)) {
        for (auto& word : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            word = x;
        }
        if (fd < 0 || ::write(fd, block.data(), block.size() * 8) != static_cast<ssize_t>(block.size() * 8)) {
            std::perror("bench_hexview: write");
            std::exit(2);
        }
    }
    ::close(fd);
    return path;
}

double TimeCp(const std::string& from, const std::string& to)
{
    const char* argv[] = {"cp", "--", from.c_str(), to.c_str(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid || status != 0) {
        std::fprintf(stderr, "bench_hexview: cp failed\n");
        std::exit(2);
    }
    const double ms = MsSince(start);
    ::unlink(to.c_str());
    return ms;
}

// Paints the watched viewport itself, so the end of each paint is known.
class PaintClock : public QObject {
public:
    explicit PaintClock(QWidget* viewport) : viewport_(viewport) { viewport->installEventFilter(this); }
    Clock::time_point lastPaintEnd{};
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != viewport_ || event->type() != QEvent::Paint || inside_)
            return false;
        // Delivered again, the event takes its normal way (the scroll
        // area's own filter, the editor's paint) while the backing store
        // is still painting; this filter lets it pass that time.
        inside_ = true;
        QCoreApplication::sendEvent(viewport_, event);
        inside_ = false;
        lastPaintEnd = Clock::now();
        ++paints;
        return true;
    }

private:
    QWidget* viewport_;
    bool inside_ = false;
};

struct Figures {
    double mean = 0;
    double median = 0;
    double max = 0;
};

Figures Summarize(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    Figures f;
    for (double v : ms)
        f.mean += v / static_cast<double>(ms.size());
    f.median = ms[ms.size() / 2];
    f.max = ms.back();
    return f;
}

double TimeFirstPaint(hexwindow::HexWindow& window, PaintClock& clock, const QString& path)
{
    const int before = clock.paints;
    const Clock::time_point start = Clock::now();
    if (!window.OpenFile(path)) {
        std::fprintf(stderr, "bench_hexview: the window did not open the file\n");
        std::exit(2);
    }
    while (clock.paints == before)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration<double, std::milli>(clock.lastPaintEnd - start).count();
}

double ThreadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Wall-clock time of each page-down (the key and the repaint it causes),
// and the thread's CPU time of the slowest one: on a shared machine a
// wall-clock spike with little CPU time is the process waiting for a core.
struct PageDowns {
    Figures wall;
    double maxCpu = 0;
};

PageDowns TimePageDowns(THexEditor& editor, std::int32_t from)
{
    editor.SetSelStart(from);
    QApplication::processEvents();
    std::vector<double> wall;
    double maxCpu = 0;
    for (int i = 0; i < kPageDowns; ++i) {
        const double cpuStart = ThreadCpuMs();
        const Clock::time_point start = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&editor, &press);
        editor.viewport()->repaint();
        wall.push_back(MsSince(start));
        maxCpu = std::max(maxCpu, ThreadCpuMs() - cpuStart);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&editor, &release);
        QApplication::processEvents();
    }
    return {Summarize(wall), maxCpu};
}

}  // namespace

int main(int argc, char** argv)
{
    const std::int64_t sizeMiB = argc > 1 ? std::atoll(argv[1]) : 1024;
    const std::int64_t size = std::min<std::int64_t>(sizeMiB << 20, hexwindow::kMaxFileSize);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's settings go to a folder of their own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    const std::string folder = TempFolder();
    const std::string file = MakeFile(folder, size);
    TimeCp(file, folder + "kh-bench-hexview-warm.bin");  // the page cache holds the file from here on

    hexwindow::HexWindow window;
    window.resize(1000, 750);
    window.show();
    QApplication::processEvents();
    THexEditor& editor = window.Editor();
    PaintClock clock(editor.viewport());

    std::vector<double> cp, firstPaint;
    for (int round = 0; round < kRounds; ++round) {
        cp.push_back(TimeCp(file, folder + "kh-bench-hexview-copy.bin"));
        firstPaint.push_back(TimeFirstPaint(window, clock, QString::fromStdString(file)));
    }
    const Figures cpFigures = Summarize(cp);
    const Figures paintFigures = Summarize(firstPaint);

    editor.setFocus();
    const std::int32_t dataSize = editor.DataSize();
    // The last MiB holds far more than kPageDowns pages, so every page-down
    // there moves.
    const PageDowns start = TimePageDowns(editor, 0);
    const PageDowns middle = TimePageDowns(editor, dataSize / 2);
    const PageDowns end = TimePageDowns(editor, std::max(0, dataSize - (1 << 20)));

    const double cpFastest = *std::min_element(cp.begin(), cp.end());
    const double paintFastest = *std::min_element(firstPaint.begin(), firstPaint.end());
    std::printf("file: %lld MiB in %s, window 1000 x 750, %d rounds\n", static_cast<long long>(size >> 20),
                folder.c_str(), kRounds);
    std::printf("cp of the file:          fastest %7.1f ms   median %7.1f ms\n", cpFastest, cpFigures.median);
    std::printf("open to first paint:     fastest %7.1f ms   median %7.1f ms\n", paintFastest, paintFigures.median);
    const auto row = [](const char* where, const PageDowns& p) {
        std::printf("page-down at the %-7s median %5.2f ms   mean %5.2f ms   max %5.2f ms (CPU %5.2f ms)\n", where,
                    p.wall.median, p.wall.mean, p.wall.max, p.maxCpu);
    };
    row("start:", start);
    row("middle:", middle);
    row("end:", end);

    // First paint: the fastest rounds against each other. A page-down: the
    // typical one (the median) at each place; the maxima show how much a
    // busy machine adds.
    const bool paintOk = paintFastest <= cpFastest + kFirstPaintSlackMs;
    const double worstMedian = std::max({start.wall.median, middle.wall.median, end.wall.median});
    const bool pageOk = worstMedian < kPageDownLimitMs;
    std::printf("first paint: %s (%.1f ms, cp %.1f ms + %.0f ms)\n", paintOk ? "met" : "MISSED", paintFastest,
                cpFastest, kFirstPaintSlackMs);
    std::printf("page-down:   %s (median %.2f ms at the slowest place; limit %.0f ms)\n", pageOk ? "met" : "MISSED",
                worstMedian, kPageDownLimitMs);
    return paintOk && pageOk ? 0 : 1;
}
