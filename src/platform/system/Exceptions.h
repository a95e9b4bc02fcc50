// SPDX-License-Identifier: GPL-3.0-or-later
// Exception classes shared by every component. One general exception carries a
// message; the I/O error carries the error code it was raised for as well.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace platform {

// The framework's general exception: a message and nothing else.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// An I/O error with its code; the message is the German text for the code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
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
    explicit EFOpenError(const std::string& path);
};

// A file that cannot be created: "Datei %s kann nicht erstellt werden".
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& path);
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

// The text an error shows: its message, and for memory exhausted (the
// standard library's std::bad_alloc as well as EOutOfMemory) the German
// out-of-memory text.
std::string ErrorText(const std::exception& e);

}  // namespace platform
