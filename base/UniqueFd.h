// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// UniqueFd: the one owner of a POSIX file descriptor in ZEB. It closes the descriptor when dropped
// or reset, so no path out of a function leaks one; moving hands the descriptor over, copying is
// not possible. NO_FD is "none". POSIX only (the Windows build uses no descriptors).
#pragma once

#include <unistd.h>
#include <utility>

namespace zeb {

class UniqueFd {
public:
    // What open(2) and friends answer on failure, so their answer can be held as it comes.
    static constexpr int NO_FD = -1;

    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, NO_FD)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.fd_, NO_FD));
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, telling whether close(2) succeeded: a file's delayed write error shows only
    // here. The descriptor is given up either way.
    bool close() { return ::close(std::exchange(fd_, NO_FD)) == 0; }
    void reset(int fd = NO_FD) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = NO_FD;
};

} // namespace zeb
