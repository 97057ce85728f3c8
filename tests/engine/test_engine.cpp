// The engine as ZEB meets it: the parsers whose exact results the fuzz targets do not check; the
// protocol side through real pipes; the session side on a pseudo-terminal as inside the window,
// against a real telnetd (started by socat on 127.0.0.1), a host that stops reading or never
// answers, a serial line over socat and the bounded name lookup; and a launch in a real xterm
// under a private Xvfb. socat, telnetd, Xvfb, xterm and xdotool are test dependencies (`make
// deps-test`): without them this test fails, it does not pass quietly.
#include "CommandLine.h"
#include "FdIo.h"
#include "HostConnection.h"
#include "HostResolver.h"
#include "InitFile.h"
#include "Protocol.h"
#include "Script.h"
#include "SerialLine.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "TelnetDial.h"
#include "TerminalText.h"
#include "UniqueFd.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
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
using namespace std::chrono_literals;

namespace {

// Long enough for a sanitized build on a busy machine; only reached when something is wrong.
constexpr int WAIT_LIMIT_MS = 15'000;

// Calls `step`, then pauses, until `done` holds or the limit has passed; returns whether it holds.
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
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, 100) == 1) {
        got += readSome(fd);
    }
}

bool readUntil(int fd, std::string& got, const std::string& wanted) {
    return waitUntil([&] { return got.find(wanted) != std::string::npos; },
                     [&] { readInto(fd, got); });
}

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

template <class T> const T& valueOf(const Outcome<T>& outcome) {
    if (failed(outcome)) {
        qFatal("unexpected failure: %s", failureOf(outcome).c_str());
    }
    return std::get<T>(outcome);
}

template <class T> std::string failureIn(const Outcome<T>& outcome) {
    return failed(outcome) ? failureOf(outcome) : "(no failure)";
}

std::vector<std::string> words(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

std::string startupScript(const std::string& host) {
    return ":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\nDSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] " +
           host + "\r\n:S\r\nDSK0:HOST.LIT[1,4]";
}

// A fresh folder, removed at the end, with a store file in it for child processes (ZEB_REGISTRY);
// while it lives, the store is also this process's.
struct FolderWithStore {
    QTemporaryDir dir;
    std::unique_ptr<reg::RegistryBackend> previous =
        reg::installBackend(std::make_unique<reg::SqliteRegistry>(storePath()));
    ~FolderWithStore() { reg::installBackend(std::move(previous)); }
    std::string file(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }
    std::string storePath() const { return file("registry.db"); }
};

void storeText(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (!PutText(keyPath, name, text)) {
        qFatal("The test store does not take %s\\%s", keyPath.c_str(), name.c_str());
    }
}

// A host record: its HostList value and its Hosts\<name> values.
void storeHost(const std::string& name,
               const std::vector<std::pair<std::string, std::string>>& values) {
    storeText(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
    for (const auto& [valueName, text] : values) {
        storeText(layout::hostKeyPath(name), valueName, text);
    }
}

// A Telnet host record for 127.0.0.1 and `port`, with `more` values.
void storeLoopbackHost(const std::string& name, const std::string& port,
                       std::vector<std::pair<std::string, std::string>> more = {}) {
    more.insert(
        more.end(),
        {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "127.0.0.1"}, {layout::PORT, port}});
    storeHost(name, more);
}

// A listening TCP socket on a free port of 127.0.0.1 with room for `backlog` connections not yet
// accepted and, when given, a small receive buffer that its connections inherit.
UniqueFd loopbackListener(std::uint16_t& port, int backlog, int receiveBuffer = 0) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receiveBuffer > 0) {
        ::setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener.get(), backlog) != 0) {
        qFatal("No listening socket on 127.0.0.1: %s", std::strerror(errno));
    }
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return listener;
}

// Debian's inetutils-telnetd on 127.0.0.1, started by socat for one connection, whose login
// program says TERM and the window size, then runs a shell. Its port (empty when it does not
// listen); the server ends with its connection.
std::string startTelnetd(QProcess& server, const FolderWithStore& folder) {
    const std::string login = folder.file("login");
    // telnetd may start it before it has read the window size.
    std::ofstream(login) << "#!/bin/sh\nwhile [ \"$(stty size)\" = \"0 0\" ]; do sleep 0.1; done\n"
                            "echo \"TERM=$TERM SIZE=$(stty size)\"\nexec /bin/sh\n";
    ::chmod(login.c_str(), 0700);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("socat",
                 {"-d", "-d", "TCP-LISTEN:0,bind=127.0.0.1",
                  QString::fromStdString("EXEC:\"/usr/sbin/telnetd -h -E " + login + "\",nofork")});
    const QRegularExpression listening("listening on AF=2 127\\.0\\.0\\.1:(\\d+)\n");
    QByteArray said;
    QRegularExpressionMatch port;
    waitUntil([&] { return (port = listening.match(said)).hasMatch() || !server.isOpen(); },
              [&] { server.waitForReadyRead(100), said += server.readAll(); });
    return port.captured(1).toStdString();
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
    std::optional<int> closeAndWait() { // closes both pipes as ZEB does; the exit code
        process_.closeWriteChannel();
        process_.closeReadChannel(QProcess::StandardOutput);
        if (!process_.waitForFinished(WAIT_LIMIT_MS)) {
            return std::nullopt;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
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

// Polls IsReady as ZEB does until the reply satisfies `done` (by default the first yes, or a
// failure); the last reply.
QJsonObject isReadyUntil(
    EngineClient& engine,
    const std::function<bool(const QJsonObject&)>& done = [](const QJsonObject& reply) {
        return statusOf(reply) < 0 || reply.value("result").toInt() != 0;
    }) {
    QJsonObject reply;
    waitUntil([&] { return done(reply); }, [&] { reply = engine.call("IsReady"); }, 50ms);
    return reply;
}

// Runs xdotool; its output, or nothing when it did not do what it was asked.
std::optional<QByteArray> xdotool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    if (!process.waitForFinished(WAIT_LIMIT_MS) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput().trimmed();
}

// One session side on a pseudo-terminal of 100 x 30, as inside a window, with its own store and
// home folder, and the listening link end that the protocol side would own.
struct SessionRig {
    FolderWithStore folder;
    UniqueFd listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    UniqueFd link;
    UniqueFd master;
    pid_t pid = -1;
    std::string output; // all the terminal has shown so far
    int status = -1;    // the session side's wait status, once it has ended

    ~SessionRig() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Starts the session side, to connect to the engine at `socketPath`.
    void run(const std::string& socketPath) {
        winsize size{30, 100, 0, 0}; // rows, columns
        int fd = -1;
        pid = ::forkpty(&fd, nullptr, nullptr, &size);
        if (pid == 0) {
            ::setenv("ZEB_REGISTRY", folder.storePath().c_str(), 1);
            ::setenv("HOME", folder.file("").c_str(), 1);
            ::setenv("XTERM_VERSION", "XTerm(379)", 1); // as inside xterm
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
        pollfd waiting{listener.get(), POLLIN, 0};
        if (::poll(&waiting, 1, WAIT_LIMIT_MS) == 1) {
            link.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        }
        if (!host.empty()) {
            send(LinkKind::Script, startupScript(host));
        }
        return link.valid();
    }
    void send(LinkKind kind, const std::string& text) {
        writeAll(link.get(), encodeLinkMessage({kind, text}));
    }
    void type(const std::string& keys) { writeAll(master.get(), keys); }
    // Waits until the terminal has shown `text`; if it does not, what it did show explains why.
    bool shows(const std::string& text) {
        return readUntil(master.get(), output, text) ||
               (qWarning(
                    "The terminal showed: %s",
                    QByteArray::fromStdString(output).toPercentEncoding(" :.,\"/()[]").constData()),
                false);
    }
    // The usual end of a failed or ended connection: the reason, then a key closes the window.
    bool endsOnAKeyAfter(const std::string& reason) {
        if (!shows(reason) || !shows("Press any key to close this window.")) {
            return false;
        }
        type("q");
        return ends() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    void commandLinesInitFilesAndScripts() {
        QCOMPARE(valueOf(splitCommandWords("  /opt/e  -a\t\"b c\" d\"e f\"g \"\" ")),
                 words({"/opt/e", "-a", "b c", "de fg", ""}));
        QCOMPARE(failureIn(splitCommandWords("-i \"open")),
                 std::string("The command line has an unterminated double quote: -i \"open"));
        QVERIFY(!valueOf(parseStartCommandLine("-n")).initFile);
        QCOMPARE(*valueOf(parseStartCommandLine("-N -I \"/home/u/my files/ZEB.INI\"")).initFile,
                 std::string("/home/u/my files/ZEB.INI"));
        QVERIFY(failed(parseStartCommandLine("-n -i")));

        const auto settings = valueOf(
            parseInitText("\xEF\xBB\xBF[Other]\r\nTerminal=x\r\n[ engine ]\r\n# comment\r\n"
                          "  terminal = \"/opt/my term/bin/term\" -fa Mono \r\nRUNSTEP=y\r\n"
                          "terminaltype = xterm-256color  VT100/B\r\nUnknown=ignored"));
        QCOMPARE(settings.terminalCommand, words({"/opt/my term/bin/term", "-fa", "Mono"}));
        QVERIFY(settings.needsRunStep);
        QCOMPARE(settings.terminalTypes, words({"XTERM-256COLOR", "VT100/B"}));
        QVERIFY(!valueOf(parseInitText("[Engine]\nRunStep=No\n")).needsRunStep);
        QVERIFY(failureIn(parseInitText("[Engine]\nRunStep=sometimes\n")).find("Line 2") !=
                std::string::npos);
        for (const char* bad : {"just words", "TerminalType=VT100 1VT", "TerminalType=VT_100"}) {
            QVERIFY2(failed(parseInitText(std::string("[Engine]\n") + bad)), bad);
        }
        // What is missing, not a regular file, or far too large fails at once: nothing blocks.
        FolderWithStore folder;
        QCOMPARE(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
        std::ofstream(folder.file("huge")) << std::string(1024 * 1024 + 1, ';');
        for (const auto& [name, reason] : {std::pair{"missing", "No such file"},
                                           {"fifo", "not a regular file"},
                                           {"huge", "too large"}}) {
            QVERIFY2(failureIn(readInitFile(folder.file(name))).find(reason) != std::string::npos,
                     name);
        }

        using enum CommandKind;
        for (const auto& [line, kind, argument] :
             {std::tuple{"dsk1:telnet.lit my host  name", Connect, "my host  name"},
              {":S", Switch, ""},
              {"DSK0:LOG.LIT[1,4] SYS:", Fixed, "SYS:"},
              {": S", Unknown, "S"},
              {"TELNETX.LIT h", Unknown, "h"}}) {
            const auto command = parseCommand(line);
            QVERIFY2(command.kind == kind && command.argument == argument, line);
        }
    }

    // Host text that could break out of its sequence: controls, bytes that are not UTF-8 (a stray
    // 0x9B is CSI to a terminal in 8-bit mode) and every ill-formed form of a control go whole.
    void terminalTextCannotBreakOutOfItsSequence() {
        QCOMPARE(printable("a\x1b]2;x\x07\x7f\xC2\x9D"
                           "b\xC3\xA9 \x9b"
                           "2J \xC5\x9B \xE2\x82 \xff \xE0\x80\x9B[2J \xC0\x9B \xED\xA0\x80 "
                           "\xF4\x90\x80\x80 \xFC\x80\x80\x80\x80\x9B."),
                 std::string("a?]2;x???b\xC3\xA9 ?2J \xC5\x9B ?? ? ?[2J ? ? ? ?."));
        // The about text is cut to the width by characters, not bytes.
        QVERIFY(aboutLineSequence("\xC3\xA9\xC3\xA9\xC3\xA9~x", 2)
                    .find("[2K\xC3\xA9\xC3\xA9\x1b"
                          "8") != std::string::npos);
    }

    void hostRecordsAndSerialSettings() {
        FolderWithStore folder;
        storeHost("NoAddress", {{layout::TRANSPORT, "TELNET"}});
        storeHost("BadPort",
                  {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}, {layout::PORT, "99999"}});
        storeHost("Pigeon", {{layout::TRANSPORT, "PIGEON"}});
        storeHost("NoPort", {{layout::TRANSPORT, "SERIAL"}});
        storeHost("BadParity", {{layout::TRANSPORT, "SERIAL"},
                                {layout::PORT, "/dev/ttyS0"},
                                {layout::PARITY, "Purple"}});
        storeText(layout::HOSTLIST_KEY, "Orphan", layout::HOSTLIST_MARK);
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "y"); // only "Y" allows other names
        for (const auto& [name, part] : {std::pair{"NoAddress", "no address"},
                                         {"BadPort", "99999"},
                                         {"Pigeon", "PIGEON"},
                                         {"NoPort", "no serial port"},
                                         {"BadParity", "Purple"},
                                         {"Orphan", "record is missing"},
                                         {"anyhost", "not defined"},
                                         {"", "No host name was given."}}) {
            QVERIFY2(failureIn(resolveHost(name)).find(part) != std::string::npos, name);
        }
        storeText(layout::SETTINGS_KEY, layout::DEFAULT_TTY, "AM65");
        storeHost("Office", {{layout::TRANSPORT, "telnet"}, {layout::ADDRESS, "10.1.2.3"}});
        storeHost("Line", {{layout::TRANSPORT, "Serial"},
                           {layout::TRACE_FILE, "/tmp/line.trc"},
                           {layout::PORT, "ttyUSB0"},
                           {layout::DATA_BITS, ""}});
        const auto office = std::get<TelnetTarget>(valueOf(resolveHost("office"))); // any case
        QVERIFY(office.port == TELNET_PORT && office.terminalType == "AM65");
        const auto line = std::get<SerialTarget>(valueOf(resolveHost("Line")));
        QVERIFY(line.device == "/dev/ttyUSB0" && line.traceFile == "/tmp/line.trc");
        QVERIFY(line.line ==
                LineSettings({9600, 8, Parity::None, StopBits::One, FlowControl::None}));
        QVERIFY(valueOf(parseLineSettings("300", "5", "space", "2", "HARDWARE")) ==
                LineSettings({300, 5, Parity::Space, StopBits::Two, FlowControl::Hardware}));
        QVERIFY(failed(parseLineSettings("115200", "9", "", "3", "Xon/Xoff")));

        // What is no serial port says so; a port another program has locked is busy.
        int master = -1;
        int slave = -1;
        char name[128] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        const UniqueFd ends[] = {UniqueFd(master), UniqueFd(slave)};
        QCOMPARE(::flock(slave, LOCK_EX | LOCK_NB), 0);
        std::vector<std::string> notes;
        for (const auto& [device, reason] : {std::pair{"/dev/zeb-no-such-port", "does not exist"},
                                             {"/dev/null", "not a serial port"},
                                             {name, "is busy: another program is using it"}}) {
            QVERIFY2(failureIn(openSerialLine(device, {}, notes)).find(reason) != std::string::npos,
                     device);
        }
    }

    void termiosFlagsForEachSetting() {
        using P = Parity;
        using S = StopBits;
        using F = FlowControl;
        constexpr tcflag_t CONTROL = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        // {settings, control flags, input flags, notes}. Mark and space are "stick" parity; 1.5
        // stop bits are 2 unless there are 5 data bits, and the user is told.
        const std::tuple<LineSettings, tcflag_t, tcflag_t, size_t> cases[] = {
            {{300, 7, P::Even, S::Two, F::Hardware}, CS7 | PARENB | CSTOPB | CRTSCTS, 0, 0},
            {{1200, 6, P::Odd, S::One, F::XonXoff}, CS6 | PARENB | PARODD, IXON | IXOFF, 0},
            {{2400, 8, P::Mark, S::OneAndHalf, F::None},
             CS8 | PARENB | CMSPAR | PARODD | CSTOPB,
             0,
             1},
            {{4800, 5, P::Space, S::OneAndHalf, F::None}, CS5 | PARENB | CMSPAR | CSTOPB, 0, 0},
        };
        for (const auto& [settings, control, input, notes] : cases) {
            termios line{};
            QCOMPARE(applyLineSettings(line, settings).size(), notes);
            QCOMPARE(line.c_cflag & CONTROL, control);
            QCOMPARE(line.c_iflag & (IXON | IXOFF), input);
            QCOMPARE(line.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0)); // raw
        }
    }

    // Every line is answered in order with its id; a malformed one is refused and the engine goes
    // on. EngineControl takes texts, before Start too, until it is released.
    void callsAreAnsweredInOrderAndMalformedOnesRefused() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        for (const auto& [line, why] :
             {std::pair<QByteArray, QString>{"[1,2]", "not a JSON object"},
              {R"({"id":0,"call":"X"})", "\"id\""},
              {R"({"id":3,"call":"X","args":7})", "\"args\""},
              {QByteArray(MAX_LINE_LENGTH + 10, 'x'), "longer"}}) {
            verifyFailure(engine.sendLine(line), status::INVALID_ARGUMENT, why);
        }
        QCOMPARE(engine.sendLine(R"({"id":3,"call":"X","args":7})").value("id").toInt(), 3);
        const auto unknown = engine.call("Launch\u00e9");
        QCOMPARE(unknown.value("id").toInt(), 1);
        verifyFailure(unknown, status::NOT_IMPLEMENTED, "Launch\u00e9");
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "QueryInterface");
        verifyFailure(engine.call("RunScript", {"x"}), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("Start", {"-n", "-n"}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("IsReady", {1}), status::INVALID_ARGUMENT, "no arguments");
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        verifyFailure(engine.call("SendCode", {-10, 4294967296.0}), status::INVALID_ARGUMENT,
                      "32-bit");
        QCOMPARE(statusOf(engine.call("SendCode", {3, 2})), 0); // a code the engine does not show
        QCOMPARE(statusOf(engine.call("SendText", {"text\x7f"})), 0);
        verifyFailure(engine.call("QueryInterface", {"IOther"}), status::NO_INTERFACE, "IOther");
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("Release", {"everything"}), status::INVALID_ARGUMENT, "Release");
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "EngineControl");
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    // Each way Start can fail, in a fresh engine; afterwards nothing counts as started.
    void failedStartsAreExplained() {
        FolderWithStore folder;
        std::ofstream(folder.file("terminal.ini")) << "[Engine]\nTerminal=zeb-no-such-terminal\n";
        const QString withFile =
            QString::fromStdString("-n -i \"" + folder.file("terminal.ini") + "\"");
        // {DISPLAY, TERMINAL, command line, status, why}; an empty DISPLAY means neither it nor
        // WAYLAND_DISPLAY, an empty TERMINAL means none and nothing to find on PATH.
        const std::tuple<QString, QString, QString, std::int32_t, QString> cases[] = {
            {"", "/bin/true", "-n", status::FAIL, "no display"},
            {":1999", "/bin/true", "-n", status::FAIL, "\":1999\" cannot be opened"},
            {":1999", "/nonexistent/zeb-terminal", "-n", status::FILE_NOT_FOUND,
             "/nonexistent/zeb-terminal"},
            {":1999", "/bin/true", withFile, status::FILE_NOT_FOUND,
             "zeb-no-such-terminal\" named by the initialization file"},
            {":1999", "", "-n", status::FILE_NOT_FOUND, "No terminal program"},
            {":1999", "/bin/true", "-n -q", status::INVALID_ARGUMENT, "-q"},
        };
        for (const auto& [display, terminal, commandLine, status, why] : cases) {
            auto environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TERMINAL"}) {
                environment.remove(name);
            }
            if (!display.isEmpty()) {
                environment.insert("DISPLAY", display);
            }
            environment.insert(terminal.isEmpty() ? "PATH" : "TERMINAL",
                               terminal.isEmpty() ? QString::fromStdString(folder.file(""))
                                                  : terminal);
            EngineClient engine(environment);
            verifyFailure(engine.call("Start", {commandLine}), status, why);
            verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        }
    }

    // Sessions that never connect say why: ZEB left before the script (after the texts it sends
    // first), the script names no host, or the engine cannot be reached.
    void sessionsThatNeverConnectSayWhy() {
        SessionRig early;
        QVERIFY(early.start());
        early.send(LinkKind::WindowTitle, "ZEB Connection to h\x07");
        early.send(LinkKind::IconTitle, "h (ZEB)");
        early.send(LinkKind::About, "ZEB~Version 1.0~(c) Verdastone\x1b[31m");
        QVERIFY(early.shows("\x1b]2;ZEB Connection to h?\x07\x1b]1;h (ZEB)\x07"));
        QVERIFY(early.shows("\x1b[1;1H\x1b[2KZEB - Version 1.0 - (c) Verdastone?[31m\x1b"
                            "8"));
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
    }

    // Against a real Telnet server: xterm's type and the window's size reach it, what is
    // typed runs there (echoed by the host, not the window), a new size follows, and the host's
    // end is reported.
    void telnetHostLearnsTheWindowRunsWhatIsTypedAndEnds() {
        SessionRig rig;
        QProcess server;
        const std::string port = startTelnetd(server, rig.folder);
        QVERIFY2(!port.empty(), "socat or telnetd is missing; `make deps-test` installs them");
        std::ofstream(rig.folder.file("plant.trc")) << "earlier\n";
        storeLoopbackHost("Plant", port,
                          {{layout::TRACE_FILE, "plant.trc"}, {layout::TTY, "AM75G"}});
        QVERIFY(rig.start("Plant"));
        QVERIFY(rig.shows("DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " + port +
                          "...\r\nConnected.\r\n"));
        QVERIFY(rig.shows("TERM=xterm-256color SIZE=30 100"));
        const std::string command = "echo $((6*7))x";
        rig.type(command + "\r");
        QVERIFY(rig.shows("42x"));
        QCOMPARE(rig.output.find(command), rig.output.rfind(command)); // shown once
        const winsize bigger{43, 132, 0, 0};                           // rows, columns
        ::ioctl(rig.master.get(), TIOCSWINSZ, &bigger);
        QVERIFY(waitUntil([&] { return rig.output.find("43 132") != std::string::npos; },
                          [&] { rig.type("stty size\r"), readInto(rig.master.get(), rig.output); },
                          100ms));
        rig.type("exit\r");
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
        const std::string trace = contentsOf(rig.folder.file("plant.trc"));
        QVERIFY2(trace.starts_with("earlier\nTERM=xterm-256color") &&
                     trace.find("42x") != std::string::npos,
                 trace.c_str());
    }

    // On a socket pair: asked again and again, the terminal types go as a list with its last entry
    // repeated to mark the end, then from the top again (RFC 1091). And a write that fails says so.
    void terminalTypesGoAsRfc1091AsksAndFailedWritesSaySo() {
        int ends[2] = {-1, -1};
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        const UniqueFd host(ends[1]);
        const auto telnet = openTelnet(UniqueFd(ends[0]), words({"AM75G", "VT220"}), 80, 24);
        const auto is = [](const std::string& type) {
            return std::string("\xff\xfa\x18\0", 4) + type + "\xff\xf0"; // IS
        };
        std::string asks = "\xff\xfd\x18"; // DO TERMINAL-TYPE
        for (int i = 0; i < 5; ++i) {
            asks += "\xff\xfa\x18\x01\xff\xf0"; // SEND
        }
        QVERIFY(writeAll(host.get(), asks));
        QVERIFY(!telnet->receive().ended);
        std::string got;
        const std::string wanted =
            is("AM75G") + is("VT220") + is("VT220") + is("AM75G") + is("VT220");
        QVERIFY(readUntil(host.get(), got, wanted));
        QCOMPARE(got.substr(got.find("\xff\xfa")), wanted);
        const UniqueFd readOnly(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        QVERIFY(!writeAll(readOnly.get(), "x"));
    }

    // Undefined names are refused unless name resolution is on; then they are looked up first.
    // A trace file that cannot be opened at once (a FIFO nobody reads) is named, escaped.
    void undefinedNamesAndRefusedConnections() {
        SessionRig refused;
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "N");
        QVERIFY(refused.start("nowhere"));
        QVERIFY(refused.endsOnAKeyAfter("The host \"nowhere\" is not defined."));
        QVERIFY(refused.output.find("Connecting") == std::string::npos);

        SessionRig resolved;
        storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
        QVERIFY(resolved.start("localhost"));
        QVERIFY(resolved.shows("Looking up localhost...\r\nConnecting to localhost port 23..."));

        SessionRig rig;
        std::uint16_t closedPort = 0;
        loopbackListener(closedPort, 1); // closed again at once
        const std::string port = std::to_string(closedPort);
        const std::string trace = rig.folder.file("fifo\x1b[2J");
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        storeLoopbackHost("Gone", port, {{layout::TRACE_FILE, trace}});
        QVERIFY(rig.start("Gone"));
        QVERIFY(rig.shows("The trace file " + rig.folder.file("fifo?[2J") + " cannot be opened"));
        QVERIFY(rig.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                    ": Connection refused."));
    }

    // A host that accepts and then reads nothing: the keys fill the bounded queue, the window says
    // so and goes on showing what the host sends; once the host reads, keys go again; closing the
    // window ends the connection at once. A host that never takes the connection (its queue of
    // connections full) leaves the window serving and closable too.
    void hostsThatStopOrNeverAnswerNeitherFreezeNorHoldTheWindow() {
        SessionRig rig;
        std::uint16_t port = 0;
        const UniqueFd listener = loopbackListener(port, 1, 4096); // the kernel holds little
        storeLoopbackHost("Stalled", std::to_string(port));
        QVERIFY(rig.start("Stalled"));
        QVERIFY(rig.shows("Connected."));
        const UniqueFd host(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        // Typed as fast as the terminal takes it; a window blocked in a write would stop taking.
        ::fcntl(rig.master.get(), F_SETFL, O_NONBLOCK);
        const std::string keys(64 * 1024, 'k');
        QVERIFY(waitUntil(
            [&] { return rig.output.find("The host is not reading") != std::string::npos; },
            [&] {
                (void)::write(rig.master.get(), keys.data(), keys.size());
                readInto(rig.master.get(), rig.output);
            }));
        QVERIFY(writeAll(host.get(), "still drawing"));
        QVERIFY(rig.shows("still drawing"));
        ::fcntl(host.get(), F_SETFL, O_NONBLOCK);
        QVERIFY(
            waitUntil([&] { return rig.output.find("The host reads again") != std::string::npos; },
                      [&] {
                          while (!readSome(host.get()).empty()) {
                          }
                          readInto(rig.master.get(), rig.output);
                      }));
        rig.master.reset(); // the window closes
        QVERIFY(rig.ends());

        SessionRig full;
        const UniqueFd fullListener = loopbackListener(port, 0);
        const UniqueFd queued(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); // fills the queue
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        QCOMPARE(
            ::connect(queued.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
            0);
        storeLoopbackHost("Full", std::to_string(port));
        QVERIFY(full.start("Full"));
        QVERIFY(full.shows("Connecting to 127.0.0.1 port " + std::to_string(port) + "..."));
        full.send(LinkKind::About, "ZEB~Version 1.0~waiting");
        QVERIFY(full.shows("ZEB - Version 1.0 - waiting"));
        full.master.reset();
        QVERIFY(full.ends());
        QVERIFY(full.output.find("Connected.") == std::string::npos);
    }

    // The lookup of a host name runs apart and within its bound, so a name service that never
    // answers ends in a reason instead of a window that waits for ever; a lookup's own failure
    // comes through as it is.
    void hostLookupIsBounded() {
        const auto outcomeOf = [](TelnetDial& dial) {
            std::optional<Outcome<UniqueFd>> done;
            waitUntil([&] { return done.has_value(); },
                      [&] {
                          pollfd ready{dial.fd(), dial.events(), 0};
                          ::poll(&ready, 1, dial.millisecondsLeft());
                          done = dial.step();
                      });
            return done ? failureIn(*done) : std::string("(still waiting)");
        };
        TelnetDial hanging("stuck.example", TELNET_PORT, 200ms,
                           [](const std::string&) -> Outcome<std::vector<std::string>> {
                               ::pause();
                               return Failure{"the lookup came back"};
                           });
        TelnetDial unknown("nowhere.example", TELNET_PORT, TelnetDial::LIMIT,
                           [](const std::string&) -> Outcome<std::vector<std::string>> {
                               return Failure{"No such host."};
                           });
        QCOMPARE(outcomeOf(unknown), std::string("No such host."));
        QCOMPARE(outcomeOf(hanging),
                 std::string("The host name \"stuck.example\" was not looked up within 200 "
                             "milliseconds: the name service does not answer."));
    }

    // A pair of connected pseudo-terminals from socat: the engine keeps its end to itself, the
    // host may hold the line with XOFF, and the end of the line is reported as hung up.
    void serialLineOverSocatCarriesBytesBothWays() {
        SessionRig rig;
        const std::string engineEnd = rig.folder.file("ttyEngine");
        const std::string hostEnd = rig.folder.file("ttyHost");
        QProcess line;
        line.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + engineEnd),
                             QString::fromStdString("pty,raw,echo=0,link=" + hostEnd)});
        QVERIFY2(line.waitForStarted(), "socat is missing; `make deps-test` installs it");
        QVERIFY(waitUntil([&] { return ::access(hostEnd.c_str(), F_OK) == 0; }, [] {}, 20ms));
        storeHost("Line", {{layout::TRANSPORT, "SERIAL"},
                           {layout::TRACE_FILE, rig.folder.file("line.trc")},
                           {layout::PORT, engineEnd},
                           {layout::BAUD, "19200"},
                           {layout::DATA_BITS, "7"},
                           {layout::PARITY, "Space"},
                           {layout::STOP_BITS, "1.5"},
                           {layout::FLOW_CONTROL, "Xon / Xoff"}});
        QVERIFY(rig.start("Line"));
        QVERIFY(rig.shows("with 7 data bits it sends 2."));
        // A pseudo-terminal line is always 8 bits without parity.
        QVERIFY(rig.shows("did not take 7 data bits, parity Space;"));
        QVERIFY(rig.shows("Connected."));
        std::vector<std::string> notes;
        QVERIFY(failureIn(openSerialLine(engineEnd, {}, notes)).find("is busy") !=
                std::string::npos);

        const UniqueFd host(::open(hostEnd.c_str(), O_RDWR | O_NOCTTY));
        std::string hostSaw;
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(writeAll(host.get(), fromHost));
        QVERIFY(rig.shows(fromHost));
        // XOFF, taken before what follows it: the keys wait in the engine, the window goes on
        // showing what the host sends, and XON lets the keys through.
        QVERIFY(writeAll(host.get(), "\x13held"));
        QVERIFY(rig.shows("held"));
        rig.type("typed while held\r");
        QVERIFY(writeAll(host.get(), " still drawing"));
        QVERIFY(rig.shows(" still drawing"));
        readInto(host.get(), hostSaw);
        QVERIFY(hostSaw.find("typed") == std::string::npos);
        QVERIFY(writeAll(host.get(), "\x11"));
        QVERIFY(readUntil(host.get(), hostSaw, "typed while held\r"));

        line.terminate();
        QVERIFY(line.waitForFinished());
        QVERIFY(rig.endsOnAKeyAfter("The serial line " + engineEnd + " ended: it was hung up."));
        QCOMPARE(contentsOf(rig.folder.file("line.trc")), fromHost + "held still drawing");
        struct stat trace {};
        QCOMPARE(::stat(rig.folder.file("line.trc").c_str(), &trace), 0);
        QCOMPARE(trace.st_mode & 0777, mode_t(0600)); // what the host showed is the user's alone
    }

    // A real xterm under a private Xvfb: the window takes ZEB's titles, and what is typed in it
    // runs on a real telnetd, which learns the type from ZEB's file and the window's size. Closed
    // under ZEB, it fails ZEB's next call; a terminal that fails to come up is reported, and gets
    // no descriptor the engine was handed.
    void aLaunchInARealWindow() {
        QProcess xvfb; // picks a free display and tells it on its output
        xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp"});
        QVERIFY2(xvfb.waitForReadyRead(WAIT_LIMIT_MS), "Xvfb is missing");
        qputenv("DISPLAY", ":" + xvfb.readLine().trimmed());
        FolderWithStore folder;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("TERMINAL", "xterm");
        environment.insert("ZEB_REGISTRY", QString::fromStdString(folder.storePath()));
        environment.insert("HOME", QString::fromStdString(folder.file("")));
        QProcess server;
        const std::string port = startTelnetd(server, folder);
        const std::string trace = folder.file("real.trc");
        storeLoopbackHost("Real", port, {{layout::TTY, "AM65"}, {layout::TRACE_FILE, trace}});
        std::ofstream(folder.file("ZEB.INI")) << "[Engine]\nRunStep=Y\nTerminalType=vt220\n";
        const QString commandLine =
            QString::fromStdString("-n -i \"" + folder.file("ZEB.INI") + "\"");

        EngineClient engine(environment);
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        QCOMPARE(statusOf(engine.call("Start", {commandLine})), 0);
        // Sent before the window is ready, held until it reports in.
        for (const auto& [selector, text] : {std::pair{2, QString("ZEB Connection to Real")},
                                             {1, "Real (ZEB)"},
                                             {6, "ZEB~Version 1.0~(c) Verdastone"}}) {
            QCOMPARE(statusOf(engine.call("SendCode", {-10, selector})), 0);
            QCOMPARE(statusOf(engine.call("SendText", {text + QChar(0x7f)})), 0);
        }
        QCOMPARE(statusOf(engine.call("Start", {commandLine})), status::UNEXPECTED);
        QCOMPARE(isReadyUntil(engine).value("result").toInt(), -1);
        QCOMPARE(engine.call("NeedsRunStep").value("result").toInt(), -1);
        const QString script = QString::fromStdString(startupScript("Real"));
        QCOMPARE(statusOf(engine.call("RunScript", {script})), 0);
        QByteArray window;
        waitUntil(
            [&] { return !window.isEmpty(); },
            [&] {
                window = xdotool({"search", "--name", "^ZEB Connection to Real$"}).value_or("");
            },
            50ms);
        QVERIFY(!window.isEmpty());
        const auto traceShows = [&](const std::string& text) {
            return waitUntil([&] { return contentsOf(trace).find(text) != std::string::npos; },
                             [] {}, 50ms) ||
                   (qWarning("The host showed: %s", contentsOf(trace).c_str()), false);
        };
        QVERIFY(traceShows("TERM=vt220 SIZE=24 80")); // xterm's window is 80 x 24 by default
        QVERIFY(xdotool({"mousemove", "--window", window, "20", "20", "type", "--delay", "30",
                         "echo $((6*7))x\n"}));
        QVERIFY(traceShows("42x"));
        QVERIFY(xdotool({"windowkill", window}));
        QVERIFY(server.waitForFinished(WAIT_LIMIT_MS)); // the connection ends with the window
        const auto closed =
            isReadyUntil(engine, [](const QJsonObject& reply) { return statusOf(reply) < 0; });
        QVERIFY(closed.value("error").toString().contains("window was closed"));
        QCOMPARE(statusOf(engine.call("RunScript", {script})), status::FAIL);
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));

        // This terminal lists its descriptors and fails. The engine inherits one more (as from a
        // ZEB that leaks one), which it must not pass on.
        const std::string terminal = folder.file("terminal");
        std::ofstream(terminal) << "#!/bin/sh\nls -l /proc/$$/fd >\"$0.fds\"\nexit 1\n";
        QCOMPARE(::chmod(terminal.c_str(), 0700), 0);
        const UniqueFd inherited(::open(folder.file("inherited").c_str(), O_CREAT | O_RDWR, 0600));
        environment.insert("TERMINAL", QString::fromStdString(terminal));
        EngineClient failing(environment);
        QCOMPARE(statusOf(failing.call("Start", {"-n"})), 0);
        const auto ready = isReadyUntil(failing);
        QCOMPARE(statusOf(ready), status::FAIL);
        QVERIFY2(ready.value("error").toString().contains("ended (exit status 1)"),
                 qPrintable(ready.value("error").toString()));
        const std::string fds = contentsOf(terminal + ".fds");
        QVERIFY2(fds.find("/dev/null") != std::string::npos, fds.c_str());
        QVERIFY2(fds.find("inherited") == std::string::npos, fds.c_str());
        xvfb.terminate();
        QVERIFY(xvfb.waitForFinished(WAIT_LIMIT_MS));
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
