// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include "RecordingMessageSink.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace fuzzsupport {

void StartApplication()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    std::signal(SIGXFSZ, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "klangheber-fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    platform::Application().SetTitle(QStringLiteral("Klangheber"));
    static testsupport::RecordingMessageSink sink;
    platform::Application().SetSink(&sink);
}

std::string MakeFolder(const std::string& prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    return std::string(name.data()) + "/";
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Fail(__FILE__, __LINE__, "cannot create " + path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            Fail(__FILE__, __LINE__, "cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace fuzzsupport
