#include "Session.h"

#include "FdIo.h"
#include "HostConnection.h"
#include "LineBuffer.h"
#include "Protocol.h"
#include "Script.h"
#include "SqliteRegistry.h"
#include "TerminalText.h"
#include "UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>

namespace zeb::engine {

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kDefaultRows = 24;

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
            fds.push_back({connection_->fd(), POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            quit_ = errno != EINTR;
            return;
        }
        // Served in order; each step may end the connection or the session.
        for (const auto& fd : fds) {
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
                onHost();
            }
        }
    }

    void show(std::string_view bytes) { (void)writeAll(out_, bytes); }
    void say(std::string_view text) { show(messageLine(text)); }

    // Reports why there is no connection (any more) and waits for a key to close the window.
    void finish(const std::string& reason) {
        connection_.reset();
        say(reason);
        say("Press any key to close this window.");
        finished_ = true;
    }

    std::pair<int, int> windowSize() const {
        winsize size{};
        if (::ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
            return {size.ws_col, size.ws_row};
        }
        return {kDefaultColumns, kDefaultRows};
    }

    void onKeys() {
        const std::string keys = readSome(in_);
        if (keys.empty() && errno != EAGAIN) {
            quit_ = true; // the window has gone
        } else if (finished_) {
            quit_ = true;
        } else if (connection_) {
            if (connection_->wantsLocalEcho()) {
                show(enterAsCrLf(keys));
            }
            if (auto sent = connection_->send(keys); failed(sent)) {
                finish(failureOf(sent));
            }
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
                runScript(message.text);
            }
            break;
        }
    }

    void runScript(const std::string& script) {
        for (const auto& line : scriptLines(script)) {
            if (finished_) {
                return;
            }
            say(line);
            const auto command = parseCommand(line);
            if (command.kind == CommandKind::Connect) {
                connectTo(command.argument);
            } else if (command.kind == CommandKind::Unknown) {
                say("(not a command this engine knows; ignored)");
            }
        }
        if (!connection_ && !finished_) {
            finish("The start-up script named no host to connect to.");
        }
    }

    void connectTo(const std::string& name) {
        if (connection_) {
            say("(already connected; ignored)");
            return;
        }
        auto target = resolveHost(name);
        if (failed(target)) {
            finish(failureOf(target));
            return;
        }
        auto connection = std::visit([this](const auto& host) { return open(host); },
                                     std::get<HostTarget>(target));
        if (failed(connection)) {
            trace_.reset();
            finish(failureOf(connection));
            return;
        }
        connection_ = std::move(std::get<std::unique_ptr<HostConnection>>(connection));
        say("Connected.");
    }

    Outcome<std::unique_ptr<HostConnection>> open(const TelnetTarget& host) {
        openTrace(host.traceFile);
        say("Connecting to " + host.address + " port " + std::to_string(host.port) + "...");
        const auto [columns, rows] = windowSize();
        return connectTelnet(host, columns, rows);
    }

    Outcome<std::unique_ptr<HostConnection>> open(const SerialTarget& host) {
        openTrace(host.traceFile);
        say("Opening " + host.device + " at " + describeLineSettings(host.line) + "...");
        std::vector<std::string> notes;
        auto connection = openSerial(host, notes);
        for (const auto& note : notes) {
            say(note);
        }
        return connection;
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

    void onHost() {
        auto received = connection_->receive();
        show(received.characters);
        if (trace_.valid() && !writeAll(trace_.get(), received.characters)) {
            say("Writing the trace file failed (" + std::string(std::strerror(errno)) +
                "); the trace stops here.");
            trace_.reset();
        }
        if (received.ended) {
            trace_.reset();
            finish(*received.ended);
        }
    }

    int in_;
    int out_;
    UniqueFd link_;
    LineBuffer linkLines_{MAX_LINE_LENGTH};
    std::unique_ptr<HostConnection> connection_;
    UniqueFd trace_;
    bool scriptReceived_ = false;
    bool finished_ = false;
    bool quit_ = false;
};

} // namespace

int runSessionSide(const std::string& socketPath, int terminalIn, int terminalOut) {
    std::signal(SIGPIPE, SIG_IGN);
    // The engine only reads the Configuration store; opening it read-only makes sure of that.
    reg::SqliteRegistry::Options readOnly;
    readOnly.readOnly = true;
    reg::installBackend(
        std::make_unique<reg::SqliteRegistry>(reg::SqliteRegistry::defaultPath(), readOnly));
    return Session(terminalIn, terminalOut).run(socketPath);
}

} // namespace zeb::engine
