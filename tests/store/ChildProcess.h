// A forked second process for a test, running a function (which may exec a program) and talking to
// the test through pipes. Every wait of the test on it is bounded.
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
        int down[2] = {-1, -1};
        if (::pipe2(up, O_CLOEXEC) != 0 || ::pipe2(down, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        const bool child = pid_ == 0;
        ::close(child ? up[0] : up[1]);
        ::close(child ? down[1] : down[0]);
        in_ = child ? down[0] : up[0];
        out_ = child ? up[1] : down[1];
        if (child) {
            body(*this);
            ::_exit(0);
        }
    }
    ~ChildProcess() {
        ::close(in_);
        ::close(out_);
        if (pid_ > 0) {
            kill();
            wait();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // In the child: the pipe to the test (to become a program's standard output), a line to the
    // test, and a wait for the test's resume().
    int toTest() const { return out_; }
    void say(const std::string& line) {
        (void)!::write(out_, (line + "\n").data(), line.size() + 1);
    }
    void hold() {
        char go = 0;
        (void)!::read(in_, &go, 1);
    }

    // In the test.
    bool started() const { return pid_ > 0; }
    void resume() { (void)!::write(out_, "g", 1); }
    void kill() { ::kill(pid_, SIGKILL); }
    // The child's next line; "<silent>" once it has ended or kept quiet for 30 seconds.
    std::string heard() {
        std::string line;
        for (char c = 0; c != '\n'; line += c) {
            pollfd ready{in_, POLLIN, 0};
            if (::poll(&ready, 1, 30'000) != 1 || ::read(in_, &c, 1) != 1) {
                return "<silent>";
            }
        }
        line.pop_back();
        return line;
    }
    // The exit status once the child has ended; -1 when a signal ended it.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};
