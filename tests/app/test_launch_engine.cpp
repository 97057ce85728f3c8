// The engine launch driven through real pipes against the engine double: the calls and their
// order, the script variants, the titles, the ready wait, every failure kind (the refusal of
// control characters among them), the missing-initialization-file message and Main's status.
#include "Controls.h"
#include "EngineDoubleRun.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "modMain.h"
#include "modZEB.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <atomic>
#include <dlfcn.h>
#include <unistd.h>

using namespace zeb;

namespace {

QStringList TitleCalls(const QString& sHost) {
    return {
        QStringLiteral("SendCode[-10,2]"),
        QStringLiteral("SendText[\"ZEB Connection to %1\u007f\"]").arg(sHost),
        QStringLiteral("SendCode[-10,1]"),
        QStringLiteral("SendText[\"%1 (ZEB)\u007f\"]").arg(sHost),
        QStringLiteral("SendCode[-10,6]"),
        QStringLiteral("SendText[\"ZEB~Version 1.0~Copyright (C) 2026 ZEB contributors\u007f\"]")};
}

QString Json(const QString& sText) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{sText}).toJson(QJsonDocument::Compact));
}

// The calls of a launch whose engine is ready at the first question.
QStringList LaunchCalls(const QString& sStartArgument, const QString& sHost, bool bRunStep) {
    return QStringList{QStringLiteral("QueryInterface[\"EngineControl\"]"),
                       QStringLiteral("Start") + Json(sStartArgument)} +
           TitleCalls(sHost) + QStringList{QStringLiteral("IsReady[]")} + TitleCalls(sHost) +
           QStringList{QStringLiteral("NeedsRunStep[]"),
                       QStringLiteral("RunScript") + Json(startupScript(bRunStep, sHost)),
                       QStringLiteral("Release[\"main\"]"),
                       QStringLiteral("Release[\"EngineControl\"]")};
}

LaunchError LaunchExpectingFailure(const QString& sHost, const LaunchSettings& settings = {}) {
    try {
        LaunchEngine(sHost, settings);
    } catch (const LaunchError& error) {
        return error;
    }
    return {0, QStringLiteral("no failure")};
}

// While set, the launch's exec of the engine hangs in the child (as on a dead network file
// system) and gives up after a while, so that its start is never reported in time. This
// definition takes the place of the C library's for the launch code linked into this test.
std::atomic_bool g_execHangs{false};
const auto g_realExecvp =
    reinterpret_cast<int (*)(const char*, char* const[])>(dlsym(RTLD_NEXT, "execvp"));

void WriteFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

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
    void commandLineNamesOneHost();
    void initializationFileDecidesTheStartArgument();
    void scriptWithoutRunStepFromTheFile();
    void scriptWithRunStepFromTheVariable();
    void engineNotReadySeveralTimes();
    void engineFailuresEndTheLaunch_data();
    void engineFailuresEndTheLaunch();
    void engineLookup();
    void missingInitializationShowsOnlyTheMessage();
    void mainReportsFailuresAndReturnsTheExitStatus();
};

// The arguments join with one space each, as in the one command-line text, and only spaces are
// trimmed: inner spaces stay, and so does a tab (refused later as a control character).
void TestLaunchEngine::commandLineNamesOneHost() {
    const QList<std::pair<QStringList, QString>> cases{{{}, ""},
                                                       {{"   "}, ""},
                                                       {{"  alpha  "}, "alpha"},
                                                       {{"alpha", "beta "}, "alpha beta"},
                                                       {{" a  b ", "c"}, "a  b  c"},
                                                       {{"\thost"}, "\thost"},
                                                       {{"-style", "x"}, "-style x"}};
    for (const auto& [arguments, host] : cases) {
        QCOMPARE(commandLineHost(QStringList{QStringLiteral("zeb")} + arguments), host);
    }
}

void TestLaunchEngine::initializationFileDecidesTheStartArgument() {
    QTemporaryDir work;
    QTemporaryDir programFolder;
    CurrentDirectory cwd(work.path());
    QCOMPARE(initializationFilePath(), work.path() + QStringLiteral("/ZEB.INI"));
    // A file beside the program but not in the current directory is not found.
    WriteFile(programFolder.filePath(QStringLiteral("ZEB.INI")), "x");
    QVERIFY(!initializationFilePresent(initializationFilePath()));
    WriteFile(work.filePath(QStringLiteral("ZEB.INI")), ""); // even empty
    QVERIFY(initializationFilePresent(initializationFilePath()));
    {
        CurrentDirectory root(QStringLiteral("/")); // nothing added or removed: "/" + "/ZEB.INI"
        QCOMPARE(initializationFilePath(), QStringLiteral("//ZEB.INI"));
    }
    // A deleted current directory has no ZEB.INI; "/ZEB.INI" is not taken for it.
    QTemporaryDir gone;
    CurrentDirectory inGone(gone.path());
    QVERIFY(gone.remove());
    QCOMPARE(initializationFilePath(), QString());
    QVERIFY(!initializationFilePresent(initializationFilePath()));
}

void TestLaunchEngine::scriptWithoutRunStepFromTheFile() {
    ScratchStore store;
    EngineDoubleRun engine;
    QTemporaryDir work;
    CurrentDirectory cwd(work.path());
    WriteFile(work.filePath(QStringLiteral("ZEB.INI")), "");
    // The variables are not needed, and not read, once the file is there.
    NoInitialization none;
    MessageBoxScript noBoxes;

    LaunchEngine(QStringLiteral("alpha"));

    const QString sPath = work.path() + QStringLiteral("/ZEB.INI");
    QCOMPARE(engine.calls(), LaunchCalls(QStringLiteral("-n -i \"%1\"").arg(sPath),
                                         QStringLiteral("alpha"), false));
    QCOMPARE(startupScript(false, QStringLiteral("alpha")),
             QStringLiteral(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\nDSK0:XY.LIT[1,4] = 0\r\n"
                            "DSK0:TELNET.LIT[1,4] alpha\r\n:S\r\nDSK0:HOST.LIT[1,4]"));
    // Character 127 travels escaped; the line feeds of the script as \r\n.
    QVERIFY(engine.rawLog().contains("ZEB Connection to alpha\\u007f\""));
    QVERIFY(!engine.rawLog().contains('\x7f'));
    QVERIFY(engine.rawLog().contains("= 0\\r\\nDSK0:TELNET"));
    // Started as a local server, in a session of its own, in our directory; our ends closed.
    const QJsonObject start = engine.startEvent();
    QCOMPARE(start.value(QStringLiteral("argv")).toArray().last().toString(),
             QStringLiteral("-Embedding"));
    QVERIFY(start.value(QStringLiteral("sid")).toInteger() != getsid(0));
    QCOMPARE(start.value(QStringLiteral("cwd")).toString(), work.path());
    QCOMPARE(start.value(QStringLiteral("pipeCopies")).toInt(), 0);
    QVERIFY(engine.waitForEof());
}

void TestLaunchEngine::scriptWithRunStepFromTheVariable() {
    ScratchStore store;
    // RunScript's answer is not read: a success status without a result is success.
    EngineDoubleRun engine({QStringLiteral("--run-step"), QStringLiteral("--misbehave"),
                            QStringLiteral("RunScript:no-result")});
    QTemporaryDir work;
    CurrentDirectory cwd(work.path());
    ScopedEnv pelna("PELNA", QByteArray());
    ScopedEnv pelnaFile("PELNAFILE", "/etc/orvane.ini");

    // Characters from 32 up, other than 127, pass: the space and Latin-1 letters included.
    LaunchEngine(QStringLiteral("two w\u00f6rds ~"));

    QCOMPARE(engine.calls(),
             LaunchCalls(QStringLiteral("-n"), QStringLiteral("two w\u00f6rds ~"), true));
    QCOMPARE(startupScript(true, QString()),
             QStringLiteral(
                 ":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\nDSK0:RUN.LIT[1,4] DUMMY.RUN\r\n"
                 "DSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] \r\n:S\r\nDSK0:HOST.LIT[1,4]"));
}

void TestLaunchEngine::engineNotReadySeveralTimes() {
    ScratchStore store;
    EngineDoubleRun engine({QStringLiteral("--not-ready"), QStringLiteral("3")});
    ScopedEnv pelna("PELNA", "1");
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(5);

    LaunchSettings settings;
    settings.pollPause = std::chrono::milliseconds(20);
    LaunchEngine(QStringLiteral("h"), settings);

    QStringList expected = LaunchCalls(QStringLiteral("-n"), QStringLiteral("h"), false);
    const qsizetype firstIsReady = expected.indexOf(QStringLiteral("IsReady[]"));
    for (int i = 0; i < 3; ++i) {
        expected.insert(firstIsReady, QStringLiteral("IsReady[]"));
    }
    QCOMPARE(engine.calls(), expected);
    QVERIFY2(ticks > 0, "the ready wait must process the program's events");
}

void TestLaunchEngine::engineFailuresEndTheLaunch_data() {
    QTest::addColumn<QString>("host");
    // "register ...": that command line, no double; "hang": the double's exec hangs.
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("lastCall");
    const char* const refused = "the engine double refused the call";
    const struct {
        const char *row, *options;
        int status;
        const char *description, *lastCall, *host = "h";
    } rows[] = {
        {"failure status", "--misbehave Start:status=-2147467259", -2147467259, refused, "Start"},
        {"no control interface", "--misbehave QueryInterface:status=-2147467262", E_NOINTERFACE,
         refused, "QueryInterface"},
        {"ends before answering", "--misbehave IsReady:exit", RPC_S_CALL_FAILED,
         "ended or closed its output", "IsReady"},
        {"garbage", "--misbehave SendText:garbage", RPC_S_CALL_FAILED, "not a valid reply",
         "SendText"},
        {"wrong id", "--misbehave NeedsRunStep:wrong-id", RPC_S_CALL_FAILED, "not a valid reply",
         "NeedsRunStep"},
        {"no status", "--misbehave SendCode:no-status", RPC_S_CALL_FAILED, "not a valid reply",
         "SendCode"},
        {"no yes/no result", "--misbehave IsReady:no-result", RPC_S_CALL_FAILED,
         "without a yes/no result", "IsReady"},
        {"line over 1 MiB", "--misbehave RunScript:huge", RPC_S_CALL_FAILED, "longer than 1 MiB",
         "RunScript"},
        {"silent past the reply bound", "--misbehave Start:silent", RPC_S_CALL_FAILED,
         "did not answer within 300 ms", "Start"},
        {"never ready within the bound", "--not-ready -1", RPC_S_CALL_FAILED,
         "did not become ready within 0.4 seconds", "IsReady"},
        {"engine cannot be started", "register \"/nonexistent/orvane engine\" -x", int(0x80070002),
         "/nonexistent/orvane engine", nullptr},
        {"start never reported", "hang", RPC_S_CALL_FAILED,
         "did not report its start within 300 ms", nullptr},
        // Control characters are refused before any engine; from 32 up, other than 127, all pass.
        {"line break", "", E_INVALIDARG, "control character", nullptr, "a\r\nDSK0:EVIL.LIT"},
        {"tab", "", E_INVALIDARG, "control character", nullptr, "tab\there"},
        {"DEL", "", E_INVALIDARG, "control character", nullptr, "del\x7f"},
        {"unit separator", "", E_INVALIDARG, "control character", nullptr, "\x1f"},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.row) << QString::fromLatin1(row.host)
                               << QString::fromLatin1(row.options).split(u' ', Qt::SkipEmptyParts)
                               << row.status << QString::fromLatin1(row.description)
                               << QString::fromLatin1(row.lastCall);
    }
}

void TestLaunchEngine::engineFailuresEndTheLaunch() {
    QFETCH(QString, host);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, description);
    QFETCH(QString, lastCall);
    ScratchStore store;
    EngineDoubleRun engine(
        options.value(0) == u"register" || options.value(0) == u"hang" ? QStringList() : options);
    if (options.value(0) == u"register") {
        EngineDoubleRun::Register(options.mid(1).join(u' '));
    }
    ScopedEnv pelna("PELNA", "1");
    MessageBoxScript noBoxes; // the report belongs to the program's top, not to the launch

    LaunchSettings settings;
    settings.replyBound = std::chrono::milliseconds(300);
    settings.readyBound = std::chrono::milliseconds(400);
    settings.pollPause = std::chrono::milliseconds(20);
    g_execHangs = options.value(0) == u"hang";
    const LaunchError error = LaunchExpectingFailure(host, settings);
    g_execHangs = false;

    QCOMPARE(error.status, status);
    QVERIFY2(error.description.contains(description), qPrintable(error.description));
    if (lastCall.isEmpty()) {
        QVERIFY(!engine.started());
        return;
    }
    // The launch stops at the failing call: nothing after it, no script, no release; and ZEB
    // closes its ends, so an engine still running sees its input end.
    if (!options.join(u' ').endsWith(QStringLiteral(":exit"))) {
        QVERIFY(engine.waitForEof());
    }
    QVERIFY(engine.calls().last().startsWith(lastCall));
    QVERIFY(!engine.calls().contains(QStringLiteral("Release[\"main\"]")));
}

void TestLaunchEngine::engineLookup() {
    try {
        TerminalEngine::Create(QStringList(), std::chrono::seconds(1));
        QFAIL("an engine without a command was created");
    } catch (const LaunchError& notRegistered) {
        QCOMPARE(static_cast<quint32>(notRegistered.status), 0x80040154u);
    }

    ScratchStore store;
    QTemporaryDir programFolder;
    QVERIFY(findEngineCommand(programFolder.path()).isEmpty());
    const QString beside = programFolder.filePath(QStringLiteral("orvane-engine"));
    WriteFile(beside, "");
    QCOMPARE(findEngineCommand(programFolder.path()), QStringList{beside});
    // An empty registration does not hide the program beside zeb; a real one wins over it.
    EngineDoubleRun::Register(QStringLiteral("  "));
    QCOMPARE(findEngineCommand(programFolder.path()), QStringList{beside});
    const QString longCommand =
        QStringLiteral("/opt/") + QString(200, u'e') + QStringLiteral(" -v");
    EngineDoubleRun::Register(longCommand);
    QCOMPARE(findEngineCommand(programFolder.path()),
             QStringList({QStringLiteral("/opt/") + QString(200, u'e'), QStringLiteral("-v")}));
    // The words come from the protocol's splitter (tested with the engine); an unterminated quote
    // is refused, not read to the end, and does not fall back to the program beside zeb.
    EngineDoubleRun::Register(QStringLiteral("\"/opt/my engine -v"));
    try {
        findEngineCommand(programFolder.path());
        QFAIL("a registered command with an unterminated quote was used");
    } catch (const LaunchError& refused) {
        QCOMPARE(refused.status, E_INVALIDARG);
        QVERIFY2(refused.description.contains(QStringLiteral("unterminated double quote: "
                                                             "\"/opt/my engine -v")),
                 qPrintable(refused.description));
    }
}

void TestLaunchEngine::missingInitializationShowsOnlyTheMessage() {
    ScratchStore store;
    EngineDoubleRun engine;
    QTemporaryDir work;
    CurrentDirectory cwd(work.path());
    ScopedEnv pelna("PELNA", "");
    ScopedEnv pelnaFile("PELNAFILE", QByteArray());
    for (const auto answer : {ui::MsgAnswer::Ok, ui::MsgAnswer::Cancel}) {
        MessageBoxScript boxes;
        boxes.expect(QLatin1String(MISSING_INITIALIZATION_MESSAGE), ui::MsgIcon::Exclamation,
                     answer);
        LaunchEngine(QStringLiteral("h"));
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().buttons, ui::MsgButtons::OkCancel);
    }
    QVERIFY2(!engine.started(), "no engine may be created without its initialization");
}

// Main reports a failure over no dialog and returns 1; a launch, a declined launch and a closed
// selection dialog (no host given) return 0.
void TestLaunchEngine::mainReportsFailuresAndReturnsTheExitStatus() {
    ScratchStore store;
    EngineDoubleRun engine({QStringLiteral("--misbehave"), QStringLiteral("Start:status=-5")});
    ScopedEnv pelna("PELNA", "1");
    {
        MessageBoxScript boxes;
        boxes.expect(launchFailureText({-5, QStringLiteral("the engine double refused the call")}),
                     ui::MsgIcon::Critical);
        boxes.expect(launchFailureText(LaunchExpectingFailure(QStringLiteral("a\nb"))),
                     ui::MsgIcon::Critical);
        QCOMPARE(Main({QStringLiteral("zeb"), QStringLiteral("h")}), 1);
        QCOMPARE(Main({QStringLiteral("zeb"), QStringLiteral("a\nb")}), 1);
    }
    QCOMPARE(launchFailureText({REGDB_E_CLASSNOTREG, QStringLiteral("Class not registered")}),
             QStringLiteral("Error -2147221164 (0x80040154)\n\nClass not registered"));
    EngineDoubleRun working;
    MessageBoxScript noBoxes;
    QCOMPARE(Main({QStringLiteral("zeb"), QStringLiteral("  a "), QStringLiteral(" b")}), 0);
    QVERIFY(working.calls().contains(QStringLiteral("SendText[\"a   b (ZEB)\u007f\"]")));
    {
        QTemporaryDir work;
        CurrentDirectory cwd(work.path());
        NoInitialization none;
        MessageBoxScript boxes;
        boxes.expect(QLatin1String(MISSING_INITIALIZATION_MESSAGE), ui::MsgIcon::Exclamation,
                     ui::MsgAnswer::Cancel);
        QCOMPARE(Main({QStringLiteral("zeb"), QStringLiteral("h")}), 0);
    }
    ModalDialogDriver driver(QStringLiteral("frmSelect"), [](QDialog* dialog) {
        QTest::mouseClick(control<QPushButton>(*dialog, "cmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(Main({QStringLiteral("zeb"), QStringLiteral("   ")}), 0);
}

QTEST_MAIN(TestLaunchEngine)
#include "test_launch_engine.moc"
