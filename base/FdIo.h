// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Plain descriptor input and output that survive interruptions and non-blocking descriptors: the
// one place where ZEB loops over write(2) and poll(2). POSIX only. Nothing here owns a descriptor
// (UniqueFd.h does) or throws; failures leave errno as the system set it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zeb {

using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline NO_DEADLINE = Deadline::max();

// Waits until `fd` is ready for `events` (poll(2)'s POLLIN, POLLOUT...); true also when poll
// reports the descriptor hung up or failed, which the next read or write then tells. False once
// `deadline` has passed (errno ETIMEDOUT) or when poll itself fails.
bool waitFor(int fd, short events, Deadline deadline);

// Writes all bytes, waiting while the descriptor is full, until `deadline` at the latest. False on
// an error (errno tells which; ETIMEDOUT when the descriptor stayed full past the deadline).
bool writeAll(int fd, std::string_view bytes, Deadline deadline = NO_DEADLINE);

// Writes all bytes if the descriptor takes them now. False on an error, or with errno EAGAIN when
// it is full.
bool writeWithoutWaiting(int fd, std::string_view bytes);

// One read of what is there: bytes, or an empty text at end of input or on an error (errno is 0 at
// the end, else the error). Interruptions are retried.
std::string readSome(int fd);

} // namespace zeb
