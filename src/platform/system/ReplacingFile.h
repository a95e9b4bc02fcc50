// Replacing a file safely: the new content is written to a hidden temporary
// file beside the target (".name.XXXXXX" in the target's folder) and renamed
// over the target only once it is complete. A failure never leaves a partial
// file under the target's name nor destroys what stood there, and the
// temporary file is removed on any failure and when the object is destroyed
// before Commit.
#pragma once

#include "platform/system/UniqueFd.h"

#include <string>
#include <sys/types.h>

namespace platform {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile() { Discard(); }

    // Creates the temporary file for target, opened for reading and writing,
    // with mode less the umask (the caller sets an exact mode with fchmod).
    // Refuses a directory standing under the target's name (errno EISDIR).
    // False with errno set when nothing could be created. The name of the
    // temporary file keeps at most 200 bytes of the target's name, so it
    // fits wherever the target's name fits.
    bool Create(const std::string& target, mode_t mode = 0666);

    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }
    const std::string& TemporaryName() const { return temporary_; }

    // Closes the temporary file and renames it over the target. On failure
    // (false, errno set) the temporary file is removed and the target left
    // as it was.
    bool Commit();
    // Closes and removes the temporary file; harmless when there is none.
    void Discard() noexcept;

private:
    std::string target_;
    std::string temporary_;
    UniqueFd fd_;
};

}  // namespace platform
