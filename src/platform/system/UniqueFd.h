// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor that closes itself: the one owner of an open descriptor.
#pragma once

namespace platform {

class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    // Closes the descriptor; an error of that close is lost (use Close to
    // learn it).
    ~UniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept;
    // Closes the held descriptor (ignoring its error) and takes fd instead.
    void Reset(int fd = -1) noexcept;
    // Closes the descriptor now. False, with errno set, when the close
    // reported an error (the descriptor is released either way); true when
    // none was open.
    [[nodiscard]] bool Close() noexcept;

private:
    int fd_ = -1;
};

}  // namespace platform
