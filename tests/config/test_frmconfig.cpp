// The configuration dialog: its layout and pages; the General tab's two settings, loaded exactly
// as stored, and what OK, Cancel and the close box write; the Hosts tab's list as stored, the host
// editor's arguments, removal, and the list and focus after the editor closed.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <tuple>

using namespace frmconfig_test;
using zeb::ui::MsgAnswer;
using zeb::ui::MsgIcon;

namespace {

// Runs Display, doing `whileShown` once the dialog is up (the driver closes a dialog left open).
void RunDisplay(frmConfig& dialog, const std::function<void(QDialog*)>& whileShown) {
    ModalDialogDriver driver("frmConfig", whileShown);
    dialog.Display();
    QVERIFY(driver.ran());
}

// Loads and shows the dialog, active, without the modal loop; with `hostsPage`, on the Hosts tab.
void ShowAndActivate(frmConfig& dialog, bool hostsPage = false) {
    dialog.load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    control<QTabWidget>(dialog, "tabMain")->setCurrentIndex(hostsPage ? 1 : 0);
}

QTreeWidget* List(const frmConfig& dialog) {
    return control<QTreeWidget>(dialog, "lstHosts");
}

bool HasFocus(const QWidget& dialog, const char* name) {
    return dialog.focusWidget() == control<QWidget>(dialog, name);
}

// Each row as "name|transport|address or port".
QStringList Rows(const frmConfig& dialog) {
    QStringList rows;
    for (QTreeWidgetItemIterator row(List(dialog)); *row; ++row) {
        rows << (*row)->text(0) + '|' + (*row)->text(1) + '|' + (*row)->text(2);
    }
    return rows;
}

QTreeWidgetItem* Row(const frmConfig& dialog, const QString& name) {
    return List(dialog)->findItems(name, Qt::MatchExactly, 0).value(0);
}

QString EnabledButtons(const frmConfig& dialog) {
    QStringList names;
    for (const char* name : {"cmdAdd", "cmdRemove", "cmdEdit"}) {
        names << (control<QPushButton>(dialog, name)->isEnabled() ? name : "");
    }
    return names.join(' ').trimmed();
}

// Opens the editor with `action`, cancels it and tells what it showed: its caption, the name and
// the serial emulation.
QStringList CancelledEditor(const std::function<void()>& action) {
    QStringList view;
    ModalDialogDriver editor("frmHost", [&](QDialog* shown) {
        view = QStringList{shown->windowTitle()} + Texts(*shown, {"txtName", "cboSerialEmulation"});
        Press(*shown, "cmdCancel");
    });
    action();
    return view;
}

void AddTelnetHost(const frmConfig& dialog, const QString& name, const QString& address) {
    ModalDialogDriver editor("frmHost",
                             [&](QDialog* shown) { SaveTelnetHost(*shown, name, address); });
    Press(dialog, "cmdAdd");
}

// Removes the row of that name, answering `answer` to the question (whose default is No); with
// `failing`, the failure to remove is expected to be reported once.
void Remove(const frmConfig& dialog, const QString& name, MsgAnswer answer, bool failing = false) {
    MessageBoxScript boxes;
    boxes.expect(
        QStringLiteral("Are you sure you wish to delete this server definition [%1]?").arg(name),
        MsgIcon::Information, answer);
    if (failing) {
        boxes.expect("Unable to remove settings from the registry", MsgIcon::Critical);
    }
    List(dialog)->setCurrentItem(Row(dialog, name));
    Press(dialog, "cmdRemove");
    QVERIFY(!boxes.shown().isEmpty());
    QCOMPARE(boxes.shown().value(0).defaultButton, 2);
}

} // namespace

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void layoutAndPagesFollowTheTable();
    void firstOpeningProposesDefaultsAndOnlyOkWrites();
    void storedSettingsAreMatchedExactlyAndAFailedSaveIsReportedOnce();
    void listShowsEachRecordAsStoredUpToTheFirstUnreadableName();
    void removeAsksFirstAndReportsFailuresOnceDownToAnEmptyList();
    void editorGetsTheRowOrTheUnsavedEmulation();
    void listIsRebuiltAfterChangesOnlyAndTheFocusReturns();
};

void TestFrmConfig::layoutAndPagesFollowTheTable() {
    ScratchStore store;
    frmConfig dialog;
    ShowAndActivate(dialog); // the font is fitted as it is shown
    checkLayout(dialog, {6975, 4155},
                {
                    {"tabMain", "frmConfig", 120, 120, 6735, 3495},
                    {"frpGeneral", "frmConfig", 180, 480, 6615, 3075},
                    {"lblEmulation", "frpGeneral", 780, 480, 1875, 315},
                    {"cboDefaultEmulation", "frpGeneral", 3060, 420, 2295, 315},
                    {"optNoAlias", "frpGeneral", 780, 1080, 4215, 315},
                    {"optAlias", "frpGeneral", 780, 1440, 4215, 315},
                    {"frpHosts", "frmConfig", 180, 480, 6615, 3075},
                    {"lblHosts", "frpHosts", 180, 120, 2835, 255},
                    {"lstHosts", "frpHosts", 180, 420, 4995, 2475},
                    {"cmdAdd", "frpHosts", 5340, 420, 1095, 315},
                    {"cmdRemove", "frpHosts", 5340, 900, 1095, 315},
                    {"cmdEdit", "frpHosts", 5340, 1380, 1095, 315},
                    {"cmdOK", "frmConfig", 4560, 3720, 1095, 315},
                    {"cmdCancel", "frmConfig", 5760, 3720, 1095, 315},
                });

    // A tab switched to shows its page alone and focuses its first control; a click on the tab
    // already selected does the same.
    auto* tabs = control<QTabWidget>(dialog, "tabMain");
    tabs->tabBar()->setFocus();
    QTest::keyClick(tabs->tabBar(), Qt::Key_Right);
    QVERIFY(control<QWidget>(dialog, "frpHosts")->isVisible());
    QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isVisible());
    QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isEnabled());
    QVERIFY(HasFocus(dialog, "lstHosts"));
    control<QPushButton>(dialog, "cmdOK")->setFocus();
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    QVERIFY(HasFocus(dialog, "lstHosts"));
}

// Cancel, Esc and the close box write nothing at all, so ZEB stays unconfigured; Enter presses OK,
// which creates Settings with the proposed defaults.
void TestFrmConfig::firstOpeningProposesDefaultsAndOnlyOkWrites() {
    const std::function<void(QDialog*)> closings[] = {
        [](QDialog* shown) { Press(*shown, "cmdCancel"); },
        [](QDialog* shown) { QTest::keyClick(shown->focusWidget(), Qt::Key_Escape); },
        [](QDialog* shown) { shown->close(); }};
    for (const auto& close : closings) {
        ObservedScope scope;
        MessageBoxScript boxes;
        frmConfig dialog;
        RunDisplay(dialog, close);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(scope->writes, 0);
    }
    ScratchStore store;
    MessageBoxScript boxes;
    frmConfig dialog;
    RunDisplay(dialog, [](QDialog* shown) {
        QVERIFY(HasFocus(*shown, "cboDefaultEmulation"));
        QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(StoredValues(layout::SETTINGS_KEY),
             AsStored({layout::DEFAULT_TTY, "AM75G", layout::ENABLE_NR, "Y"}));
}

void TestFrmConfig::storedSettingsAreMatchedExactlyAndAFailedSaveIsReportedOnce() {
    // Letter case counts for both values; a missing EnableNR counts as "N".
    const struct {
        const char* defaultTTY;
        std::optional<std::string> enableNR;
        const char* shown;
    } stored[] = {{"am75g", "y", ""}, {"AM65", std::nullopt, "AM65"}};
    for (const auto& settings : stored) {
        ScratchStore store;
        QVERIFY(PutSettings(settings.defaultTTY, settings.enableNR));
        frmConfig dialog;
        dialog.load();
        QVERIFY(checked(dialog, "optAlias"));
        QCOMPARE(Texts(dialog, {"cboDefaultEmulation"}), QStringList{settings.shown});
    }
    // Changed on the General tab: Cancel keeps what was stored, OK stores what is shown even when
    // one value is refused: the other is written and the failure reported once.
    ObservedScope scope;
    QVERIFY(PutSettings("AM65", "Y"));
    for (const auto& [button, refused, defaultTTY, enableNR] :
         {std::tuple{"cmdCancel", "", "AM65", "Y"}, std::tuple{"cmdOK", "", "", "N"},
          std::tuple{"cmdOK", layout::DEFAULT_TTY, "", "Y"}}) {
        scope->refusedSetValue = refused;
        MessageBoxScript boxes;
        if (*refused) {
            boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        }
        frmConfig dialog;
        RunDisplay(dialog, [&](QDialog* shown) {
            auto* emulation = control<QComboBox>(*shown, "cboDefaultEmulation");
            zeb::ui::SelectComboItem(emulation, *refused ? "AM75" : "", 0);
            control<QRadioButton>(*shown, *refused ? "optNoAlias" : "optAlias")->click();
            Press(*shown, button);
        });
        if (*refused) {
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(StoredValues(layout::SETTINGS_KEY),
                 AsStored({layout::DEFAULT_TTY, defaultTTY, layout::ENABLE_NR, enableNR}));
    }
}

void TestFrmConfig::listShowsEachRecordAsStoredUpToTheFirstUnreadableName() {
    {
        ScratchStore store;
        QVERIFY(PutHost("zulu", "SERIAL", "/dev/ttyS0"));
        QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
        QVERIFY(PutHost("mike", "serial", "/dev/ttyUSB1"));
        QVERIFY(PutHost("kilo", "Modem", "/dev/ttyS1", "1.2.3.4"));
        QVERIFY(ListHostName("ghost"));
        QVERIFY(PutHost("tango", "tElNeT", "2323", "example"));
        const std::string longest(63, 'n');
        QVERIFY(ListHostName(longest));
        QVERIFY(ListHostName(std::string(64, 'x'))); // the listing ends here
        QVERIFY(ListHostName("last"));
        frmConfig dialog;
        ShowAndActivate(dialog, true);
        // Store order, not sorted; a TCP/IP record shows its address, a serial one its port.
        QCOMPARE(Rows(dialog),
                 (QStringList{"zulu|Serial|/dev/ttyS0", "alpha|Telnet|10.0.0.1",
                              "mike|Serial|/dev/ttyUSB1", "kilo|Modem|?", "ghost||?",
                              "tango|Telnet|example", QString::fromStdString(longest) + "||?"}));
        QCOMPARE(EnabledButtons(dialog), QStringLiteral("cmdAdd cmdRemove cmdEdit"));
        QVERIFY(List(dialog)->currentItem() != nullptr);
    }
    ScratchStore store;
    QVERIFY(ListHostName("one"));
    QVERIFY(PutText(layout::HOSTLIST_KEY, "two", std::string(64, 'd'))); // data too long
    QVERIFY(ListHostName("three"));
    frmConfig dialog;
    dialog.load();
    QCOMPARE(Rows(dialog), QStringList{"one||?"});
}

void TestFrmConfig::removeAsksFirstAndReportsFailuresOnceDownToAnEmptyList() {
    ObservedScope scope;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    QVERIFY(ListHostName("ghost"));
    QVERIFY(ListHostName("bravo\\")); // imported: its key path names bravo's key
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowAndActivate(dialog, true);
    const QStringList all{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2", "ghost||?",
                          "bravo\\|Telnet|10.0.0.2"};
    QCOMPARE(Rows(dialog), all);
    scope->writes = 0;

    Remove(dialog, "bravo", MsgAnswer::No); // the default answer changes nothing
    QCOMPARE(scope->writes, 0);
    QCOMPARE(Rows(dialog), all);
    // A name holding a backslash goes from the list; bravo keeps its key.
    Remove(dialog, "bravo\\", MsgAnswer::Yes);
    QCOMPARE(Rows(dialog), all.mid(0, 3));
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QVERIFY(!KeyExists(layout::hostKeyPath("bravo")));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1", "ghost", "1"}));
    // A listed name without its key: the subkey delete fails, yet the name is gone.
    Remove(dialog, "ghost", MsgAnswer::Yes, true);
    QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});

    // The HostList value refused: the key is deleted all the same, and the row stays.
    scope->refusedDeleteValue = "alpha";
    Remove(dialog, "alpha", MsgAnswer::Yes, true);
    QCOMPARE(Rows(dialog), QStringList{"alpha||?"});
    scope->refusedDeleteValue.clear();
    Remove(dialog, "alpha", MsgAnswer::Yes, true);

    // An empty list offers only Add, and a double-click on no row opens nothing.
    QCOMPARE(List(dialog)->topLevelItemCount(), 0);
    QCOMPARE(EnabledButtons(dialog), QStringLiteral("cmdAdd"));
    {
        ModalDialogDriver noEditor("frmHost", {});
        QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    }
    AddTelnetHost(dialog, "first", "10.0.0.1");
    QCOMPARE(Rows(dialog), QStringList{"first|Telnet|10.0.0.1"});
    QCOMPARE(EnabledButtons(dialog), QStringLiteral("cmdAdd cmdRemove cmdEdit"));
}

void TestFrmConfig::editorGetsTheRowOrTheUnsavedEmulation() {
    ObservedScope scope;
    QVERIFY(PutSettings("AM75G", "Y"));
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    MessageBoxScript boxes;
    frmConfig dialog;
    ShowAndActivate(dialog, true);
    scope->writes = 0;

    // Add proposes the General tab's emulation as it stands, saved or not.
    zeb::ui::SelectComboItem(control<QComboBox>(dialog, "cboDefaultEmulation"), "AM65", 0);
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdAdd"); }),
             QStringList({"Add host configuration", "", "AM65"}));

    // Edit and a double-click of the left button (no other) pass the current row's name.
    List(dialog)->setCurrentItem(Row(dialog, "bravo"));
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdEdit"); }),
             QStringList({"Edit host configuration", "bravo", ""}));
    const QPoint onAlpha = List(dialog)->visualItemRect(Row(dialog, "alpha")).center();
    {
        ModalDialogDriver noEditor("frmHost", {});
        QTest::mouseDClick(List(dialog)->viewport(), Qt::RightButton, {}, onAlpha);
    }
    QCOMPARE(CancelledEditor([&] {
                 QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, onAlpha);
             }).value(1),
             QStringLiteral("alpha"));
    QCOMPARE(scope->writes, 0);
}

// The list is rebuilt after the editor's OK only, and then shows what other writers did too; after
// the editor closed, either way, the Hosts page is back with the list focused and its row marked.
void TestFrmConfig::listIsRebuiltAfterChangesOnlyAndTheFocusReturns() {
    ScratchStore store;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowAndActivate(dialog, true);
    auto* list = List(dialog);
    const auto expectHostsPageWithListFocused = [&] {
        QVERIFY(control<QWidget>(dialog, "frpHosts")->isVisible());
        QVERIFY(HasFocus(dialog, "lstHosts"));
        QVERIFY(list->currentItem() != nullptr && list->currentItem()->isSelected());
    };
    QVERIFY(PutHost("delta", "TELNET", "23", "10.0.0.4")); // by another writer
    list->clearSelection();
    CancelledEditor([&] { Press(dialog, "cmdEdit"); });
    expectHostsPageWithListFocused();
    QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});

    list->clearSelection();
    AddTelnetHost(dialog, "charlie", "10.0.0.3");
    expectHostsPageWithListFocused();
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "delta|Telnet|10.0.0.4",
                                        "charlie|Telnet|10.0.0.3"}));
}

QTEST_MAIN(TestFrmConfig)
#include "test_frmconfig.moc"
