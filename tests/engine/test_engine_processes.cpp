// The engine's two sides as separate processes. The protocol side through real pipes, as ZEB
// drives it: every line answered in order with its id, failures as negative statuses with a text
// (the calls that bring up a window are tested under Xvfb in test_engine_window). The session side
// as it runs inside the window, here on a pseudo-terminal: titles and about text, the script,
// Telnet to a host on 127.0.0.1, a serial line over socat, and every way a connection can fail.
#include "EngineTestSupport.h"
#include "FdIo.h"
#include "SerialLine.h"
#include "StoreLayout.h"

#include <QtTest>

#include <libtelnet.h>

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

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

namespace {

void verifyFailure(const QJsonObject& reply, std::int32_t status, const QString& textPart) {
    QCOMPARE(statusOf(reply), status);
    const QString error = reply.value("error").toString();
    QVERIFY2(error.contains(textPart), qPrintable(error));
    QVERIFY(!reply.contains("result"));
}

// One session side on a pseudo-terminal of 100 x 30, as inside a window, with its own store and
// home folder, and the listening link end that the protocol side would own.
struct SessionRig {
    TempFolder folder;
    FileStore store{folder.file("registry.db")};
    UniqueFd listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    UniqueFd link;
    UniqueFd master;
    pid_t pid = -1;
    std::string output; // all the terminal has shown so far

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
            ::setenv("ZEB_REGISTRY", store.path().c_str(), 1);
            ::setenv("HOME", folder.file("").c_str(), 1);
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
        if (readUntil(master.get(), output, text)) {
            return true;
        }
        qWarning("The terminal showed: %s",
                 QByteArray::fromStdString(output).toPercentEncoding(" :.,\"/()[]").constData());
        return false;
    }
    // The usual end of a failed or ended connection: the reason, then a key closes the window.
    bool endsOnAKeyAfter(const std::string& reason) {
        if (!shows(reason) || !shows("Press any key to close this window.")) {
            return false;
        }
        type("q");
        int status = -1;
        const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                                     [&] { readInto(master.get(), output); });
        pid = ended ? -1 : pid;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
};

} // namespace

class TestEngineProcesses : public QObject {
    Q_OBJECT

private slots:
    // Every line is answered in order with its id; malformed ones are refused and the engine goes
    // on. EngineControl takes texts, before Start too, until it is released.
    void callsAreAnsweredInOrderAndMalformedOnesRefused() {
        EngineClient engine(QProcessEnvironment::systemEnvironment());
        for (const auto& [line, why] :
             {std::pair<QByteArray, QString>{"this is not JSON", "not a JSON object"},
              {"[1,2]", "not a JSON object"},
              {R"({"call":"IsReady","args":[]})", "\"id\""},
              {R"({"id":1.5,"call":"X"})", "\"id\""},
              {R"({"id":0,"call":"X"})", "\"id\""},
              {R"({"id":5,"args":[]})", "\"call\""},
              {R"({"id":3,"call":"X","args":7})", "\"args\""},
              {QByteArray(MAX_LINE_LENGTH + 10, 'x'), "longer"}}) {
            verifyFailure(engine.sendLine(line), status::INVALID_ARGUMENT, why);
        }
        QCOMPARE(idOf(engine.sendLine(R"({"id":3,"call":"X","args":7})")), 3);

        const auto unknown = engine.call("Launch\u00e9", {});
        QCOMPARE(idOf(unknown), 1);
        verifyFailure(unknown, status::NOT_IMPLEMENTED, "Launch\u00e9");
        verifyFailure(engine.call("SendCode", {-10, 2}), status::UNEXPECTED, "QueryInterface");
        verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("NeedsRunStep"), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("RunScript", {"x"}), status::UNEXPECTED, "before Start");
        verifyFailure(engine.call("Start", {42}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("Start", {"-n", "-n"}), status::INVALID_ARGUMENT, "Start takes");
        verifyFailure(engine.call("IsReady", {1}), status::INVALID_ARGUMENT, "no arguments");

        const auto offered = engine.call("QueryInterface", {"EngineControl"});
        QCOMPARE(idOf(offered), 9);
        QCOMPARE(statusOf(offered), 0);
        QVERIFY(!offered.contains("result") && !offered.contains("error"));
        verifyFailure(engine.call("SendCode", {-10.5, 2}), status::INVALID_ARGUMENT, "32-bit");
        verifyFailure(engine.call("SendCode", {-10, 4294967296.0}), status::INVALID_ARGUMENT,
                      "32-bit");
        verifyFailure(engine.call("SendCode", {-10}), status::INVALID_ARGUMENT, "two arguments");
        verifyFailure(engine.call("SendText", {}), status::INVALID_ARGUMENT, "one argument");
        // Texts of every code are taken; those the engine does not show are ignored.
        for (const auto& [code, selector] :
             {std::pair{-10, 2}, {-10, 1}, {-10, 6}, {-10, 9}, {3, 2}}) {
            QCOMPARE(statusOf(engine.call("SendCode", {code, selector})), 0);
            QCOMPARE(statusOf(engine.call("SendText", {QString("text\x7f")})), 0);
        }
        QCOMPARE(statusOf(engine.call("SendText", {"without a code"})), 0);
        verifyFailure(engine.call("QueryInterface", {"IOther"}), status::NO_INTERFACE, "IOther");
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        verifyFailure(engine.call("Release", {"everything"}), status::INVALID_ARGUMENT, "Release");
        // Released, EngineControl takes no more texts.
        const auto late = engine.call("SendCode", {-10, 2});
        QCOMPARE(idOf(late), 29);
        verifyFailure(late, status::UNEXPECTED, "EngineControl");
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));
    }

    // Each way Start can fail, in a fresh engine; afterwards nothing counts as started.
    void failedStartsAreExplained() {
        TempFolder folder;
        std::ofstream(folder.file("terminal.ini")) << "[Engine]\nTerminal=zeb-no-such-terminal\n";
        std::ofstream(folder.file("runstep.ini")) << "[Engine]\nRunStep=perhaps\n";
        const auto withFile = [&](const char* name) {
            return QString::fromStdString("-n -i \"" + folder.file(name) + "\"");
        };
        // {DISPLAY, TERMINAL, command line, status, why}; an empty DISPLAY means neither it nor
        // WAYLAND_DISPLAY, an empty TERMINAL means none and nothing to find on PATH.
        const std::tuple<QString, QString, QString, std::int32_t, QString> cases[] = {
            {"", "/bin/true", "-n", status::FAIL, "no display"},
            {":1999", "/bin/true", "-n", status::FAIL, "\":1999\" cannot be opened"},
            {":1999", "/nonexistent/zeb-terminal", "-n", status::FILE_NOT_FOUND,
             "/nonexistent/zeb-terminal"},
            {":1999", "/bin/true", withFile("terminal.ini"), status::FILE_NOT_FOUND,
             "zeb-no-such-terminal\" named by the initialization file"},
            {":1999", "", "-n", status::FILE_NOT_FOUND, "No terminal program"},
            {":1999", "/bin/true", "-n -q", status::INVALID_ARGUMENT, "-q"},
            {":1999", "/bin/true", withFile("missing.ini"), status::FAIL,
             QString::fromStdString(folder.file("missing.ini"))},
            {":1999", "/bin/true", withFile("runstep.ini"), status::FAIL, "RunStep"},
        };
        for (const auto& [display, terminal, commandLine, status, why] : cases) {
            auto environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TERMINAL"}) {
                environment.remove(name);
            }
            if (!display.isEmpty()) {
                environment.insert("DISPLAY", display);
            }
            const QString noPrograms = QString::fromStdString(folder.file(""));
            environment.insert(terminal.isEmpty() ? "PATH" : "TERMINAL",
                               terminal.isEmpty() ? noPrograms : terminal);
            EngineClient engine(environment);
            verifyFailure(engine.call("Start", {commandLine}), status, why);
            verifyFailure(engine.call("IsReady"), status::UNEXPECTED, "before Start");
        }
    }

    void titlesAndAboutTextReachTheWindow() {
        SessionRig rig;
        QVERIFY(rig.start());
        rig.send(LinkKind::WindowTitle, "ZEB Connection to Plant");
        rig.send(LinkKind::IconTitle, "Plant (ZEB)");
        rig.send(LinkKind::About, "ZEB~Version 1.0~(c) Verdastone\x1b[31m");
        QVERIFY(rig.shows("\x1b]2;ZEB Connection to Plant\x07"));
        QVERIFY(rig.shows("\x1b]1;Plant (ZEB)\x07"));
        QVERIFY(rig.shows("\x1b[1;1H\x1b[2KZEB - Version 1.0 - (c) Verdastone?[31m\x1b"
                          "8"));
        rig.link.reset(); // ZEB went away without a script
        QVERIFY(rig.endsOnAKeyAfter("ZEB ended before it handed over the start-up script."));
    }

    void telnetHostNegotiatesRelaysAndTraces() {
        SessionRig rig;
        TelnetTestServer host;
        std::ofstream(rig.folder.file("plant.trc")) << "earlier\n";
        storeHost("Plant", {{layout::TRANSPORT, "TELNET"},
                            {layout::TRACE_FILE, "plant.trc"},
                            {layout::TTY, "AM75G"},
                            {layout::ADDRESS, "127.0.0.1"},
                            {layout::PORT, std::to_string(host.port())}});
        QVERIFY(rig.start("Plant"));
        QVERIFY(rig.shows("DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " +
                          std::to_string(host.port()) + "...\r\nConnected.\r\n"));
        QVERIFY(rig.shows("DSK0:HOST.LIT[1,4]\r\n"));

        QVERIFY(host.waitFor([](const TelnetObservations& seen) {
            return seen.terminalType == "AM75G" && seen.columns == 100 && seen.rows == 30 &&
                   seen.agreed ==
                       std::set<std::pair<int, int>>{{TELNET_EV_DO, TELNET_TELOPT_ECHO},
                                                     {TELNET_EV_DO, TELNET_TELOPT_SGA},
                                                     {TELNET_EV_WILL, TELNET_TELOPT_TTYPE},
                                                     {TELNET_EV_WILL, TELNET_TELOPT_NAWS}};
        }));

        const std::string fromHost = "Welcome to Plant\r\n\xff\x01 binary\x1b[0m ok";
        host.send(fromHost);
        QVERIFY(rig.shows(fromHost));
        rig.type("dir\r");
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.received == "dir\r\n"; }));

        const winsize bigger{43, 132, 0, 0}; // rows, columns
        ::ioctl(rig.master.get(), TIOCSWINSZ, &bigger);
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.columns == 132 && seen.rows == 43; }));

        host.closeClient();
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
        QCOMPARE(contentsOf(rig.folder.file("plant.trc")), "earlier\n" + fromHost);
    }

    void undefinedNamesDependOnNameResolution() {
        {
            SessionRig rig;
            storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "N");
            QVERIFY(rig.start("nowhere"));
            QVERIFY(rig.endsOnAKeyAfter("The host \"nowhere\" is not defined."));
            QVERIFY(rig.output.find("Connecting") == std::string::npos);
            QVERIFY(rig.output.find("DSK0:HOST.LIT") == std::string::npos);
        }
        {
            SessionRig rig;
            storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
            QVERIFY(rig.start("127.0.0.1"));
            QVERIFY(rig.shows("Connecting to 127.0.0.1 port 23..."));
        }
    }

    void refusedConnectionIsReported() {
        SessionRig rig;
        const auto port = std::to_string(refusingPort());
        // A trace file that cannot be opened at once (a FIFO nobody reads) is named, escaped.
        const std::string trace = rig.folder.file("fifo\x1b[2J");
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        storeHost("Gone", {{layout::TRANSPORT, "TELNET"},
                           {layout::ADDRESS, "127.0.0.1"},
                           {layout::TRACE_FILE, trace},
                           {layout::PORT, port}});
        QVERIFY(rig.start("Gone"));
        QVERIFY(rig.shows("The trace file " + rig.folder.file("fifo?[2J") + " cannot be opened"));
        QVERIFY(rig.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                    ": Connection refused."));
    }

    void unreachableEngineIsReported() {
        SessionRig rig;
        rig.run(rig.folder.file("no-such-socket"));
        QVERIFY(rig.endsOnAKeyAfter("This window cannot reach the engine that opened it"));
    }

    void scriptWithoutAHostSaysSo() {
        SessionRig rig;
        QVERIFY(rig.start());
        rig.send(LinkKind::Script, ":S\r\nDSK0:FORMAT.LIT[1,4] ALL");
        QVERIFY(
            rig.shows("DSK0:FORMAT.LIT[1,4] ALL\r\n(not a command this engine knows; ignored)"));
        QVERIFY(rig.endsOnAKeyAfter("The start-up script named no host to connect to."));
    }

    void serialLineOverSocatCarriesBytesBothWays() {
        SessionRig rig;
        const std::string engineEnd = rig.folder.file("ttyEngine");
        const std::string hostEnd = rig.folder.file("ttyHost");
        QProcess line; // a pair of connected pseudo-terminals, at the two paths
        line.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + engineEnd),
                             QString::fromStdString("pty,raw,echo=0,link=" + hostEnd)});
        QVERIFY2(line.waitForStarted(), "socat is missing; `make deps-test` installs it");
        const auto exists = [](const std::string& path) {
            return ::access(path.c_str(), F_OK) == 0;
        };
        QVERIFY(waitUntil([&] { return exists(engineEnd) && exists(hostEnd); },
                          [] { std::this_thread::sleep_for(20ms); }));
        storeHost("Line", {{layout::TRANSPORT, "SERIAL"},
                           {layout::TRACE_FILE, rig.folder.file("line.trc")},
                           {layout::PORT, engineEnd},
                           {layout::BAUD, "19200"},
                           {layout::DATA_BITS, "8"},
                           {layout::PARITY, "Space"},
                           {layout::STOP_BITS, "1.5"},
                           {layout::FLOW_CONTROL, "Xon / Xoff"}});
        QVERIFY(rig.start("Line"));
        QVERIFY(rig.shows("with 8 data bits it sends 2."));
        // A pseudo-terminal line cannot hold parity; the window says so and goes on.
        QVERIFY(rig.shows("did not take parity Space;"));
        QVERIFY(rig.shows("Connected."));
        // The engine keeps the line to itself: another user of it, root included, is turned away.
        std::vector<std::string> notes;
        const auto second = openSerialLine(engineEnd, {}, notes);
        QVERIFY(failed(second) && failureOf(second).find("is busy") != std::string::npos);

        if (::geteuid() == 0) { // only root may look at a port held with TIOCEXCL
            const UniqueFd port(::open(engineEnd.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
            termios applied{};
            QCOMPARE(::tcgetattr(port.get(), &applied), 0);
            QCOMPARE(cfgetospeed(&applied), speed_t(B19200));
            QCOMPARE(applied.c_cflag & CSTOPB, tcflag_t(CSTOPB));
            QCOMPARE(applied.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        }

        const UniqueFd host(::open(hostEnd.c_str(), O_RDWR | O_NOCTTY));
        std::string hostSaw;
        QVERIFY(host.valid());
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(::write(host.get(), fromHost.data(), fromHost.size()) == ssize_t(fromHost.size()));
        QVERIFY(rig.shows(fromHost));
        rig.type("user\r");
        QVERIFY(readUntil(host.get(), hostSaw, "user\r"));

        line.terminate();
        QVERIFY(line.waitForFinished());
        QVERIFY(rig.endsOnAKeyAfter("The serial line " + engineEnd + " ended"));
        QCOMPARE(contentsOf(rig.folder.file("line.trc")), fromHost);
        struct stat trace {};
        QCOMPARE(::stat(rig.folder.file("line.trc").c_str(), &trace), 0);
        QCOMPARE(trace.st_mode & 0777, mode_t(0600)); // what the host showed is the user's alone
    }

    void busySerialPortIsReported() {
        SessionRig rig;
        int master = -1;
        int slave = -1;
        char name[128] = {};
        QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        const UniqueFd heldMaster(master);
        const UniqueFd heldSlave(slave);
        QCOMPARE(::flock(slave, LOCK_EX | LOCK_NB), 0); // another program has the port
        storeHost("Busy", {{layout::TRANSPORT, "SERIAL"}, {layout::PORT, name}});
        QVERIFY(rig.start("Busy"));
        QVERIFY(rig.endsOnAKeyAfter(std::string("The serial port ") + name +
                                    " is busy: another program is using it."));
    }
};

QTEST_GUILESS_MAIN(TestEngineProcesses)
#include "test_engine_processes.moc"
