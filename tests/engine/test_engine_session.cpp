// The session side as it runs inside the terminal window, here on a pseudo-terminal: titles and
// about text, the script, Telnet to a host on 127.0.0.1, a serial line over socat, and every way a
// connection can fail or end.
#include "EngineTestSupport.h"
#include "StoreLayout.h"
#include "TerminalLauncher.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

namespace {

// ZEB's seven-line start-up script for a host.
std::string startupScript(const std::string& host) {
    return ":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\nDSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] " +
           host + "\r\n:S\r\nDSK0:HOST.LIT[1,4]";
}

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// One session side with its own store, home folder and link end.
struct SessionRig {
    TempFolder folder;
    FileStore store{folder.file("registry.db")};
    LinkEnd link{folder.file("link")};
    std::unique_ptr<PtySession> session;

    bool start() {
        session = std::make_unique<PtySession>(
            ENGINE_PROGRAM, link.socketPath(),
            std::vector<std::pair<std::string, std::string>>{{"ZEB_REGISTRY", store.path()},
                                                             {"HOME", folder.file("")}});
        return link.accept();
    }
    // The usual end of a failed or ended connection: the reason, then a key closes the window.
    bool endsOnAKeyAfter(const std::string& reason) {
        if (!session->waitForOutput(reason) ||
            !session->waitForOutput("Press any key to close this window.")) {
            return false;
        }
        session->type("q");
        return session->waitForExit() == std::optional<int>(0);
    }
};

// A socat-made pair of connected pseudo-terminals: the engine opens one end, the test the other.
class SocatPair {
public:
    SocatPair(const std::string& engineEnd, const std::string& testEnd) {
        const std::string socat = findProgram("socat");
        if (socat.empty()) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string first = "pty,raw,echo=0,link=" + engineEnd;
            const std::string second = "pty,raw,echo=0,link=" + testEnd;
            ::execl(socat.c_str(), "socat", first.c_str(), second.c_str(), nullptr);
            ::_exit(127);
        }
        waitUntil(
            [&] {
                return ::access(engineEnd.c_str(), F_OK) == 0 &&
                       ::access(testEnd.c_str(), F_OK) == 0;
            },
            [] { std::this_thread::sleep_for(20ms); });
    }
    ~SocatPair() { stop(); }
    bool running() const { return pid_ > 0; }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

std::string readFor(int fd, const std::string& wanted) {
    std::string got;
    waitUntil([&] { return got.find(wanted) != std::string::npos; },
              [&] {
                  pollfd readable{fd, POLLIN, 0};
                  if (::poll(&readable, 1, 100) == 1) {
                      char buffer[256];
                      const ssize_t n = ::read(fd, buffer, sizeof buffer);
                      got.append(buffer, n > 0 ? static_cast<size_t>(n) : 0);
                  }
              });
    return got;
}

} // namespace

class TestEngineSession : public QObject {
    Q_OBJECT

private slots:
    void titlesAndAboutTextReachTheWindow() {
        SessionRig rig;
        QVERIFY(rig.start());
        rig.link.send(LinkKind::WindowTitle, "ZEB Connection to Plant");
        rig.link.send(LinkKind::IconTitle, "Plant (ZEB)");
        rig.link.send(LinkKind::About, "ZEB~Version 1.0~(c) Verdastone\x1b[31m");
        QVERIFY(rig.session->waitForOutput("\x1b]2;ZEB Connection to Plant\x07"));
        QVERIFY(rig.session->waitForOutput("\x1b]1;Plant (ZEB)\x07"));
        QVERIFY(
            rig.session->waitForOutput("\x1b[1;1H\x1b[2KZEB - Version 1.0 - (c) Verdastone?[31m\x1b"
                                       "8"));
        rig.link.close(); // ZEB went away without a script
        QVERIFY(rig.endsOnAKeyAfter("ZEB ended before it handed over the start-up script."));
    }

    void telnetHostNegotiatesRelaysAndTraces() {
        SessionRig rig;
        TelnetTestServer host;
        std::ofstream(rig.folder.file("plant.trc")) << "earlier\n";
        rig.store.addHost("Plant", {{layout::TRANSPORT, "TELNET"},
                                    {layout::TRACE_FILE, "plant.trc"},
                                    {layout::TTY, "AM75G"},
                                    {layout::ADDRESS, "127.0.0.1"},
                                    {layout::PORT, std::to_string(host.port())}});
        QVERIFY(rig.start());
        rig.link.send(LinkKind::Script, startupScript("Plant"));
        QVERIFY(rig.session->waitForOutput(
            "DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " +
            std::to_string(host.port()) + "...\r\nConnected.\r\n"));
        QVERIFY(rig.session->waitForOutput("DSK0:HOST.LIT[1,4]\r\n"));

        QVERIFY(host.waitFor([](const TelnetObservations& seen) {
            return seen.terminalType == "AM75G" && seen.columns == 100 && seen.rows == 30 &&
                   seen.agreed.count("DO ECHO") && seen.agreed.count("DO SGA") &&
                   seen.agreed.count("WILL TTYPE") && seen.agreed.count("WILL NAWS");
        }));

        const std::string fromHost = "Welcome to Plant\r\n\xff\x01 binary\x1b[0m ok";
        host.send(fromHost);
        QVERIFY(rig.session->waitForOutput(fromHost));
        rig.session->type("dir\r");
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.received == "dir\r\n"; }));

        winsize bigger{};
        bigger.ws_col = 132;
        bigger.ws_row = 43;
        ::ioctl(rig.session->masterFd(), TIOCSWINSZ, &bigger);
        QVERIFY(host.waitFor(
            [](const TelnetObservations& seen) { return seen.columns == 132 && seen.rows == 43; }));

        host.closeClient();
        QVERIFY(rig.endsOnAKeyAfter("The host closed the connection."));
        QCOMPARE(contentsOf(rig.folder.file("plant.trc")), "earlier\n" + fromHost);
    }

    void undefinedNamesDependOnNameResolution() {
        {
            SessionRig rig;
            rig.store.set(layout::SETTINGS_KEY, layout::ENABLE_NR, "N");
            QVERIFY(rig.start());
            rig.link.send(LinkKind::Script, startupScript("nowhere"));
            QVERIFY(rig.endsOnAKeyAfter("The host \"nowhere\" is not defined."));
            QVERIFY(rig.session->output().find("Connecting") == std::string::npos);
            QVERIFY(rig.session->output().find("DSK0:HOST.LIT") == std::string::npos);
        }
        {
            SessionRig rig;
            rig.store.set(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
            QVERIFY(rig.start());
            rig.link.send(LinkKind::Script, startupScript("127.0.0.1"));
            QVERIFY(rig.session->waitForOutput("Connecting to 127.0.0.1 port 23..."));
        }
    }

    void refusedConnectionIsReported() {
        SessionRig rig;
        const auto port = std::to_string(refusingPort());
        // A trace file that cannot be opened at once (a FIFO nobody reads) is named, escaped.
        const std::string trace = rig.folder.file("fifo\x1b[2J");
        QCOMPARE(::mkfifo(trace.c_str(), 0600), 0);
        rig.store.addHost("Gone", {{layout::TRANSPORT, "TELNET"},
                                   {layout::ADDRESS, "127.0.0.1"},
                                   {layout::TRACE_FILE, trace},
                                   {layout::PORT, port}});
        QVERIFY(rig.start());
        rig.link.send(LinkKind::Script, startupScript("Gone"));
        QVERIFY(rig.session->waitForOutput("The trace file " + rig.folder.file("fifo?[2J") +
                                           " cannot be opened"));
        QVERIFY(rig.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                    ": Connection refused."));
    }

    void unreachableEngineIsReported() {
        TempFolder folder;
        PtySession session(ENGINE_PROGRAM, folder.file("no-such-socket"), {});
        QVERIFY(session.waitForOutput("This window cannot reach the engine that opened it"));
        QVERIFY(session.waitForOutput("Press any key to close this window."));
        session.type("q");
        QCOMPARE(session.waitForExit(), std::optional<int>(0));
    }

    void scriptWithoutAHostSaysSo() {
        SessionRig rig;
        QVERIFY(rig.start());
        rig.link.send(LinkKind::Script, ":S\r\nDSK0:FORMAT.LIT[1,4] ALL");
        QVERIFY(rig.session->waitForOutput(
            "DSK0:FORMAT.LIT[1,4] ALL\r\n(not a command this engine knows; ignored)"));
        QVERIFY(rig.endsOnAKeyAfter("The start-up script named no host to connect to."));
    }

    void serialLineOverSocatCarriesBytesBothWays() {
        SessionRig rig;
        SocatPair line(rig.folder.file("ttyEngine"), rig.folder.file("ttyHost"));
        if (!line.running()) {
            QFAIL("socat is missing; `make deps-test` installs it");
        }
        rig.store.addHost("Line", {{layout::TRANSPORT, "SERIAL"},
                                   {layout::TRACE_FILE, rig.folder.file("line.trc")},
                                   {layout::PORT, rig.folder.file("ttyEngine")},
                                   {layout::BAUD, "19200"},
                                   {layout::DATA_BITS, "8"},
                                   {layout::PARITY, "Space"},
                                   {layout::STOP_BITS, "1.5"},
                                   {layout::FLOW_CONTROL, "Xon / Xoff"}});
        QVERIFY(rig.start());
        rig.link.send(LinkKind::Script, startupScript("Line"));
        QVERIFY(rig.session->waitForOutput("with 8 data bits it sends 2."));
        // A pseudo-terminal line cannot hold parity; the window says so and goes on.
        QVERIFY(rig.session->waitForOutput("did not take parity Space;"));
        QVERIFY(rig.session->waitForOutput("Connected."));

        if (::geteuid() == 0) { // only root may look at a port held with TIOCEXCL
            const UniqueFd engineEnd(
                ::open(rig.folder.file("ttyEngine").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
            termios applied{};
            QCOMPARE(::tcgetattr(engineEnd.get(), &applied), 0);
            QCOMPARE(cfgetospeed(&applied), speed_t(B19200));
            QCOMPARE(applied.c_cflag & CSTOPB, tcflag_t(CSTOPB));
            QCOMPARE(applied.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        }

        const UniqueFd hostEnd(::open(rig.folder.file("ttyHost").c_str(), O_RDWR | O_NOCTTY));
        QVERIFY(hostEnd.valid());
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(::write(hostEnd.get(), fromHost.data(), fromHost.size()) ==
                ssize_t(fromHost.size()));
        QVERIFY(rig.session->waitForOutput(fromHost));
        rig.session->type("user\r");
        QVERIFY(readFor(hostEnd.get(), "user\r").find("user\r") != std::string::npos);

        line.stop();
        QVERIFY(rig.endsOnAKeyAfter("The serial line " + rig.folder.file("ttyEngine") + " ended"));
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
        rig.store.addHost("Busy", {{layout::TRANSPORT, "SERIAL"}, {layout::PORT, name}});
        QVERIFY(rig.start());
        rig.link.send(LinkKind::Script, startupScript("Busy"));
        QVERIFY(rig.endsOnAKeyAfter(std::string("The serial port ") + name +
                                    " is busy: another program is using it."));
    }
};

QTEST_GUILESS_MAIN(TestEngineSession)
#include "test_engine_session.moc"
