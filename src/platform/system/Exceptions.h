// SPDX-License-Identifier: GPL-3.0-or-later
// Exception classes shared by every component: the one way a failure leaves
// a function of the components. Every exception carries its German message
// and, where a system call failed, that call's errno; the system room raises
// them (RaiseSystemError), the components raise them or let them pass.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace platform {

// The framework's general exception: a message, and the errno of the system
// call whose failure it reports (0 when no system call failed).
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message, int err = 0) : std::runtime_error(message), errno_(err) {}
    std::string Message() const { return what(); }
    int Errno() const { return errno_; }

private:
    int errno_;
};

// An I/O error with its code; the message is the German text for the code.
class EInOutError : public Exception {
public:
    // code is the I/O error code (IoCode); err the errno it was mapped from.
    explicit EInOutError(int code, int err = 0);
    int ErrorCode() const { return code_; }
    // German message for an I/O error code.
    static std::string TextFor(int code);

private:
    int code_;
};

// A text that is not a decimal integer.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened: "Datei %s kann nicht geöffnet werden".
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& path, int err = 0);
};

// A file that cannot be created: "Datei %s kann nicht erstellt werden".
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& path, int err = 0);
};

// The silent exception: it ends the step in progress without an error box,
// because the program is being ended.
class EAbort : public Exception {
public:
    EAbort();
};

// Memory exhausted: "Zu wenig Arbeitsspeicher".
class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};

// I/O error codes as the platform reports them.
enum IoCode : int {
    ioFileNotFound = 2,
    ioPathNotFound = 3,
    ioTooManyOpenFiles = 4,
    ioAccessDenied = 5,
    ioReadBeyondEnd = 100,
    ioDiskFull = 101,
    ioInvalidNumericInput = 106,
    ioNegativeSeek = 131,
};

// Maps an errno value onto the I/O error code reported for it.
int IoCodeFromErrno(int err);

// Raises the EInOutError of a failed system call: the code reported for err
// and err itself. err 0 stands for a read that found the end of the file
// before the bytes it needed (ioReadBeyondEnd).
[[noreturn]] void RaiseSystemError(int err);
// The same for the errno left by the call that just failed.
[[noreturn]] void RaiseLastSystemError();

// Runs step and lets a failure it raises go. For the few places where a
// failure must not replace the one being handled, or has nobody left to be
// told: undoing the first steps of a change that failed, removing a
// temporary file on the way out of an error, cleaning up at the end of a
// run. True when step succeeded. Every such place goes through here, so
// that a failure is never dropped by accident.
template <typename Step>
bool IgnoreFailure(Step&& step) noexcept
{
    try {
        step();
        return true;
    } catch (const std::exception&) {
        return false;  // the caller chose to go on without it, see above
    }
}
// The same for a call that reports its failure by its result, where nothing
// may be raised (a signal handler).
constexpr void IgnoreFailure(bool /*succeeded*/) noexcept {}

// The text an error shows: its message, and for memory exhausted (the
// standard library's std::bad_alloc as well as EOutOfMemory) the German
// out-of-memory text.
std::string ErrorText(const std::exception& e);

}  // namespace platform
