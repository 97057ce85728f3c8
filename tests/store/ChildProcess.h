// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// A forked process running a function, telling the test lines through a pipe; every wait bounded.
#pragma once

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class ChildProcess {
public:
    explicit ChildProcess(const std::function<void(ChildProcess&)>& body) {
        int up[2] = {-1, -1};
        if (::pipe2(up, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        ::close(pid_ == 0 ? up[0] : up[1]);
        pipe_ = pid_ == 0 ? up[1] : up[0];
        if (pid_ == 0) {
            body(*this);
            ::_exit(0);
        }
    }
    ~ChildProcess() {
        ::close(pipe_);
        if (pid_ > 0) {
            kill();
            wait();
        }
    }
    // In the child: the pipe to the test (to become a program's standard output), a line to it.
    int toTest() const { return pipe_; }
    void say(const std::string& line) {
        (void)!::write(pipe_, (line + "\n").data(), line.size() + 1);
    }

    // In the test.
    void kill() { ::kill(pid_, SIGKILL); }
    // The child's next line; "<silent>" once it has ended or kept quiet for 30 seconds.
    std::string heard() {
        std::string line;
        for (char c = 0; c != '\n'; line += c) {
            pollfd ready{pipe_, POLLIN, 0};
            if (::poll(&ready, 1, 30'000) != 1 || ::read(pipe_, &c, 1) != 1) {
                return "<silent>";
            }
        }
        return line.substr(0, line.size() - 1); // without its '\n'
    }
    int wait() { // the exit status once the child has ended; -1 when a signal ended it
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};
