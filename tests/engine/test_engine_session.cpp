// The session side as it runs inside the terminal window, here on a pseudo-terminal: titles and
// about text, the script, Telnet to a host on 127.0.0.1, a serial line over socat, and every way a
// connection can fail or end.
#include "EngineTestSupport.h"
#include "FdIo.h"
#include "SerialLine.h"
#include "StoreLayout.h"

#include <QtTest>

#include <libtelnet.h>

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

namespace {

// One session side with its own store, home folder and link end.
struct SessionRig {
    TempFolder folder;
    FileStore store{folder.file("registry.db")};
    LinkEnd link{folder.file("link")};
    std::unique_ptr<PtySession> session;

    // Starts the session side and, for a host, hands it ZEB's script for that host.
    bool start(const std::string& host = {}) {
        session = std::make_unique<PtySession>(
            link.socketPath(), std::vector<std::pair<std::string, std::string>>{
                                   {"ZEB_REGISTRY", store.path()}, {"HOME", folder.file("")}});
        if (!link.accept()) {
            return false;
        }
        if (!host.empty()) {
            link.send(LinkKind::Script, startupScript(host));
        }
        return true;
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

std::string readFor(int fd, const std::string& wanted) {
    std::string got;
    waitUntil([&] { return got.find(wanted) != std::string::npos; },
              [&] {
                  pollfd readable{fd, POLLIN, 0};
                  if (::poll(&readable, 1, 100) == 1) {
                      got += readSome(fd);
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
        storeHost("Plant", {{layout::TRANSPORT, "TELNET"},
                            {layout::TRACE_FILE, "plant.trc"},
                            {layout::TTY, "AM75G"},
                            {layout::ADDRESS, "127.0.0.1"},
                            {layout::PORT, std::to_string(host.port())}});
        QVERIFY(rig.start("Plant"));
        QVERIFY(rig.session->waitForOutput(
            "DSK0:TELNET.LIT[1,4] Plant\r\nConnecting to 127.0.0.1 port " +
            std::to_string(host.port()) + "...\r\nConnected.\r\n"));
        QVERIFY(rig.session->waitForOutput("DSK0:HOST.LIT[1,4]\r\n"));

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
            storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "N");
            QVERIFY(rig.start("nowhere"));
            QVERIFY(rig.endsOnAKeyAfter("The host \"nowhere\" is not defined."));
            QVERIFY(rig.session->output().find("Connecting") == std::string::npos);
            QVERIFY(rig.session->output().find("DSK0:HOST.LIT") == std::string::npos);
        }
        {
            SessionRig rig;
            storeText(layout::SETTINGS_KEY, layout::ENABLE_NR, "Y");
            QVERIFY(rig.start("127.0.0.1"));
            QVERIFY(rig.session->waitForOutput("Connecting to 127.0.0.1 port 23..."));
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
        QVERIFY(rig.session->waitForOutput("The trace file " + rig.folder.file("fifo?[2J") +
                                           " cannot be opened"));
        QVERIFY(rig.endsOnAKeyAfter("Cannot connect to 127.0.0.1 port " + port +
                                    ": Connection refused."));
    }

    void unreachableEngineIsReported() {
        TempFolder folder;
        PtySession session(folder.file("no-such-socket"), {});
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
        const std::string engineEnd = rig.folder.file("ttyEngine");
        const std::string hostEnd = rig.folder.file("ttyHost");
        QProcess line; // a pair of connected pseudo-terminals, at the two paths
        line.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + engineEnd),
                             QString::fromStdString("pty,raw,echo=0,link=" + hostEnd)});
        QVERIFY2(line.waitForStarted(), "socat is missing; `make deps-test` installs it");
        QVERIFY(waitUntil(
            [&] {
                return ::access(engineEnd.c_str(), F_OK) == 0 &&
                       ::access(hostEnd.c_str(), F_OK) == 0;
            },
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
        QVERIFY(rig.session->waitForOutput("with 8 data bits it sends 2."));
        // A pseudo-terminal line cannot hold parity; the window says so and goes on.
        QVERIFY(rig.session->waitForOutput("did not take parity Space;"));
        QVERIFY(rig.session->waitForOutput("Connected."));
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
        QVERIFY(host.valid());
        const std::string fromHost = "login: \x07\xe9";
        QVERIFY(::write(host.get(), fromHost.data(), fromHost.size()) == ssize_t(fromHost.size()));
        QVERIFY(rig.session->waitForOutput(fromHost));
        rig.session->type("user\r");
        QVERIFY(readFor(host.get(), "user\r").find("user\r") != std::string::npos);

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

QTEST_GUILESS_MAIN(TestEngineSession)
#include "test_engine_session.moc"
