// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "FdIo.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace zeb {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
        } else if (written < 0 && errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, -1);
        } else if (written < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool writeWithoutWaiting(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<size_t>(written));
        } else if (written == 0) {
            errno = EAGAIN;
            return false;
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::string readSome(int fd) {
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got >= 0) {
            errno = 0;
            return std::string(buffer, static_cast<size_t>(got));
        }
        if (errno != EINTR) {
            return {};
        }
    }
}

} // namespace zeb
