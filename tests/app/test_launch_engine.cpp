// The engine launch driven through real pipes against the engine double, Main's exit status, and
// the zeb program as a process for what only a process shows: its answers without a display.
#include "Controls.h"
#include "EngineDoubleRun.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "modMain.h"
#include "modZEB.h"

#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <atomic>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeb;
using namespace std::chrono_literals;

namespace {

QString Json(const QString& sText) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{sText}).toJson(QJsonDocument::Compact));
}

// The calls of a launch whose engine says "not ready" nNotReady times.
QStringList LaunchCalls(const QString& sStart, const QString& sHost, const QString& sScript,
                        int nNotReady) {
    const QStringList titles{
        "SendCode[-10,2]",
        QStringLiteral("SendText[\"ZEB Connection to %1\u007f\"]").arg(sHost),
        "SendCode[-10,1]",
        QStringLiteral("SendText[\"%1 (ZEB)\u007f\"]").arg(sHost),
        "SendCode[-10,6]",
        "SendText[\"ZEB~Version 1.0~Copyright (C) 2026 ZEB contributors\u007f\"]"};
    return QStringList{"QueryInterface[\"EngineControl\"]", "Start" + Json(sStart)} + titles +
           QStringList(nNotReady + 1, QStringLiteral("IsReady[]")) + titles +
           QStringList{"NeedsRunStep[]", "RunScript" + Json(sScript), "Release[\"main\"]",
                       "Release[\"EngineControl\"]"};
}

LaunchError LaunchExpectingFailure(const QString& sHost, const LaunchSettings& settings = {}) {
    try {
        LaunchEngine(sHost, settings);
    } catch (const LaunchError& error) {
        return error;
    }
    return {0, QStringLiteral("no failure")};
}

void WriteFile(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// While set, the launch's exec of the engine hangs in the child (as on a dead network file system)
// and gives up after a while, so that its start is never reported in time.
std::atomic_bool g_execHangs{false};
const auto g_realExecvp =
    reinterpret_cast<int (*)(const char*, char* const[])>(dlsym(RTLD_NEXT, "execvp"));

} // namespace

extern "C" int execvp(const char* file, char* const argv[]) {
    if (g_execHangs) {
        sleep(2);
        _exit(127);
    }
    return g_realExecvp(file, argv);
}

class TestLaunchEngine : public QObject {
    Q_OBJECT
private slots:
    void launchCallsInOrder();
    void failuresEndTheLaunch();
    void engineLookup();
    void missingInitializationFileEndsTheLaunch();
    void mainReturnsTheExitStatus();
    void programAnswersWithoutADisplay();
};

// With ZEB.INI (even empty) the variables are not read; without it PELNAFILE will do. The
// second launch also waits for the engine, and RunScript's missing result is not read.
void TestLaunchEngine::launchCallsInOrder() {
    const struct {
        bool bRunStep;
        int nNotReady;
        const char* host; // characters from 32 up, other than 127, pass
    } rows[] = {{false, 0, "alpha"}, {true, 3, "two w\u00f6rds ~"}};
    for (const auto& row : rows) {
        const QString host = QString::fromUtf8(row.host);
        ScratchStore store;
        EngineDoubleRun engine(
            QStringList{"--not-ready", QString::number(row.nNotReady)} +
            (row.bRunStep ? QStringList{"--run-step", "--misbehave", "RunScript:no-result"}
                          : QStringList()));
        QTemporaryDir work;
        CurrentDirectory cwd(work.path());
        NoInitialization none;
        ScopedEnv pelnaFile("PELNAFILE", row.bRunStep ? "/etc/orvane.ini" : QByteArray());
        if (!row.bRunStep) {
            WriteFile(work.filePath("ZEB.INI"));
        }
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
        timer.start(5);
        LaunchSettings settings;
        settings.pollPause = 20ms;
        MessageBoxScript noBoxes;

        LaunchEngine(host, settings);

        const QString script =
            QStringLiteral(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\n%1"
                           "DSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] %2\r\n"
                           ":S\r\nDSK0:HOST.LIT[1,4]")
                .arg(row.bRunStep ? "DSK0:RUN.LIT[1,4] DUMMY.RUN\r\n" : "", host);
        const QString start = row.bRunStep
                                  ? QStringLiteral("-n")
                                  : QStringLiteral("-n -i \"%1/ZEB.INI\"").arg(work.path());
        QCOMPARE(engine.calls(), LaunchCalls(start, host, script, row.nNotReady));
        QVERIFY2(ticks > 0 || row.nNotReady == 0,
                 "the ready wait must process the program's events");
        QVERIFY(!engine.rawLog().contains('\x7f')); // character 127 travels escaped
        // Started as a local server in a session of its own (so it outlives zeb), in our folder,
        // holding no extra copies of its pipes; our ends closed, and no child of ours left behind.
        const QJsonObject started = engine.startEvent();
        const QStringList argv = started.value("argv").toVariant().toStringList();
        QCOMPARE(argv.value(argv.size() - 1), "-Embedding");
        QVERIFY(started.value("sid").toInteger() != getsid(0));
        QCOMPARE(started.value("cwd").toString(), work.path());
        QCOMPARE(started.value("pipeCopies").toInt(), 0);
        QVERIFY(engine.waitForEof());
        QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
    }
}

// Each failure ends the launch with its status and description, at the failing call: nothing after
// it, no release; and ZEB closes its ends. "register ...": that command line instead of the
// double; "hang": the double's exec hangs.
void TestLaunchEngine::failuresEndTheLaunch() {
    const char* const refused = "the engine double refused the call";
    const struct {
        const char* options;
        int status;
        const char *description, *lastCall, *host = "h";
    } rows[] = {
        {"--misbehave Start:status=-2147467259", -2147467259, refused, "Start"},
        {"--misbehave IsReady:exit", RPC_S_CALL_FAILED, "ended or closed its output", "IsReady"},
        {"--misbehave SendText:garbage", RPC_S_CALL_FAILED, "not a valid reply", "SendText"},
        {"--misbehave NeedsRunStep:wrong-id", RPC_S_CALL_FAILED, "not a valid reply",
         "NeedsRunStep"},
        {"--misbehave SendCode:no-status", RPC_S_CALL_FAILED, "not a valid reply", "SendCode"},
        {"--misbehave IsReady:no-result", RPC_S_CALL_FAILED, "without a yes/no result", "IsReady"},
        {"--misbehave RunScript:huge", RPC_S_CALL_FAILED, "longer than 1 MiB", "RunScript"},
        {"--misbehave Start:silent", RPC_S_CALL_FAILED, "did not answer within 300 ms", "Start"},
        {"--not-ready -1", RPC_S_CALL_FAILED, "did not become ready within 0.4 seconds", "IsReady"},
        {"register \"/nonexistent/orvane engine\" -x", int(0x80070002),
         "/nonexistent/orvane engine", nullptr},
        {"hang", RPC_S_CALL_FAILED, "did not report its start within 300 ms", nullptr},
        // Control characters are refused before any engine exists.
        {"", E_INVALIDARG, "control character", nullptr, "a\r\nDSK0:EVIL.LIT"},
        {"", E_INVALIDARG, "control character", nullptr, "del\x7f"},
        {"", E_INVALIDARG, "control character", nullptr, "\x1f"},
    };
    for (const auto& row : rows) {
        const QStringList options =
            QString::fromLatin1(row.options).split(u' ', Qt::SkipEmptyParts);
        const bool bDouble = options.value(0) != u"register" && options.value(0) != u"hang";
        ScratchStore store;
        EngineDoubleRun engine(bDouble ? options : QStringList());
        if (options.value(0) == u"register") {
            EngineDoubleRun::Register(options.mid(1).join(u' '));
        }
        ScopedEnv pelna("PELNA", "1");
        MessageBoxScript noBoxes; // the report belongs to the program's top, not to the launch
        LaunchSettings settings;
        settings.replyBound = 300ms;
        settings.readyBound = 400ms;
        settings.pollPause = 20ms;
        g_execHangs = options.value(0) == u"hang";
        const LaunchError error = LaunchExpectingFailure(QString::fromLatin1(row.host), settings);
        g_execHangs = false;

        QVERIFY2(error.status == row.status && error.description.contains(row.description),
                 qPrintable(error.description));
        const QStringList calls = engine.calls();
        QVERIFY2(row.lastCall ? calls.value(calls.size() - 1).startsWith(row.lastCall)
                              : !engine.started(),
                 row.options);
        QVERIFY(!calls.contains("Release[\"main\"]"));
        QVERIFY(!engine.started() || options.join(u' ').endsWith(":exit") || engine.waitForEof());
    }
}

void TestLaunchEngine::engineLookup() {
    try {
        TerminalEngine::Create(QStringList(), 1s);
        QFAIL("an engine without a command was created");
    } catch (const LaunchError& notRegistered) {
        QCOMPARE(static_cast<quint32>(notRegistered.status), 0x80040154u);
    }
    ScratchStore store;
    QTemporaryDir programFolder;
    QVERIFY(findEngineCommand(programFolder.path()).isEmpty());
    const QString beside = programFolder.filePath("orvane-engine");
    WriteFile(beside);
    QCOMPARE(findEngineCommand(programFolder.path()), QStringList{beside});
    // An empty registration does not hide the program beside zeb; a real one, however long, wins.
    EngineDoubleRun::Register("  ");
    QCOMPARE(findEngineCommand(programFolder.path()), QStringList{beside});
    const QString longPath = "/opt/" + QString(5000, u'e');
    EngineDoubleRun::Register(longPath + " -v");
    QCOMPARE(findEngineCommand(programFolder.path()), QStringList({longPath, "-v"}));
    // An unterminated quote is refused, neither read to the end nor passed over for the program
    // beside zeb.
    EngineDoubleRun::Register("\"/opt/my engine -v");
    try {
        findEngineCommand(programFolder.path());
        QFAIL("a registered command with an unterminated quote was used");
    } catch (const LaunchError& refusal) {
        QCOMPARE(refusal.status, E_INVALIDARG);
        QVERIFY2(refusal.description.contains("unterminated double quote: \"/opt/my engine -v"),
                 qPrintable(refusal.description));
    }
}

// The path is the current folder and "/ZEB.INI", nothing added or removed; a deleted folder has
// none (and "/ZEB.INI" is not taken for it). Without the file and the variables, both buttons of
// the message end the launch before any engine exists.
void TestLaunchEngine::missingInitializationFileEndsTheLaunch() {
    {
        CurrentDirectory root("/");
        QCOMPARE(initializationFilePath(), "//ZEB.INI");
    }
    ScratchStore store;
    EngineDoubleRun engine;
    QTemporaryDir gone;
    CurrentDirectory cwd(gone.path());
    QVERIFY(gone.remove());
    QCOMPARE(initializationFilePath(), QString());
    ScopedEnv pelna("PELNA", "");
    ScopedEnv pelnaFile("PELNAFILE", QByteArray());
    for (const auto answer : {ui::MsgAnswer::Ok, ui::MsgAnswer::Cancel}) {
        MessageBoxScript boxes;
        boxes.expect(MISSING_INITIALIZATION_MESSAGE, ui::MsgIcon::Exclamation, answer);
        LaunchEngine("h");
    }
    QVERIFY(!engine.started());
}

// Main reports a failure over no dialog and returns 1; a launch and a closed selection dialog (no
// host given) return 0. Only spaces are trimmed from the joined arguments: a tab stays, and is
// refused.
void TestLaunchEngine::mainReturnsTheExitStatus() {
    ScratchStore store;
    EngineDoubleRun engine({"--misbehave", "Start:status=-5"});
    ScopedEnv pelna("PELNA", "1");
    {
        MessageBoxScript boxes;
        boxes.expect(launchFailureText({-5, "the engine double refused the call"}),
                     ui::MsgIcon::Critical);
        boxes.expect(launchFailureText(LaunchExpectingFailure("\tb")), ui::MsgIcon::Critical);
        QCOMPARE(Main({"zeb", "h"}), 1);
        QCOMPARE(Main({"zeb", " \tb"}), 1);
    }
    QCOMPARE(launchFailureText({REGDB_E_CLASSNOTREG, "Class not registered"}),
             "Error -2147221164 (0x80040154)\n\nClass not registered");
    EngineDoubleRun working;
    MessageBoxScript noBoxes;
    QCOMPARE(Main({"zeb", "  a ", " b"}), 0);
    QVERIFY(working.calls().contains("SendText[\"a   b (ZEB)\u007f\"]"));
    ModalDialogDriver driver("frmSelect", [](QDialog* dialog) {
        QTest::mouseClick(control<QPushButton>(*dialog, "cmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(Main({"zeb", "   "}), 0);
}

// --help, -h and --version answer on standard output with status 0 only as the whole command
// line. Without a display zeb says so in one line on standard error and ends with status 1 rather
// than Qt's abort, also when started with no argument vector at all.
void TestLaunchEngine::programAnswersWithoutADisplay() {
    ScopedEnv display("DISPLAY", QByteArray());
    ScopedEnv wayland("WAYLAND_DISPLAY", QByteArray());
    ScopedEnv platform("QT_QPA_PLATFORM", QByteArray());
    QTemporaryDir storeFolder;
    ScopedEnv storeFile("ZEB_REGISTRY", storeFolder.filePath("registry.db").toLocal8Bit());
    const char* const noDisplay = "zeb: no display could be opened";
    const struct {
        QStringList arguments; // empty: no argument vector at all
        int status;
        const char *standardOutput, *standardError;
    } runs[] = {{{"--help"}, 0, "Usage: zeb [HOST]\n", ""},
                {{" -h "}, 0, "Usage: zeb [HOST]\n", ""},
                {{"--version"}, 0, "ZEB Version 1.0\n", ""},
                {{"--version", "x"}, 1, "", noDisplay},
                {{}, 1, "", noDisplay}};
    for (const auto& run : runs) {
        QProcess zeb;
        if (run.arguments.isEmpty()) {
            zeb.setChildProcessModifier([] {
                char* none[] = {nullptr};
                execve(ZEB_PROGRAM, none, environ);
                _exit(127);
            });
        }
        zeb.start(ZEB_PROGRAM, run.arguments);
        QVERIFY(zeb.waitForFinished(30000));
        const QByteArray standardError = zeb.readAllStandardError();
        QVERIFY2(zeb.exitStatus() == QProcess::NormalExit && zeb.exitCode() == run.status &&
                     zeb.readAllStandardOutput().startsWith(run.standardOutput),
                 qPrintable(run.arguments.join(u' ')));
        QVERIFY2(standardError.startsWith(run.standardError) &&
                     standardError.count('\n') == (*run.standardError ? 1 : 0),
                 standardError.constData());
    }
}

QTEST_MAIN(TestLaunchEngine)
#include "test_launch_engine.moc"
