// The whole engine as ZEB meets it, under a private Xvfb with xterm: the window comes up with ZEB's
// title, and what is typed in it runs on a real Telnet server (Debian's inetutils-telnetd behind
// socat, one connection on 127.0.0.1), which learns the window's terminal type and size. Then the
// other ends of a launch: the window closed under ZEB, ZEB gone before the window is ready, and a
// terminal that fails. Xvfb, xterm, xdotool, socat and telnetd are test dependencies (`make
// deps-test`); without them this test fails, it does not pass quietly.
#include "EngineTestSupport.h"
#include "Protocol.h"
#include "StoreLayout.h"
#include "UniqueFd.h"

#include <QtTest>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

using namespace zeb::engine;
using namespace zeb::engine::test;
namespace layout = zeb::layout;

namespace {

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

// The window that carries ZEB's title for `host`, once it does.
QString zebWindow(const QString& host) {
    QByteArray found;
    waitUntil(
        [&] { return !found.isEmpty(); },
        [&] {
            found = xdotool({"search", "--name", "^ZEB Connection to " + host + "$"}).value_or("");
        },
        50ms);
    return QString::fromUtf8(found);
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

// A store, a home folder and an X server of its own, which picks a free display, tells it on its
// output and becomes DISPLAY for all this process starts.
struct WindowRig {
    QProcess xvfb;
    FolderWithStore folder;

    WindowRig() {
        xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
                            "1024x768x24"});
        while (!xvfb.canReadLine() && xvfb.waitForReadyRead(WAIT_LIMIT_MS)) {
        }
        qputenv("DISPLAY", ":" + xvfb.readLine().trimmed());
    }
    ~WindowRig() {
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
};

} // namespace

class TestEngineWindow : public QObject {
    Q_OBJECT

private slots:
    void aLaunchRunsOnARealTelnetServerAndEndsEveryWay() {
        WindowRig rig;
        QVERIFY2(qgetenv("DISPLAY") != ":", "Xvfb did not start");
        QProcess server;
        const std::string port = startTelnetd(server, rig.folder);
        QVERIFY2(!port.empty(), "socat or telnetd is missing");
        const std::string trace = rig.folder.file("real.trc");
        storeHost("Real", {{layout::TRANSPORT, "TELNET"},
                           {layout::TTY, "AM65"},
                           {layout::TRACE_FILE, trace},
                           {layout::ADDRESS, "127.0.0.1"},
                           {layout::PORT, port}});
        // The file's types take the place of xterm's own.
        std::ofstream(rig.folder.file("ZEB.INI")) << "[Engine]\nRunStep=Y\nTerminalType=vt220\n";
        const QString commandLine =
            QString::fromStdString("-n -i \"" + rig.folder.file("ZEB.INI") + "\"");

        EngineClient engine(rig.environment("xterm"));
        QCOMPARE(statusOf(engine.call("QueryInterface", {"EngineControl"})), 0);
        QCOMPARE(statusOf(engine.call("Start", {commandLine})), 0);
        QVERIFY(sendTitles(engine, "Real")); // held until the window reports in
        QCOMPARE(statusOf(engine.call("Start", {commandLine})), status::UNEXPECTED);
        QCOMPARE(isReadyUntil(engine).value("result").toInt(), -1);
        QCOMPARE(engine.call("NeedsRunStep").value("result").toInt(), -1);
        QCOMPARE(
            statusOf(engine.call("RunScript", {QString::fromStdString(startupScript("Real"))})), 0);
        const QString window = zebWindow("Real");
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
        // Yes until the engine sees the window go, then a failure, for every call that needs it.
        const auto closed =
            isReadyUntil(engine, [](const QJsonObject& reply) { return statusOf(reply) < 0; });
        QVERIFY(closed.value("error").toString().contains("window was closed"));
        QCOMPARE(statusOf(engine.call("RunScript", {"DSK0:TELNET.LIT[1,4] x"})), status::FAIL);
        QCOMPARE(engine.closeAndWait(), std::optional<int>(0));

        // ZEB may go before the window is ready: the engine ends once the window has the titles.
        EngineClient leaver(rig.environment("xterm"));
        QCOMPARE(statusOf(leaver.call("QueryInterface", {"EngineControl"})), 0);
        QCOMPARE(statusOf(leaver.call("Start", {"-n"})), 0);
        QVERIFY(sendTitles(leaver, "Leaver"));
        QCOMPARE(leaver.closeAndWait(), std::optional<int>(0));
        const QString left = zebWindow("Leaver");
        QVERIFY(!left.isEmpty());
        QVERIFY(xdotool({"windowkill", left}));

        // The terminal never comes up: it lists its descriptors and fails. The engine inherits one
        // more descriptor (as from a ZEB that leaks one), which it must not pass on.
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
        const std::string fds = contentsOf(terminal + ".fds");
        QVERIFY2(fds.find("/dev/null") != std::string::npos, fds.c_str());
        QVERIFY2(fds.find("inherited") == std::string::npos, fds.c_str());
    }
};

QTEST_GUILESS_MAIN(TestEngineWindow)
#include "test_engine_window.moc"
