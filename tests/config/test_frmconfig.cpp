// The configuration dialog: its layout and keyboard; the General tab's two settings, loaded exactly
// as stored, and what OK, Cancel and the close box write; the Hosts tab's list as stored, the host
// editor's arguments and when the list is rebuilt, removal with its confirmation and failures,
// and the page and focus after the editor closed.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
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

// The widget holding the focus, named as the layout names it (the tab strip's bar is the strip).
QString FocusName(const QWidget& dialog) {
    const QWidget* focus = dialog.focusWidget();
    return qobject_cast<const QTabBar*>(focus) ? focus->parentWidget()->objectName()
           : focus                             ? focus->objectName()
                                               : QString();
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

// Opens the editor with Add and saves a TCP/IP record in it.
void AddTelnetHost(const frmConfig& dialog, const QString& name, const QString& address) {
    ModalDialogDriver editor("frmHost",
                             [&](QDialog* shown) { SaveTelnetHost(*shown, name, address); });
    Press(dialog, "cmdAdd");
}

// Removes the row of that name, answering `answer` to the question (whose default is No); a
// failure to remove is expected to be reported once.
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
    QCOMPARE(boxes.shown().first().defaultButton, 2);
}

// Runs `write` against a second connection to the store file, as another ZEB process would.
void WriteFromAnotherProcess(const std::string& path, const std::function<void()>& write) {
    auto mine = installBackend(std::make_unique<SqliteRegistry>(path));
    write();
    installBackend(std::move(mine));
}

} // namespace

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void layoutFollowsTheTable();
    void firstOpeningProposesDefaultsAndOnlyOkWrites();
    void storedSettingsAreMatchedExactly();
    void failedSaveIsReportedOnceAndTheDialogCloses();
    void listShowsEachRecordAsStoredUpToTheFirstUnreadableName();
    void removeAsksFirstAndReportsFailuresOnceDownToAnEmptyList();
    void editorGetsTheRowOrTheUnsavedEmulation();
    void listIsRebuiltAfterChangesOnlyAndTheFocusReturns();
};

void TestFrmConfig::layoutFollowsTheTable() {
    ScratchStore store;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0")); // so that Edit and Remove take the focus
    frmConfig dialog;
    ShowAndActivate(dialog); // the font is fitted as it is shown
    QCOMPARE(dialog.windowTitle(),
             QStringLiteral("Orvane Terminal Emulator Configuration Utility"));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize()); // fixed border
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY((flags & Qt::WindowCloseButtonHint) &&
            !(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // Captions are shown whole in the box the layout gives them, whatever the font.
    const QStringList captions =
        QString("lblEmulation|&Default terminal emulation:; "
                "optNoAlias|Permit standard TCP/IP hostname resolution; "
                "optAlias|Only allow connection to defined hosts; "
                "lblHosts|Server hostname configurations:; cmdAdd|Add; cmdRemove|Remove; "
                "cmdEdit|Edit...; cmdOK|OK; cmdCancel|Cancel")
            .split("; ");
    for (const QString& row : captions) {
        const QWidget* widget = control<QWidget>(dialog, qPrintable(row.section('|', 0, 0)));
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        QCOMPARE(label ? label->text() : button->text(), row.section('|', 1));
        QVERIFY2(qobject_cast<const QPushButton*>(widget) ||
                     widget->sizeHint().width() <= widget->width(),
                 qPrintable(row));
    }

    // Labels name their fields, for the access key and for screen readers.
    QCOMPARE(control<QLabel>(dialog, "lblEmulation")->buddy(),
             control<QWidget>(dialog, "cboDefaultEmulation"));
    QCOMPARE(control<QLabel>(dialog, "lblHosts")->buddy(), control<QWidget>(dialog, "lstHosts"));
    QVERIFY(control<QPushButton>(dialog, "cmdOK")->isDefault());

    auto* tabs = control<QTabWidget>(dialog, "tabMain");
    auto* list = control<QTreeWidget>(dialog, "lstHosts");
    QStringList pages, columns;
    for (int index = 0; index < tabs->count(); ++index) {
        pages << tabs->tabText(index) + '|' + tabs->tabBar()->tabData(index).toString() + '|' +
                     tabs->tabToolTip(index);
    }
    for (int column = 0; column < list->columnCount(); ++column) {
        const QTreeWidgetItem* header = list->headerItem();
        columns << header->text(column) + '|' +
                       header->data(column, zeb::ui::ColumnKeyRole).toString();
    }
    QCOMPARE(pages, (QStringList{"General|GENERAL|General and default settings",
                                 "Hosts|HOSTS|Server name and serial settings"}));
    QCOMPARE(columns, (QStringList{"Server|SERVER", "Transport|TRANSPORT", "Address/Port|PORT"}));

    // The tab order of each page; the first showing focuses the General page's first control,
    // and a page switched to focuses its own first control.
    const auto walk = [&](int presses) {
        QStringList names{FocusName(dialog)};
        for (int press = 0; press < presses; ++press) {
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            names << FocusName(dialog);
        }
        return names;
    };
    QCOMPARE(walk(4),
             (QStringList{"cboDefaultEmulation", "optNoAlias", "cmdOK", "cmdCancel", "tabMain"}));
    QTest::keyClick(dialog.focusWidget(), Qt::Key_D, Qt::AltModifier); // from the tab strip
    QCOMPARE(FocusName(dialog), QStringLiteral("cboDefaultEmulation"));
    tabs->tabBar()->setFocus();
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Right);
    QVERIFY(control<QWidget>(dialog, "frpHosts")->isVisible());
    QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isVisible());
    QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isEnabled());
    QCOMPARE(walk(6), (QStringList{"lstHosts", "cmdAdd", "cmdRemove", "cmdEdit", "cmdOK",
                                   "cmdCancel", "tabMain"}));
    // A click on the tab already selected moves the focus to its page, as selecting it does.
    control<QPushButton>(dialog, "cmdOK")->setFocus();
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    QCOMPARE(FocusName(dialog), QStringLiteral("lstHosts"));
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
            QCOMPARE(control<QComboBox>(*shown, "cboDefaultEmulation")->currentIndex(), -1);
            QVERIFY(checked(*shown, "optAlias"));
            Press(*shown, "cmdOK");
        });
        QCOMPARE(StoredValues(layout::SETTINGS_KEY),
                 AsStored({layout::DEFAULT_TTY, "", layout::ENABLE_NR, "N"}));
    }
    {
        ScratchStore store;
        QVERIFY(PutSettings("AM65", std::nullopt)); // a missing EnableNR counts as "N"
        frmConfig dialog;
        dialog.load();
        QVERIFY(checked(dialog, "optAlias") && Texts(dialog, {"cboDefaultEmulation"})[0] == "AM65");
    }

    // Changed on the General tab: Cancel keeps what was stored, OK stores what is shown.
    ScratchStore store;
    QVERIFY(PutSettings("AM65", "Y"));
    for (const auto& [button, defaultTTY, enableNR] :
         {std::tuple{"cmdCancel", "AM65", "Y"}, std::tuple{"cmdOK", "AM75", "N"}}) {
        frmConfig dialog;
        RunDisplay(dialog, [&](QDialog* shown) {
            QVERIFY(checked(*shown, "optNoAlias"));
            zeb::ui::SelectComboItem(control<QComboBox>(*shown, "cboDefaultEmulation"), "AM75", 0);
            control<QRadioButton>(*shown, "optAlias")->click();
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
        zeb::ui::SelectComboItem(control<QComboBox>(*shown, "cboDefaultEmulation"), "AM75G", 0);
        control<QRadioButton>(*shown, "optNoAlias")->click();
        Press(*shown, "cmdOK");
    });
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(StoredValues(layout::SETTINGS_KEY),
             AsStored({layout::DEFAULT_TTY, "AM65", layout::ENABLE_NR, "Y"}));
}

void TestFrmConfig::listShowsEachRecordAsStoredUpToTheFirstUnreadableName() {
    {
        ScratchStore store;
        QVERIFY(PutHost("zulu", "SERIAL", "/dev/ttyS0"));
        QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
        QVERIFY(PutHost("mike", "serial", "/dev/ttyUSB1"));
        QVERIFY(PutHost("kilo", "Modem", "/dev/ttyS1", "1.2.3.4"));
        QVERIFY(PutHost("echo", "", "23", "host"));
        QVERIFY(ListHostName("ghost"));
        QVERIFY(PutHost("tango", "tElNeT", "2323", "example"));
        QVERIFY(PutHost("nomad", "TELNET", "23"));
        QVERIFY(PutText(layout::hostKeyPath("unlisted"), layout::TRANSPORT, "SERIAL"));
        const std::string longest(63, 'n');
        QVERIFY(ListHostName(longest));
        QVERIFY(ListHostName(std::string(64, 'x'))); // the listing ends here
        QVERIFY(ListHostName("last"));
        frmConfig dialog;
        ShowAndActivate(dialog, true);
        // Store order, not sorted; a TCP/IP record shows its address, a serial one its port.
        QCOMPARE(Rows(dialog), (QStringList{"zulu|Serial|/dev/ttyS0", "alpha|Telnet|10.0.0.1",
                                            "mike|Serial|/dev/ttyUSB1", "kilo|Modem|?", "echo||?",
                                            "ghost||?", "tango|Telnet|example", "nomad|Telnet|",
                                            QString::fromStdString(longest) + "||?"}));
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
    QVERIFY(KeyExists(layout::hostKeyPath("bravo")));
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QVERIFY(!StoredText(layout::HOSTLIST_KEY, "bravo"));
    QVERIFY(!KeyExists(layout::hostKeyPath("bravo")));
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "ghost||?"}));

    // A listed name without its key: the subkey delete fails, yet the name is gone.
    Remove(dialog, "ghost", MsgAnswer::Yes, true);
    QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});

    // The HostList value refused: the key is deleted all the same, and the row, still listed,
    // shows the record without its key once the list is rebuilt.
    scope->refusedDeleteValue = "alpha";
    Remove(dialog, "alpha", MsgAnswer::Yes, true);
    QVERIFY(!KeyExists(layout::hostKeyPath("alpha")));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), QStringLiteral("1"));
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
    auto* emulation = control<QComboBox>(dialog, "cboDefaultEmulation");

    // Add proposes the General tab's emulation as it stands, saved or not.
    const auto add = [&] { Press(dialog, "cmdAdd"); };
    zeb::ui::SelectComboItem(emulation, "AM65", 0);
    QCOMPARE(CancelledEditor(add), QStringList({"Add host configuration", "", "AM65"}));
    emulation->setCurrentIndex(-1);
    QCOMPARE(CancelledEditor(add).last(), QString());

    // Edit and a double-click both pass the current row's name.
    List(dialog)->setCurrentItem(Row(dialog, "bravo"));
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdEdit"); }).mid(0, 2),
             QStringList({"Edit host configuration", "bravo"}));
    const QPoint onAlpha = List(dialog)->visualItemRect(Row(dialog, "alpha")).center();
    {
        ModalDialogDriver noEditor("frmHost", {}); // only the left button's double-click edits
        QTest::mouseDClick(List(dialog)->viewport(), Qt::RightButton, {}, onAlpha);
    }
    QCOMPARE(CancelledEditor([&] {
                 QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, onAlpha);
             }).at(1),
             QStringLiteral("alpha"));

    QCOMPARE(scope->writes, 0);
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QStringLiteral("AM75G"));
}

// The list is rebuilt after the editor's OK only, and then shows what other writers did too; after
// the editor closed, either way, the Hosts page is back with the list focused and its row marked.
void TestFrmConfig::listIsRebuiltAfterChangesOnlyAndTheFocusReturns() {
    QTemporaryDir folder;
    const std::string path = folder.filePath("registry.db").toStdString();
    BackendScope<SqliteRegistry> scope(path);
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowAndActivate(dialog, true);
    auto* list = List(dialog);
    const auto expectHostsPageWithListFocused = [&] {
        QCOMPARE(control<QTabWidget>(dialog, "tabMain")->currentIndex(), 1);
        QVERIFY(control<QWidget>(dialog, "frpHosts")->isVisible());
        QVERIFY(!control<QWidget>(dialog, "frpGeneral")->isVisible());
        QCOMPARE(dialog.focusWidget(), list);
        QVERIFY(list->currentItem() != nullptr && list->currentItem()->isSelected());
    };

    WriteFromAnotherProcess(path, [] { QVERIFY(PutHost("delta", "TELNET", "23", "10.0.0.4")); });
    // The row stays current but unmarked, and the focus is on the button, until the editor
    // closes; a cancelled editor rebuilds nothing, so the other writer's record is not shown yet.
    list->setCurrentItem(Row(dialog, "bravo"));
    list->clearSelection();
    CancelledEditor([&] { Press(dialog, "cmdEdit"); });
    expectHostsPageWithListFocused();
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("bravo"));
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2"}));

    list->clearSelection();
    AddTelnetHost(dialog, "charlie", "10.0.0.3");
    expectHostsPageWithListFocused();
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2",
                                        "delta|Telnet|10.0.0.4", "charlie|Telnet|10.0.0.3"}));

    WriteFromAnotherProcess(path, [] {
        CRegKey hostList;
        QCOMPARE(hostList.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, KEY_WRITE), 0);
        QCOMPARE(hostList.DeleteValue("alpha"), 0);
        hostList.CloseKey();
    });
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QCOMPARE(Rows(dialog), (QStringList{"delta|Telnet|10.0.0.4", "charlie|Telnet|10.0.0.3"}));
}

QTEST_MAIN(TestFrmConfig)
#include "test_frmconfig.moc"
