// SPDX-License-Identifier: GPL-3.0-or-later
// The least file traffic of a conversion, without the program around it:
// for every *.umx below FOLDER, copy the package into one reused working
// file, cut that file to its first 500 bytes, write those to a new file
// NAME.floor beside the package, read them back into the working file, then
// write the whole package into NAME.floor after them. No undo record, no
// search, no events, no checks: what is left is the bytes a conversion must
// move and the one file it must create per package. bench/batch.sh times it
// beside cp and the batch.
//
// Usage: traffic_floor FOLDER   (the working file lives in $TMPDIR or /tmp)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr off_t kScanLength = 500;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "traffic_floor: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

std::vector<char>& Buffer()
{
    static std::vector<char> buffer(1 << 20);
    return buffer;
}

// Through a buffer, as the batch copies where the kernel's copy is slower
// or refused.
void CopyThroughBuffer(int in, off_t inOffset, int out, off_t outOffset, off_t count, const std::string& what)
{
    std::vector<char>& buffer = Buffer();
    for (off_t done = 0; done < count;) {
        const size_t wanted = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(buffer.size()), count - done));
        const ssize_t n = ::pread(in, buffer.data(), wanted, inOffset + done);
        if (n <= 0 || ::pwrite(out, buffer.data(), static_cast<size_t>(n), outOffset + done) != n)
            Fail(what);
        done += n;
    }
}

// By the kernel (as cp and the batch's load copy), through a buffer where
// the two files lie on different file systems.
void CopyAll(int in, int out, off_t count, const std::string& what)
{
    loff_t from = 0;
    loff_t to = 0;
    while (from < count) {
        const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<size_t>(count - from), 0);
        if (n < 0 && from == 0 && (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP))
            return CopyThroughBuffer(in, 0, out, 0, count, what);
        if (n <= 0)
            Fail(what);
    }
}

void ConvertOne(const std::string& package, int work)
{
    const int in = ::open(package.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0)
        Fail(package);
    // Load and cut.
    CopyAll(in, work, st.st_size, "load " + package);
    if (::ftruncate(work, kScanLength) != 0)
        Fail("cut");
    // The scan copy, and the reload of it.
    const std::string scanCopy = package.substr(0, package.size() - 4) + ".floor";
    const int out = ::open(scanCopy.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0)
        Fail(scanCopy);
    char head[kScanLength];
    if (::pread(work, head, sizeof head, 0) != kScanLength || ::pwrite(out, head, sizeof head, 0) != kScanLength ||
        ::pread(out, head, sizeof head, 0) != kScanLength || ::pwrite(work, head, sizeof head, 0) != kScanLength)
        Fail("scan copy " + scanCopy);
    // The module: the package's bytes after the scan copy's, through a
    // buffer as the batch copies them (the offsets never line up).
    CopyThroughBuffer(in, 0, out, kScanLength, st.st_size, "module " + scanCopy);
    ::close(out);
    ::close(in);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: traffic_floor FOLDER\n");
        return 2;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string workName = std::string(tmp && *tmp ? tmp : "/tmp") + "/traffic_floor.work";
    const int work = ::open(workName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (work < 0)
        Fail(workName);
    ::unlink(workName.c_str());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file() && path.size() > 4 && path.compare(path.size() - 4, 4, ".umx") == 0)
            ConvertOne(path, work);
    }
    ::close(work);
    return 0;
}
