// The configuration dialog's frame and its General tab: layout, keyboard, loading the two settings
// exactly as stored, and what OK, Cancel, Esc and the close box write.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
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
#include <tuple>

using namespace frmconfig_test;
using zeb::ui::MsgIcon;

namespace {

// Runs Display, doing `whileShown` once the dialog is up; the driver closes a dialog that the
// action left open, so a broken button cannot hang the test.
void RunDisplay(frmConfig& dialog, const std::function<void(QDialog*)>& whileShown) {
    ModalDialogDriver driver("frmConfig", whileShown);
    dialog.Display();
    QVERIFY(driver.ran());
}

// The widget holding the focus, named as the layout names it (the tab strip's bar is the strip).
QString FocusName(const QWidget& dialog) {
    const QWidget* focus = dialog.focusWidget();
    if (qobject_cast<const QTabBar*>(focus) != nullptr) {
        focus = focus->parentWidget();
    }
    return focus ? focus->objectName() : QString();
}

void ShowAndActivate(frmConfig& dialog) {
    dialog.Load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

bool checked(const QWidget& dialog, const char* option) {
    return Control<QRadioButton>(dialog, option)->isChecked();
}

} // namespace

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void layoutFollowsTheTable();
    void keyboardAndTabsReachEveryControlInOrder();
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
        const char *name, *container;
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
        QCOMPARE(control->geometry(),
                 QRect(row.left / 15, row.top / 15, row.width / 15, row.height / 15));
        if (row.caption != nullptr) {
            const auto* label = qobject_cast<const QLabel*>(control);
            const auto* button = qobject_cast<const QAbstractButton*>(control);
            QCOMPARE(label ? label->text() : button->text(), QLatin1String(row.caption));
            // Captions are shown whole in the box the layout gives them, whatever the font.
            QVERIFY2(qobject_cast<const QPushButton*>(control) ||
                         control->sizeHint().width() <= control->width(),
                     row.name);
        }
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
        QCOMPARE(list->columnWidth(column), widths[column] / 15);
    }
}

void TestFrmConfig::keyboardAndTabsReachEveryControlInOrder() {
    ScratchStore store;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    frmConfig dialog;
    ShowAndActivate(dialog);
    auto* general = Control<QWidget>(dialog, "frpGeneral");
    auto* hosts = Control<QWidget>(dialog, "frpHosts");
    const auto pageShown = [&](QWidget* shown, QWidget* hidden) {
        return shown->isVisible() && shown->isEnabled() && !hidden->isVisible() &&
               !hidden->isEnabled();
    };
    // The first showing focuses the first control of the General page.
    QVERIFY(pageShown(general, hosts));
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
    auto* tabBar = Control<QTabWidget>(dialog, "tabMain")->tabBar();
    tabBar->setFocus();
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Right);
    QVERIFY(pageShown(hosts, general));
    QCOMPARE(FocusName(dialog), QStringLiteral("lstHosts"));
    QCOMPARE(walk(6),
             (QStringList{"cmdAdd", "cmdRemove", "cmdEdit", "cmdOK", "cmdCancel", "tabMain"}));

    // And so does the mouse.
    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(0).center());
    QVERIFY(pageShown(general, hosts));
    QCOMPARE(FocusName(dialog), QStringLiteral("cboDefaultEmulation"));
    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(1).center());
    QVERIFY(pageShown(hosts, general));
    QCOMPARE(FocusName(dialog), QStringLiteral("lstHosts"));
}

void TestFrmConfig::firstOpeningProposesDefaultsAndOnlyOkWrites() {
    {
        ObservedScope scope;
        frmConfig dialog;
        dialog.Load();
        auto* emulation = Control<QComboBox>(dialog, "cboDefaultEmulation");
        QCOMPARE(emulation->count(), 4); // the emulations' list (test_choice_lists)
        QCOMPARE(emulation->currentText(), QStringLiteral("AM75G"));
        QVERIFY(checked(dialog, "optNoAlias") && !checked(dialog, "optAlias"));
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
    QCOMPARE(StoredValues(layout::SETTINGS_KEY),
             AsStored({layout::DEFAULT_TTY, "AM75G", layout::ENABLE_NR, "Y"}));
}

void TestFrmConfig::storedSettingsAreMatchedExactly() {
    {
        // Letter case counts for both values: nothing matches, and OK stores what is shown.
        ScratchStore store;
        QVERIFY(PutSettings("am75g", "y"));
        frmConfig dialog;
        RunDisplay(dialog, [](QDialog* shown) {
            QCOMPARE(Control<QComboBox>(*shown, "cboDefaultEmulation")->currentIndex(), -1);
            QVERIFY(checked(*shown, "optAlias"));
            Press(*shown, "cmdOK");
        });
        QCOMPARE(StoredValues(layout::SETTINGS_KEY),
                 AsStored({layout::DEFAULT_TTY, "", layout::ENABLE_NR, "N"}));
    }
    {
        // A missing EnableNR counts as "N".
        ScratchStore store;
        QVERIFY(PutSettings("AM65", std::nullopt));
        frmConfig dialog;
        dialog.Load();
        QCOMPARE(Texts(dialog, {"cboDefaultEmulation"}), QStringList{"AM65"});
        QVERIFY(checked(dialog, "optAlias"));
    }

    // Changed on the General tab: Cancel keeps what was stored, OK stores what is shown.
    ScratchStore store;
    QVERIFY(PutSettings("AM65", "Y"));
    for (const auto& [button, defaultTTY, enableNR] :
         {std::tuple{"cmdCancel", "AM65", "Y"}, std::tuple{"cmdOK", "AM75", "N"}}) {
        frmConfig dialog;
        RunDisplay(dialog, [&](QDialog* shown) {
            QVERIFY(checked(*shown, "optNoAlias"));
            zeb::ui::SelectComboItem(Control<QComboBox>(*shown, "cboDefaultEmulation"), "AM75", 0);
            Control<QRadioButton>(*shown, "optAlias")->click();
            Press(*shown, button);
        });
        QCOMPARE(StoredValues(layout::SETTINGS_KEY),
                 AsStored({layout::DEFAULT_TTY, defaultTTY, layout::ENABLE_NR, enableNR}));
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
    QCOMPARE(StoredValues(layout::SETTINGS_KEY),
             AsStored({layout::DEFAULT_TTY, "AM65", layout::ENABLE_NR, "Y"}));
}

QTEST_MAIN(TestFrmConfig)
#include "test_frmconfig.moc"
