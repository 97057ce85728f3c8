// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Plain descriptor input and output that survive interruptions and non-blocking descriptors.
#pragma once

#include <string>
#include <string_view>

namespace zeb {

// Writes all bytes, waiting while the descriptor is full. False on an error (errno tells which).
bool writeAll(int fd, std::string_view bytes);

// Writes all bytes if the descriptor takes them now. False on an error, or with errno EAGAIN when
// it is full.
bool writeWithoutWaiting(int fd, std::string_view bytes);

// One read of what is there: bytes, or an empty text at end of input or on an error (errno is 0 at
// the end, else the error). Interruptions are retried.
std::string readSome(int fd);

} // namespace zeb
