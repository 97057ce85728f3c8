// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What the benchmarks share: spawning a program without its diagnostics, a private X server and
// the median.
#pragma once

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

// Spawns `program` with stderr on /dev/null: Qt's notes about the environment would drown the
// figures. Returns posix_spawn's error (0 on success).
inline int SpawnQuietly(pid_t* pid, const std::string& program, char** argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int error = posix_spawnp(pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// An Xvfb of the benchmark's own, ended with it; display() is empty when none could be started
// (Xvfb missing). Started before any Qt application, so that one can be opened on it.
class PrivateXServer {
public:
    PrivateXServer() {
        int channel[2];
        if (pipe(channel) != 0) {
            return;
        }
        const std::string fd = std::to_string(channel[1]);
        char* argv[] = {const_cast<char*>("Xvfb"),        const_cast<char*>("-displayfd"),
                        const_cast<char*>(fd.c_str()),    const_cast<char*>("-noreset"),
                        const_cast<char*>("-nolisten"),   const_cast<char*>("tcp"),
                        const_cast<char*>("-screen"),     const_cast<char*>("0"),
                        const_cast<char*>("1024x768x24"), nullptr};
        const bool spawned = SpawnQuietly(&pid_, "Xvfb", argv) == 0;
        close(channel[1]);
        std::string number;
        char digit = 0;
        while (spawned && read(channel[0], &digit, 1) == 1 && digit != '\n') {
            number += digit;
        }
        close(channel[0]);
        if (!number.empty()) {
            display_ = ":" + number;
        }
    }
    ~PrivateXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

} // namespace bench
