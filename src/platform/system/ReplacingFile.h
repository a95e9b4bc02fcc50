// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file safely: the new content is written to a hidden temporary
// file beside the target (".name.XXXXXX" in the target's folder) and renamed
// over the target only once it is complete. A failure never leaves a partial
// file under the target's name nor destroys what stood there, and the
// temporary file is removed on any failure and when the object is destroyed
// before Commit. While it is open the temporary file carries the in-use lock
// (InUseLock.h), so that only one left by a killed process counts as
// abandoned.
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
    [[nodiscard]] bool Create(const std::string& target, mode_t mode = 0666);
    // Create for a file that is written anew, with the rights a rewrite in
    // place would need: an existing regular file under the target's name
    // must be one the user may open for writing (false with the errno of
    // that open otherwise), and the new file takes over its permission bits
    // and, where the user may give it away, its owner. Anything else under
    // the name (a symbolic link, a FIFO) is replaced like a missing file.
    [[nodiscard]] bool CreateForRewrite(const std::string& target);

    // Takes the regular file at path (this user's, with no other link, not
    // locked by anyone) as the temporary file that the next Create for
    // target uses, instead of creating a new one: it is renamed to a
    // temporary name of target at once (so it is gone from its own name
    // whatever follows) and locked. Create empties it; Discard removes it.
    // False, with nothing changed, when the file cannot be taken. A new file
    // costs the file system an inode; a run that deletes one file and
    // creates another can reuse the first this way.
    [[nodiscard]] bool Adopt(const std::string& path, const std::string& target);
    // The temporary file is one taken by Adopt.
    bool Reused() const { return reused_; }

    // True when name (without a folder) has the form of a temporary file
    // this class makes for target: "." + target's name (cut as Create cuts
    // it) + "." + six letters or digits.
    static bool IsTemporaryNameOf(const std::string& name, const std::string& target);

    bool IsOpen() const { return fd_.IsOpen(); }
    int Fd() const { return fd_.Get(); }
    const std::string& TemporaryName() const { return temporary_; }

    // Closes the temporary file and renames it over the target. On failure
    // (false, errno set) the temporary file is removed and the target left
    // as it was.
    [[nodiscard]] bool Commit();
    // Closes and removes the temporary file; harmless when there is none.
    void Discard() noexcept;

private:
    // The folder and name start of target's temporary files.
    static std::string Stem(const std::string& target);
    // Makes the adopted file the temporary file, with mode less the umask. False (errno set) when that failed.
    bool UseAdopted(mode_t mode);

    std::string target_;
    std::string temporary_;
    UniqueFd fd_;
    // Holds the in-use lock until the temporary file is renamed or removed.
    UniqueFd lock_;
    // A file taken by Adopt, not yet used by Create: its descriptor (which
    // holds the lock) and temporary name.
    UniqueFd adopted_;
    std::string adoptedName_;
    bool reused_ = false;
};

}  // namespace platform
