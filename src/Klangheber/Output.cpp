// SPDX-License-Identifier: GPL-3.0-or-later
#include "Klangheber/Output.h"

#include "platform/system/Exceptions.h"

#include <cerrno>

namespace klangheber {

namespace {

struct Failure {
    const char* stream = nullptr;
    int err = 0;
};

Failure& FirstFailure()
{
    static Failure failure;
    return failure;
}

std::string& Progress()
{
    static std::string line;
    return line;
}

// Erases the terminal's current line and returns to its start.
const char* const kClearLine = "\r\x1b[K";

void Write(std::FILE* stream, const std::string& text)
{
    if (std::fputs(text.c_str(), stream) >= 0 && std::fflush(stream) == 0)
        return;
    const int err = errno;
    std::clearerr(stream);
    Failure& failure = FirstFailure();
    if (err == EPIPE || failure.stream)
        return;
    failure.stream = stream == stdout ? "Standardausgabe" : "Standardfehlerausgabe";
    failure.err = err;
}

}  // namespace

void Emit(std::FILE* stream, const std::string& text)
{
    const std::string& progress = Progress();
    if (progress.empty()) {
        Write(stream, text);
        return;
    }
    Write(stderr, kClearLine);
    Write(stream, text);
    Write(stderr, progress);
}

void ShowProgress(const std::string& line)
{
    Write(stderr, kClearLine + line);
    Progress() = line;
}

bool OutputFailed()
{
    return FirstFailure().stream != nullptr;
}

std::string OutputFailureText()
{
    const Failure& failure = FirstFailure();
    return std::string(failure.stream) + " kann nicht geschrieben werden: " +
           platform::EInOutError::TextFor(platform::IoCodeFromErrno(failure.err));
}

}  // namespace klangheber
