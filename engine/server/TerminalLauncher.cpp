// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "TerminalLauncher.h"

#include "CommandWords.h"
#include "SessionLink.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zeb::engine {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isNonEmpty(const char* text) {
    return text != nullptr && *text != '\0';
}

bool isUsableFolder(const char* path) {
    struct stat info {};
    return isNonEmpty(path) && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(path, W_OK | X_OK) == 0;
}

// The program's full path: a name with a slash is taken as it stands, anything else is looked up
// in $PATH. Empty when there is no such executable file.
std::string findProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return isExecutableFile(name) ? name : std::string{};
    }
    const char* pathVariable = std::getenv("PATH");
    const std::string path =
        isNonEmpty(pathVariable) ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find(':', start), path.size());
        const std::string folder = end == start ? "." : path.substr(start, end - start);
        if (const auto candidate = folder + "/" + name; isExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

Outcome<std::vector<std::string>> resolvedCommand(std::vector<std::string> command,
                                                  const std::string& chosenBy) {
    const std::string path = findProgram(command.front());
    if (path.empty()) {
        return Failure{"The terminal program \"" + command.front() + "\" named by " + chosenBy +
                       " was not found."};
    }
    command.front() = path;
    return command;
}

// Where the private socket's folder goes: the user's runtime folder, else the temporary folder.
std::vector<std::string> rendezvousBases() {
    std::vector<std::string> bases;
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        if (const char* base = std::getenv(variable); isUsableFolder(base)) {
            bases.emplace_back(base);
        }
    }
    bases.emplace_back("/tmp");
    return bases;
}

// The private socket's name inside its folder.
constexpr std::string_view SOCKET_NAME = "/session";

std::string describeWaitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return "exit status " + std::to_string(WEXITSTATUS(waitStatus));
    }
    return "signal " + std::to_string(WTERMSIG(waitStatus));
}

} // namespace

Outcome<std::vector<std::string>> chooseTerminalCommand(const EngineSettings& settings,
                                                        const char* terminalVariable) {
    if (!settings.terminalCommand.empty()) {
        return resolvedCommand(settings.terminalCommand, "the initialization file");
    }
    if (isNonEmpty(terminalVariable)) {
        auto words = protocol::splitCommandWords(terminalVariable);
        if (failed(words)) {
            return Failure{"TERMINAL: " + failureOf(words)};
        }
        auto command = std::get<std::vector<std::string>>(words);
        if (!command.empty()) {
            return resolvedCommand(std::move(command), "TERMINAL");
        }
    }
    for (const char* fallback : {"x-terminal-emulator", "xterm"}) {
        if (const auto path = findProgram(fallback); !path.empty()) {
            return std::vector<std::string>{path};
        }
    }
    return Failure{"No terminal program was found: neither the initialization file nor TERMINAL "
                   "names one, and neither x-terminal-emulator nor xterm is installed."};
}

Outcome<Done> checkDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!isNonEmpty(x) && !isNonEmpty(wayland)) {
        return Failure{"There is no display to open the terminal window on: neither DISPLAY nor "
                       "WAYLAND_DISPLAY is set."};
    }
    if (isNonEmpty(wayland)) {
        return Done{};
    }
    Display* display = XOpenDisplay(x);
    if (display == nullptr) {
        return Failure{"There is no display to open the terminal window on: the display \"" +
                       std::string(x) + "\" cannot be opened."};
    }
    XCloseDisplay(display);
    return Done{};
}

Outcome<SessionRendezvous> SessionRendezvous::create() {
    std::string lastError = "no folder for it";
    for (const auto& base : rendezvousBases()) {
        std::string folder = base + "/orvane-engine-XXXXXX";
        sockaddr_un address{};
        // mkdtemp keeps the length, so the socket's path can be measured before the folder exists.
        if (folder.size() + SOCKET_NAME.size() >= sizeof address.sun_path) {
            lastError = "the path in " + base + " is too long for a socket";
            continue;
        }
        if (::mkdtemp(folder.data()) == nullptr) { // mkdtemp makes it with mode 0700
            lastError = base + ": " + std::strerror(errno);
            continue;
        }
        SessionRendezvous rendezvous;
        rendezvous.folder_ = folder;
        rendezvous.socketPath_ = folder + std::string(SOCKET_NAME);
        rendezvous.listener_.reset(
            ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        std::memcpy(address.sun_path, rendezvous.socketPath_.c_str(),
                    rendezvous.socketPath_.size());
        address.sun_family = AF_UNIX;
        if (rendezvous.listener_.valid() &&
            ::bind(rendezvous.listener_.get(), reinterpret_cast<sockaddr*>(&address),
                   sizeof address) == 0 &&
            ::listen(rendezvous.listener_.get(), 1) == 0) {
            return rendezvous;
        }
        lastError = base + ": " + std::strerror(errno);
    }
    return Failure{"The engine cannot make its private socket: " + lastError + "."};
}

SessionRendezvous::SessionRendezvous(SessionRendezvous&& other) noexcept
    : folder_(std::exchange(other.folder_, {})), socketPath_(std::exchange(other.socketPath_, {})),
      listener_(std::move(other.listener_)) {}

SessionRendezvous::~SessionRendezvous() {
    removeFiles();
}

void SessionRendezvous::removeFiles() {
    listener_.reset();
    if (!socketPath_.empty()) {
        ::unlink(socketPath_.c_str());
    }
    if (!folder_.empty()) {
        ::rmdir(folder_.c_str());
    }
}

UniqueFd SessionRendezvous::acceptSession() {
    UniqueFd peer(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (peer.valid() &&
        (::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
         credentials.uid != ::getuid())) {
        peer.reset();
    }
    return peer;
}

Outcome<TerminalProcess> TerminalProcess::spawn(const std::vector<std::string>& argv) {
    std::vector<char*> arguments;
    for (const auto& word : argv) {
        arguments.push_back(const_cast<char*>(word.c_str()));
    }
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // Nothing else the engine holds or inherited goes along: a copy of ZEB's pipes kept open by the
    // window would hide the engine's end from ZEB.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The engine ignores SIGPIPE for its own writes; the terminal gets the usual dispositions.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int error =
        ::posix_spawn(&pid, arguments.front(), &actions, &attributes, arguments.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return Failure{"The terminal program \"" + argv.front() +
                       "\" cannot be started: " + std::strerror(error) + "."};
    }
    return TerminalProcess(pid, argv.front());
}

std::string TerminalProcess::failedHow() {
    int waitStatus = 0;
    if (!ended_ && ::waitpid(pid_, &waitStatus, WNOHANG) == pid_) {
        ended_ = true;
        if (!WIFEXITED(waitStatus) || WEXITSTATUS(waitStatus) != 0) {
            failure_ = "The terminal program \"" + program_ + "\" ended (" +
                       describeWaitStatus(waitStatus) + ") before its window came up.";
        }
    }
    return failure_;
}

std::vector<std::string> sessionCommand(const std::vector<std::string>& terminal,
                                        const std::string& engineProgram,
                                        const std::string& socketPath) {
    auto command = terminal;
    command.insert(command.end(), {"-e", engineProgram, SESSION_SWITCH, socketPath});
    return command;
}

std::string ownProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string{};
}

} // namespace zeb::engine
