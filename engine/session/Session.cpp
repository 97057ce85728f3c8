// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "Session.h"

#include "EngineProtocol.h"
#include "FdIo.h"
#include "HostConnection.h"
#include "LineBuffer.h"
#include "RegistryBackend.h"
#include "Script.h"
#include "SessionLink.h"
#include "TelnetDial.h"
#include "TerminalText.h"
#include "UniqueFd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>

namespace zeb::engine {

namespace {

constexpr int DEFAULT_COLUMNS = 80;
constexpr int DEFAULT_ROWS = 24;

// The types xterm's terminfo knows it by, the richest first. XTERM_VERSION is set by xterm (and
// its wrappers) for the programs in its window, so it tells which program draws this one.
const std::vector<std::string> XTERM_TYPES{"XTERM-256COLOR", "XTERM"};

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    size_t start = text.find_first_not_of(' ');
    while (start != std::string::npos) {
        const size_t end = text.find(' ', start);
        words.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(' ', end);
    }
    return words;
}

// The user's terminal in raw mode for the life of the session: every key goes to the host as it
// is typed, Ctrl-C included.
class RawMode {
public:
    explicit RawMode(int fd) : fd_(fd), active_(::tcgetattr(fd, &saved_) == 0) {
        if (active_) {
            termios raw = saved_;
            cfmakeraw(&raw);
            ::tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~RawMode() {
        if (active_) {
            ::tcsetattr(fd_, TCSANOW, &saved_);
        }
    }
    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_;
};

// Window size changes arrive as a readable descriptor, so the one poll loop sees them.
UniqueFd resizeSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGWINCH);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    return UniqueFd(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
}

bool isNumericAddress(const std::string& address) {
    in6_addr parsed{};
    return ::inet_pton(AF_INET, address.c_str(), &parsed) == 1 ||
           ::inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

Outcome<UniqueFd> connectToEngine(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path) {
        return Failure{"The engine's socket path is too long."};
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size());
    UniqueFd link(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!link.valid() ||
        ::connect(link.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return Failure{"This window cannot reach the engine that opened it (" + socketPath +
                       "): " + std::strerror(errno) + "."};
    }
    return link;
}

class Session {
public:
    Session(int in, int out) : in_(in), out_(out) {}

    int run(const std::string& socketPath) {
        const RawMode raw(in_);
        const UniqueFd resized = resizeSignals();
        show(openingSequence());
        auto link = connectToEngine(socketPath);
        if (failed(link)) {
            finish(failureOf(link));
        } else {
            link_ = std::move(std::get<UniqueFd>(link));
        }
        while (!quit_) {
            waitAndServe(resized.get());
        }
        return 0;
    }

private:
    void waitAndServe(int resizeFd) {
        std::vector<pollfd> fds{{in_, POLLIN, 0}, {resizeFd, POLLIN, 0}};
        if (link_.valid()) {
            fds.push_back({link_.get(), POLLIN, 0});
        }
        if (connection_) {
            fds.push_back({connection_->fd(), connection_->events(), 0});
        }
        const size_t dialEntry = fds.size();
        if (dial_) {
            // Keys typed meanwhile wait in the terminal for the host.
            fds.front().events = 0;
            fds.push_back({dial_->fd(), dial_->events(), 0});
        }
        if (::poll(fds.data(), fds.size(), dial_ ? dial_->millisecondsLeft() : -1) < 0) {
            quit_ = errno != EINTR;
            return;
        }
        if (dial_) {
            onDial(); // the bound may have passed with nothing to read
        }
        // Served in order; each step may end the connection or the session. The dial's entry is
        // done with: its descriptor may be closed and its number taken by the connection.
        for (size_t entry = 0; entry < dialEntry; ++entry) {
            const pollfd& fd = fds[entry];
            if (fd.revents == 0 || quit_) {
                continue;
            }
            if (fd.fd == in_) {
                onKeys();
            } else if (fd.fd == resizeFd) {
                onResize(resizeFd);
            } else if (link_.valid() && fd.fd == link_.get()) {
                onLink();
            } else if (connection_ && fd.fd == connection_->fd()) {
                onHost(fd.revents);
            }
        }
    }

    void show(std::string_view bytes) { (void)writeAll(out_, bytes); }
    void say(std::string_view text) { show(messageLine(text)); }

    // Reports why there is no connection (any more) and waits for a key to close the window.
    void finish(const std::string& reason) {
        connection_.reset();
        dial_.reset();
        trace_.reset();
        // Only a key pressed after the message closes the window.
        ::tcflush(in_, TCIFLUSH);
        say(reason);
        say("Press any key to close this window.");
        finished_ = true;
    }

    std::pair<int, int> windowSize() const {
        winsize size{};
        if (::ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
            return {size.ws_col, size.ws_row};
        }
        return {DEFAULT_COLUMNS, DEFAULT_ROWS};
    }

    void onKeys() {
        const std::string keys = readSome(in_);
        if (keys.empty() && errno != EAGAIN) {
            quit_ = true; // the window has gone
        } else if (finished_) {
            quit_ = true;
        } else if (connection_) {
            sendKeys(keys);
        }
    }

    void sendKeys(const std::string& keys) {
        const auto sent = connection_->send(keys);
        if (failed(sent)) {
            finish(failureOf(sent));
        } else if (!std::get<bool>(sent)) {
            if (!keysRefused_) {
                say("The host is not reading what is sent to it: keys typed now are not sent "
                    "until it reads again.");
                keysRefused_ = true;
            }
        } else if (connection_->wantsLocalEcho()) {
            show(enterAsCrLf(keys));
        }
    }

    void onResize(int resizeFd) {
        signalfd_siginfo info{};
        while (::read(resizeFd, &info, sizeof info) == sizeof info) {
        }
        if (connection_) {
            const auto [columns, rows] = windowSize();
            connection_->resize(columns, rows);
        }
    }

    void onLink() {
        const std::string bytes = readSome(link_.get());
        if (bytes.empty() && errno != EAGAIN) {
            link_.reset();
            if (!scriptReceived_ && !finished_) {
                finish("ZEB ended before it handed over the start-up script.");
            }
            return;
        }
        linkLines_.append(bytes);
        while (linkLines_.hasLine()) {
            const auto line = linkLines_.takeLine();
            if (const auto message = decodeLinkMessage(line.text)) {
                onMessage(*message);
            }
        }
    }

    void onMessage(const LinkMessage& message) {
        switch (message.kind) {
        case LinkKind::WindowTitle:
            show(windowTitleSequence(message.text));
            break;
        case LinkKind::IconTitle:
            show(iconTitleSequence(message.text));
            break;
        case LinkKind::About:
            show(aboutLineSequence(message.text, windowSize().first));
            break;
        case LinkKind::Script:
            if (!scriptReceived_) {
                scriptReceived_ = true;
                const auto lines = scriptLines(message.text);
                script_.assign(lines.begin(), lines.end());
                runScript();
            }
            break;
        case LinkKind::TerminalTypes:
            windowTypes_ = wordsOf(message.text);
            break;
        }
    }

    // Runs the script's lines up to the end, or up to a connection that is still on its way (the
    // rest follows once it is there).
    void runScript() {
        while (!script_.empty() && !finished_ && !dial_) {
            const std::string line = script_.front();
            script_.pop_front();
            say(line);
            const auto command = parseCommand(line);
            if (command.kind == CommandKind::Connect) {
                connectTo(command.argument);
            } else if (command.kind == CommandKind::Unknown) {
                say("(not a command this engine knows; ignored)");
            }
        }
        if (script_.empty() && !connection_ && !dial_ && !finished_) {
            finish("The start-up script named no host to connect to.");
        }
    }

    void connectTo(const std::string& name) {
        if (connection_ || dial_) {
            say("(already connected; ignored)");
            return;
        }
        auto target = resolveHost(name);
        if (failed(target)) {
            finish(failureOf(target));
            return;
        }
        std::visit([this](const auto& host) { open(host); }, std::get<HostTarget>(target));
    }

    void open(const TelnetTarget& host) {
        openTrace(host.traceFile);
        if (!isNumericAddress(host.address)) {
            say("Looking up " + host.address + "...");
        }
        connectingNote_ =
            "Connecting to " + host.address + " port " + std::to_string(host.port) + "...";
        emulation_ = host.terminalType;
        dial_ = std::make_unique<TelnetDial>(host.address, host.port);
    }

    void open(const SerialTarget& host) {
        openTrace(host.traceFile);
        say("Opening " + host.device + " at " + describeLineSettings(host.line) + "...");
        std::vector<std::string> notes;
        auto connection = openSerial(host, notes);
        for (const auto& note : notes) {
            say(note);
        }
        if (failed(connection)) {
            finish(failureOf(connection));
        } else {
            connected(std::move(std::get<std::unique_ptr<HostConnection>>(connection)));
        }
    }

    void onDial() {
        auto done = dial_->step();
        if (dial_->lookedUp() && !connectingNote_.empty()) {
            say(std::exchange(connectingNote_, {}));
        }
        if (!done) {
            return;
        }
        dial_.reset();
        if (failed(*done)) {
            finish(failureOf(*done));
            return;
        }
        const auto [columns, rows] = windowSize();
        connected(openTelnet(std::move(std::get<UniqueFd>(*done)), offeredTerminalTypes(), columns,
                             rows));
        runScript();
    }

    void connected(std::unique_ptr<HostConnection> connection) {
        connection_ = std::move(connection);
        say("Connected.");
    }

    // The record's emulation first, for a host that knows it; then what the window really is.
    std::vector<std::string> offeredTerminalTypes() const {
        std::vector<std::string> types{emulation_};
        const char* xterm = std::getenv("XTERM_VERSION");
        const auto& window = !windowTypes_.empty() || xterm == nullptr ? windowTypes_ : XTERM_TYPES;
        types.insert(types.end(), window.begin(), window.end());
        return types;
    }

    // The trace file, appended to, from before the first character the host sends. It holds
    // everything the host showed, passwords typed at an echoing prompt included, so a new one is
    // the user's alone. Not blocking: a FIFO without a reader fails instead of holding the window.
    void openTrace(const std::string& traceFile) {
        if (traceFile.empty()) {
            return;
        }
        const std::string path = traceFilePath(traceFile);
        trace_.reset(::open(
            path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600));
        if (!trace_.valid()) {
            say("The trace file " + path + " cannot be opened (" + std::strerror(errno) +
                "); the session goes on without a trace.");
        }
    }

    // What the host sent first, so that a host that has closed says so; then what waits for it.
    // Receiving flushes the queue as well, so whether the host reads again is asked after either:
    // a host that sends all the while may take the whole queue in a receive.
    void onHost(short revents) {
        if ((revents & ~POLLOUT) != 0 && !receiveFromHost()) {
            return;
        }
        if ((revents & POLLOUT) != 0 && !sendQueued()) {
            return;
        }
        if (keysRefused_ && connection_->unsent() <= HostConnection::OUTPUT_LIMIT / 2) {
            say("The host reads again: keys are sent.");
            keysRefused_ = false;
        }
    }

    // Whether the connection goes on.
    bool receiveFromHost() {
        auto received = connection_->receive();
        show(received.characters);
        // Not waiting either: a FIFO whose reader has stopped must not hold the window.
        if (trace_.valid() && !writeWithoutWaiting(trace_.get(), received.characters)) {
            say("Writing the trace file failed (" + std::string(std::strerror(errno)) +
                "); the trace stops here.");
            trace_.reset();
        }
        if (received.ended) {
            finish(*received.ended);
            return false;
        }
        return true;
    }

    // Whether the connection goes on.
    bool sendQueued() {
        if (auto flushed = connection_->flush(); failed(flushed)) {
            finish(failureOf(flushed));
            return false;
        }
        return true;
    }

    int in_;
    int out_;
    UniqueFd link_;
    LineBuffer linkLines_{protocol::MAX_LINE_LENGTH};
    std::deque<std::string> script_; // the lines still to run
    std::unique_ptr<TelnetDial> dial_;
    std::string connectingNote_;           // said once the dial has the host's addresses
    std::string emulation_;                // the record's, offered first
    std::vector<std::string> windowTypes_; // named by the initialization file
    std::unique_ptr<HostConnection> connection_;
    bool keysRefused_ = false;
    UniqueFd trace_;
    bool scriptReceived_ = false;
    bool finished_ = false;
    bool quit_ = false;
};

} // namespace

int runSessionSide(const std::string& socketPath, int terminalIn, int terminalOut) {
    std::signal(SIGPIPE, SIG_IGN);
    // The engine only reads the Configuration store; opening it read-only makes sure of that.
    reg::installBackend(reg::makeReadOnlyPlatformBackend());
    return Session(terminalIn, terminalOut).run(socketPath);
}

} // namespace zeb::engine
