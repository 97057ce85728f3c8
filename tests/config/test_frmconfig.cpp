// The configuration dialog's frame and its General tab: layout, keyboard, loading the two settings
// exactly as stored, and what OK, Cancel, Esc and the close box write.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "ScratchStore.h"
#include "Twips.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

using namespace frmconfig_test;
using zeb::ui::MsgAnswer;
using zeb::ui::MsgIcon;

namespace {

const char* const SAVE_FAILED = "Unable to save settings to the registry";

// Runs Display, doing `whileShown` once the dialog is up; the handler closes a dialog that the
// action left open, so a broken button cannot hang the test.
void RunDisplay(frmConfig& dialog, const std::function<void(QDialog*)>& whileShown) {
    ModalHandler handler("frmConfig", whileShown);
    dialog.Display();
    QVERIFY(handler.opened());
    QVERIFY2(!handler.leftOpen(), "the dialog stayed open");
}

// The widget holding the focus, named as the layout names it (the tab strip's bar is the strip).
QString FocusName(const QWidget& dialog) {
    const QWidget* focus = dialog.focusWidget();
    if (focus == nullptr) {
        return {};
    }
    if (qobject_cast<const QTabBar*>(focus) != nullptr) {
        focus = focus->parentWidget();
    }
    return focus->objectName();
}

void ShowAndActivate(frmConfig& dialog) {
    dialog.Load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

} // namespace

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void layoutFollowsTheTable();
    void keyboardReachesEveryControlInOrder();
    void tabsSwitchThePages();
    void firstOpeningProposesDefaultsAndOnlyOkWrites();
    void storedSettingsAreMatchedExactly();
    void failedSaveIsReportedOnceAndTheDialogCloses();
};

void TestFrmConfig::layoutFollowsTheTable() {
    ScratchStore store;
    frmConfig dialog;
    ShowAndActivate(dialog); // the font is fitted as it is shown
    QCOMPARE(dialog.windowTitle(),
             QStringLiteral("Orvane Terminal Emulator Configuration Utility"));
    QCOMPARE(dialog.minimumSize(), QSize(465, 277));
    QCOMPARE(dialog.maximumSize(), QSize(465, 277));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    const struct {
        const char* name;
        const char* container;
        int left, top, width, height;
        const char* caption;
    } table[] = {
        {"tabMain", "frmConfig", 120, 120, 6735, 3495, nullptr},
        {"frpGeneral", "frmConfig", 180, 480, 6615, 3075, nullptr},
        {"lblEmulation", "frpGeneral", 780, 480, 1875, 315, "&Default terminal emulation:"},
        {"cboDefaultEmulation", "frpGeneral", 3060, 420, 2295, 315, nullptr},
        {"optNoAlias", "frpGeneral", 780, 1080, 4215, 315,
         "Permit standard TCP/IP hostname resolution"},
        {"optAlias", "frpGeneral", 780, 1440, 4215, 315, "Only allow connection to defined hosts"},
        {"frpHosts", "frmConfig", 180, 480, 6615, 3075, nullptr},
        {"lblHosts", "frpHosts", 180, 120, 2835, 255, "Server hostname configurations:"},
        {"lstHosts", "frpHosts", 180, 420, 4995, 2475, nullptr},
        {"cmdAdd", "frpHosts", 5340, 420, 1095, 315, "Add"},
        {"cmdRemove", "frpHosts", 5340, 900, 1095, 315, "Remove"},
        {"cmdEdit", "frpHosts", 5340, 1380, 1095, 315, "Edit..."},
        {"cmdOK", "frmConfig", 4560, 3720, 1095, 315, "OK"},
        {"cmdCancel", "frmConfig", 5760, 3720, 1095, 315, "Cancel"},
    };
    for (const auto& row : table) {
        const QWidget* control = Control<QWidget>(dialog, row.name);
        QCOMPARE(control->parentWidget()->objectName(), QLatin1String(row.container));
        QCOMPARE(control->geometry(), zeb::ui::twipsRect(row.left, row.top, row.width, row.height));
        if (row.caption != nullptr) {
            const auto* label = qobject_cast<const QLabel*>(control);
            const auto* button = qobject_cast<const QAbstractButton*>(control);
            QCOMPARE(label ? label->text() : button->text(), QLatin1String(row.caption));
        }
    }

    // Each caption is shown whole in the box the layout gives it, whatever the desktop font.
    for (const char* name : {"lblEmulation", "optNoAlias", "optAlias", "lblHosts"}) {
        const QWidget* control = Control<QWidget>(dialog, name);
        QVERIFY2(control->sizeHint().width() <= control->width(), name);
    }

    // Labels name their fields, for the access key and for screen readers.
    QCOMPARE(Control<QLabel>(dialog, "lblEmulation")->buddy(),
             Control<QWidget>(dialog, "cboDefaultEmulation"));
    QCOMPARE(Control<QLabel>(dialog, "lblHosts")->buddy(), Control<QWidget>(dialog, "lstHosts"));
    QCOMPARE(QAccessible::queryAccessibleInterface(Control<QWidget>(dialog, "lstHosts"))
                 ->text(QAccessible::Name),
             QStringLiteral("Server hostname configurations:"));
    QVERIFY(Control<QPushButton>(dialog, "cmdOK")->isDefault());
    QVERIFY(!Control<QPushButton>(dialog, "cmdCancel")->isDefault());

    auto* tabs = Control<QTabWidget>(dialog, "tabMain");
    QCOMPARE(tabs->count(), 2);
    const QStringList captions{"General", "Hosts"}, keys{"GENERAL", "HOSTS"},
        tooltips{"General and default settings", "Server name and serial settings"};
    for (int index = 0; index < 2; ++index) {
        QCOMPARE(tabs->tabText(index), captions[index]);
        QCOMPARE(tabs->tabBar()->tabData(index).toString(), keys[index]);
        QCOMPARE(tabs->tabToolTip(index), tooltips[index]);
    }

    auto* list = Control<QTreeWidget>(dialog, "lstHosts");
    QCOMPARE(list->columnCount(), 3);
    const QStringList headers{"Server", "Transport", "Address/Port"},
        columnKeys{"SERVER", "TRANSPORT", "PORT"};
    const int widths[] = {2000, 1440, 1440};
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(list->headerItem()->text(column), headers[column]);
        QCOMPARE(list->headerItem()->data(column, zeb::ui::ColumnKeyRole).toString(),
                 columnKeys[column]);
        QCOMPARE(list->columnWidth(column), zeb::ui::twips(widths[column]));
    }
}

void TestFrmConfig::keyboardReachesEveryControlInOrder() {
    ScratchStore store;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    frmConfig dialog;
    ShowAndActivate(dialog);
    // The first showing focuses the first control of the General page.
    QCOMPARE(FocusName(dialog), QStringLiteral("cboDefaultEmulation"));

    const auto walk = [&](int presses) {
        QStringList names;
        for (int press = 0; press < presses; ++press) {
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            names << FocusName(dialog);
        }
        return names;
    };
    QCOMPARE(walk(6), (QStringList{"optNoAlias", "cmdOK", "cmdCancel", "tabMain",
                                   "cboDefaultEmulation", "optNoAlias"}));

    // The access key of the label reaches its field from anywhere in the dialog.
    Control<QPushButton>(dialog, "cmdCancel")->setFocus();
    QTest::keyClick(dialog.focusWidget(), Qt::Key_D, Qt::AltModifier);
    QCOMPARE(FocusName(dialog), QStringLiteral("cboDefaultEmulation"));

    // The tab strip is reached by the keyboard and its arrows switch the page.
    Control<QTabWidget>(dialog, "tabMain")->tabBar()->setFocus();
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Right);
    QVERIFY(Control<QWidget>(dialog, "frpHosts")->isVisible());
    QCOMPARE(FocusName(dialog), QStringLiteral("lstHosts"));
    QCOMPARE(walk(6),
             (QStringList{"cmdAdd", "cmdRemove", "cmdEdit", "cmdOK", "cmdCancel", "tabMain"}));
}

void TestFrmConfig::tabsSwitchThePages() {
    ScratchStore store;
    frmConfig dialog;
    ShowAndActivate(dialog);
    auto* tabs = Control<QTabWidget>(dialog, "tabMain");
    auto* general = Control<QWidget>(dialog, "frpGeneral");
    auto* hosts = Control<QWidget>(dialog, "frpHosts");
    QVERIFY(general->isVisible() && general->isEnabled());
    QVERIFY(!hosts->isVisible() && !hosts->isEnabled());

    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(hosts->isVisible() && hosts->isEnabled());
    QVERIFY(!general->isVisible() && !general->isEnabled());
    QCOMPARE(FocusName(dialog), QStringLiteral("lstHosts"));

    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
    QVERIFY(general->isVisible() && general->isEnabled());
    QVERIFY(!hosts->isVisible() && !hosts->isEnabled());
    QCOMPARE(FocusName(dialog), QStringLiteral("cboDefaultEmulation"));
}

void TestFrmConfig::firstOpeningProposesDefaultsAndOnlyOkWrites() {
    {
        ObservedScope scope;
        frmConfig dialog;
        dialog.Load();
        auto* emulation = Control<QComboBox>(dialog, "cboDefaultEmulation");
        QStringList entries;
        for (int index = 0; index < emulation->count(); ++index) {
            entries << emulation->itemText(index);
        }
        QCOMPARE(entries, (QStringList{"AM65", "AM65G", "AM75", "AM75G"}));
        QCOMPARE(emulation->currentText(), QStringLiteral("AM75G"));
        QVERIFY(Control<QRadioButton>(dialog, "optNoAlias")->isChecked());
        QVERIFY(!Control<QRadioButton>(dialog, "optAlias")->isChecked());
        QCOMPARE(Control<QTabWidget>(dialog, "tabMain")->currentIndex(), 0);
        QCOMPARE(Control<QTreeWidget>(dialog, "lstHosts")->topLevelItemCount(), 0);
        QCOMPARE(scope->writes, 0);
    }

    // Cancel, Esc and the close box all leave the store untouched: ZEB stays unconfigured.
    const std::function<void(QDialog*)> dismissals[] = {
        [](QDialog* dialog) { Press(*dialog, "cmdCancel"); },
        [](QDialog* dialog) { QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape); },
        [](QDialog* dialog) { dialog->close(); },
    };
    for (const auto& dismiss : dismissals) {
        ObservedScope scope;
        MessageBoxScript boxes;
        frmConfig dialog;
        RunDisplay(dialog, dismiss);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(scope->writes, 0);
        QVERIFY(!KeyExists(layout::SETTINGS_KEY));
    }

    // Enter presses OK, which creates Settings with the proposed defaults.
    ScratchStore store;
    MessageBoxScript boxes;
    frmConfig dialog;
    RunDisplay(dialog, [](QDialog* shown) {
        QCOMPARE(FocusName(*shown), QStringLiteral("cboDefaultEmulation"));
        QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QStringLiteral("AM75G"));
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::ENABLE_NR), QStringLiteral("Y"));
}

void TestFrmConfig::storedSettingsAreMatchedExactly() {
    {
        // Letter case counts for both values: nothing matches, and OK stores what is shown.
        ScratchStore store;
        QVERIFY(PutSettings("am75g", "y"));
        frmConfig dialog;
        RunDisplay(dialog, [](QDialog* shown) {
            QCOMPARE(Control<QComboBox>(*shown, "cboDefaultEmulation")->currentIndex(), -1);
            QVERIFY(Control<QRadioButton>(*shown, "optAlias")->isChecked());
            Press(*shown, "cmdOK");
        });
        QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QString(""));
        QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::ENABLE_NR), QStringLiteral("N"));
    }
    {
        // A missing EnableNR counts as "N".
        ScratchStore store;
        QVERIFY(PutSettings("AM65", std::nullopt));
        frmConfig dialog;
        dialog.Load();
        QCOMPARE(Control<QComboBox>(dialog, "cboDefaultEmulation")->currentText(),
                 QStringLiteral("AM65"));
        QVERIFY(Control<QRadioButton>(dialog, "optAlias")->isChecked());
    }

    // Changed on the General tab: Cancel keeps what was stored, OK stores what is shown.
    ScratchStore store;
    QVERIFY(PutSettings("AM65", "Y"));
    const struct {
        const char* button;
        const char* defaultTTY;
        const char* enableNR;
    } endings[] = {{"cmdCancel", "AM65", "Y"}, {"cmdOK", "AM75", "N"}};
    for (const auto& ending : endings) {
        frmConfig dialog;
        RunDisplay(dialog, [&](QDialog* shown) {
            QVERIFY(Control<QRadioButton>(*shown, "optNoAlias")->isChecked());
            zeb::ui::SelectComboItem(Control<QComboBox>(*shown, "cboDefaultEmulation"), "AM75", 0);
            Control<QRadioButton>(*shown, "optAlias")->click();
            Press(*shown, ending.button);
        });
        QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY),
                 QLatin1String(ending.defaultTTY));
        QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::ENABLE_NR),
                 QLatin1String(ending.enableNR));
    }
}

void TestFrmConfig::failedSaveIsReportedOnceAndTheDialogCloses() {
    {
        // A store that refuses every write: the create and both values fail, one message.
        ScratchStore store(zeb::reg::SqliteRegistry::Options{.readOnly = true});
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        frmConfig dialog;
        RunDisplay(dialog, [](QDialog* shown) { Press(*shown, "cmdOK"); });
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().buttons, zeb::ui::MsgButtons::Ok);
    }

    // DefaultTTY refused: EnableNR is still written, and the failure is reported once.
    ObservedScope scope;
    QVERIFY(PutSettings("AM65", "N"));
    scope->refusedSetValue = layout::DEFAULT_TTY;
    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    frmConfig dialog;
    RunDisplay(dialog, [](QDialog* shown) {
        zeb::ui::SelectComboItem(Control<QComboBox>(*shown, "cboDefaultEmulation"), "AM75G", 0);
        Control<QRadioButton>(*shown, "optNoAlias")->click();
        Press(*shown, "cmdOK");
    });
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QStringLiteral("AM65"));
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::ENABLE_NR), QStringLiteral("Y"));
}

QTEST_MAIN(TestFrmConfig)
#include "test_frmconfig.moc"
