#include "platform/system/BlockFile.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

TUntypedFile::~TUntypedFile()
{
    Abandon();
}

void TUntypedFile::RaiseFromErrno(int err)
{
    throw EInOutError(IoCodeFromErrno(err));
}

void TUntypedFile::OpenRegular(int flags)
{
    if (IsOpen())
        Close();
    // Non-blocking, so a FIFO or a device never stalls the open; only regular
    // files are accepted.
    int fd = ::open(path_.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        RaiseFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EInOutError(ioAccessDenied);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
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
    // A directory standing under the target name can never be replaced.
    struct stat target {};
    if (::stat(path_.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        throw EInOutError(ioAccessDenied);
    // The temporary name must fit where the target name fits: keep at most
    // 200 bytes of the name, cut before a UTF-8 continuation byte.
    std::string name = ExtractFileName(path_);
    if (name.size() > 200) {
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    std::string pattern = ExtractFilePath(path_) + "." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        RaiseFromErrno(errno);
    // mkostemp creates the file for the owner only; give it the mode a plain
    // create would have.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    temporary_ = temporary.data();
    fd_ = fd;
    ClearBuffer();
}

void TUntypedFile::Seek(std::int64_t position)
{
    if (!IsOpen())
        throw EInOutError(103);
    if (position < 0)
        throw EInOutError(ioNegativeSeek);
    FlushWrites();
    ClearBuffer();
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
        RaiseFromErrno(errno);
}

void TUntypedFile::SetBufferSize(int bytes)
{
    if (buffered_ == Buffered::PendingWrites)
        FlushWrites();
    else if (buffered_ == Buffered::ReadAhead)
        DropReadAhead();
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
        ssize_t n = ::read(fd_, out + done, static_cast<size_t>(count - done));
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
        ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseFromErrno(errno);
        if (n == 0)
            throw EInOutError(ioDiskFull);
        done += static_cast<int>(n);
    }
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
    if (unread > 0 && ::lseek(fd_, -static_cast<off_t>(unread), SEEK_CUR) < 0)
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
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        Abandon();
        RaiseFromErrno(err);
    }
    if (!temporary_.empty()) {
        if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
            const int err = errno;
            Abandon();
            RaiseFromErrno(err);
        }
        temporary_.clear();
    }
}

void TUntypedFile::Abandon() noexcept
{
    ClearBuffer();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace platform
