// The whole engine as ZEB meets it, under a private Xvfb with xterm: the window comes up, carries
// ZEB's titles, connects to the host, and goes on working after ZEB has let go; a real telnetd
// learns the window's terminal type and size. Xvfb, xterm and xdotool are test dependencies;
// without them this test fails, it does not pass quietly (without telnetd, that case is skipped
// and says so).
#include "EngineTestSupport.h"
#include "StoreLayout.h"

#include <QtTest>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

// Last: Xlib's macros (None, Status, Bool) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

namespace {

// Debian's inetutils-telnetd.
constexpr const char* TELNETD = "/usr/sbin/telnetd";

// The top-level windows: id, window title, icon title.
using WindowNames = std::tuple<unsigned long, std::string, std::string>;

std::vector<WindowNames> topLevelWindows() {
    std::vector<WindowNames> windows;
    Display* display = XOpenDisplay(nullptr);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (display == nullptr) {
        return windows;
    }
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    const auto nameOf = [&](Status (*fetch)(Display*, Window, char**), Window window) {
        char* text = nullptr;
        std::string name = fetch(display, window, &text) != 0 && text != nullptr ? text : "";
        XFree(text);
        return name;
    };
    for (unsigned i = 0; i < count; ++i) {
        windows.emplace_back(children[i], nameOf(XFetchName, children[i]),
                             nameOf(XGetIconName, children[i]));
    }
    XFree(children);
    XCloseDisplay(display);
    return windows;
}

// The window of a launch for `host`, once it carries both of ZEB's titles (the two arrive one
// after the other, so the wait covers both).
std::optional<unsigned long> zebWindow(const std::string& host) {
    std::optional<unsigned long> found;
    waitUntil([&] { return found.has_value(); },
              [&] {
                  for (const auto& [id, title, iconTitle] : topLevelWindows()) {
                      if (title == "ZEB Connection to " + host && iconTitle == host + " (ZEB)") {
                          found = id;
                      }
                  }
              },
              50ms);
    return found;
}

// Runs xdotool; whether it did what it was asked.
bool xdotool(const QStringList& arguments) {
    QProcess process;
    process.start("xdotool", arguments);
    return process.waitForFinished(WAIT_LIMIT_MS) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Real key presses (XTEST) into the window, as a user types them.
bool typeInto(unsigned long window, const QString& text) {
    return xdotool({"mousemove", "--window", QString::number(window), "20", "20", "type", "--delay",
                    "30", text});
}

// A window that waits for a key after its connection has ended closes on one. Keys typed before
// the session has seen the end are harmless, so the key is repeated until the window is gone.
bool closesOnAKey(unsigned long id) {
    const auto isThisOne = [&](const WindowNames& window) { return std::get<0>(window) == id; };
    return waitUntil([&] { return std::ranges::none_of(topLevelWindows(), isThisOne); },
                     [&] { typeInto(id, "q"); }, 100ms);
}

bool sendTitles(EngineClient& engine, const QString& host) {
    const std::pair<int, QString> texts[] = {{2, "ZEB Connection to " + host},
                                             {1, host + " (ZEB)"},
                                             {6, "ZEB~Version 1.0~(c) Verdastone"}};
    return std::all_of(std::begin(texts), std::end(texts), [&](const auto& text) {
        return statusOf(engine.call("SendCode", {-10, text.first})) == 0 &&
               statusOf(engine.call("SendText", {text.second + QChar(0x7f)})) == 0;
    });
}

// Polls IsReady as ZEB does, with a short pause, until the reply satisfies `done` (by default the
// first yes, or a failure); the last reply.
QJsonObject isReadyUntil(
    EngineClient& engine,
    const std::function<bool(const QJsonObject&)>& done = [](const QJsonObject& reply) {
        return statusOf(reply) < 0 || reply.value("result").toInt() != 0;
    }) {
    QJsonObject reply;
    waitUntil([&] { return done(reply); }, [&] { reply = engine.call("IsReady"); }, 50ms);
    return reply;
}

// Everything a launch needs: a store, a home folder, the engine and an X server of its own, which
// picks a free display, tells it on its output and becomes DISPLAY for all this process starts.
struct WindowRig {
    QProcess xvfb;
    bool hasDisplay = false;
    FolderWithStore folder;
    std::optional<EngineClient> engine;

    WindowRig() {
        xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
                            "1024x768x24"});
        while (!xvfb.canReadLine() && xvfb.waitForReadyRead(WAIT_LIMIT_MS)) {
        }
        const QByteArray number = xvfb.readLine().trimmed();
        hasDisplay = !number.isEmpty();
        qputenv("DISPLAY", ":" + number);
    }
    ~WindowRig() {
        engine.reset();
        xvfb.terminate();
        xvfb.waitForFinished(WAIT_LIMIT_MS);
    }

    QProcessEnvironment environment(const QString& terminal) const {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("TERMINAL", terminal);
        environment.insert("ZEB_REGISTRY", QString::fromStdString(folder.storePath()));
        environment.insert("HOME", QString::fromStdString(folder.file("")));
        return environment;
    }
    // Starts the engine with xterm and makes ZEB's opening calls: EngineControl, Start with the
    // command line, the titles for `host`.
    bool open(const QString& commandLine, const QString& host) {
        if (!hasDisplay) {
            qWarning("Xvfb did not start; `make deps-test` installs it, xterm and xdotool");
            return false;
        }
        engine.emplace(environment("xterm"));
        return statusOf(engine->call("QueryInterface", {"EngineControl"})) == 0 &&
               statusOf(engine->call("Start", {commandLine})) == 0 && sendTitles(*engine, host);
    }
};

} // namespace

class TestEngineWindow : public QObject {
    Q_OBJECT

private slots:
    void launchShowsTitlesConnectsAndOutlivesZeb() {
        WindowRig rig;
        TelnetTestServer host;
        storeHost("Plant", {{layout::TRANSPORT, "TELNET"},
                            {layout::TTY, "AM65G"},
                            {layout::ADDRESS, "127.0.0.1"},
                            {layout::PORT, std::to_string(host.port())}});
        // The file's types take the place of xterm's own.
        std::ofstream(rig.folder.file("ZEB.INI"))
            << "[Engine]\nRunStep=Y\nTerminalType=vt220 VT100\n";

        const QString commandLine =
            QString::fromStdString("-n -i \"" + rig.folder.file("ZEB.INI") + "\"");
        QVERIFY(rig.open(commandLine, "Early")); // titles held until the window reports in
        auto& engine = *rig.engine;
        QCOMPARE(statusOf(engine.call("Start", {commandLine})), status::UNEXPECTED);
        const auto ready = isReadyUntil(engine);
        QCOMPARE(statusOf(ready), 0);
        QCOMPARE(ready.value("result").toInt(), -1);
        QVERIFY(sendTitles(engine, "Plant")); // and these go straight to it
        QCOMPARE(engine.call("NeedsRunStep").value("result").toInt(), -1);
        const QString script = QString::fromStdString(startupScript("Plant", true));
        QCOMPARE(statusOf(engine.call("RunScript", {script})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"main"})), 0);
        QCOMPARE(statusOf(engine.call("Release", {"EngineControl"})), 0);
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));

        const auto window = zebWindow("Plant");
        QVERIFY(window);
        QVERIFY(host.waitFor([](const TelnetObservations& seen) {
            return seen.terminalTypes ==
                       std::vector<std::string>{"AM65G", "VT220", "VT100", "VT100", "AM65G"} &&
                   seen.columns > 0 && seen.rows > 0;
        }));

        // ZEB and the protocol side are gone; the window still talks to the host.
        QVERIFY(typeInto(*window, "status"));
        QVERIFY(
            host.waitFor([](const TelnetObservations& seen) { return seen.received == "status"; }));
        host.closeClient();
        QVERIFY(closesOnAKey(*window));
    }

    // A real Telnet server (inetutils-telnetd, as Debian runs it) whose login program is a script:
    // it cycles through the offered terminal types to one its terminfo knows, learns the window's
    // size, and runs what is typed in the window.
    void realTelnetServerGetsTheWindowsTypeAndSize() {
        if (::access(TELNETD, X_OK) != 0) {
            QSKIP("inetutils-telnetd is not installed; `make deps-test` installs it");
        }
        WindowRig rig;
        const std::string login = rig.folder.file("login");
        std::ofstream(login) << "#!/bin/sh\necho \"TERM=$TERM SIZE=$(stty size)\"\nexec /bin/sh\n";
        QCOMPARE(::chmod(login.c_str(), 0700), 0);
        const auto port = std::to_string(TelnetTestServer().port()); // free again at once
        QProcess server;
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start("socat", {"-d", "-d",
                               QString::fromStdString("TCP-LISTEN:" + port +
                                                      ",bind=127.0.0.1,reuseaddr,fork"),
                               QString::fromStdString("EXEC:\"" + std::string(TELNETD) + " -h -E " +
                                                      login + "\",nofork")});
        QVERIFY2(server.waitForStarted(), "socat is missing; `make deps-test` installs it");
        QByteArray said;
        QVERIFY(waitUntil([&] { return said.contains("listening on"); },
                          [&] { server.waitForReadyRead(100), said += server.readAll(); }));
        const std::string trace = rig.folder.file("real.trc");
        storeHost("Real", {{layout::TRANSPORT, "TELNET"},
                           {layout::TTY, "AM65"},
                           {layout::TRACE_FILE, trace},
                           {layout::ADDRESS, "127.0.0.1"},
                           {layout::PORT, port}});
        QVERIFY(rig.open("-n", "Real"));
        QCOMPARE(isReadyUntil(*rig.engine).value("result").toInt(), -1);
        QCOMPARE(statusOf(rig.engine->call("RunScript",
                                           {QString::fromStdString(startupScript("Real"))})),
                 0);
        QCOMPARE(rig.engine->closeAndWait(), std::optional<int>(0));
        const auto window = zebWindow("Real");
        QVERIFY(window);

        const auto traceShows = [&](const std::string& text) {
            const bool shown = waitUntil(
                [&] { return contentsOf(trace).find(text) != std::string::npos; }, [] {}, 50ms);
            if (!shown) {
                qWarning("The host showed: %s", contentsOf(trace).c_str());
            }
            return shown;
        };
        // xterm's window is 80 x 24 unless told otherwise.
        QVERIFY(traceShows("TERM=xterm-256color SIZE=24 80"));
        QVERIFY(typeInto(*window, "echo $((6*7))x\n"));
        QVERIFY(traceShows("42x"));
        QVERIFY(xdotool({"windowkill", QString::number(*window)}));
        server.terminate();
        server.waitForFinished(WAIT_LIMIT_MS);
    }

    // Either side may go first: ZEB before the window is ready (the window lives on), or the
    // window (ZEB's next call fails); or the terminal fails to come up (IsReady says why).
    void everyWayALaunchEnds() {
        WindowRig rig;
        QVERIFY(rig.open("-n", "Leaver"));
        // The protocol side ends only after the window has reported in and taken the titles.
        QCOMPARE(rig.engine->closeAndWait(), std::optional<int>(0));
        const auto leaver = zebWindow("Leaver");
        QVERIFY(leaver);
        QVERIFY(closesOnAKey(*leaver));

        QVERIFY(rig.open("-n", "Shortlived"));
        auto& engine = *rig.engine;
        QCOMPARE(isReadyUntil(engine).value("result").toInt(), -1);
        QCOMPARE(engine.call("NeedsRunStep").value("result").toInt(), 0); // no file says yes
        const auto window = zebWindow("Shortlived");
        QVERIFY(window);
        QVERIFY(xdotool({"windowkill", QString::number(*window)}));
        // Yes until the engine sees the window go, then a failure.
        const auto closed =
            isReadyUntil(engine, [](const QJsonObject& reply) { return statusOf(reply) < 0; });
        QCOMPARE(statusOf(closed), status::FAIL);
        QVERIFY(closed.value("error").toString().contains("window was closed"));
        QCOMPARE(statusOf(engine.call("RunScript", {"DSK0:TELNET.LIT[1,4] x"})), status::FAIL);

        // Or the terminal never comes up: this one lists its descriptors and fails. The engine
        // inherits one more descriptor (as from a ZEB that leaks one), which it must not pass on.
        const std::string terminal = rig.folder.file("terminal");
        std::ofstream(terminal) << "#!/bin/sh\nls -l /proc/$$/fd >\"$0.fds\"\nexit 1\n";
        QCOMPARE(::chmod(terminal.c_str(), 0700), 0);
        const UniqueFd inherited(
            ::open(rig.folder.file("inherited").c_str(), O_CREAT | O_RDWR, 0600));
        EngineClient failing(rig.environment(QString::fromStdString(terminal)));
        QCOMPARE(statusOf(failing.call("Start", {"-n"})), 0);
        const auto ready = isReadyUntil(failing);
        QCOMPARE(statusOf(ready), status::FAIL);
        QVERIFY2(ready.value("error").toString().contains("ended (exit status 1)"),
                 qPrintable(ready.value("error").toString()));
        QCOMPARE(failing.closeAndWait(), std::optional<int>(0));
        const std::string fds = contentsOf(terminal + ".fds");
        QVERIFY2(fds.find("/dev/null") != std::string::npos, fds.c_str());
        QVERIFY2(fds.find("inherited") == std::string::npos, fds.c_str());
    }
};

QTEST_GUILESS_MAIN(TestEngineWindow)
#include "test_engine_window.moc"
