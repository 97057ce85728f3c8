// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Start-up: the launch over pipes against EngineDouble.cpp, Main, zeb without a display, frmSelect.
#include "Controls.h"
#include "EngineClient.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScopedEnv.h"
#include "ScratchStore.h"
#include "StoreWrites.h"
#include "Twips.h"
#include "TypeText.h"
#include "frmSelect.h"
#include "modMain.h"
#include "modZEB.h"

#include <QtTest/QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <QtWidgets>

#include <csignal>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeb;
using namespace std::chrono_literals;

namespace {

struct TemporaryCurrentDir : QTemporaryDir {
    QString previous = QDir::currentPath();
    TemporaryCurrentDir() { QDir::setCurrent(path()); }
    ~TemporaryCurrentDir() { QDir::setCurrent(previous); }
};

// A scratch store with the engine double registered and PELNA set; and what the double received.
class EngineDoubleRun {
public:
    explicit EngineDoubleRun(const QStringList& options = {}) {
        const QStringList words = QStringList{ZEB_ENGINE_DOUBLE, "--log", logPath()} + options;
        Register(u'"' + words.join(QStringLiteral("\" \"")) + u'"');
    }

    static void Register(const QString& sCommandLine) {
        QVERIFY(PutValue(layout::ENGINE_SERVER_KEY, "", sCommandLine.toStdString()));
    }

    QByteArray rawLog() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The requests received, each as "Call[args]" in compact JSON, e.g. Start["-n"].
    QStringList calls() const {
        return QString::fromUtf8(rawLog()).split(u'\n').filter(QRegularExpression(R"(^\w+\[)"));
    }

    bool waitForEof() const {
        return QTest::qWaitFor([this] { return rawLog().split('\n').contains("eof"); }, 5000);
    }

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("calls.log")); }
    ScratchStore store_;
    QTemporaryDir dir_;
    ScopedEnv pelna_{"PELNA", "1"};
};

template <typename Call> LaunchError FailureOf(const Call& call) {
    try {
        call();
    } catch (const LaunchError& error) {
        return error;
    }
    return {0, QStringLiteral("no failure")};
}

const auto g_realExecvp = reinterpret_cast<decltype(&execvp)>(dlsym(RTLD_NEXT, "execvp"));

// Armed by a test: the engine's exec hangs (as on a dead network file system); the launch's next
// read of a reply (or of the spawn report, an int) fails once with `error` (0: takes one byte only)
// and its next waitpid is interrupted: what a signal or a slow pipe may do, without a race.
struct Glitch {
    bool hang = false, reply = false, report = false, waitInterrupted = false;
    int error = 0;
} g_glitch;

// The Settings key with EnableNR unless it is null, and the listed host names.
void Store(const char* sEnableNR, const QStringList& names = {}) {
    QVERIFY(PutSettings("AM75G", sEnableNR ? std::optional<std::string>(sEnableNR) : std::nullopt));
    for (const QString& sName : names) {
        QVERIFY(ListHostName(sName.toStdString()));
    }
}

// Whether the label's text, wrapped to its width, is drawn whole.
bool ShownWhole(const QLabel* label) {
    const QRect place(QPoint(), QSize(label->contentsRect().width(), 10000));
    return label->fontMetrics().boundingRect(place, Qt::TextWordWrap, label->text()).height() <=
           label->contentsRect().height();
}

QRect Differing(const QImage& one, const QImage& other) {
    QRect bounds;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            bounds |= one.pixel(x, y) != other.pixel(x, y) ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return bounds;
}

struct ShownDialog : frmSelect { // the dialog shown and active, as the user meets it
    explicit ShownDialog(LaunchSettings settings = {}) : frmSelect(nullptr, std::move(settings)) {
        show();
        QVERIFY(QTest::qWaitForWindowActive(this));
    }
    QComboBox* const list = control<QComboBox>(*this, "cboConnectionList");
    QComboBox* const combo = control<QComboBox>(*this, "cboConnectionCombo");
    QLabel* const link = control<QLabel>(*this, "hypConfig");
};

} // namespace

extern "C" int execvp(const char* file, char* const argv[]) {
    if (g_glitch.hang) {
        sleep(2);
        _exit(127);
    }
    return g_realExecvp(file, argv);
}

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto realRead = reinterpret_cast<decltype(&read)>(dlsym(RTLD_NEXT, "read"));
    struct stat kind {};
    const bool pipe = ::fstat(fd, &kind) == 0 && S_ISFIFO(kind.st_mode); // not Qt's sockets
    if (!pipe || !std::exchange(count == sizeof(int) ? g_glitch.report : g_glitch.reply, false)) {
        return realRead(fd, buffer, count);
    }
    errno = g_glitch.error;
    return errno != 0 ? -1 : realRead(fd, buffer, 1);
}

extern "C" pid_t waitpid(pid_t pid, int* status, int options) {
    static const auto realWait = reinterpret_cast<decltype(&waitpid)>(dlsym(RTLD_NEXT, "waitpid"));
    if (std::exchange(g_glitch.waitInterrupted, false)) {
        errno = EINTR;
        return -1;
    }
    return realWait(pid, status, options);
}

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void launchCallsInOrder();
    void failuresEndTheLaunch();
    void whatTheLaunchLooksFor();
    void mainReturnsTheExitStatus();
    void programAnswersWithoutADisplay();
    void programIsClassedAsZebOnX();
    void modesFollowTheSettings();
    void connectTakesTheTextAsTyped();
    void secondConnectBlockedAndCloseEndsTheWait();
    void linkOpensTheConfigurationAndRefreshes();
    void enterConnectsOnceTheLinksDialogCloses();
    void aLongListComesOnceTheDialogIsDrawn();
};

void TestApp::initTestCase() { // every dialog here must shrink its font to show its texts whole
    QFont larger = QApplication::font();
    larger.setPointSizeF(larger.pointSizeF() + 5);
    QApplication::setFont(larger);
}

// ZEB.INI (even empty) or else PELNAFILE; the second also waits and reads no RunScript result.
void TestApp::launchCallsInOrder() {
    // Run step, IsReady's "no"s, the host (characters 32 up but 127 pass), the double's options.
    const std::tuple<bool, int, QString, const char*> rows[] = {
        {false, 0, "alpha", "--not-ready 0"},
        {true, 3, "two w\u00f6rds ~", "--not-ready 3 --run-step --misbehave RunScript:status=0"}};
    for (const auto& [bRunStep, nNotReady, host, options] : rows) {
        EngineDoubleRun engine(QString::fromLatin1(options).split(u' '));
        TemporaryCurrentDir work;
        ScopedEnv pelna("PELNA", QByteArray());
        ScopedEnv pelnaFile("PELNAFILE", bRunStep ? "/etc/orvane.ini" : QByteArray());
        QVERIFY(bRunStep || QFile(work.filePath("ZEB.INI")).open(QIODevice::WriteOnly));
        MessageBoxScript noBoxes;

        sigset_t usr2, before;
        sigemptyset(&usr2);
        sigaddset(&usr2, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &usr2, &before);
        LaunchEngine(host, {.pollPause = 20ms, .abandoned = {}});
        pthread_sigmask(SIG_SETMASK, &before, nullptr);

        const QStringList titles{
            "SendCode[-10,2]",
            QStringLiteral("SendText[\"ZEB Connection to %1\u007f\"]").arg(host),
            "SendCode[-10,1]",
            QStringLiteral("SendText[\"%1 (ZEB)\u007f\"]").arg(host),
            "SendCode[-10,6]",
            "SendText[\"ZEB~Version 1.0~Copyright (C) 2026 ZEB contributors\u007f\"]"};
        const QString start =
            bRunStep ? QStringLiteral("Start[\"-n\"]")
                     : QStringLiteral("Start[\"-n -i \\\"%1/ZEB.INI\\\"\"]").arg(work.path());
        const QString script = QString("RunScript[\":S\\r\\nDSK0:LOG.LIT[1,4] SYS:\\r\\n:R\\r\\n%1"
                                       "DSK0:XY.LIT[1,4] = 0\\r\\nDSK0:TELNET.LIT[1,4] %2\\r\\n"
                                       ":S\\r\\nDSK0:HOST.LIT[1,4]\"]")
                                   .arg(bRunStep ? "DSK0:RUN.LIT[1,4] DUMMY.RUN\\r\\n" : "", host);
        QCOMPARE(engine.calls(), QStringList({"QueryInterface[\"EngineControl\"]", start}) +
                                     titles + QStringList(nNotReady + 1, "IsReady[]") + titles +
                                     QStringList({"NeedsRunStep[]", script, "Release[\"main\"]",
                                                  "Release[\"EngineControl\"]"}));
        // A local server in our folder holding no extra pipe copies, in a session of its own (to
        // outlive zeb), blocking no signal ZEB blocked; our ends closed, no child of ours left.
        const QStringList started = QString(engine.rawLog()).section(u'\n', 0, 0).split(u'|');
        QCOMPARE(started.mid(1, 3), QStringList({"-Embedding", work.path(), "0"}));
        QVERIFY(started.value(4).toLongLong() != getsid(0) && started.value(5) == "0");
        QVERIFY(engine.waitForEof() && waitpid(-1, nullptr, WNOHANG) == -1);
    }
}

// Each failure ends the launch at the failing call (status 0: none), pipes closed, no child left.
void TestApp::failuresEndTheLaunch() {
    const QString big(100000, u'h'); // more than the double's input pipe holds
    const struct {
        QString options;
        int status;
        const char *description, *lastCall;
        Glitch glitch = {};
        QString host = "h";
    } rows[] = {
        // Cut short once, a read or the child's wait is taken again; a failed read fails the call.
        {"", 0, "no failure", "Release", {.reply = true, .waitInterrupted = true, .error = EINTR}},
        {"", 0, "no failure", "Release", {.reply = true}},
        {"", RPC_S_CALL_FAILED, "Input/output", "QueryInterface", {.reply = true, .error = EIO}},
        {"register /none", int(0x80070002), "/none", nullptr, {.report = true, .error = EINTR}},
        {"--misbehave IsReady:exit", RPC_S_CALL_FAILED, "ended or closed its output", "IsReady"},
        {"--misbehave SendCode:no-status", RPC_S_CALL_FAILED, "not a valid reply", "SendCode"},
        {"--misbehave IsReady:status=0", RPC_S_CALL_FAILED, "without a yes/no result", "IsReady"},
        {"--misbehave RunScript:huge", RPC_S_CALL_FAILED, "longer than 1 MiB", "RunScript"},
        {"--misbehave Start:silent", RPC_S_CALL_FAILED, "did not answer within 300 ms", "Start"},
        {"--misbehave SendCode:deaf", RPC_S_CALL_FAILED, "took no request", "SendCode", {}, big},
        {"--not-ready -1", RPC_S_CALL_FAILED, "did not become ready within 0.4 seconds", "IsReady"},
        {"", RPC_S_CALL_FAILED, "did not report its start within 300 ms", nullptr, {.hang = true}},
        // Longer than one read of the store; an open quote.
        {"register \"/nonexistent/orvane engine\" " + QString(5000, u'x'), int(0x80070002),
         "/nonexistent/orvane engine", nullptr},
        {"register \"/opt/my engine -v", E_INVALIDARG,
         "unterminated double quote: \"/opt/my engine -v", nullptr},
        {"", E_INVALIDARG, "control character", nullptr, {}, "del\x7f"},
        {"", E_INVALIDARG, "control character", nullptr, {}, "\x1f"},
    };
    for (const auto& row : rows) {
        const QStringList options = row.options.split(u' ', Qt::SkipEmptyParts);
        EngineDoubleRun engine(options); // the double takes "register ..." for nothing
        if (options.value(0) == u"register") {
            EngineDoubleRun::Register(options.mid(1).join(u' ')); // instead of the double's
        }
        MessageBoxScript noBoxes; // the report belongs to the program's top, not to the launch
        g_glitch = row.glitch;
        const auto error = FailureOf([&] { LaunchEngine(row.host, {400ms, 300ms, 20ms, {}}); });
        g_glitch.hang = false; // only the launch's child hangs, never a later one

        QVERIFY2(error.status == row.status && error.description.contains(row.description),
                 qPrintable(error.description));
        const QStringList calls = engine.calls();
        QVERIFY2(row.lastCall ? calls.value(calls.size() - 1).startsWith(row.lastCall)
                              : engine.rawLog().isEmpty(),
                 qPrintable(row.options.left(80)));
        QVERIFY(engine.rawLog().isEmpty() ||
                row.options.contains(QRegularExpression(":(exit|deaf)$")) || engine.waitForEof());
        QVERIFY(!g_glitch.reply && !g_glitch.report && !g_glitch.waitInterrupted); // all met
        QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
    }
}

// Without ZEB.INI (none in a deleted folder) or the variables, either answer ends the launch.
void TestApp::whatTheLaunchLooksFor() {
    EngineDoubleRun engine;
    TemporaryCurrentDir gone;
    QVERIFY(gone.remove() && initializationFilePath().isEmpty());
    const ScopedEnv env[] = {{"PELNA", ""}, {"PELNAFILE", {}}};
    for (const auto answer : {ui::MsgAnswer::Ok, ui::MsgAnswer::Cancel}) {
        MessageBoxScript boxes(MISSING_INITIALIZATION_MESSAGE, ui::MsgIcon::Exclamation, answer);
        LaunchEngine("h");
    }
    QVERIFY(engine.rawLog().isEmpty()); // no engine was started
    // An engine registered as a number is not registered: the one beside zeb is taken, if any.
    QVERIFY(PutValue(layout::ENGINE_SERVER_KEY, "", std::int32_t{7}));
    QTemporaryDir zebFolder;
    QVERIFY(findEngineCommand(zebFolder.path()).isEmpty());
    const QString beside = zebFolder.filePath(ENGINE_PROGRAM_NAME);
    QVERIFY(QFile(beside).open(QIODevice::WriteOnly));
    QCOMPARE(findEngineCommand(zebFolder.path()), QStringList{beside});
}

// Only spaces are trimmed; without a host, a failure is reported over the still open dialog.
void TestApp::mainReturnsTheExitStatus() {
    QStringList reports; // each box's text, and whether a dialog was open under it
    const auto previous = ui::setMessageAnswerer([&](const ui::MessageRequest& request) {
        reports << request.text + (QApplication::activeModalWidget() ? "|open" : "|closed");
        return ui::MsgAnswer::Ok;
    });
    EngineDoubleRun working;
    QCOMPARE(Main({"zeb", "  a ", " b"}), 0);
    QVERIFY(working.calls().contains("SendText[\"a   b (ZEB)\u007f\"]"));
    EngineDoubleRun engine({"--misbehave", "RunScript:status=-5"});
    Store("N");
    QCOMPARE((std::pair{Main({"zeb", "h"}), Main({"zeb", " \tb"})}), std::pair(1, 1));
    ModalDialogDriver driver("frmSelect", [](QDialog* dialog) { Press(*dialog, "cmdOK"); });
    QCOMPARE(Main({"zeb", "   "}), 1); // list-only without records: the empty name
    ui::setMessageAnswerer(previous);
    const QString refused = "Error -5 (0xfffffffb)\n\nthe engine double refused the call";
    const QString tab = launchFailureText(FailureOf([] { LaunchEngine("\tb"); }));
    QCOMPARE(reports, QStringList({refused + "|closed", tab + "|closed", refused + "|open"}));
    QVERIFY(engine.calls().contains("SendText[\" (ZEB)\u007f\"]"));
}

// Help and version only as the whole command line; no display: one line, status 1, no abort.
void TestApp::programAnswersWithoutADisplay() {
    const ScopedEnv unset[] = {{"DISPLAY", {}}, {"WAYLAND_DISPLAY", {}}, {"QT_QPA_PLATFORM", {}}};
    const char* const noDisplay = "zeb: no display could be opened"; // status 1, standard error
    // The arguments (none: no argument vector at all), and how the answer begins.
    const std::pair<QStringList, const char*> runs[] = {{{"--help"}, "Usage: zeb [HOST]\n"},
                                                        {{" -h "}, "Usage: zeb [HOST]\n"},
                                                        {{"--version"}, "ZEB Version 1.0\n"},
                                                        {{"--version", "x"}, noDisplay},
                                                        {{}, noDisplay}};
    for (const auto& [arguments, answer] : runs) {
        const int status = answer == noDisplay ? 1 : 0;
        QProcess zeb;
        if (arguments.isEmpty()) {
            zeb.setChildProcessModifier([] {
                char* none[] = {nullptr};
                execve(ZEB_PROGRAM, none, environ);
                _exit(127);
            });
        }
        zeb.start(ZEB_PROGRAM, arguments);
        QVERIFY(zeb.waitForFinished(30000) && zeb.exitStatus() == QProcess::NormalExit);
        const QByteArray errors = zeb.readAllStandardError();
        const QByteArray out = zeb.readAllStandardOutput() + errors; // both channels
        QVERIFY2(zeb.exitCode() == status && out.startsWith(answer) && errors.count('\n') == status,
                 out.constData());
    }
    QCOMPARE(QProcess::execute("sh", {"-c", ZEB_PROGRAM " --help >/dev/full"}), 1); // unwritten
}

// Without a host, the selection dialog's window is classed as ZEB's; Qt's start-up messages show.
void TestApp::programIsClassedAsZebOnX() {
    QProcess xvfb, zeb, xprop; // Xvfb picks a free display and tells it on its output
    xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
    QVERIFY2(xvfb.waitForReadyRead(30000), "Xvfb is missing");
    const ScopedEnv environment[] = {{"DISPLAY", ":" + xvfb.readLine().trimmed()},
                                     {"QT_QPA_PLATFORM", {}}, // zeb reads the store, writes none
                                     {"QT_STYLE_OVERRIDE", "none"}};
    zeb.start(ZEB_PROGRAM, {});
    xprop.start("sh", {"-c",
                       "xprop WM_CLASS -id \"$(xdotool search --sync --all --pid $0 --name "
                       "'^Orvane Terminal Emulator$')\"",
                       QString::number(zeb.processId())});
    QVERIFY(xprop.waitForFinished(30000));
    QCOMPARE(xprop.readAllStandardOutput(), QByteArray("WM_CLASS(STRING) = \"zeb\", \"ZEB\"\n"));
    QVERIFY(!zeb.waitForFinished(500) && zeb.readAllStandardError().contains("override 'none'"));
}

// EnableNR other than exactly "Y" (missing included) offers the list only; both are filled. In
// the list modes: the layout table (twips); the link blue and underlined, under a pointing hand;
// the access key of "Connect using:" wraps past the disabled box to Connect without pressing it;
// a restore from the task bar neither moves nor refocuses.
void TestApp::modesFollowTheSettings() {
    const std::pair<const char*, QRect> table[] = {
        {"fraConnection", ui::twipsRect(120, 120, 4455, 2055)},
        {"lblConnection", ui::twipsRect(180, 360, 1695, 315)},
        {"cboConnectionList", ui::twipsRect(1620, 300, 2655, 315)},
        {"cboConnectionCombo", ui::twipsRect(1620, 300, 2655, 315)},
        {"lblText", ui::twipsRect(180, 780, 4095, 615)},
        {"hypConfig", ui::twipsRect(180, 1440, 4035, 435)},
        {"cmdOK", ui::twipsRect(2280, 2280, 1095, 315)},
        {"cmdCancel", ui::twipsRect(3480, 2280, 1095, 315)}};
    // Settings stored, free entry offered, EnableNR (null: no such value), how lblText ends.
    const std::tuple<bool, bool, const char*, const char*> rows[] = {
        {false, false, nullptr, "must be configured."},
        {true, false, "y", "from the dropdown list."},
        {true, false, " Y", "from the dropdown list."},
        {true, false, nullptr, "from the dropdown list."},
        {true, true, "Y", "Telnet port 23."}};
    for (const auto& [bSettings, bFreeEntry, sEnableNR, textEnd] : rows) {
        ScratchStore store;
        QVERIFY(ListHostName("zeta") && ListHostName("alpha"));
        if (bSettings) {
            Store(sEnableNR);
        }
        ShownDialog dialog;
        const auto [list, combo, link] = std::tuple(dialog.list, dialog.combo, dialog.link);
        const auto [used, spare] = bFreeEntry ? std::pair(combo, list) : std::pair(list, combo);
        QVERIFY(used->isVisible() && used->isEnabled() && spare->isHidden() && !spare->isEnabled());
        auto* ok = control<QPushButton>(dialog, "cmdOK");
        QCOMPARE(ok->isVisible() && ok->isEnabled(), bSettings);
        auto* text = control<QLabel>(dialog, "lblText");
        QVERIFY2(text->text().endsWith(textEnd) && ShownWhole(text), qPrintable(text->text()));
        QCOMPARE(Entries(list) + Entries(combo) << used->currentText(),
                 QStringList({"zeta", "alpha", "zeta", "alpha", "zeta"}));
        QCOMPARE(control<QLabel>(dialog, "lblConnection")->buddy(), used); // names it for readers
        if (!bSettings || bFreeEntry) {
            continue;
        }
        for (const auto& [name, place] : table) {
            QCOMPARE(control<QWidget>(dialog, name)->geometry(), place);
        }
        QCOMPARE(dialog.size(), QSize(ui::twips(4695), ui::twips(2715)));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize()); // not to be resized
        QVERIFY(ShownWhole(link) && QApplication::focusWidget() == ok);
        QVERIFY(link->palette().color(QPalette::WindowText) == QColor(0, 0, 255) &&
                link->font().underline() && link->cursor().shape() == Qt::PointingHandCursor);
        const QImage before = link->grab().toImage();
        for (QWidget* next : QWidgetList{control<QWidget>(dialog, "cmdCancel"), list, link, ok}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
            // The keyboard user must see where the focus is: a focus frame around the link.
            QVERIFY(next != link || Differing(link->grab().toImage(), before) == link->rect());
        }
        list->setFocus();
        QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
        QVERIFY(QApplication::focusWidget() == ok && dialog.isVisible());
        list->setFocus();
        dialog.move(13, 17);
        QShowEvent restored; // sendEvent would clear its spontaneous mark
        QSpontaneKeyEvent::setSpontaneous(&restored);
        static_cast<QObject&>(dialog).event(&restored);
        QVERIFY(dialog.pos() == QPoint(13, 17) && dialog.focusWidget() == list);
    }
}

// The typed text is launched at the first press, never a stored name sharing its beginning or
// differing in case; a refused one (a pasted line end too) stays, with the focus in the box.
void TestApp::connectTakesTheTextAsTyped() {
    const char* const enterHost = "Please enter a hostname or IP address";
    const char* const invalid = "Please enter a valid IP address or a hostname";
    // The text; Enter, or else a click on Connect; the refusal (null: launched).
    const std::tuple<QString, bool, const char*> rows[] = {
        {"10.0.0.1", false, nullptr},     {"10.0.0.1", true, nullptr},
        {"SERVER10", true, nullptr},      {"my h\u0142\u4e2d", true, nullptr},
        {"   ", false, enterHost},        {" 10.0.0.1", true, invalid},
        {"host.example", false, invalid}, {"alpha\r\n", false, invalid}};
    for (const auto& [text, bEnter, refusal] : rows) {
        EngineDoubleRun engine;
        Store("Y", {"10.0.0.12", "server10", "host.example"});
        MessageBoxScript boxes;
        ShownDialog dialog;
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        if (refusal) {
            boxes.expect(refusal, ui::MsgIcon::Exclamation);
            combo->setEditText(text); // as pasted
        } else {
            QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            typeText(QApplication::focusWidget(), text);
        }
        bEnter ? QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return)
               : Press(dialog, "cmdOK");
        QVERIFY2(dialog.isVisible() == bool(refusal) && combo->count() == 3, qPrintable(text));
        if (refusal) {
            QCOMPARE(boxes.shown().value(0).buttons, ui::MsgButtons::Ok);
            QVERIFY(combo->hasFocus() && combo->currentText() == text);
        } else {
            QVERIFY2(engine.calls().contains(QString("SendText[\"%1 (ZEB)\u007f\"]").arg(text)),
                     qPrintable(engine.calls().join(u' ')));
        }
    }
}

// A second Connect during the wait starts no engine; Close releases it without a script.
void TestApp::secondConnectBlockedAndCloseEndsTheWait() {
    EngineDoubleRun engine({"--not-ready", "-1"});
    Store("Y", {"alpha"});
    MessageBoxScript noBoxes;
    ShownDialog dialog({.pollPause = 20ms, .abandoned = {}});
    bool bOpenDuringWait = false;
    QTimer::singleShot(200, &dialog, [&] {
        bOpenDuringWait = dialog.isVisible();
        Press(dialog, "cmdOK");
        Press(dialog, "cmdCancel");
    });
    Press(dialog, "cmdOK");
    QVERIFY(bOpenDuringWait && !dialog.isVisible() && dialog.exitStatus() == 0);
    QCOMPARE(engine.rawLog().count("started|"), 1);
    QCOMPARE(engine.calls().mid(engine.calls().size() - 3),
             QStringList({"IsReady[]", "Release[\"main\"]", "Release[\"EngineControl\"]"}));
}

// The configuration dialog, opened every way, stands centred on the screen with no owner; its
// records show at once, in the mode's text drawn whole in the font chosen at the first show.
void TestApp::linkOpensTheConfigurationAndRefreshes() {
    ScratchStore store;
    MessageBoxScript noBoxes;
    ShownDialog dialog;
    dialog.move(13, 17);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(dialog.link);
    QVERIFY(access && access->role() == QAccessible::Link);
    QCOMPARE(QAccessible::queryAccessibleInterface(control<QWidget>(dialog, "cmdOK"))->role(),
             QAccessible::Button); // the link's interface is its own only
    access->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    QVERIFY(dialog.link->hasFocus());
    // Each way, and a mode changed there: free entry first, then back to the list.
    const std::pair<std::function<void()>, bool> opens[] = {
        {[&] { QTest::keyClick(dialog.link, Qt::Key_Return); }, true},
        {[&] { access->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); },
         false}};
    for (const auto& [open, bFreeEntry] : opens) {
        dialog.combo->setEditText("typed");
        ModalDialogDriver driver("frmConfig", [&](QDialog* config) {
            QCOMPARE(config->parentWidget(), nullptr);
            QCOMPARE(config->frameGeometry().center(),
                     config->screen()->availableGeometry().center());
            Store(bFreeEntry ? "Y" : "N", {"beta", "gamma"});
            config->reject();
        });
        dialog.link->setFocus();
        open();
        auto* shown = bFreeEntry ? dialog.combo : dialog.list;
        QVERIFY(driver.ran() && shown->isVisible() && shown->isEnabled() &&
                ShownWhole(control<QLabel>(dialog, "lblText")));
        QCOMPARE(Entries(shown) << shown->currentText(), QStringList({"beta", "gamma", "beta"}));
    }
    QTest::keyClick(dialog.link, Qt::Key_Escape); // the link passes other keys on: Esc closes
    QVERIFY(dialog.isHidden() && dialog.result() == QDialog::Rejected);
}

// The road of a configuration change: a real click on the link, which never focuses it, then its
// dialog closed by OK (a first run's, whose settings bring Connect while Close had the focus) or
// Cancel. The dialog's window gives its focus back to Connect, so Enter connects.
void TestApp::enterConnectsOnceTheLinksDialogCloses() {
    for (const bool bFirstRun : {true, false}) {
        EngineDoubleRun engine;
        QVERIFY((bFirstRun || PutSettings("AM75G", "N")) && ListHostName("a") && ListHostName("b"));
        ShownDialog dialog;
        ModalDialogDriver driver("frmConfig", [&](QDialog* config) {
            QVERIFY(dialog.focusWidget() != dialog.link);
            Press(*config, bFirstRun ? "cmdOK" : "cmdCancel");
        });
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                          dialog.link->mapTo(&dialog, dialog.link->rect().center()));
        QVERIFY(driver.ran() && dialog.focusWidget() == control<QWidget>(dialog, "cmdOK"));
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        QVERIFY(!dialog.isVisible() && engine.calls().contains("SendText[\"a (ZEB)\u007f\"]"));
    }
}

// More than a thousand names: until the dialog is drawn each box holds the first, as it shows it.
void TestApp::aLongListComesOnceTheDialogIsDrawn() {
    ScratchStore store;
    QStringList names;
    for (int n = 0; n <= 1000; ++n) {
        names << QString("n%1").arg(n);
    }
    Store("Y", names);
    frmSelect dialog;
    auto* list = control<QComboBox>(dialog, "cboConnectionList");
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    QCOMPARE(Entries(list) + Entries(combo) << combo->currentText(), QStringList(3, "n0"));
    dialog.show();
    QTRY_COMPARE(Entries(combo) + Entries(list) << combo->currentText(), names + names << "n0");
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
