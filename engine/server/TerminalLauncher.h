// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Bringing up the terminal window: which terminal program, whether there is a display for it, the
// private socket on which the session side inside the window reports back, and the running
// terminal process itself.
#pragma once

#include "InitFile.h"
#include "Outcome.h"
#include "UniqueFd.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace zeb::engine {

// The terminal program's command, its program resolved to a full path. Chosen by the
// initialization file, else by $TERMINAL (terminalVariable, may be null), else the first of
// x-terminal-emulator and xterm that is installed. A program named by the file or by $TERMINAL
// that is not there is a failure: the user asked for it, so another one would be a surprise.
Outcome<std::vector<std::string>> chooseTerminalCommand(const EngineSettings& settings,
                                                        const char* terminalVariable);

// Whether a window can be opened: DISPLAY or WAYLAND_DISPLAY must be set, and an X display named
// by DISPLAY (without Wayland) must accept a connection. Fails with a text saying which.
Outcome<Done> checkDisplay();

// The listening end of the private socket. It lives in a folder of its own (mode 0700) in
// $XDG_RUNTIME_DIR, or in the temporary folder, and only a peer of the same user is accepted.
// Dropping it removes the socket and its folder.
class SessionRendezvous {
public:
    static Outcome<SessionRendezvous> create();
    SessionRendezvous(SessionRendezvous&&) noexcept;
    SessionRendezvous& operator=(SessionRendezvous&&) = delete; // one per engine, never replaced
    ~SessionRendezvous();

    const std::string& socketPath() const { return socketPath_; }
    int listenFd() const { return listener_.get(); }
    // The session's connection when one is waiting; invalid otherwise (never blocks).
    UniqueFd acceptSession();

private:
    SessionRendezvous() = default;
    void removeFiles();

    std::string folder_;
    std::string socketPath_;
    UniqueFd listener_;
};

// The terminal program, started in a session of its own with standard input and output on
// /dev/null and no descriptor but standard error besides, so that it outlives both ZEB and the
// engine's protocol side and holds none of their pipes.
class TerminalProcess {
public:
    static Outcome<TerminalProcess> spawn(const std::vector<std::string>& argv);

    // Why the window will not come, once the process has ended with a failure; empty while it
    // runs and after a clean end (some terminal programs hand the window to a server and leave).
    std::string failedHow();

private:
    TerminalProcess(pid_t pid, std::string program) : pid_(pid), program_(std::move(program)) {}
    pid_t pid_;
    std::string program_;
    std::string failure_;
    bool ended_ = false;
};

// The command that runs the session side inside the terminal: terminal words, "-e", this program,
// "--session" and the socket path.
std::vector<std::string> sessionCommand(const std::vector<std::string>& terminal,
                                        const std::string& engineProgram,
                                        const std::string& socketPath);

// This program's own path, for starting its session side.
std::string ownProgramPath();

} // namespace zeb::engine
