// The configuration dialog: its layout and pages; the General tab's settings as stored and as OK,
// Cancel and the close box leave them; the Hosts tab's list, removal, and the host editor's
// arguments, with the list and the focus after the editor closed.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

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

// Loads and shows the dialog, active, on the given tab, without the modal loop.
void ShowOnTab(frmConfig& dialog, int tab) {
    dialog.load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    control<QTabWidget>(dialog, "tabMain")->setCurrentIndex(tab);
}

QTreeWidget* List(const frmConfig& dialog) {
    return control<QTreeWidget>(dialog, "lstHosts");
}

QTreeWidgetItem* Row(const frmConfig& dialog, const QString& name) {
    return List(dialog)->findItems(name, Qt::MatchExactly, 0).value(0);
}

// Each row as "name|transport|address or port".
QStringList Rows(const frmConfig& dialog) {
    QStringList rows;
    for (QTreeWidgetItemIterator row(List(dialog)); *row; ++row) {
        rows << (*row)->text(0) + '|' + (*row)->text(1) + '|' + (*row)->text(2);
    }
    return rows;
}

// Whether Edit and Remove are enabled: "11", "00" or a mix.
QString EditAndRemove(const frmConfig& dialog) {
    return QString::number(control<QWidget>(dialog, "cmdEdit")->isEnabled()) +
           QString::number(control<QWidget>(dialog, "cmdRemove")->isEnabled());
}

// Opens the editor with `action`, cancels it and tells its caption, name and serial emulation.
QStringList CancelledEditor(const std::function<void()>& action) {
    QStringList view;
    ModalDialogDriver editor("frmHost", [&](QDialog* shown) {
        view = QStringList{shown->windowTitle()} + Texts(*shown, {"txtName", "cboSerialEmulation"});
        Press(*shown, "cmdCancel");
    });
    action();
    return view;
}

// Removes the row of that name, answering `answer`; with `failing`, a failure is reported once.
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
}

} // namespace

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void layoutAndPagesFollowTheTable();
    void settingsAreMatchedExactlyAndOnlyOkWrites();
    void hostListShowsTheStoreAndRemovesAfterAsking();
    void editorGetsTheRowOrTheUnsavedEmulationAndOnlyOkRebuilds();
};

void TestFrmConfig::layoutAndPagesFollowTheTable() {
    ScratchStore store;
    frmConfig dialog;
    ShowOnTab(dialog, 0); // the font is fitted as it is shown
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
    // A tab switched to shows its page alone and focuses its first control; so does a click on
    // the tab already selected.
    QTabBar* tabs = control<QTabWidget>(dialog, "tabMain")->tabBar();
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Right);
    QVERIFY(control<QWidget>(dialog, "frpHosts")->isVisible());
    QVERIFY(control<QWidget>(dialog, "frpGeneral")->isHidden());
    QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isEnabled());
    QVERIFY(HasFocus(dialog, "lstHosts"));
    control<QWidget>(dialog, "cmdOK")->setFocus();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QVERIFY(HasFocus(dialog, "lstHosts"));
}

// On first use Cancel, Esc and the close box write nothing, so ZEB stays unconfigured, and Enter
// presses OK, which stores the proposed defaults. Stored values are matched exactly; OK stores
// what is shown, each value even when the other is refused, and reports the failure once.
void TestFrmConfig::settingsAreMatchedExactlyAndOnlyOkWrites() {
    BackendScope<RefusingStore> scope;
    MessageBoxScript noBoxes;
    const std::function<void(QDialog*)> closings[] = {
        [](QDialog* shown) { Press(*shown, "cmdCancel"); },
        [](QDialog* shown) { QTest::keyClick(shown->focusWidget(), Qt::Key_Escape); },
        [](QDialog* shown) { shown->close(); }};
    for (const auto& close : closings) {
        frmConfig dialog;
        RunDisplay(dialog, close);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        CRegKey key;
        QCOMPARE(key.OpenKey(HKEY_LOCAL_MACHINE, layout::SETTINGS_KEY, KEY_READ),
                 ERROR_FILE_NOT_FOUND);
    }
    frmConfig first;
    RunDisplay(first, [](QDialog* shown) {
        QVERIFY(HasFocus(*shown, "cboDefaultEmulation"));
        QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), QStringList({"DefaultTTY=AM75G", "EnableNR=Y"}));

    QVERIFY(PutSettings("am75g", "y"));
    frmConfig lowerCase;
    RunDisplay(lowerCase, [](QDialog* shown) {
        QCOMPARE(Texts(*shown, {"cboDefaultEmulation"}), QStringList{""});
        QVERIFY(checked(*shown, "optAlias"));
        Press(*shown, "cmdOK");
    });
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), QStringList({"DefaultTTY=", "EnableNR=N"}));

    scope->refused = layout::DEFAULT_TTY;
    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    frmConfig refused;
    RunDisplay(refused, [](QDialog* shown) {
        zeb::ui::SelectComboItem(control<QComboBox>(*shown, "cboDefaultEmulation"), "AM65", 0);
        control<QRadioButton>(*shown, "optNoAlias")->click();
        Press(*shown, "cmdOK");
    });
    QCOMPARE(refused.result(), int(QDialog::Accepted));
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), QStringList({"DefaultTTY=", "EnableNR=Y"}));

    ScratchStore other;
    QVERIFY(PutSettings("AM65", std::nullopt)); // a missing EnableNR counts as "N"
    frmConfig missing;
    missing.load();
    QVERIFY(checked(missing, "optAlias"));
    QCOMPARE(Texts(missing, {"cboDefaultEmulation"}), QStringList{"AM65"});
}

// The rows in store order, up to the first name too long to read. Removal asks first (No, the
// default, changes nothing), reports failures once and rebuilds the list, down to an empty one.
void TestFrmConfig::hostListShowsTheStoreAndRemovesAfterAsking() {
    {
        ScratchStore store;
        QVERIFY(PutRecord("zulu", {"Transport=serial", "Port=/dev/ttyS0"}));
        QVERIFY(PutRecord("tango", {"Transport=tElNeT", "Port=23", "Address=example"}));
        QVERIFY(PutRecord("kilo", {"Transport=Modem", "Port=/dev/ttyS1", "Address=1.2.3.4"}));
        const std::string longest(63, 'n');
        QVERIFY(ListHostName(longest));
        QVERIFY(ListHostName(std::string(64, 'x'))); // the listing ends here
        QVERIFY(ListHostName("last"));
        frmConfig dialog;
        dialog.load();
        QCOMPARE(Rows(dialog),
                 (QStringList{"zulu|Serial|/dev/ttyS0", "tango|Telnet|example", "kilo|Modem|?",
                              QString::fromStdString(longest) + "||?"}));
    }
    ScratchStore store;
    QVERIFY(PutRecord("alpha", {"Transport=SERIAL", "Port=/dev/ttyS0"}));
    QVERIFY(PutRecord("bravo", {"Transport=TELNET", "Address=10.0.0.2"}));
    QVERIFY(ListHostName("ghost"));
    QVERIFY(ListHostName("bravo\\")); // imported: its key path names bravo's key
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowOnTab(dialog, 1);
    const QStringList all{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2", "ghost||?",
                          "bravo\\|Telnet|10.0.0.2"};
    Remove(dialog, "bravo", MsgAnswer::No);
    QCOMPARE(Rows(dialog), all);
    QCOMPARE(EditAndRemove(dialog), QString("11"));
    Remove(dialog, "bravo\\", MsgAnswer::Yes); // the name goes; bravo keeps its key
    QCOMPARE(Rows(dialog), all.mid(0, 3));
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QVERIFY(StoredRecord("bravo").isEmpty());
    Remove(dialog, "ghost", MsgAnswer::Yes, true); // no key to delete, yet the name is gone
    Remove(dialog, "alpha", MsgAnswer::Yes);
    QCOMPARE(Rows(dialog), QStringList());
    QCOMPARE(EditAndRemove(dialog), QString("00"));
    {
        ModalDialogDriver noEditor("frmHost", {}); // a double-click on no row edits nothing
        QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    }
    ModalDialogDriver editor("frmHost",
                             [](QDialog* shown) { SaveTelnetHost(*shown, "first", "10.0.0.1"); });
    Press(dialog, "cmdAdd");
    QCOMPARE(Rows(dialog), QStringList{"first|Telnet|10.0.0.1"});
    QCOMPARE(EditAndRemove(dialog), QString("11"));
}

// After the editor closed, either way, the list has the focus with its row marked; it is rebuilt
// after the editor's OK only, and then shows what another writer did meanwhile too.
void TestFrmConfig::editorGetsTheRowOrTheUnsavedEmulationAndOnlyOkRebuilds() {
    ScratchStore store;
    QVERIFY(PutSettings("AM75G", "Y"));
    QVERIFY(PutRecord("alpha", {"Transport=SERIAL", "Port=/dev/ttyS0"}));
    QVERIFY(PutRecord("bravo", {"Transport=TELNET", "Address=10.0.0.2"}));
    MessageBoxScript noBoxes;
    frmConfig dialog;
    ShowOnTab(dialog, 1);
    QTreeWidget* list = List(dialog);
    const auto expectListFocusedWithItsRowMarked = [&] {
        QVERIFY(HasFocus(dialog, "lstHosts"));
        QVERIFY(list->currentItem() != nullptr && list->currentItem()->isSelected());
    };
    QVERIFY(PutRecord("delta", {"Transport=TELNET", "Address=10.0.0.4"}));

    // Add proposes the General tab's emulation as it stands, saved or not.
    zeb::ui::SelectComboItem(control<QComboBox>(dialog, "cboDefaultEmulation"), "AM65", 0);
    list->clearSelection();
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdAdd"); }),
             QStringList({"Add host configuration", "", "AM65"}));
    expectListFocusedWithItsRowMarked();
    // Edit and a double-click of the left button (no other) pass the current row's name.
    list->setCurrentItem(Row(dialog, "bravo"));
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdEdit"); }),
             QStringList({"Edit host configuration", "bravo", ""}));
    const QPoint onAlpha = list->visualItemRect(Row(dialog, "alpha")).center();
    {
        ModalDialogDriver noEditor("frmHost", {});
        QTest::mouseDClick(list->viewport(), Qt::RightButton, {}, onAlpha);
    }
    QCOMPARE(CancelledEditor([&] {
                 QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onAlpha);
             }).value(1),
             QStringLiteral("alpha"));
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2"}));

    ModalDialogDriver editor("frmHost",
                             [](QDialog* shown) { SaveTelnetHost(*shown, "charlie", "10.0.0.3"); });
    Press(dialog, "cmdAdd");
    expectListFocusedWithItsRowMarked();
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2",
                                        "delta|Telnet|10.0.0.4", "charlie|Telnet|10.0.0.3"}));
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), QStringList({"DefaultTTY=AM75G", "EnableNR=Y"}));
}

QTEST_MAIN(TestFrmConfig)
#include "test_frmconfig.moc"
