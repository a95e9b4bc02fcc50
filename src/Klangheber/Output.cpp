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

}  // namespace

void Emit(std::FILE* stream, const std::string& text)
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
