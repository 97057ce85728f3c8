// The program zeb as a user runs it, for what the in-process tests of Main cannot show: the exit
// status the process really ends with, and an engine that outlives it. A failure report is a box
// of another process, which the in-process seam cannot answer, so that case runs zeb on a private
// X server and presses the box's key with xdotool (skipped where Xvfb or xdotool is missing).
#include "EngineDoubleRun.h"
#include "SqliteRegistry.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest/QtTest>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int BOUND_MS = 30000;

// A file store for the zeb process, filled through this process's CRegKey until Release puts the
// test's own store back (closing the file) before zeb opens it.
class FileStore {
public:
    FileStore()
        : previous_(zeb::reg::installBackend(
              std::make_unique<zeb::reg::SqliteRegistry>(path().toStdString()))) {}
    ~FileStore() { Release(); }
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    QString path() const { return dir_.filePath(QStringLiteral("registry.db")); }
    void Release() {
        if (previous_) {
            zeb::reg::installBackend(std::move(previous_));
        }
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<zeb::reg::RegistryBackend> previous_;
};

// Starts zeb on the store with `arguments`; PELNA set, so the engine's initialization is found.
void StartZeb(QProcess& zeb, const FileStore& store, const QStringList& arguments,
              const QString& display = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZEB_REGISTRY"), store.path());
    env.insert(QStringLiteral("PELNA"), QStringLiteral("1"));
    env.remove(QStringLiteral("PELNAFILE"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("LSAN_OPTIONS"),
               QStringLiteral("suppressions=" ZEB_LSAN_SUPPRESSIONS));
    zeb.setProcessEnvironment(env);
    zeb.start(QStringLiteral(ZEB_PROGRAM), arguments);
}

} // namespace

class TestZebProgram : public QObject {
    Q_OBJECT
private slots:
    void launchEndsWithStatusZeroAndLeavesTheEngineRunning();
    void reportedFailureEndsWithStatusOne();
    void informationAndMissingDisplayNeedNoWindow();
};

void TestZebProgram::launchEndsWithStatusZeroAndLeavesTheEngineRunning() {
    FileStore store;
    EngineDoubleRun engine({QStringLiteral("--linger"), QStringLiteral("20000")});
    store.Release();
    QProcess zeb;
    StartZeb(zeb, store, {QStringLiteral("  alpha "), QStringLiteral(" beta")});
    QVERIFY(zeb.waitForFinished(BOUND_MS));
    QCOMPARE(zeb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zeb.exitCode(), 0);

    QVERIFY(engine.calls().contains(QStringLiteral("SendText[\"alpha   beta (ZEB)\u007f\"]")));
    QVERIFY(engine.calls().last().startsWith(QStringLiteral("Release")));
    // zeb has ended without waiting for the engine, which goes on in a session of its own.
    const qint64 enginePid = engine.startEvent().value(QStringLiteral("pid")).toInteger();
    QVERIFY(enginePid > 0 && ::kill(static_cast<pid_t>(enginePid), 0) == 0);
    QVERIFY(engine.startEvent().value(QStringLiteral("sid")).toInteger() != zeb.processId());
    QVERIFY(engine.waitForEof());
    ::kill(static_cast<pid_t>(enginePid), SIGTERM);
}

void TestZebProgram::reportedFailureEndsWithStatusOne() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        QSKIP("needs Xvfb and xdotool (make deps-test)");
    }
    QProcess xServer;
    xServer.start(
        QStringLiteral("Xvfb"),
        QStringLiteral("-displayfd 1 -noreset -nolisten tcp -screen 0 1024x768x24").split(u' '));
    const auto stopServer = qScopeGuard([&] {
        xServer.terminate();
        xServer.waitForFinished(BOUND_MS);
    });
    QVERIFY(xServer.waitForReadyRead(BOUND_MS));
    const QString display = QLatin1Char(':') + QString::fromLatin1(xServer.readLine().trimmed());

    FileStore store;
    EngineDoubleRun engine({QStringLiteral("--misbehave"), QStringLiteral("Start:status=-5")});
    store.Release();
    QProcess zeb;
    StartZeb(zeb, store, {QStringLiteral("alpha")}, display);
    QVERIFY(zeb.waitForStarted(BOUND_MS));
    // Escape answers the report's lone OK. xdotool's own status is no guide (the key release meets
    // a window the press has already closed): whether zeb ended tells what happened.
    QProcess tool;
    QProcessEnvironment env;
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("timeout"),
               QStringLiteral("%1 xdotool search --sync --onlyvisible --name ^ZEB$ windowfocus "
                              "--sync key Escape")
                   .arg(BOUND_MS / 1000)
                   .split(u' '));
    QVERIFY(tool.waitForFinished(BOUND_MS + 5000));
    QVERIFY(zeb.waitForFinished(BOUND_MS));
    QCOMPARE(zeb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zeb.exitCode(), 1);
}

// --help, -h and --version answer on standard output with status 0, and no host is launched by
// them. Without a display zeb says so on standard error and ends with status 1 rather than Qt's
// abort, also when started with no arguments at all, not even its own name.
void TestZebProgram::informationAndMissingDisplayNeedNoWindow() {
    FileStore store;
    EngineDoubleRun engine;
    store.Release();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QLatin1String(name));
    }
    env.insert(QStringLiteral("ZEB_REGISTRY"), store.path());
    env.insert(QStringLiteral("PELNA"), QStringLiteral("1"));
    std::vector<QByteArray> envText;
    for (const QString& entry : env.toStringList()) {
        envText.push_back(entry.toLocal8Bit());
    }
    std::vector<char*> envp;
    for (QByteArray& entry : envText) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const struct {
        QStringList arguments; // null: no argument vector at all
        int status;
        const char* standardOutput;
        const char* standardError;
    } runs[] = {{{QStringLiteral("--help")}, 0, "Usage: zeb [HOST]\n", ""},
                {{QStringLiteral(" -h ")}, 0, "Usage: zeb [HOST]\n", ""},
                {{QStringLiteral("--version")}, 0, "ZEB Version 1.0\n", ""},
                {{QStringLiteral("alpha")}, 1, "", "zeb: no display could be opened"},
                {QStringList(), 1, "", "zeb: no display could be opened"}};
    for (const auto& run : runs) {
        QProcess zeb;
        zeb.setProcessEnvironment(env);
        if (run.arguments.isEmpty()) {
            zeb.setChildProcessModifier([&envp] {
                char* none[] = {nullptr};
                execve(ZEB_PROGRAM, none, envp.data());
                _exit(127);
            });
        }
        zeb.start(QStringLiteral(ZEB_PROGRAM), run.arguments);
        QVERIFY(zeb.waitForFinished(BOUND_MS));
        const QString what = run.arguments.join(u' ');
        QCOMPARE(zeb.exitStatus(), QProcess::NormalExit);
        QVERIFY2(zeb.exitCode() == run.status, qPrintable(what));
        QVERIFY2(zeb.readAllStandardOutput().startsWith(run.standardOutput), qPrintable(what));
        const QByteArray standardError = zeb.readAllStandardError();
        QVERIFY2(*run.standardError ? standardError.contains(run.standardError)
                                    : standardError.isEmpty(),
                 standardError.constData());
    }
    QVERIFY(!engine.started());
}

QTEST_MAIN(TestZebProgram)
#include "test_zeb_program.moc"
