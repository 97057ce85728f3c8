// ZEB's start-up: the launch over real pipes against the engine double (EngineDouble.cpp), Main,
// the zeb process without a display, and the connection selection dialog.
#include "CRegKey.h"
#include "Controls.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "Twips.h"
#include "TypeText.h"
#include "frmSelect.h"
#include "modMain.h"
#include "modZEB.h"

#include <QAccessible>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>
#include <QtTest/qtestspontaneevent.h>

#include <atomic>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeb;
using namespace std::chrono_literals;

namespace {

class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& path) { QDir::setCurrent(path); }
    ~CurrentDirectory() { QDir::setCurrent(previous_); }

private:
    QString previous_ = QDir::currentPath();
};

// Sets (or, with a null value, removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, previous_) : qunsetenv(name_); }

private:
    const char* name_;
    bool had_ = qEnvironmentVariableIsSet(name_);
    QByteArray previous_ = qgetenv(name_);
};

// A scratch store in which the engine double is the registered terminal engine, with PELNA set so
// that launches find the engine's initialization; and what the double received.
class EngineDoubleRun {
public:
    explicit EngineDoubleRun(const QStringList& options = {}) {
        const QStringList words = QStringList{ZEB_ENGINE_DOUBLE, "--log", logPath()} + options;
        Register(u'"' + words.join(QStringLiteral("\" \"")) + u'"');
    }

    // Replaces the registered command line.
    static void Register(const QString& sCommandLine) {
        zeb::reg::CRegKey key;
        QCOMPARE(key.Create(zeb::reg::HKEY_LOCAL_MACHINE, zeb::ENGINE_SERVER_KEY), 0);
        QCOMPARE(key.SetValue(sCommandLine.toStdString(), ""), 0);
        key.CloseKey();
    }

    QByteArray rawLog() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The requests received, each as "Call[args]" in compact JSON, e.g. Start["-n"].
    QStringList calls() const {
        QStringList calls;
        for (const QByteArray& line : rawLog().split('\n')) {
            const QJsonObject entry = QJsonDocument::fromJson(line).object();
            if (entry.contains(QStringLiteral("call"))) {
                calls << entry.value(QStringLiteral("call")).toString() +
                             QJsonDocument(entry.value(QStringLiteral("args")).toArray())
                                 .toJson(QJsonDocument::Compact);
            }
        }
        return calls;
    }

    bool waitForEof() const {
        return QTest::qWaitFor([this] { return rawLog().contains("\"eof\""); }, 5000);
    }

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }
    ScratchStore store_;
    QTemporaryDir dir_;
    ScopedEnv pelna_{"PELNA", "1"};
};

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

template <typename Call> LaunchError FailureOf(const Call& call) {
    try {
        call();
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

const QString NOT_CONFIGURED =
    QStringLiteral("The Orvane Terminal Emulator configuration utility has not yet been run. "
                   "Before a connection can be established, certain default parameters must be "
                   "configured.");
const QString LIST_ONLY =
    QStringLiteral("Please select a predefined connection from the dropdown list.");
const QString FREE_ENTRY = QStringLiteral(
    "Please select a predefined connection from the dropdown list, or enter a TCP/IP hostname or "
    "IP address to connect using the standard Telnet port 23.");

// The Settings key with EnableNR unless it is null, and the listed host names.
void Store(const char* sEnableNR, const QStringList& names = {}) {
    QVERIFY(PutSettings("AM75G", sEnableNR ? std::optional<std::string>(sEnableNR) : std::nullopt));
    for (const QString& sName : names) {
        QVERIFY(ListHostName(sName.toStdString()));
    }
}

QStringList Entries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i) {
        entries.append(box->itemText(i));
    }
    return entries;
}

bool ShownAndEnabled(const QWidget* ctl) {
    return !ctl->isHidden() && ctl->isEnabled();
}

// The dialog shown and active, as the user meets it.
struct ShownDialog : frmSelect {
    explicit ShownDialog(LaunchSettings settings = {}) : frmSelect(nullptr, std::move(settings)) {
        show();
        QVERIFY(QTest::qWaitForWindowActive(this));
    }
};

} // namespace

extern "C" int execvp(const char* file, char* const argv[]) {
    if (g_execHangs) {
        sleep(2);
        _exit(127);
    }
    return g_realExecvp(file, argv);
}

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void launchCallsInOrder();
    void failuresEndTheLaunch();
    void engineLookup();
    void missingInitializationFileEndsTheLaunch();
    void mainReturnsTheExitStatus();
    void programAnswersWithoutADisplay();
    void modesFollowTheSettings();
    void layoutTextsAndKeys();
    void refusedTextsKeepTheDialogOpen();
    void typedTextIsLaunchedAsTyped();
    void launchFromTheDialog();
    void secondConnectBlockedAndCloseEndsTheWait();
    void linkOpensTheConfigurationAndRefreshes();
    void restoringKeepsPlaceAndFocus();
};

// With ZEB.INI (even empty) the variables are not read; without it PELNAFILE will do. The
// second launch also waits for the engine, and RunScript's missing result is not read.
void TestApp::launchCallsInOrder() {
    const struct {
        bool bRunStep;
        int nNotReady;
        const char* host; // characters from 32 up, other than 127, pass
    } rows[] = {{false, 0, "alpha"}, {true, 3, "two w\u00f6rds ~"}};
    for (const auto& row : rows) {
        const QString host = QString::fromUtf8(row.host);
        EngineDoubleRun engine(
            QStringLiteral("--not-ready %1 %2")
                .arg(row.nNotReady)
                .arg(row.bRunStep ? "--run-step --misbehave RunScript:no-result" : "")
                .split(u' ', Qt::SkipEmptyParts));
        QTemporaryDir work;
        CurrentDirectory cwd(work.path());
        ScopedEnv pelna("PELNA", QByteArray());
        ScopedEnv pelnaFile("PELNAFILE", row.bRunStep ? "/etc/orvane.ini" : QByteArray());
        if (!row.bRunStep) {
            WriteFile(work.filePath("ZEB.INI"));
        }
        MessageBoxScript noBoxes;

        LaunchEngine(host, {.pollPause = 20ms, .abandoned = {}});

        const QString script =
            QStringLiteral(":S\r\nDSK0:LOG.LIT[1,4] SYS:\r\n:R\r\n%1"
                           "DSK0:XY.LIT[1,4] = 0\r\nDSK0:TELNET.LIT[1,4] %2\r\n"
                           ":S\r\nDSK0:HOST.LIT[1,4]")
                .arg(row.bRunStep ? "DSK0:RUN.LIT[1,4] DUMMY.RUN\r\n" : "", host);
        const QString start = row.bRunStep
                                  ? QStringLiteral("-n")
                                  : QStringLiteral("-n -i \"%1/ZEB.INI\"").arg(work.path());
        QCOMPARE(engine.calls(), LaunchCalls(start, host, script, row.nNotReady));
        QVERIFY(!engine.rawLog().contains('\x7f')); // character 127 travels escaped
        // Started as a local server in a session of its own (so it outlives zeb), in our folder,
        // holding no extra copies of its pipes; our ends closed, and no child of ours left behind.
        const QJsonObject started =
            QJsonDocument::fromJson(engine.rawLog().split('\n').value(0)).object();
        const QStringList argv = started.value("argv").toVariant().toStringList();
        QCOMPARE(argv.value(argv.size() - 1), "-Embedding");
        QVERIFY(started.value("sid").toInteger() != getsid(0));
        QCOMPARE(started.value("cwd").toString(), work.path());
        QCOMPARE(started.value("pipeCopies").toInt(), 0);
        QVERIFY(engine.waitForEof());
        QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
    }
}

// Each failure ends the launch at the failing call (no release), ZEB's ends closed. "register ...":
// that command line instead of the double; "hang": the double's exec hangs.
void TestApp::failuresEndTheLaunch() {
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
        EngineDoubleRun engine(bDouble ? options : QStringList());
        if (options.value(0) == u"register") {
            EngineDoubleRun::Register(options.mid(1).join(u' '));
        }
        MessageBoxScript noBoxes; // the report belongs to the program's top, not to the launch
        const LaunchSettings settings{400ms, 300ms, 20ms, {}}; // ready, reply bounds; poll pause
        g_execHangs = options.value(0) == u"hang";
        const LaunchError error =
            FailureOf([&] { LaunchEngine(QString::fromLatin1(row.host), settings); });
        g_execHangs = false;

        QVERIFY2(error.status == row.status && error.description.contains(row.description),
                 qPrintable(error.description));
        const QStringList calls = engine.calls();
        QVERIFY2(row.lastCall ? calls.value(calls.size() - 1).startsWith(row.lastCall)
                              : engine.rawLog().isEmpty(),
                 row.options);
        QVERIFY(!calls.contains("Release[\"main\"]"));
        QVERIFY(engine.rawLog().isEmpty() || options.join(u' ').endsWith(":exit") ||
                engine.waitForEof());
    }
}

void TestApp::engineLookup() {
    QCOMPARE(quint32(FailureOf([] { TerminalEngine::Create(QStringList(), 1s); }).status),
             0x80040154u);
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
    // An unterminated quote is refused, not read to the end nor passed over for orvane-engine.
    EngineDoubleRun::Register("\"/opt/my engine -v");
    const LaunchError refusal = FailureOf([&] { findEngineCommand(programFolder.path()); });
    QCOMPARE(refusal.status, E_INVALIDARG);
    QVERIFY2(refusal.description.contains("unterminated double quote: \"/opt/my engine -v"),
             qPrintable(refusal.description));
}

// The path: the current folder and "/ZEB.INI" as they stand, none for a deleted folder. Without
// file and variables, either button of the message ends the launch before any engine exists.
void TestApp::missingInitializationFileEndsTheLaunch() {
    {
        CurrentDirectory root("/");
        QCOMPARE(initializationFilePath(), "//ZEB.INI");
    }
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
    QVERIFY(engine.rawLog().isEmpty()); // no engine was started
}

// A reported failure returns 1; a launch and a closed selection dialog (no host) return 0. Only
// spaces are trimmed from the joined arguments: a tab stays, and is refused.
void TestApp::mainReturnsTheExitStatus() {
    EngineDoubleRun engine({"--misbehave", "Start:status=-5"});
    {
        MessageBoxScript boxes;
        boxes.expect(launchFailureText({-5, "the engine double refused the call"}),
                     ui::MsgIcon::Critical);
        boxes.expect(launchFailureText(FailureOf([] { LaunchEngine("\tb"); })),
                     ui::MsgIcon::Critical);
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

// --help, -h, --version are answered only as the whole command line. Without a display: one line
// on standard error and status 1 rather than Qt's abort, even with no argument vector at all.
void TestApp::programAnswersWithoutADisplay() {
    ScopedEnv display("DISPLAY", QByteArray());
    ScopedEnv wayland("WAYLAND_DISPLAY", QByteArray());
    ScopedEnv platform("QT_QPA_PLATFORM", QByteArray());
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

// No Settings key; EnableNR other than exactly "Y" (missing included); "Y": both boxes are filled
// in every mode. Without a configuration Enter does nothing and Esc closes.
void TestApp::modesFollowTheSettings() {
    const struct {
        bool bSettings;
        const char* sEnableNR; // null: no such value
        const QString& text;
    } rows[] = {{false, nullptr, NOT_CONFIGURED},
                {true, "y", LIST_ONLY},
                {true, " Y", LIST_ONLY},
                {true, nullptr, LIST_ONLY},
                {true, "Y", FREE_ENTRY}};
    for (const auto& row : rows) {
        ScratchStore store;
        QVERIFY(ListHostName("zeta") && ListHostName("alpha"));
        if (row.bSettings) {
            Store(row.sEnableNR);
        }
        ShownDialog dialog;
        auto* list = control<QComboBox>(dialog, "cboConnectionList");
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        const bool bFreeEntry = &row.text == &FREE_ENTRY;
        QComboBox* shown = bFreeEntry ? combo : list;
        QComboBox* hidden = bFreeEntry ? list : combo;
        QVERIFY(ShownAndEnabled(shown) && hidden->isHidden() && !hidden->isEnabled());
        QCOMPARE(ShownAndEnabled(control<QPushButton>(dialog, "cmdOK")), row.bSettings);
        QCOMPARE(control<QLabel>(dialog, "lblText")->text(), row.text);
        QCOMPARE(Entries(list) + Entries(combo), QStringList({"zeta", "alpha", "zeta", "alpha"}));
        QCOMPARE(shown->currentText(), "zeta");
        QCOMPARE(control<QLabel>(dialog, "lblConnection")->buddy(), shown); // names it for readers
        if (!row.bSettings) {
            QCOMPARE(QApplication::focusWidget(), control<QPushButton>(dialog, "cmdCancel"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Rejected);
        }
    }
}

// Every control where the layout table (twips) puts it, the editable box on the list; every mode's
// text and the link drawn whole even under a font the dialog must shrink; the tab order; the access
// key of "Connect using:" past the disabled box, wrapping, to Connect, without pressing it.
void TestApp::layoutTextsAndKeys() {
    ScratchStore store;
    Store("N");
    const QFont appFont = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(appFont); });
    QFont larger = appFont;
    larger.setPointSizeF(appFont.pointSizeF() + 5);
    QApplication::setFont(larger);
    ShownDialog dialog;
    const struct {
        const char* name;
        QRect place;
    } table[] = {{"fraConnection", ui::twipsRect(120, 120, 4455, 2055)},
                 {"lblConnection", ui::twipsRect(180, 360, 1695, 315)},
                 {"cboConnectionList", ui::twipsRect(1620, 300, 2655, 315)},
                 {"cboConnectionCombo", ui::twipsRect(1620, 300, 2655, 315)},
                 {"lblText", ui::twipsRect(180, 780, 4095, 615)},
                 {"hypConfig", ui::twipsRect(180, 1440, 4035, 435)},
                 {"cmdOK", ui::twipsRect(2280, 2280, 1095, 315)},
                 {"cmdCancel", ui::twipsRect(3480, 2280, 1095, 315)}};
    for (const auto& entry : table) {
        QCOMPARE(control<QWidget>(dialog, entry.name)->geometry(), entry.place);
    }
    QCOMPARE(dialog.size(), QSize(ui::twips(4695), ui::twips(2715)));
    const auto fits = [](const QLabel* label, const QString& text) {
        const QRect place(QPoint(), QSize(label->contentsRect().width(), 10000));
        return label->fontMetrics().boundingRect(place, Qt::TextWordWrap, text).height() <=
               label->contentsRect().height();
    };
    auto* link = control<QLabel>(dialog, "hypConfig");
    for (const QString& instruction : {NOT_CONFIGURED, LIST_ONLY, FREE_ENTRY}) {
        QVERIFY2(fits(control<QLabel>(dialog, "lblText"), instruction), qPrintable(instruction));
    }
    QVERIFY(fits(link, link->text()));

    auto* ok = control<QPushButton>(dialog, "cmdOK");
    auto* list = control<QComboBox>(dialog, "cboConnectionList");
    QCOMPARE(QApplication::focusWidget(), ok);
    for (QWidget* next : QWidgetList{control<QPushButton>(dialog, "cmdCancel"), list, link, ok}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    list->setFocus();
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), ok);
    QVERIFY(dialog.isVisible());
}

// A refused text keeps the dialog open and the text as it was, with the focus back in the box. The
// text goes to the check untrimmed, a stored name is no exception, and a line end (as pasted with
// a copied name) is refused.
void TestApp::refusedTextsKeepTheDialogOpen() {
    const QString enterHost = QStringLiteral("Please enter a hostname or IP address");
    const QString invalid = QStringLiteral("Please enter a valid IP address or a hostname");
    const std::pair<QString, QString> rows[] = {{"   ", enterHost},
                                                {" 10.0.0.1", invalid},
                                                {"host.example", invalid},
                                                {"alpha\r\n", invalid}};
    for (const auto& [text, message] : rows) {
        ScratchStore store;
        Store("Y", {"host.example"});
        ShownDialog dialog;
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        combo->setEditText(text);
        MessageBoxScript boxes;
        boxes.expect(message, ui::MsgIcon::Exclamation);
        QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(boxes.shown().value(0).buttons, ui::MsgButtons::Ok);
        QVERIFY(dialog.isVisible() && combo->hasFocus());
        QCOMPARE(combo->currentText(), text);
    }
}

// The typed text is launched, by Connect or Enter at the first press, never a stored name sharing
// its beginning or differing in case, nor added to the list; spaces and any characters stay.
void TestApp::typedTextIsLaunchedAsTyped() {
    const std::pair<const char*, bool> rows[] = {{"10.0.0.1", false}, {"10.0.0.1", true},
                                                 {"SERVER10", false}, {"SERVER10", true},
                                                 {"server1", true},   {"my h\u0142\u4e2d", true}};
    for (const auto& [typed, bEnter] : rows) {
        EngineDoubleRun engine;
        Store("Y", {"10.0.0.12", "server10"});
        MessageBoxScript noBoxes;
        ShownDialog dialog;
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        typeText(QApplication::focusWidget(), QString::fromUtf8(typed));
        if (bEnter) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        }
        QVERIFY2(!dialog.isVisible() && combo->count() == 2, typed);
        QVERIFY2(engine.calls().contains(
                     QStringLiteral("SendText[\"%1 (ZEB)\u007f\"]").arg(QString::fromUtf8(typed))),
                 qPrintable(engine.calls().join(u' ')));
    }
}

// Connect in list-only mode without records launches the empty name; a failed launch is reported
// over the still open dialog, which then closes with status 1.
void TestApp::launchFromTheDialog() {
    EngineDoubleRun engine({"--misbehave", "RunScript:status=-7"});
    Store("N");
    ShownDialog dialog;
    QStringList reports; // each box's text, and whether the dialog was open under it
    const auto previous = ui::setMessageAnswerer([&](const ui::MessageRequest& request) {
        reports << request.text + (dialog.isVisible() ? "|open" : "|closed");
        return ui::MsgAnswer::Ok;
    });
    QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    ui::setMessageAnswerer(previous);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.exitStatus(), 1);
    QCOMPARE(reports,
             QStringList{launchFailureText({-7, "the engine double refused the call"}) + "|open"});
    QVERIFY(engine.calls().contains("SendText[\" (ZEB)\u007f\"]"));
    QVERIFY(engine.calls().filter("RunScript").value(0).contains("DSK0:TELNET.LIT[1,4] \\r\\n:S"));
}

// During the wait for the engine the dialog stays open; a second Connect starts no second engine,
// and Close gives the launch up: the engine is released without a script.
void TestApp::secondConnectBlockedAndCloseEndsTheWait() {
    EngineDoubleRun engine({"--not-ready", "-1"});
    Store("Y", {"alpha"});
    MessageBoxScript noBoxes;
    ShownDialog dialog({.pollPause = std::chrono::milliseconds(20), .abandoned = {}});
    auto* ok = control<QPushButton>(dialog, "cmdOK");
    bool bOpenDuringWait = false;
    QTimer::singleShot(200, &dialog, [&] {
        bOpenDuringWait = dialog.isVisible();
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(bOpenDuringWait && !dialog.isVisible());
    QCOMPARE(dialog.exitStatus(), 0);
    QCOMPARE(engine.rawLog().count("\"event\":\"start\""), 1);
    const QStringList calls = engine.calls();
    QVERIFY(calls.filter("RunScript").isEmpty());
    QCOMPARE(calls.mid(calls.size() - 3),
             QStringList({"IsReady[]", "Release[\"main\"]", "Release[\"EngineControl\"]"}));
}

// By mouse, Space, Enter or a screen reader (which can also focus it), the link opens the
// configuration dialog, ownerless and centred on the screen wherever this dialog was moved; what
// was saved there shows at once, the first stored name replacing a typed text.
void TestApp::linkOpensTheConfigurationAndRefreshes() {
    ScratchStore store;
    MessageBoxScript noBoxes;
    ShownDialog dialog;
    dialog.move(13, 17);
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    auto* link = control<QLabel>(dialog, "hypConfig");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(link);
    QCOMPARE(access->role(), QAccessible::Link);
    access->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    QVERIFY(link->hasFocus());
    const std::function<void()> opens[] = {
        [&] { QTest::mouseClick(link, Qt::LeftButton); },
        [&] { QTest::keyClick(link, Qt::Key_Space); },
        [&] { QTest::keyClick(link, Qt::Key_Return); },
        [&] { access->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); }};
    for (const auto& open : opens) {
        combo->setEditText("typed");
        ModalDialogDriver driver("frmConfig", [](QDialog* config) {
            QCOMPARE(config->parentWidget(), nullptr);
            QCOMPARE(config->frameGeometry().center(),
                     config->screen()->availableGeometry().center());
            Store("Y", {"beta", "gamma"});
            config->reject();
        });
        link->setFocus();
        open();
        QVERIFY(driver.ran());
        QVERIFY(ShownAndEnabled(combo) && ShownAndEnabled(control<QPushButton>(dialog, "cmdOK")));
        QCOMPARE(control<QLabel>(dialog, "lblText")->text(), FREE_ENTRY);
        QCOMPARE(Entries(combo), QStringList({"beta", "gamma"}));
        QCOMPARE(combo->currentText(), "beta");
    }
}

// The window system shows the dialog again when it is restored from the task bar: it stays where
// the user put it and the half-typed name keeps the focus.
void TestApp::restoringKeepsPlaceAndFocus() {
    ScratchStore store;
    Store("Y");
    ShownDialog dialog;
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    combo->setFocus(Qt::MouseFocusReason);
    typeText(combo->lineEdit(), "half");
    dialog.move(13, 17);
    QWidget* const focused = dialog.focusWidget();
    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    static_cast<QObject&>(dialog).event(&restored); // sendEvent would clear the spontaneous mark
    QCOMPARE(dialog.pos(), QPoint(13, 17));
    QVERIFY(focused == combo || focused == combo->lineEdit());
    QCOMPARE(dialog.focusWidget(), focused);
    QCOMPARE(combo->currentText(), "half");
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
