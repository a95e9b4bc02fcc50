// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/Exceptions.h"

#include <cerrno>
#include <new>

namespace platform {

std::string EInOutError::TextFor(int code)
{
    switch (code) {
    case ioFileNotFound: return "Datei nicht gefunden";
    case ioPathNotFound: return "Ungültiger Dateiname";
    case ioTooManyOpenFiles: return "Zu viele geöffnete Dateien";
    case ioAccessDenied: return "Dateizugriff verweigert";
    case ioReadBeyondEnd: return "Versuch hinter dem Dateiende zu lesen";
    case ioDiskFull: return "Zu wenig Speicherplatz";
    case ioInvalidNumericInput: return "Ungültige numerische Eingabe";
    default: return "E/A-Fehler " + std::to_string(code);
    }
}

EInOutError::EInOutError(int code, int err) : Exception(TextFor(code), err), code_(code) {}

EFOpenError::EFOpenError(const std::string& path, int err)
    : Exception("Datei " + path + " kann nicht geöffnet werden", err)
{
}

EFCreateError::EFCreateError(const std::string& path, int err)
    : Exception("Datei " + path + " kann nicht erstellt werden", err)
{
}

EAbort::EAbort() : Exception("Vorgang abgebrochen") {}

EOutOfMemory::EOutOfMemory() : Exception("Zu wenig Arbeitsspeicher") {}

int IoCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return ioFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return ioPathNotFound;
    case EMFILE:
    case ENFILE: return ioTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return ioAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ioDiskFull;
    default: return err;
    }
}

void RaiseSystemError(int err)
{
    throw EInOutError(err == 0 ? ioReadBeyondEnd : IoCodeFromErrno(err), err);
}

void RaiseLastSystemError()
{
    RaiseSystemError(errno);
}

std::string ErrorText(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return EOutOfMemory().Message();
    return e.what();
}

}  // namespace platform
