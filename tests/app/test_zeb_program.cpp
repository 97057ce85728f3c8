// The program zeb as a user runs it: its exit status after a launch, a declined launch, a closed
// dialog and an error report, and an engine that outlives it. Message boxes of another process
// cannot be answered through the in-process seam, so the cases that show one run zeb on a private
// X server and press the box's keys with xdotool (skipped where Xvfb or xdotool is missing).
#include "EngineDoubleRun.h"
#include "SqliteRegistry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest/QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int BOUND_MS = 30000;

// A file store for the zeb processes, filled through this process's CRegKey while it is installed.
class FileStore {
public:
    FileStore() {
        previous_ = zeb::reg::installBackend(
            std::make_unique<zeb::reg::SqliteRegistry>(path().toStdString()));
    }
    ~FileStore() { Release(); }
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    QString path() const { return dir_.filePath(QStringLiteral("registry.db")); }
    // Puts the test's own store back (closing the file) before zeb opens it.
    void Release() {
        if (previous_) {
            zeb::reg::installBackend(std::move(previous_));
        }
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<zeb::reg::RegistryBackend> previous_;
};

QProcessEnvironment ZebEnvironment(const FileStore& store) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZEB_REGISTRY"), store.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("PELNA"), QStringLiteral("1"));
    env.remove(QStringLiteral("PELNAFILE"));
    return env;
}

bool Alive(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0;
}

// A private X server for the cases with a message box.
class XServer {
public:
    XServer() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            return;
        }
        server_.start(
            QStringLiteral("Xvfb"),
            QStringLiteral("-displayfd 1 -nolisten tcp -screen 0 1024x768x24").split(u' '));
        if (server_.waitForReadyRead(BOUND_MS)) {
            display_ = QStringLiteral(":") + QString::fromLatin1(server_.readLine().trimmed());
        }
    }
    ~XServer() {
        server_.terminate();
        server_.waitForFinished(BOUND_MS);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool usable() const { return !display_.isEmpty(); }
    QString display() const { return display_; }

    // Waits (bounded) for a shown window of that exact title, focuses it and presses `sKey` on it.
    bool PressOn(const QString& sTitle, const QString& sKey) const {
        QProcess tool;
        tool.setProcessEnvironment(Environment());
        const QString sWindow = QLatin1Char('^') + QRegularExpression::escape(sTitle) + '$';
        tool.start(QStringLiteral("timeout"),
                   QStringLiteral("%1 xdotool search --sync --onlyvisible --name")
                           .arg(BOUND_MS / 1000)
                           .split(u' ') +
                       QStringList{sWindow, QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                   QStringLiteral("key"), sKey});
        // xdotool's own status is no guide: the key release it sends after the press meets a
        // window that the press has already closed. Whether zeb ended tells what happened.
        return tool.waitForFinished(BOUND_MS + 5000);
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env;
        env.insert(QStringLiteral("DISPLAY"), display_);
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        return env;
    }

private:
    QProcess server_;
    QString display_;
};

} // namespace

class TestZebProgram : public QObject {
    Q_OBJECT
private slots:
    void launchEndsWithStatusZeroAndLeavesTheEngineRunning();
    void boxesAndExitStatuses_data();
    void boxesAndExitStatuses();
};

void TestZebProgram::launchEndsWithStatusZeroAndLeavesTheEngineRunning() {
    FileStore store;
    EngineDoubleRun engine({QStringLiteral("--linger"), QStringLiteral("20000")});
    store.Release();
    QProcess zeb;
    zeb.setProcessEnvironment(ZebEnvironment(store));
    zeb.start(QStringLiteral(ZEB_PROGRAM), {QStringLiteral("  alpha "), QStringLiteral(" beta")});
    QVERIFY(zeb.waitForFinished(BOUND_MS));
    QCOMPARE(zeb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zeb.exitCode(), 0);

    QVERIFY(engine.calls().contains(QStringLiteral("SendText[\"alpha   beta (ZEB)\u007f\"]")));
    QVERIFY(engine.calls().last().startsWith(QStringLiteral("Release")));
    // zeb has ended without waiting for the engine, which goes on in a session of its own.
    const qint64 enginePid = engine.startEvent().value(QStringLiteral("pid")).toInteger();
    QVERIFY(enginePid > 0);
    QVERIFY(Alive(enginePid));
    QCOMPARE(engine.startEvent().value(QStringLiteral("sid")).toInteger() == zeb.processId(),
             false);
    QVERIFY(engine.waitForEof());
    ::kill(static_cast<pid_t>(enginePid), SIGTERM);
}

void TestZebProgram::boxesAndExitStatuses_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("engineOptions");
    QTest::addColumn<bool>("pelna");
    QTest::addColumn<QString>("windowTitle");
    QTest::addColumn<int>("exitCode");
    const QStringList failing{QStringLiteral("--misbehave"), QStringLiteral("Start:status=-5")};
    QTest::newRow("engine failure report")
        << QStringList{QStringLiteral("alpha")} << failing << true << QStringLiteral("ZEB") << 1;
    QTest::newRow("missing initialization declined")
        << QStringList{QStringLiteral("alpha")} << QStringList() << false << QStringLiteral("ZEB")
        << 0;
    QTest::newRow("selection dialog closed")
        << QStringList{QStringLiteral("  ")} << QStringList() << true
        << QStringLiteral("Orvane Terminal Emulator") << 0;
}

void TestZebProgram::boxesAndExitStatuses() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, engineOptions);
    QFETCH(bool, pelna);
    QFETCH(QString, windowTitle);
    QFETCH(int, exitCode);
    XServer x;
    if (!x.usable()) {
        QSKIP("needs Xvfb and xdotool (make deps-test)");
    }
    FileStore store;
    EngineDoubleRun engine(engineOptions);
    store.Release();
    QTemporaryDir work;
    QProcessEnvironment env = ZebEnvironment(store);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("LSAN_OPTIONS"),
               QStringLiteral("suppressions=" ZEB_LSAN_SUPPRESSIONS));
    if (!pelna) {
        env.remove(QStringLiteral("PELNA"));
    }
    QProcess zeb;
    zeb.setProcessEnvironment(env);
    zeb.setWorkingDirectory(work.path());
    zeb.start(QStringLiteral(ZEB_PROGRAM), arguments);
    QVERIFY(zeb.waitForStarted(BOUND_MS));
    // Escape answers every box and closes the dialog: Cancel, the lone OK, Close.
    QVERIFY(x.PressOn(windowTitle, QStringLiteral("Escape")));
    QVERIFY(zeb.waitForFinished(BOUND_MS));
    QCOMPARE(zeb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zeb.exitCode(), exitCode);
}

QTEST_MAIN(TestZebProgram)
#include "test_zeb_program.moc"
