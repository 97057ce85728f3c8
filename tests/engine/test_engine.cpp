// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The engine against real peers: telnetd and a serial line over socat, and xterm under Xvfb.
// Without socat, telnetd, Xvfb, xterm and xdotool (`make deps-test`) it fails, not passes quietly.
#include "CommandLine.h"
#include "CommandWords.h"
#include "EngineProtocol.h"
#include "FdIo.h"
#include "HostResolver.h"
#include "InitFile.h"
#include "ScratchStore.h"
#include "Script.h"
#include "SerialLine.h"
#include "SessionLink.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "TelnetDial.h"
#include "TempFolder.h"
#include "TerminalText.h"
#include "UniqueFd.h"

#include <QtTest>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <tuple>

using namespace zeb;
using namespace zeb::engine;
using namespace zeb::protocol;
using namespace std::chrono_literals;

namespace {

// Long enough for a sanitized build on a busy machine; only reached when something is wrong.
constexpr int WAIT_LIMIT_MS = 15'000;

bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step,
               std::chrono::milliseconds pause = 0ms) {
    const auto deadline = std::chrono::steady_clock::now() + 1ms * WAIT_LIMIT_MS;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        step();
        std::this_thread::sleep_for(pause);
    }
    return true;
}

void readInto(int fd, std::string& got) { // waits a tenth of a second at most
    if (waitFor(fd, POLLIN, Deadline::clock::now() + 100ms)) {
        got += readSome(fd);
    }
}

template <class T> const T& valueOf(const Outcome<T>& outcome) {
    if (failed(outcome)) {
        qFatal("unexpected failure: %s", failureOf(outcome).c_str());
    }
    return std::get<T>(outcome);
}

template <class T> bool failsWith(const Outcome<T>& outcome, const std::string& part) {
    return failed(outcome) && failureOf(outcome).find(part) != std::string::npos;
}

using Words = std::vector<std::string>;

// A fresh folder with a store for child processes (ZEB_REGISTRY) and, while it lives, this one.
struct FolderWithStore : TempFolder {
    BackendScope<reg::SqliteRegistry> store{file("registry.db")};
};

void storeText(const std::string& keyPath, const std::string& name, const std::string& text) {
    QVERIFY2(PutValue(keyPath, name, text), name.c_str());
}

using Values = std::vector<std::pair<std::string, std::string>>;

void storeHost(const std::string& name, const Values& values) { // the HostList mark and the values
    storeText(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
    for (const auto& [valueName, text] : values) {
        storeText(layout::hostKeyPath(name), valueName, text);
    }
}

void storeLoopbackHost(const std::string& name, const std::string& port) {
    using namespace layout;
    storeHost(name, {{TRANSPORT, "TELNET"}, {ADDRESS, "127.0.0.1"}, {PORT, port}});
}

// Host `name` at a listener on a free port of 127.0.0.1, holding little so a stalled host shows.
std::pair<UniqueFd, std::uint16_t> loopbackHost(const std::string& name) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int receiveBuffer = 4096;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener.get(), 1) != 0) {
        qFatal("No listening socket on 127.0.0.1: %s", std::strerror(errno));
    }
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    storeLoopbackHost(name, std::to_string(ntohs(address.sin_port)));
    return {std::move(listener), ntohs(address.sin_port)};
}

// The protocol side started as ZEB starts it: "-Embedding", pipes on standard input and output.
class EngineClient {
public:
    explicit EngineClient(const QProcessEnvironment& environment) { // killed when it goes
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(ENGINE_PROGRAM, {"-Embedding"});
        process_.waitForStarted(WAIT_LIMIT_MS);
    }
    // One call or line and its reply (an empty object when none came within the limit).
    QJsonObject call(const QString& name, const QJsonArray& args = {}) {
        const QJsonObject request{{"id", nextId_++}, {"call", name}, {"args", args}};
        return sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact));
    }
    QJsonObject sendLine(const QByteArray& line) {
        process_.write(line + '\n');
        waitUntil([&] { return process_.canReadLine() || process_.state() != QProcess::Running; },
                  [&] { process_.waitForReadyRead(100); });
        return QJsonDocument::fromJson(process_.readLine()).object();
    }
    long sockets() const { // how many the engine holds now
        const auto fds = "/proc/" + std::to_string(process_.processId()) + "/fd";
        return std::ranges::count_if(std::filesystem::directory_iterator(fds), [](const auto& fd) {
            return std::filesystem::read_symlink(fd).string().starts_with("socket:");
        });
    }
    bool closesCleanly() { // closes both pipes as ZEB does
        process_.closeWriteChannel();
        process_.closeReadChannel(QProcess::StandardOutput);
        return process_.waitForFinished(WAIT_LIMIT_MS) &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }

private:
    QProcess process_;
    int nextId_ = 1;
};

std::int32_t statusOf(const QJsonObject& reply) {
    return static_cast<std::int32_t>(reply.value("status").toInteger(1));
}

void verifyFailure(const QJsonObject& reply, std::int32_t status, const QString& textPart) {
    QCOMPARE(statusOf(reply), status);
    QVERIFY2(reply.value("error").toString().contains(textPart), qPrintable(textPart));
    QVERIFY(!reply.contains("result"));
}

// Polls IsReady as ZEB does until a failure or, unless `failureOnly`, a yes; the last reply.
QJsonObject isReadyUntil(EngineClient& engine, bool failureOnly = false) {
    QJsonObject reply;
    waitUntil(
        [&] { return statusOf(reply) < 0 || (!failureOnly && reply.value("result").toInt() != 0); },
        [&] { reply = engine.call("IsReady"); }, 50ms);
    return reply;
}

// A session side on a 100 x 30 pty, as in a window, with its own store, home and link listener.
struct SessionRig {
    FolderWithStore folder;
    UniqueFd listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    UniqueFd link, master;
    pid_t pid = -1;
    std::string output; // all the terminal has shown so far
    int status = -1;    // the session side's wait status, once it has ended

    ~SessionRig() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    void run(const std::string& socketPath) {
        winsize size{30, 100, 0, 0}; // rows, columns
        int fd = -1;
        pid = ::forkpty(&fd, nullptr, nullptr, &size);
        if (pid == 0) {
            ::setenv("ZEB_REGISTRY", folder.file("registry.db").c_str(), 1);
            ::setenv("HOME", folder.file("").c_str(), 1);
            ::setenv("XTERM_VERSION", "XTerm(379)", 1); // as inside xterm
            ::signal(SIGPIPE, SIG_DFL);                 // as a terminal starts it
            ::execl(ENGINE_PROGRAM, ENGINE_PROGRAM, "--session", socketPath.c_str(), nullptr);
            ::_exit(127);
        }
        master.reset(fd);
    }
    // Starts the session side on the link and, for a host, hands it ZEB's script for that host.
    bool start(const std::string& host = {}) {
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, folder.file("link").c_str(), sizeof address.sun_path - 1);
        ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener.get(), 1);
        run(address.sun_path);
        if (waitFor(listener.get(), POLLIN, Deadline::clock::now() + 1ms * WAIT_LIMIT_MS)) {
            link.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        }
        if (!host.empty()) {
            send(LinkKind::Script, ":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\nDSK0:TELNET.LIT[1,4] " + host);
        }
        return link.valid();
    }
    void send(LinkKind kind, const std::string& text) {
        writeAll(link.get(), encodeLinkMessage({kind, text}));
    }
    void type(const std::string& keys) { writeAll(master.get(), keys); }
    // Waits, doing `step` meanwhile, until the terminal has shown `text`; else says what it showed.
    bool shows(
        const std::string& text, const std::function<void()>& step = [] {},
        std::chrono::milliseconds pause = 0ms) {
        return waitUntil([&] { return output.find(text) != std::string::npos; },
                         [&] { step(), readInto(master.get(), output); }, pause) ||
               (qWarning("The terminal showed: %s",
                         QByteArray::fromStdString(output).toPercentEncoding(" :.\"/").constData()),
                false);
    }
    // The usual end of a failed or ended connection: the reason, then a key closes the window.
    bool endsOnAKeyAfter(const std::string& reason) {
        const bool said = shows(reason) && shows("Press any key to close this window.");
        type("q");
        return said && ends() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    bool ends() {
        const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                                     [&] { readInto(master.get(), output); }, 10ms);
        pid = ended ? -1 : pid;
        return ended;
    }
};

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void commandLinesInitFilesScriptsHostTextAndHostRecords() {
        QCOMPARE(valueOf(splitCommandWords("  /opt/e  -a\t\"b c\" d\"e f\"g \"\" ")),
                 Words({"/opt/e", "-a", "b c", "de fg", ""}));
        QVERIFY(failed(parseStartCommandLine("-n -i")));
        QVERIFY(valueOf(parseStartCommandLine("-I f -N")).initFile == "f");

        const auto settings = valueOf(parseInitText(
            "[ engine ]\n# comment\n  terminal = \"/opt/my term/bin/term\" -fa Mono \nRUNSTEP=y\n"
            "terminaltype = xterm-256color  VT100/B\nUnknown=ignored"));
        QCOMPARE(settings.terminalCommand, Words({"/opt/my term/bin/term", "-fa", "Mono"}));
        QVERIFY(settings.needsRunStep);
        QCOMPARE(settings.terminalTypes, Words({"XTERM-256COLOR", "VT100/B"}));
        for (const char* bad : {"RunStep=sometimes", "just words", "TerminalType=VT_100"}) {
            QVERIFY2(failsWith(parseInitText(std::string("[Engine]\n") + bad), "Line 2"), bad);
        }
        // Missing, not a regular file, far too large or unreadable: each fails at once, none hangs.
        FolderWithStore folder;
        QCOMPARE(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
        std::ofstream(folder.file("huge")) << std::string(1024 * 1024 + 1, ';');
        QCOMPARE(::symlink("/proc/self/mem", folder.file("mem").c_str()), 0); // reads fail: EIO
        for (const auto& [name, reason] : {std::pair{"missing", "No such file"},
                                           {"fifo", "not a regular file"},
                                           {"huge", "too large"},
                                           {"mem", "Input/output error"}}) {
            QVERIFY2(failsWith(readInitFile(folder.file(name)), reason), name);
        }

        QCOMPARE(scriptLines(":S\r\nDSK0:X\n\r\n"), Words({":S", "DSK0:X", ""})); // CR LF or LF
        for (const auto& [line, kind, argument] :
             {std::tuple{"dsk1:telnet.lit my host  name", CommandKind::Connect, "my host  name"},
              {":S", CommandKind::Switch, ""},
              {"DSK0:LOG.LIT[1,4] SYS:", CommandKind::Fixed, "SYS:"}}) {
            const auto command = parseCommand(line);
            QVERIFY2(command.kind == kind && command.argument == argument, line);
        }
        // Controls, non-UTF-8 bytes (0x9B is CSI in 8-bit mode) and ill-formed controls go whole;
        // a lead byte takes as many bytes as it announces, each row one lead byte's boundaries.
        for (const auto& [text, shown] :
             {std::pair{std::string("a\x1b]2;x\x07\x7f\xC2\x9D") + "b\xC3\xA9 \x9b" +
                            "2J \xC5\x9B \xE2\x82 \xff \xBF",
                        "a?]2;x???b\xC3\xA9 ?2J \xC5\x9B ?? ? ?"},
              {"\xC0\x9B \xC1\x81 \xC2\x80 \xC2\x9F \xC2\xA0 \xDF\xBF",
               "? ? ? ? \xC2\xA0 \xDF\xBF"},
              {"\xE0\x80\x9B[2J \xE0\x9F\xBF \xE0\xA0\x80 \xED\xA0\x80 \xED\xBF\xBF",
               "?[2J ? \xE0\xA0\x80 ? ?"},
              {"\xF0\x8F\xBF\xBF \xF0\x90\x80\x80", "? \xF0\x90\x80\x80"},
              {"\xF4\x8F\xBF\xBF \xF4\x90\x80\x80 \xF5\x80\x80\x80", "\xF4\x8F\xBF\xBF ? ?"},
              {"\xF8\x88\x80\x80\x80. \xFB\xBF\xBF\xBF\xBF.", "?. ?."},
              {"\xFC\x80\x80\x80\x80\x9B. \xFD\xBF\xBF\xBF\xBF\xBF. \xFE\x80", "?. ?. ??"}}) {
            QCOMPARE(printable(text), shown);
        }
        // The about line's fields are parted by " - " and cut to the window's width in characters.
        QCOMPARE(aboutLineSequence("Z\xC3\xA9~1.02", 7),
                 std::string("\x1b") + "7\x1b[1;1H\x1b[2KZ\xC3\xA9 - 1.\x1b" + "8");
        const std::string unsized = aboutLineSequence(std::string(90, 'a'), 0); // size unknown: 80
        QCOMPARE(std::count(unsized.begin(), unsized.end(), 'a'), 80);
        // Host records that cannot be used say why; line settings as stored and as termios flags.
        storeText(layout::HOSTLIST_KEY, "Orphan", layout::HOSTLIST_MARK);
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "y"); // only "Y" allows other names
        QVERIFY(failsWith(resolveHost("Orphan"), "record is missing"));
        QVERIFY(failsWith(resolveHost("anyhost"), "not defined"));
        storeText(layout::SETTINGS_KEY, layout::DEFAULT_TTY, "AM65");
        storeHost("Office", {{layout::TRANSPORT, "telnet"}, {layout::ADDRESS, " 10.1.2.3  "}});
        storeHost("Line", {{layout::TRANSPORT, "Serial"},
                           {layout::TRACE_FILE, "/tmp/line.trc"},
                           {layout::PORT, "ttyUSB0"},
                           {layout::DATA_BITS, ""}});
        const auto office = std::get<TelnetTarget>(valueOf(resolveHost("office"))); // any case
        QVERIFY(office.address == "10.1.2.3" && office.port == TELNET_PORT &&
                office.terminalType == "AM65");
        storeLoopbackHost("Edge", "65535");
        QCOMPARE(std::get<TelnetTarget>(valueOf(resolveHost("Edge"))).port, std::uint16_t{65535});
        storeLoopbackHost("Edge", "65536");
        QVERIFY(failsWith(resolveHost("Edge"), "not a TCP port number"));
        const auto line = std::get<SerialTarget>(valueOf(resolveHost("Line")));
        QVERIFY(line.device == "/dev/ttyUSB0" && line.traceFile == "/tmp/line.trc");
        QVERIFY(line.line ==
                LineSettings({9600, 8, Parity::None, StopBits::One, FlowControl::None}));
        QVERIFY(failed(parseLineSettings("115200", "9", "", "3", "Xon/Xoff")));
        // 1.5 stop bits are exact with 5-bit characters; else they are 2 and the user is told.
        const auto space = valueOf(parseLineSettings("300", "5", "space", "1.5", "HARDWARE"));
        constexpr tcflag_t CONTROL = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        termios flags{};
        flags.c_iflag = ICRNL, flags.c_lflag = ICANON | ECHO; // cooked, as a tty starts
        QVERIFY(applyLineSettings(flags, space).empty());
        QCOMPARE((flags.c_iflag & ICRNL) | (flags.c_lflag & (ICANON | ECHO)), tcflag_t(0)); // raw
        QCOMPARE(flags.c_cflag & CONTROL, tcflag_t(CS5 | PARENB | CMSPAR | CSTOPB | CRTSCTS));
        const LineSettings mark{2400, 8, Parity::Mark, StopBits::OneAndHalf, FlowControl::None};
        QCOMPARE(applyLineSettings(flags, mark).size(), size_t(1));
        QCOMPARE(flags.c_cflag & CONTROL, tcflag_t(CS8 | PARENB | CMSPAR | PARODD | CSTOPB));
    }

    // Each line is answered with its id; a malformed one is refused and the engine goes on.
    void callsAreAnsweredAndFailedStartsExplained() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        for (const auto& [line, why, id] : // 0: no id to answer with
             {std::tuple<QByteArray, QString, int>{"[1,2]", "not a JSON object", 0},
              {QByteArray(MAX_LINE_LENGTH + 10, 'x'), "longer", 0},
              {R"({"id":3,"call":"X","args":7})", "\"args\"", 3}}) {
            const QJsonObject reply = engine.sendLine(line);
            verifyFailure(reply, status::INVALID_ARGUMENT, why);
            QCOMPARE(reply.value("id").toInt(), id);
        }
        verifyFailure(engine.call("Launch\u00e9"), status::NOT_IMPLEMENTED, "Launch\u00e9");
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "QueryInterface");
        verifyFailure(engine.call("RunScript", {"x"}), status::UNEXPECTED, "before Start");
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "EngineControl");
        QVERIFY(engine.closesCleanly());
        QProcess byHand; // neither switch: the usage, after reading only the arguments there are
        byHand.start(ENGINE_PROGRAM, {"-Automation"});
        QVERIFY(byHand.waitForFinished(WAIT_LIMIT_MS) && byHand.exitCode() == 2 &&
                byHand.readAllStandardError().contains("Usage: orvane-engine -Embedding"));
        // Start fails before a window (an empty DISPLAY: no display at all); nothing is started.
        for (const auto& [display, terminal, status, why] :
             {std::tuple{"", "/bin/true", status::FAIL, "no display"},
              {":1999", "/bin/true", status::FAIL, "\":1999\" cannot be opened"},
              {":1999", "/nonexistent/zeb-terminal", status::FILE_NOT_FOUND, "zeb-terminal"}}) {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.remove("WAYLAND_DISPLAY");
            environment.insert("DISPLAY", display);
            environment.insert("TERMINAL", terminal);
            EngineClient starting(environment);
            verifyFailure(starting.call("Start", {"-n"}), status, why);
            verifyFailure(starting.call("IsReady"), status::UNEXPECTED, "before Start");
        }
    }

    // Each reason a window never connects is shown; a FIFO as trace file does not hold it.
    void sessionsThatNeverConnectSayWhy() {
        SessionRig early;
        QVERIFY(early.start());
        early.link.reset();
        QVERIFY(early.endsOnAKeyAfter("ZEB ended before it handed over the start-up script."));

        SessionRig hostless;
        QVERIFY(hostless.start());
        hostless.send(LinkKind::Script, ":S\r\nDSK0:FORMAT.LIT[1,4] ALL");
        QVERIFY(hostless.shows(
            "DSK0:FORMAT.LIT[1,4] ALL\r\n(not a command this engine knows; ignored)"));
        QVERIFY(hostless.endsOnAKeyAfter("The start-up script named no host to connect to."));

        SessionRig unreachable;
        unreachable.run(unreachable.folder.file("no-such-socket"));
        QVERIFY(unreachable.endsOnAKeyAfter("This window cannot reach the engine that opened it"));

        SessionRig bad; // a record that cannot be used says why
        storeLoopbackHost("Far", "65536");
        QVERIFY(bad.start("Far") && bad.endsOnAKeyAfter("which is not a TCP port number."));

        SessionRig resolved;
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        QVERIFY(resolved.start("localhost") &&
                resolved.shows("Looking up localhost...\r\nConnecting to localhost port 23..."));

        SessionRig refused;
        const std::string port = std::to_string(loopbackHost("Gone").second); // closed at once
        const std::string trace = refused.folder.file("fifo\x1b[2J");
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        storeText(layout::hostKeyPath("Gone"), layout::TRACE_FILE, trace);
        QVERIFY(refused.start("Gone"));
        QVERIFY(refused.shows("The trace file " + refused.folder.file("fifo?[2J") + " cannot be"));
        QVERIFY(refused.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                        ": Connection refused."));
        // A trace reader that stops reading costs the trace, never the window: no wait, no spin.
        int ends[2];
        QCOMPARE(::pipe2(ends, O_NONBLOCK), 0);
        const UniqueFd traceReader(ends[0]), traceWriter(ends[1]);
        QVERIFY(!writeWithoutWaiting(traceWriter.get(), std::string(1 << 20, 'x')));
        QCOMPARE(errno, EAGAIN);
        // writeAll waits on it instead while a reader drains it, and a blocking write cut short
        // by a signal (no SA_RESTART) is made again: every byte gets through.
        struct sigaction interrupt {};
        interrupt.sa_handler = [](int) {};
        ::sigaction(SIGUSR1, &interrupt, nullptr);
        for (const int flags : {O_NONBLOCK, 0}) {
            std::string bytes(1 << 20, 'y'), drained;
            (void)writeWithoutWaiting(traceWriter.get(), bytes); // full: the first write waits
            ::fcntl(traceWriter.get(), F_SETFL, flags);
            bool wrote = false;
            std::thread writer([&] {
                wrote = writeAll(traceWriter.get(), bytes, std::chrono::steady_clock::now() + 20s);
            });
            for (int cut = 0; cut < 10; ++cut) { // signals while it waits on the full pipe
                std::this_thread::sleep_for(20ms);
                ::pthread_kill(writer.native_handle(), SIGUSR1);
            }
            const bool whole = waitUntil([&] { return drained.ends_with(bytes); },
                                         [&] { readInto(traceReader.get(), drained); });
            writer.join();
            QVERIFY(whole && wrote);
        }
        // A name service that never answers ends in a reason, not in a window that waits for ever.
        TelnetDial dial("stuck.example", TELNET_PORT, 200ms,
                        [](const std::string&) -> Outcome<std::vector<std::string>> {
                            ::pause();
                            return Failure{"the lookup came back"};
                        });
        std::optional<Outcome<UniqueFd>> done;
        QVERIFY(waitUntil([&] { return (done = dial.step()).has_value(); }, [] {}, 10ms) &&
                failsWith(*done, "\"stuck.example\" was not looked up within 200 milliseconds"));
        using Addresses = Outcome<std::vector<std::string>>; // none, or the name service's reason
        for (const auto& [answer, reason] :
             {std::pair{Addresses(),
                        "\"empty.example\" cannot be resolved: the lookup gave no address."},
              {Addresses(Failure{"no such name"}), "no such name"}}) {
            TelnetDial lookup("empty.example", TELNET_PORT, 200ms,
                              [&](const std::string&) { return answer; });
            QVERIFY(waitUntil([&] { return (done = lookup.step()).has_value(); }, [] {}, 10ms) &&
                    failsWith(*done, reason));
        }
        QVERIFY(!writeAll(-1, "x"));
    }

    // xterm's type and each window size reach telnetd; keys are echoed by the host alone.
    void telnetHostLearnsTheWindowRunsWhatIsTypedAndEnds() {
        SessionRig rig;
        // socat runs telnetd for one connection; its login says TERM and the size, once it has it.
        const std::string login = rig.folder.file("login");
        std::ofstream(login)
            << "#!/bin/sh\nwhile [ \"$(stty size)\" = \"0 0\" ]; do sleep 0.1; done\n"
               "echo \"TERM=$TERM SIZE=$(stty size)\"\nexec /bin/sh\n";
        ::chmod(login.c_str(), 0700);
        QProcess server;
        server.start("socat", {"-d", "-d", "TCP-LISTEN:0,bind=127.0.0.1",
                               QString::fromStdString("EXEC:\"/usr/sbin/telnetd -h -E " + login +
                                                      "\",nofork")});
        const QRegularExpression listening("listening on AF=2 127\\.0\\.0\\.1:(\\d+)\n");
        QByteArray said;
        QRegularExpressionMatch match;
        waitUntil([&] { return (match = listening.match(said)).hasMatch() || !server.isOpen(); },
                  [&] { server.waitForReadyRead(100), said += server.readAllStandardError(); });
        const std::string port = match.captured(1).toStdString();
        QVERIFY2(!port.empty(), "socat or telnetd is missing; `make deps-test` installs them");
        storeLoopbackHost("Plant", port);
        QVERIFY(rig.start("Plant"));
        QVERIFY(rig.shows("DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " + port +
                          "...\r\nConnected.\r\n"));
        QVERIFY(rig.shows("TERM=xterm-256color SIZE=30 100"));
        const std::string command = "echo $((6*7))x";
        rig.type(command + "\r");
        QVERIFY(rig.shows("42x"));
        QCOMPARE(rig.output.find(command), rig.output.rfind(command)); // shown once
        QCOMPARE(rig.output.find("not reading"), std::string::npos);
        // Rows and columns past 255 take two bytes; a window without columns is told as 80 by 24.
        for (const auto& [size, shown] : {std::pair{winsize{260, 300, 0, 0}, "260 300"},
                                          {winsize{1, 70, 0, 0}, "1 70"},
                                          {winsize{40, 0, 0, 0}, "24 80"}}) {
            ::ioctl(rig.master.get(), TIOCSWINSZ, &size);
            QVERIFY(rig.shows(
                shown, [&] { rig.type("stty size\r"); }, 100ms));
        }
        rig.type("exit\r");
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
    }

    // Protocol tricks of a host reach neither terminal nor trace; types go once agreed, named once.
    void hostileHostsReachTheTerminalOnlyWithData() {
        SessionRig rig;
        const UniqueFd listener = loopbackHost("Rogue").first;
        storeHost("Rogue", {{layout::TTY, "xterm"}, {layout::TRACE_FILE, rig.folder.file("t")}});
        QVERIFY(rig.start("Rogue")); // an xterm window: XTERM-256COLOR and XTERM after "xterm"
        UniqueFd host(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        const std::string ask = "\xff\xfa\x18\x01\xff\xf0", end = "\r\n(the host's last data)";
        const auto zlib = // after an unasked COMPRESS2: ESC ] 2 ; pwned BEL, 1000 'Z', deflated
            QByteArray::fromHex("78da938e35b22e28cf4b4d618f1a05a360140c7b0000712862aa");
        // WILL and DO ECHO, DO SGA, WILL TTYPE and NAWS; DO and WILL 200, past the option table.
        const std::string offers = "\xff\xfb\x01\xff\xfd\x01\xff\xfd\x03\xff\xfb\x18\xff\xfb\x1f"
                                   "\xff\xfd\xc8\xff\xfb\xc8";
        QVERIFY(writeAll(host.get(), offers + ask + "\xff\xfb\x56\xff\xfa\x56\xff\xf0" +
                                         zlib.toStdString() + "\xff\xfd\x18\xff\xfa\x18\x01" +
                                         std::string(16384, 'x') + "\x1b]2;pwned\x07\xff\xf0" +
                                         ask + ask + ask + ask + end));
        const std::string data = zlib.toStdString() + end;
        QVERIFY(rig.shows(end));
        QCOMPARE(rig.output.substr(rig.output.find("Connected.\r\n") + 12), data);
        std::string told(
            "\xff\xfb\x18\xff\xfb\x1f\xff\xfd\x03" // WILL TTYPE, WILL NAWS, DO SGA
            "\xff\xfd\x01\xff\xfc\x01\xff\xfb\x03\xff\xfe\x18\xff\xfe\x1f" // the answers
            "\xff\xfc\xc8\xff\xfe\xc8\xff\xfe\x56"); // WONT 200, DONT 200, DONT 86
        for (const char* type : {"xterm", "XTERM-256COLOR", "XTERM-256COLOR", "xterm"}) {
            told += std::string("\xff\xfa\x18\0", 4) + type + "\xff\xf0"; // IS <type>; no size
        }
        std::string got;
        waitUntil([&] { return got.size() >= told.size(); }, [&] { readInto(host.get(), got); });
        QCOMPARE(got, told);
        QVERIFY(waitUntil([&] { return readBytes(rig.folder.file("t")) == data; }, [] {}));
        rig.master.reset(); // the window closes
        QVERIFY(rig.ends());
    }

    // A host that reads nothing fills the bounded queue of keys, yet the window draws and ends.
    void hostsThatStopReadingNeitherFreezeNorHoldTheWindow() {
        SessionRig rig;
        const UniqueFd listener = loopbackHost("Stalled").first;
        const std::string trace = rig.folder.file("trace"); // a FIFO whose reader then goes
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        UniqueFd traceReader(::open(trace.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        storeText(layout::hostKeyPath("Stalled"), layout::TRACE_FILE, trace);
        const std::string again = "DSK0:TELNET.LIT[1,4] Stalled"; // a second host line is ignored
        QVERIFY(rig.start("Stalled\r\n" + again) &&
                rig.shows("Connected.\r\n" + again + "\r\n(already connected; ignored)"));
        traceReader.reset();
        const UniqueFd host(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        // Typed as fast as the terminal takes it; a window blocked in a write would stop taking.
        ::fcntl(rig.master.get(), F_SETFL, O_NONBLOCK);
        const std::string keys(64 * 1024, 'k');
        const auto typeKeys = [&] { (void)::write(rig.master.get(), keys.data(), keys.size()); };
        QVERIFY(rig.shows("The host is not reading", typeKeys));
        // Its questions are answered past the keys' limit (DO TTYPE, 10000 SENDs: 100 to 200 kB).
        const auto asks = QByteArray("\xff\xfa\x18\x01\xff\xf0").repeated(10000).toStdString();
        QVERIFY(writeAll(host.get(), "\xff\xfd\x18" + asks + "still drawing"));
        QVERIFY(rig.shows("(Broken pipe); the trace stops here.") && rig.shows("still drawing"));
        ::fcntl(host.get(), F_SETFL, O_NONBLOCK);
        const auto nops = QByteArray("\xff\xf1").repeated(32768).toStdString(); // they show nothing
        QVERIFY(rig.shows("The host reads again", [&] { // while it never stops sending
            (void)::write(host.get(), nops.data(), nops.size());
            while (!readSome(host.get()).empty()) {
            }
        }));
        rig.output.clear(); // refused again, then the host leaves: said, and a key closes it
        QVERIFY(rig.shows("The host is not reading", typeKeys));
        ::shutdown(host.get(), SHUT_WR);
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
    }

    // XOFF holds the keys, not the window; a hang-up is reported; the trace is the user's alone.
    void serialLineOverSocatCarriesBytesBothWays() {
        SessionRig rig;
        const auto engineEnd = rig.folder.file("ttyEngine"), hostEnd = rig.folder.file("ttyHost");
        QProcess line;
        line.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + engineEnd),
                             QString::fromStdString("pty,raw,echo=0,link=" + hostEnd)});
        QVERIFY2(line.waitForStarted(), "socat is missing; `make deps-test` installs it");
        QVERIFY(waitUntil([&] { return ::access(hostEnd.c_str(), F_OK) == 0; }, [] {}, 20ms));
        storeHost("Line", {{layout::TRANSPORT, "SERIAL"},
                           {layout::TRACE_FILE, rig.folder.file("line.trc")},
                           {layout::PORT, engineEnd},
                           {layout::DATA_BITS, "7"},
                           {layout::STOP_BITS, "1.5"},
                           {layout::PARITY, "Space"},
                           {layout::FLOW_CONTROL, "Xon / Xoff"}});
        QVERIFY(rig.start("Line"));
        QVERIFY(rig.shows("Opening " + engineEnd + " at 9600 baud, 7 data bits, parity Space, " +
                          "1.5 stop bits, flow control Xon / Xoff..."));
        // A pseudo-terminal line is always 8 bits without parity.
        QVERIFY(rig.shows("did not take 7 data bits, parity Space;"));
        QVERIFY(rig.shows("with 7 data bits it sends 2."));
        std::vector<std::string> notes;
        QVERIFY(failsWith(openSerialLine(engineEnd, {}, notes), "is busy"));

        const UniqueFd host(::open(hostEnd.c_str(), O_RDWR | O_NOCTTY));
        std::string hostSaw;
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(writeAll(host.get(), fromHost) && rig.shows(fromHost));
        QVERIFY(writeAll(host.get(), "\x13held") && rig.shows("held"));
        rig.type("typed while held\r");
        QVERIFY(writeAll(host.get(), " still drawing") && rig.shows(" still drawing"));
        readInto(host.get(), hostSaw);
        QVERIFY(hostSaw.find("typed") == std::string::npos);
        QVERIFY(writeAll(host.get(), "\x11"));
        QVERIFY(waitUntil([&] { return hostSaw.find("typed while held\r") != std::string::npos; },
                          [&] { readInto(host.get(), hostSaw); }));

        line.terminate();
        QVERIFY(line.waitForFinished());
        QVERIFY(rig.endsOnAKeyAfter("The serial line " + engineEnd + " ended: it was hung up."));
        QCOMPARE(readBytes(rig.folder.file("line.trc")), fromHost + "held still drawing");
        QCOMPARE(QFile::permissions(QString::fromStdString(rig.folder.file("line.trc"))),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    // A closed window fails ZEB's next call; a failed terminal is reported and got no stray fd.
    void aLaunchInARealWindow() {
        QProcess xvfb; // picks a free display and tells it on its output
        xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp"});
        QVERIFY2(xvfb.waitForReadyRead(WAIT_LIMIT_MS), "Xvfb is missing");
        qputenv("DISPLAY", ":" + xvfb.readLine().trimmed());
        FolderWithStore folder;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("TERMINAL", "xterm");

        EngineClient engine(environment);
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        QCOMPARE(statusOf(engine.call("Start", {"-n"})), 0);
        // Sent before the window is ready, held until it reports in.
        QCOMPARE(statusOf(engine.call("SendCode", {-10, 2})), 0);
        QCOMPARE(statusOf(engine.call("SendText", {"ZEB Connection to Real\x7f"})), 0);
        QCOMPARE(isReadyUntil(engine).value("result").toInt(), -1);
        QProcess kill; // the window found by its title is closed as its user would
        kill.start("xdotool",
                   {"search", "--sync", "--name", "^ZEB Connection to Real$", "windowkill"});
        QVERIFY(kill.waitForFinished(WAIT_LIMIT_MS) && kill.exitCode() == 0);
        QVERIFY(isReadyUntil(engine, true).value("error").toString().contains("window was closed"));
        QCOMPARE(statusOf(engine.call("RunScript", {"DSK0:TELNET.LIT[1,4] Real"})), status::FAIL);
        QVERIFY(engine.closesCleanly());

        // This terminal lists its arguments and descriptors and fails: its socket is in the runtime
        // folder, and none of the descriptors the engine inherited may be there.
        const std::string terminal = folder.file("terminal");
        std::ofstream(terminal)
            << "#!/bin/sh\necho \"$@\" >\"$0.fds\"\nls -l /proc/$$/fd >>\"$0.fds\"\n"
               "ls -l /proc/$PPID/fd >\"$0.engine\"\nexit 1\n";
        QCOMPARE(::chmod(terminal.c_str(), 0700), 0);
        const UniqueFd inherited(::open((terminal + ".inherited").c_str(), O_CREAT | O_RDWR, 0600));
        // Found as a shell finds it: PATH's empty last entry is the current folder.
        QCOMPARE(::chdir(folder.file("").c_str()), 0);
        environment.insert("TERMINAL", "terminal");
        environment.insert("PATH", qEnvironmentVariable("PATH") + ":");
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder.path())); // its socket
        EngineClient failing(environment);
        QCOMPARE(statusOf(failing.call("Start", {"-n"})), 0);
        verifyFailure(isReadyUntil(failing), status::FAIL, "ended (exit status 1)");
        const std::string fds = readBytes(terminal + ".fds");
        QVERIFY2(fds.find(folder.file("orvane-engine-")) != std::string::npos, fds.c_str());
        QVERIFY2(fds.find("/dev/null") != std::string::npos, fds.c_str());
        QVERIFY2(fds.find("inherited") == std::string::npos, fds.c_str());
        // The engine's one socket is the session's rendezvous: it let go of the display it checked.
        QCOMPARE(QString::fromStdString(readBytes(terminal + ".engine")).count("socket:"), 1);
        QVERIFY(failing.closesCleanly()); // its terminal failed, yet it ends and removes its folder
        // Now it runs the session on a FIFO, no size to read (80 x 24 is told), with -i's types.
        std::ofstream(terminal) << "#!/bin/sh\nshift\nexec \"$@\" <\"$0.keys\"\n";
        QCOMPARE(::mkfifo((terminal + ".keys").c_str(), 0600), 0);
        UniqueFd keys(::open((terminal + ".keys").c_str(), O_RDWR | O_CLOEXEC)); // its EOF ends it
        const std::string init = terminal + ".ini";
        std::ofstream(init) << "[Engine]\nTerminalType=VT220 VT100\n";
        const UniqueFd listener = loopbackHost("Plain").first;
        environment.insert("ZEB_REGISTRY", QString::fromStdString(folder.file("registry.db")));
        EngineClient plain(environment);
        QCOMPARE(statusOf(plain.call("Start", {QString::fromStdString("-n -i " + init)})), 0);
        QCOMPARE(statusOf(plain.call("RunScript", {"DSK0:TELNET.LIT[1,4] Plain"})), 0);
        const UniqueFd host(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        const std::string ask = "\xff\xfa\x18\x01\xff\xf0", is("\xff\xfa\x18\0", 4);
        QVERIFY(writeAll(host.get(), "\xff\xfd\x1f\xff\xfd\x18" + ask + ask + ask));
        // WILL TTYPE, WILL NAWS, DO SGA; the size once, though DO TTYPE follows; per ask a type.
        const std::string told = "\xff\xfb\x18\xff\xfb\x1f\xff\xfd\x03\xff\xfa\x1f" +
                                 std::string("\0\x50\0\x18\xff\xf0", 6) + is + "UNKNOWN\xff\xf0" +
                                 is + "VT220\xff\xf0" + is + "VT100\xff\xf0";
        std::string got;
        waitUntil([&] { return got.size() >= told.size(); }, [&] { readInto(host.get(), got); });
        QCOMPARE(got, told);
        keys.reset(); // the window has gone: the next text is refused, its socket let go
        QJsonObject sent = plain.call("QueryInterface", {"EngineControl"});
        waitUntil([&] { return statusOf(sent) < 0; },
                  [&] {
                      plain.call("SendCode", {-10, 2});
                      sent = plain.call("SendText", {"x"});
                  });
        verifyFailure(sent, status::FAIL, "window was closed");
        QCOMPARE(plain.sockets(), 0);
        xvfb.terminate();
        QVERIFY(xvfb.waitForFinished(WAIT_LIMIT_MS));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
