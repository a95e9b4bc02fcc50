#include "platform/BlockFile.h"

#include "platform/Exceptions.h"
#include "platform/FileUtils.h"

#include <cerrno>
#include <cstdlib>
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
}

void TUntypedFile::Seek(std::int64_t position)
{
    if (!IsOpen())
        throw EInOutError(103);
    if (position < 0)
        throw EInOutError(ioNegativeSeek);
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0)
        RaiseFromErrno(errno);
}

int TUntypedFile::BlockRead(void* buffer, int count)
{
    if (!IsOpen())
        throw EInOutError(103);
    char* out = static_cast<char*>(buffer);
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

int TUntypedFile::BlockWrite(const void* buffer, int count)
{
    if (!IsOpen())
        throw EInOutError(103);
    const char* in = static_cast<const char*>(buffer);
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
    return done;
}

void TUntypedFile::Close()
{
    if (!IsOpen())
        throw EInOutError(103);
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
