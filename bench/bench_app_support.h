// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What the start-up benchmarks share: spawning zeb without its diagnostics, and the median.
#pragma once

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Spawns `program` with stderr on /dev/null: Qt's notes about the environment would drown the
// figures. Returns posix_spawn's error (0 on success).
inline int SpawnQuietly(pid_t* pid, const std::string& program, char** argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int error = posix_spawn(pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace bench
