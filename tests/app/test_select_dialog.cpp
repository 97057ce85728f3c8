// The connection selection dialog: its modes, the host list, its layout and keys, the address
// check, the launch from the dialog and the refresh after the configuration dialog.
#include "Controls.h"
#include "EngineDoubleRun.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "Twips.h"
#include "TypeText.h"
#include "frmSelect.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
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

class TestSelectDialog : public QObject {
    Q_OBJECT
private slots:
    void modesFollowTheSettings();
    void layoutTextsAndKeys();
    void refusedTextsKeepTheDialogOpen();
    void typedTextIsLaunchedAsTyped();
    void launchFromTheDialog();
    void secondConnectBlockedAndCloseEndsTheWait();
    void linkOpensTheConfigurationAndRefreshes();
    void restoringKeepsPlaceAndFocus();
};

// No Settings key; EnableNR other than exactly "Y" (missing included); "Y". Both boxes hold the
// stored names whatever the mode. Without a configuration only Close takes keys: Enter does
// nothing, Esc closes.
void TestSelectDialog::modesFollowTheSettings() {
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
        QCOMPARE(Entries(list), QStringList({"zeta", "alpha"}));
        QCOMPARE(Entries(combo), Entries(list));
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

// Every control where the layout table (twips) puts it, the editable box moved onto the list;
// each mode's instruction text and the link drawn whole, even under an application font so large
// that the dialog has to shrink it. Then the tab order, and the access key of "Connect using:",
// which leads past the disabled box, wrapping, to Connect, without pressing it.
void TestSelectDialog::layoutTextsAndKeys() {
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
// text goes to the check untrimmed, a stored name is no exception, and a pasted line end is
// refused.
void TestSelectDialog::refusedTextsKeepTheDialogOpen() {
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
        QApplication::clipboard()->setText(text);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(combo, Qt::Key_V, Qt::ControlModifier);
        MessageBoxScript boxes;
        boxes.expect(message, ui::MsgIcon::Exclamation);
        QTest::mouseClick(control<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(boxes.shown().value(0).buttons, ui::MsgButtons::Ok);
        QVERIFY(dialog.isVisible() && combo->hasFocus());
        QCOMPARE(combo->currentText(), text);
    }
}

// What the user types is what is launched, by Connect or by Enter at the first press: no stored
// name that shares the typed beginning or differs only in letter case takes its place, and the
// typed text is not added to the list. Inner spaces and characters beyond the store's code page
// stay, since a typed name is never stored.
void TestSelectDialog::typedTextIsLaunchedAsTyped() {
    const std::pair<const char*, bool> rows[] = {{"10.0.0.1", false}, {"10.0.0.1", true},
                                                 {"SERVER10", false}, {"SERVER10", true},
                                                 {"server1", true},   {"my h\u0142\u4e2d", true}};
    for (const auto& [typed, bEnter] : rows) {
        ScratchStore store;
        Store("Y", {"10.0.0.12", "server10"});
        EngineDoubleRun engine;
        ScopedEnv pelna("PELNA", "1");
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
void TestSelectDialog::launchFromTheDialog() {
    ScratchStore store;
    Store("N");
    EngineDoubleRun engine({"--misbehave", "RunScript:status=-7"});
    ScopedEnv pelna("PELNA", "1");
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
void TestSelectDialog::secondConnectBlockedAndCloseEndsTheWait() {
    ScratchStore store;
    Store("Y", {"alpha"});
    EngineDoubleRun engine({"--not-ready", "-1"});
    ScopedEnv pelna("PELNA", "1");
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

// By mouse, Space, Enter or a screen reader (told that it is a link), the link opens the
// configuration dialog, with no owner and centred on the screen wherever the selection dialog was
// moved; what was saved there shows as soon as it closes, the first stored name replacing a typed
// text. A screen reader can also just focus the link.
void TestSelectDialog::linkOpensTheConfigurationAndRefreshes() {
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
void TestSelectDialog::restoringKeepsPlaceAndFocus() {
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

QTEST_MAIN(TestSelectDialog)
#include "test_select_dialog.moc"
