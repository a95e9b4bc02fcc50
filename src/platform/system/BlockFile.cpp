// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/BlockFile.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

TUntypedFile::~TUntypedFile()
{
    Abandon();
}

void TUntypedFile::RaiseFromErrno(int err)
{
    throw EInOutError(IoCodeFromErrno(err), err);
}

void TUntypedFile::OpenRegular(int flags)
{
    if (IsOpen())
        Close();
    // Only regular files; a FIFO or a device never stalls the open.
    file_ = OpenRegularFile(path_, flags);
    if (!file_.IsOpen())
        RaiseFromErrno(errno);
    ClearBuffer();
}

void TUntypedFile::Reset(Access access)
{
    OpenRegular(access == Access::ReadOnly ? O_RDONLY : O_RDWR);
}

void TUntypedFile::Rewrite()
{
    OpenRegular(O_RDWR | O_CREAT | O_TRUNC);
}

void TUntypedFile::RewriteReplacing()
{
    if (IsOpen())
        Close();
    if (!replacement_.CreateForRewrite(path_))
        RaiseFromErrno(errno);
    ClearBuffer();
    reach_ = 0;
}

bool TUntypedFile::TakeOver(const std::string& path)
{
    return !IsOpen() && replacement_.Adopt(path, path_);
}

void TUntypedFile::NoteReach()
{
    if (!replacement_.Reused())
        return;
    const off_t at = ::lseek(Fd(), 0, SEEK_CUR);
    if (at > reach_)
        reach_ = at;
}

void TUntypedFile::Settle()
{
    if (buffered_ == Buffered::PendingWrites)
        FlushWrites();
    else if (buffered_ == Buffered::ReadAhead)
        DropReadAhead();
}

std::int64_t TUntypedFile::BlockCopyFrom(TUntypedFile& source, std::int64_t count)
{
    if (!IsOpen() || !source.IsOpen())
        throw EInOutError(103);
    source.Settle();
    Settle();
    const off_t from = ::lseek(source.Fd(), 0, SEEK_CUR);
    const off_t to = ::lseek(Fd(), 0, SEEK_CUR);
    if (from < 0 || to < 0)
        RaiseFromErrno(errno);
    std::int64_t copied = 0;
    const bool complete = CopyRange(source.Fd(), from, Fd(), to, count, &copied);
    const int err = errno;
    if (::lseek(source.Fd(), from + copied, SEEK_SET) < 0 || ::lseek(Fd(), to + copied, SEEK_SET) < 0)
        RaiseFromErrno(errno);
    NoteReach();
    // The end of source is no error, as with BlockRead.
    if (!complete && err != 0)
        RaiseFromErrno(err);
    return copied;
}

void TUntypedFile::Seek(std::int64_t position)
{
    if (!IsOpen())
        throw EInOutError(103);
    if (position < 0)
        throw EInOutError(ioNegativeSeek);
    FlushWrites();
    ClearBuffer();
    if (::lseek(Fd(), static_cast<off_t>(position), SEEK_SET) < 0)
        RaiseFromErrno(errno);
}

void TUntypedFile::SetBufferSize(int bytes)
{
    Settle();
    bytes = bytes > 0 ? bytes : 0;
    buffer_.reset(bytes > 0 ? new char[static_cast<std::size_t>(bytes)] : nullptr);
    bufferSize_ = bytes;
    ClearBuffer();
}

void TUntypedFile::ClearBuffer() noexcept
{
    buffered_ = Buffered::Nothing;
    bufferPos_ = 0;
    bufferLen_ = 0;
}

int TUntypedFile::ReadDirect(char* out, int count)
{
    int done = 0;
    while (done < count) {
        ssize_t n = ::read(Fd(), out + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseFromErrno(errno);
        if (n == 0)
            break;
        done += static_cast<int>(n);
    }
    return done;
}

void TUntypedFile::WriteDirect(const char* in, int count)
{
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(Fd(), in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseFromErrno(errno);
        if (n == 0)
            throw EInOutError(ioDiskFull);
        done += static_cast<int>(n);
    }
    NoteReach();
}

void TUntypedFile::FlushWrites()
{
    if (buffered_ != Buffered::PendingWrites)
        return;
    const int pending = bufferLen_;
    // Whatever happens, the bytes are handed over only once.
    ClearBuffer();
    WriteDirect(buffer_.get(), pending);
}

void TUntypedFile::DropReadAhead()
{
    if (buffered_ != Buffered::ReadAhead)
        return;
    const int unread = bufferLen_ - bufferPos_;
    ClearBuffer();
    if (unread > 0 && ::lseek(Fd(), -static_cast<off_t>(unread), SEEK_CUR) < 0)
        RaiseFromErrno(errno);
}

int TUntypedFile::BlockRead(void* buffer, int count)
{
    if (!IsOpen())
        throw EInOutError(103);
    char* out = static_cast<char*>(buffer);
    if (bufferSize_ == 0)
        return ReadDirect(out, count);
    FlushWrites();
    int done = 0;
    while (done < count) {
        if (buffered_ == Buffered::ReadAhead && bufferPos_ < bufferLen_) {
            const int take = std::min(count - done, bufferLen_ - bufferPos_);
            std::memcpy(out + done, buffer_.get() + bufferPos_, static_cast<std::size_t>(take));
            bufferPos_ += take;
            done += take;
            continue;
        }
        ClearBuffer();
        if (count - done >= bufferSize_)
            return done + ReadDirect(out + done, count - done);
        const int got = ReadDirect(buffer_.get(), bufferSize_);
        if (got == 0)
            break;
        buffered_ = Buffered::ReadAhead;
        bufferLen_ = got;
    }
    return done;
}

int TUntypedFile::BlockWrite(const void* buffer, int count)
{
    if (!IsOpen())
        throw EInOutError(103);
    const char* in = static_cast<const char*>(buffer);
    if (count <= 0)
        return 0;
    if (bufferSize_ == 0) {
        WriteDirect(in, count);
        return count;
    }
    DropReadAhead();
    if (bufferLen_ + count > bufferSize_)
        FlushWrites();
    if (count >= bufferSize_) {
        WriteDirect(in, count);
        return count;
    }
    std::memcpy(buffer_.get() + bufferLen_, in, static_cast<std::size_t>(count));
    bufferLen_ += count;
    buffered_ = Buffered::PendingWrites;
    return count;
}

void TUntypedFile::Close()
{
    if (!IsOpen())
        throw EInOutError(103);
    try {
        FlushWrites();
    } catch (...) {
        Abandon();
        throw;
    }
    ClearBuffer();
    struct stat st {};
    if (replacement_.IsOpen() && replacement_.Reused() &&
        (::fstat(Fd(), &st) != 0 || (st.st_size > reach_ && ::ftruncate(Fd(), reach_) != 0))) {
        const int err = errno;
        Abandon();
        RaiseFromErrno(err);
    }
    const bool closed = replacement_.IsOpen() ? replacement_.Commit() : file_.Close();
    if (!closed) {
        const int err = errno;
        Abandon();
        RaiseFromErrno(err);
    }
}

void TUntypedFile::Abandon() noexcept
{
    ClearBuffer();
    file_.Reset();
    replacement_.Discard();
}

}  // namespace platform
