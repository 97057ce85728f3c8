// The connection selection dialog: its three modes, the host list, the address check, the keys,
// the launch from the dialog (and what the dialog does while the engine gets ready), and the
// refresh after the configuration dialog.
#include "Controls.h"
#include "EngineDoubleRun.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "TypeText.h"
#include "frmSelect.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QtTest>
#include <QtTest/qtestspontaneevent.h>

using namespace zeb;

namespace {

const QString NOT_CONFIGURED =
    QStringLiteral("The Orvane Terminal Emulator configuration utility has not yet been run. "
                   "Before a connection can be established, certain default parameters must be "
                   "configured.");
const QString LIST_ONLY =
    QStringLiteral("Please select a predefined connection from the dropdown list.");
const QString FREE_ENTRY = QStringLiteral(
    "Please select a predefined connection from the dropdown list, or enter a TCP/IP hostname or "
    "IP address to connect using the standard Telnet port 23.");
const QString ENTER_HOST = QStringLiteral("Please enter a hostname or IP address");
const QString INVALID_ADDRESS = QStringLiteral("Please enter a valid IP address or a hostname");
const QString MISSING_INI = QLatin1String(MISSING_INITIALIZATION_MESSAGE);

// The Settings key, with EnableNR unless it is null.
void WriteSettings(const char* sEnableNR) {
    QVERIFY(PutSettings("AM75G", sEnableNR ? std::optional<std::string>(sEnableNR) : std::nullopt));
}

void AddHosts(const QStringList& names) {
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

bool ShownAndEnabled(const QWidget* control) {
    return !control->isHidden() && control->isEnabled();
}

void ShowAndActivate(frmSelect& dialog) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

} // namespace

class TestSelectDialog : public QObject {
    Q_OBJECT
private slots:
    void modesFollowTheSettings();
    void notConfiguredOffersOnlyClose();
    void hostNamesStopAtTheFirstValueThatDoesNotFit();
    void layoutTabOrderAndAccessKey();
    void validateConnection_data();
    void validateConnection();
    void secondConnectBlockedAndCloseEndsTheWait();
    void launchFromTheDialog();
    void linkOpensTheConfigurationAndRefreshes();
    void typedTextIsLaunchedAsTyped();
    void restoringKeepsPlaceAndFocus();
};

// The mode comes from the settings each time the dialog is filled: no Settings key, EnableNR other
// than exactly "Y" (missing included), or "Y". Both boxes are filled with the stored names.
void TestSelectDialog::modesFollowTheSettings() {
    const struct {
        bool bSettings;
        const char* sEnableNR; // null: no such value
        ConnectionMode mode;
        const QString& text;
    } rows[] = {{false, nullptr, ConnectionMode::NotConfigured, NOT_CONFIGURED},
                {true, "N", ConnectionMode::ListOnly, LIST_ONLY},
                {true, "y", ConnectionMode::ListOnly, LIST_ONLY},
                {true, "", ConnectionMode::ListOnly, LIST_ONLY},
                {true, " Y", ConnectionMode::ListOnly, LIST_ONLY},
                {true, nullptr, ConnectionMode::ListOnly, LIST_ONLY},
                {true, "Y", ConnectionMode::FreeEntry, FREE_ENTRY}};
    for (const auto& row : rows) {
        ScratchStore store;
        AddHosts({QStringLiteral("zeta"), QStringLiteral("alpha")});
        if (row.bSettings) {
            WriteSettings(row.sEnableNR);
        }
        QCOMPARE(readConnectionMode(), row.mode);
        frmSelect dialog;
        auto* list = control<QComboBox>(dialog, "cboConnectionList");
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        const bool bFreeEntry = row.mode == ConnectionMode::FreeEntry;
        QComboBox* shown = bFreeEntry ? combo : list;
        QVERIFY(ShownAndEnabled(shown));
        QVERIFY((bFreeEntry ? list : combo)->isHidden() &&
                !(bFreeEntry ? list : combo)->isEnabled());
        QCOMPARE(ShownAndEnabled(control<QPushButton>(dialog, "cmdOK")),
                 row.mode != ConnectionMode::NotConfigured);
        QCOMPARE(control<QLabel>(dialog, "lblText")->text(), row.text);
        QCOMPARE(Entries(list), QStringList({QStringLiteral("zeta"), QStringLiteral("alpha")}));
        QCOMPARE(Entries(combo), Entries(list));
        QCOMPARE(shown->currentText(), QStringLiteral("zeta"));
        QCOMPARE(combo->geometry(), list->geometry()); // the editable box lies on the list
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->lineEdit()->accessibleName(), QStringLiteral("Connect using:"));
        QCOMPARE(control<QLabel>(dialog, "lblConnection")->buddy(), shown);
    }
}

// Without a Connect button, Enter does nothing; Esc closes.
void TestSelectDialog::notConfiguredOffersOnlyClose() {
    ScratchStore store;
    MessageBoxScript noBoxes;
    frmSelect dialog;
    ShowAndActivate(dialog);
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(dialog, "cmdCancel"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestSelectDialog::hostNamesStopAtTheFirstValueThatDoesNotFit() {
    ScratchStore store;
    const QString name63(63, u'n');
    AddHosts({QStringLiteral("first"), name63});
    QVERIFY(PutText(layout::HOSTLIST_KEY, "data63", std::string(63, 'd'))); // 64 bytes with NUL
    QVERIFY(PutText(layout::HOSTLIST_KEY, "data64", std::string(64, 'd')));
    AddHosts({QStringLiteral("after")});
    QComboBox box;
    box.addItem(QStringLiteral("stale"));
    FillHostNames({&box});
    QCOMPARE(Entries(&box),
             QStringList({QStringLiteral("first"), name63, QStringLiteral("data63")}));

    ScratchStore other;
    AddHosts({QStringLiteral("one"), QString(64, u'n'), QStringLiteral("two")});
    FillHostNames({&box});
    QCOMPARE(Entries(&box), QStringList{QStringLiteral("one")});
}

// Captions, tab order and the access key, with each mode's instruction text and the link
// drawn whole in their places: measured as shown, under an application font so large that the
// dialog has to shrink it whatever fonts the machine has.
void TestSelectDialog::layoutTabOrderAndAccessKey() {
    ScratchStore store;
    WriteSettings("N");
    const QFont appFont = QApplication::font();
    const auto restore = qScopeGuard([&] { QApplication::setFont(appFont); });
    QFont larger = appFont;
    larger.setPointSizeF(appFont.pointSizeF() + 5);
    QApplication::setFont(larger);
    frmSelect dialog;
    ShowAndActivate(dialog);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Orvane Terminal Emulator"));
    const auto wrappedHeight = [](const QLabel* label, const QString& text) {
        const QRect place(QPoint(), QSize(label->contentsRect().width(), 10000));
        return label->fontMetrics().boundingRect(place, Qt::TextWordWrap, text).height();
    };
    auto* text = control<QLabel>(dialog, "lblText");
    auto* link = control<QLabel>(dialog, "hypConfig");
    for (const QString& instruction : {NOT_CONFIGURED, LIST_ONLY, FREE_ENTRY}) {
        QVERIFY2(wrappedHeight(text, instruction) <= text->contentsRect().height(),
                 qPrintable(instruction));
    }
    QCOMPARE(text->text(), LIST_ONLY); // the texts tried give way to the mode's own
    QVERIFY(wrappedHeight(link, link->text()) <= link->contentsRect().height());
    QCOMPARE(link->text(), QStringLiteral("Set the default connection parameters or configure a "
                                          "new serial or TCP/IP connection"));

    auto* ok = control<QPushButton>(dialog, "cmdOK");
    auto* list = control<QComboBox>(dialog, "cboConnectionList");
    QCOMPARE(ok->text() + '|' + control<QPushButton>(dialog, "cmdCancel")->text(), "Connect|Close");
    QVERIFY(ok->isDefault());
    QCOMPARE(QApplication::focusWidget(), ok);
    for (QWidget* next : QWidgetList{control<QPushButton>(dialog, "cmdCancel"), list, link, ok}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // The access key of "Connect using:" leads past the disabled box, wrapping, to Connect,
    // without pressing it.
    list->setFocus();
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), ok);
    QVERIFY(dialog.isVisible());
}

void TestSelectDialog::validateConnection_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted, so the launch runs
    // The address rule itself is tested with the other text rules; here, the two messages, that
    // the text goes to it untrimmed, and that a stored name is no exception.
    QTest::newRow("two words") << "my host" << QString();
    QTest::newRow("spaces only") << "   " << ENTER_HOST;
    QTest::newRow("empty") << "" << ENTER_HOST;
    QTest::newRow("space before") << " 10.0.0.1" << INVALID_ADDRESS;
    QTest::newRow("stored name with a dot") << "host.example" << INVALID_ADDRESS;
    QTest::newRow("pasted line end") << "alpha\r\n" << INVALID_ADDRESS;
}

void TestSelectDialog::validateConnection() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    ScratchStore store;
    WriteSettings("Y");
    AddHosts({QStringLiteral("host.example")});
    QTemporaryDir work;
    CurrentDirectory cwd(work.path());
    NoInitialization none; // an accepted name reaches the launch, which stops at its message
    frmSelect dialog;
    ShowAndActivate(dialog);
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    QApplication::clipboard()->setText(text);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
    control<QPushButton>(dialog, "cmdOK")->setFocus();
    MessageBoxScript boxes;
    boxes.expect(message.isEmpty() ? MISSING_INI : message, ui::MsgIcon::Exclamation,
                 ui::MsgAnswer::Ok);

    if (message.isEmpty()) {
        QTest::keyClick(combo, Qt::Key_Return); // Enter in the box connects too
    } else {
        QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    }

    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QCOMPARE(dialog.result(), int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(combo->count(), 1); // the stored name: a typed text is never added
    if (!message.isEmpty()) {
        QCOMPARE(boxes.shown().first().buttons, ui::MsgButtons::Ok);
        QVERIFY(combo->hasFocus());
        QCOMPARE(combo->currentText(), text);
    }
}

void TestSelectDialog::secondConnectBlockedAndCloseEndsTheWait() {
    ScratchStore store;
    WriteSettings("Y");
    AddHosts({QStringLiteral("alpha")});
    EngineDoubleRun engine({QStringLiteral("--not-ready"), QStringLiteral("-1")});
    ScopedEnv pelna("PELNA", "1");
    MessageBoxScript noBoxes;
    LaunchSettings settings;
    settings.pollPause = std::chrono::milliseconds(20);
    frmSelect dialog(nullptr, settings);
    ShowAndActivate(dialog);
    auto* ok = control<QPushButton>(dialog, "cmdOK");
    bool bStillOpenDuringWait = false;
    QTimer::singleShot(200, &dialog, [&] {
        bStillOpenDuringWait = dialog.isVisible();
        QTest::mouseClick(ok, Qt::LeftButton); // must not start a second engine
        QTest::mouseClick(control<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    });

    QTest::mouseClick(ok, Qt::LeftButton);

    QVERIFY(bStillOpenDuringWait);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.exitStatus(), 0);
    QCOMPARE(engine.rawLog().count("\"event\":\"start\""), 1);
    const QStringList calls = engine.calls();
    QVERIFY(calls.filter(QStringLiteral("RunScript")).isEmpty());
    QCOMPARE(calls.mid(calls.size() - 3),
             QStringList({QStringLiteral("IsReady[]"), QStringLiteral("Release[\"main\"]"),
                          QStringLiteral("Release[\"EngineControl\"]")}));
}

// Connect in list-only mode without records launches with the empty name and closes with status
// 0; a failed launch is reported over the still open dialog, which then closes with status 1.
void TestSelectDialog::launchFromTheDialog() {
    for (const bool failing : {false, true}) {
        ScratchStore store;
        WriteSettings("N");
        EngineDoubleRun engine(
            failing ? QStringList{QStringLiteral("--misbehave"), QStringLiteral("Start:status=-7")}
                    : QStringList());
        ScopedEnv pelna("PELNA", "1");
        frmSelect dialog;
        ShowAndActivate(dialog);
        QList<ui::MessageRequest> reports;
        bool bDialogOpen = false;
        const auto previous = ui::setMessageAnswerer([&](const ui::MessageRequest& request) {
            reports.append(request);
            bDialogOpen = dialog.isVisible();
            return ui::MsgAnswer::Ok;
        });
        QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        ui::setMessageAnswerer(previous);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.exitStatus(), failing ? 1 : 0);
        QCOMPARE(reports.size(), failing ? 1 : 0);
        if (failing) {
            QVERIFY(bDialogOpen);
            QCOMPARE(reports.first().icon, ui::MsgIcon::Critical);
            QCOMPARE(reports.first().text,
                     launchFailureText({-7, QStringLiteral("the engine double refused the call")}));
        } else {
            QVERIFY(engine.calls().contains(QStringLiteral("SendText[\" (ZEB)\u007f\"]")));
            QVERIFY(engine.calls()
                        .filter(QStringLiteral("RunScript"))
                        .first()
                        .contains(QStringLiteral("DSK0:TELNET.LIT[1,4] \\r\\n:S")));
        }
    }
}

// By mouse, keyboard (Space or Enter) or screen reader (which is told that it is a link), the link
// opens the configuration dialog, with no owner and centred on the screen wherever the selection
// dialog was moved; what the user saved there is seen as soon as it closes, and a typed text gives
// way to the first stored name.
void TestSelectDialog::linkOpensTheConfigurationAndRefreshes() {
    ScratchStore store;
    MessageBoxScript noBoxes;
    frmSelect dialog;
    ShowAndActivate(dialog);
    dialog.move(13, 17);
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    auto* link = control<QLabel>(dialog, "hypConfig");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(link);
    QCOMPARE(access->role(), QAccessible::Link);
    const std::function<void()> opens[] = {
        [&] { QTest::mouseClick(link, Qt::LeftButton); },
        [&] { link->setFocus(), QTest::keyClick(link, Qt::Key_Space); },
        [&] { link->setFocus(), QTest::keyClick(link, Qt::Key_Return); },
        [&] { access->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); }};
    for (const auto& open : opens) {
        combo->setEditText(QStringLiteral("typed"));
        ModalDialogDriver driver(QStringLiteral("frmConfig"), [](QDialog* config) {
            QCOMPARE(config->parentWidget(), nullptr);
            QCOMPARE(config->frameGeometry().center(),
                     config->screen()->availableGeometry().center());
            WriteSettings("Y");
            AddHosts({QStringLiteral("beta"), QStringLiteral("gamma")});
            config->reject();
        });
        open();
        QVERIFY(driver.ran());
        QVERIFY(ShownAndEnabled(combo) && ShownAndEnabled(control<QPushButton>(dialog, "cmdOK")));
        QCOMPARE(control<QLabel>(dialog, "lblText")->text(), FREE_ENTRY);
        QCOMPARE(Entries(combo), QStringList({QStringLiteral("beta"), QStringLiteral("gamma")}));
        QCOMPARE(combo->currentText(), QStringLiteral("beta"));
        QVERIFY(dialog.isVisible());
    }
}

// What the user types is what is launched, by Connect or by Enter at the first press: no stored
// name that shares the typed beginning or differs only in letter case takes its place, and a
// character that the store's code page lacks stays, since a typed name is never stored.
void TestSelectDialog::typedTextIsLaunchedAsTyped() {
    const struct {
        const char* typed;
        bool bEnter;
    } rows[] = {{"10.0.0.1", false}, {"10.0.0.1", true}, {"server1", true},
                {"SERVER10", false}, {"SERVER10", true}, {"h\u0142\u4e2d", true}};
    for (const auto& row : rows) {
        const QString typed = QString::fromUtf8(row.typed);
        ScratchStore store;
        WriteSettings("Y");
        AddHosts({QStringLiteral("10.0.0.12"), QStringLiteral("server10")});
        EngineDoubleRun engine;
        ScopedEnv pelna("PELNA", "1");
        MessageBoxScript noBoxes;
        frmSelect dialog;
        ShowAndActivate(dialog);
        auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
        QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        typeText(QApplication::focusWidget(), typed);
        QCOMPARE(combo->currentText(), typed);
        if (row.bEnter) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        }
        QVERIFY2(!dialog.isVisible(), row.typed);
        QVERIFY2(engine.calls().contains(QStringLiteral("SendText[\"%1 (ZEB)\u007f\"]").arg(typed)),
                 qPrintable(engine.calls().join(u' ')));
    }
}

// The window system shows the dialog again when it is restored from the task bar: it stays where
// the user put it and the half-typed name keeps the focus.
void TestSelectDialog::restoringKeepsPlaceAndFocus() {
    ScratchStore store;
    WriteSettings("Y");
    frmSelect dialog;
    ShowAndActivate(dialog);
    auto* combo = control<QComboBox>(dialog, "cboConnectionCombo");
    combo->setFocus(Qt::MouseFocusReason);
    typeText(combo->lineEdit(), QStringLiteral("half"));
    dialog.move(13, 17);
    const QPoint place = dialog.pos();
    QWidget* const focused = dialog.focusWidget();
    QVERIFY(focused == combo || focused == combo->lineEdit());

    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    // Straight to the dialog: sendEvent would clear the spontaneous mark.
    static_cast<QObject&>(dialog).event(&restored);

    QCOMPARE(dialog.pos(), place);
    QCOMPARE(dialog.focusWidget(), focused);
    QCOMPARE(combo->currentText(), QStringLiteral("half"));
}

QTEST_MAIN(TestSelectDialog)
#include "test_select_dialog.moc"
