// SPDX-License-Identifier: GPL-3.0-or-later
// The private file a document lives in: "<tick as 8 hex digits>.ZQWK" in the
// temporary folder, created exclusively (0600, never through a symbolic link)
// when the name is chosen. Its identity (device, inode) is kept: a file of
// that name that is not the one created here is never opened, written or
// deleted. All access is positional (pread/pwrite), so there is no stream
// position to keep in step. From its creation to its removal the file carries
// the in-use lock (platform/system/InUseLock.h): one without it was left by a
// killed process, and RemoveAbandoned clears such files away.
//
// A range of the file can be shared with an undo record (Share): the record
// reads the working copy's own bytes until the working copy is about to
// change them. Then either the file goes to the record and a new working
// copy under the same name takes the bytes that stay (a cut of the end that
// keeps no more bytes than it removes: the record's bytes are never copied),
// or the shared bytes are copied to a file of the record's own first.
#pragma once

#include "hexeditor/core/SavedFile.h"
#include "platform/system/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
struct FileStatus;
}

namespace hexcore {

class WorkingCopy {
public:
    // MoveBlock shifts a block in pieces of at most this many bytes.
    static constexpr std::int32_t kMovePiece = 256 * 1024;

    // Chooses the name from the current tick on, passing over names that
    // exist in any form, and creates the file (left closed).
    WorkingCopy();
    // Closes the file and removes it when it is still the one created here.
    ~WorkingCopy();
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    // The name for a tick count: folder + tick as 8 upper-case hex digits +
    // ".ZQWK".
    static std::string NameFor(const std::string& folder, std::uint32_t tick);
    // Removes from folder (ending in "/") every file of the working-copy name
    // form (8 upper-case hex digits + ".ZQWK"), or of a replacement of one
    // under way, that belongs to this user and that no process holds locked.
    // Anything else stays.
    static void RemoveAbandoned(const std::string& folder);
    const std::string& Name() const { return name_; }

    bool IsOpen() const { return fd_.IsOpen(); }
    // Opens the file for reading and writing (nothing when it is open):
    // only the file created here; when it is gone from the folder and
    // mayCreate is set, it is created afresh. Raises EInOutError otherwise.
    void Open(bool mayCreate);
    // Closes the file; its content stays.
    void Close()
    {
        fd_.Reset();
        length_ = -1;
    }
    // Empties the file and closes it; the file stays, reserved for this
    // document.
    void CloseEmptied();

    // The file's length; 0 when it is not open. Raises EInOutError when the
    // system cannot tell it.
    [[nodiscard]] std::int64_t Length() const;
    // Sets the length. Lengthening allocates the new bytes (zeros) on the
    // disk, so a full disk fails here and not at a later write into a sparse
    // tail. On failure the length is as it was and EInOutError is raised for
    // the errno.
    void SetLength(std::int64_t length);
    // Reads up to count bytes at offset; how many were read (fewer only at the
    // end of the file). Raises EInOutError when a read fails.
    std::int64_t ReadAt(void* destination, std::int64_t count, std::int64_t offset) const;
    // Writes count bytes at offset; raises EInOutError when not all of them
    // could be written (some may have been).
    void WriteAt(const void* source, std::int64_t count, std::int64_t offset);
    // Copies count bytes from one offset to another, overlapping ranges
    // included, through one buffer of at most kMovePiece bytes allocated
    // before anything moves (EOutOfMemory leaves the file untouched).
    //
    // When a read or write fails, the move first puts back every source byte
    // it has written over (from the copies it made and from its buffer), so
    // the source range holds what it held; with outside given it also puts
    // back the bytes it wrote over in the part of the destination that lies
    // outside the source range (outside holds that part as it was: for a move
    // down the min(count, from - to) bytes at to, for a move up the
    // min(count, to - from) bytes that end at to + count). Then it raises
    // the EInOutError. Putting back writes only where the move has written
    // just before; should that fail as well, the file stays as the failed
    // move left it.
    void MoveBlock(std::int64_t from, std::int64_t to, std::int64_t count, const SavedBytes& outside = {});

    // Writes count bytes of source from its position from to offset at;
    // raises EInOutError when that failed (some bytes may have been
    // written).
    void Put(const SavedBytes& source, std::int64_t count, std::int64_t from, std::int64_t at);

    // Copies the file open as source over the open file's content; raises
    // EInOutError when the copy failed (errno ENOSPC, EDQUOT or EFBIG when
    // this file could not take the bytes) or stopped short (errno 0).
    void CopyFrom(int source);

    // A copy of the bytes offset .. offset + length - 1 in an unlinked file
    // of its own; raises EInOutError when it cannot be made.
    std::unique_ptr<SavedFile> CopyOut(std::int64_t offset, std::int64_t length) const;
    // The bytes offset .. offset + length - 1 of the open file as a saved
    // file for an undo record; they stay as they are for as long as the
    // record lives. Raises EInOutError when that cannot be arranged.
    std::shared_ptr<SavedFile> Share(std::int64_t offset, std::int64_t length);
    // Writes the content into a replacement of path beside it (a symbolic
    // link is written through, the target keeps its permissions and, where
    // allowed, its owner) and closes this file before the new one takes the
    // target's place; a failing close fails the save. Raises EInOutError
    // when the target was left as it was. The file is closed afterwards
    // either way.
    void SaveTo(const std::string& path);

private:
    // Creates the file exclusively and remembers its identity; raises
    // EInOutError on failure (errno EEXIST: the name is taken).
    platform::UniqueFd Create();
    bool IsOwn(const platform::FileStatus& status) const;
    // Called before the bytes from .. to - 1 change (to: -1 for every byte
    // to the end); keep, when not negative, is the length the file is cut to
    // with nothing else changed. Gives the record sharing any of those bytes
    // a file of its own: the old file when a cut keeps at most as many bytes
    // as the record holds (SplitOff), a copy otherwise.
    void Unshare(std::int64_t from, std::int64_t to, std::int64_t keep = -1);
    // Hands the open file to the shared record and puts a new file under the
    // name (a replacement written beside it), with the first keep bytes of
    // the old one and the in-use lock.
    void SplitOff(std::int64_t keep);

    std::string name_;
    platform::UniqueFd fd_;
    // Holds the in-use lock of the file created here.
    platform::UniqueFd lock_;
    bool created_ = false;
    std::uint64_t dev_ = 0;
    std::uint64_t ino_ = 0;
    // The open file's length as last seen, -1 when unknown: the batch asks
    // for it many times between two changes. Everything that writes or
    // resizes the file forgets it; nobody else writes the file.
    mutable std::int64_t length_ = -1;
    // The record sharing bytes of the open file, while it lives.
    std::weak_ptr<SavedFile> shared_;
};

}  // namespace hexcore
