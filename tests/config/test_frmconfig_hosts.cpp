// The Hosts tab of the configuration dialog: the list as stored, the host editor's arguments and
// when the list is rebuilt, removal with its confirmation and failures, and the page and focus
// after the editor closed.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace frmconfig_test;
using zeb::ui::MsgAnswer;
using zeb::ui::MsgIcon;

namespace {

QTreeWidget* List(const frmConfig& dialog) {
    return Control<QTreeWidget>(dialog, "lstHosts");
}

// Each row as "name|transport|address or port".
QStringList Rows(const frmConfig& dialog) {
    QStringList rows;
    for (int index = 0; index < List(dialog)->topLevelItemCount(); ++index) {
        const QTreeWidgetItem* row = List(dialog)->topLevelItem(index);
        rows << row->text(0) + '|' + row->text(1) + '|' + row->text(2);
    }
    return rows;
}

QTreeWidgetItem* Row(const frmConfig& dialog, const QString& name) {
    const auto found = List(dialog)->findItems(name, Qt::MatchExactly, 0);
    if (found.size() != 1) {
        qFatal("no single row %s", qPrintable(name));
    }
    return found.first();
}

bool EditAndRemoveEnabled(const frmConfig& dialog) {
    return Control<QPushButton>(dialog, "cmdEdit")->isEnabled() &&
           Control<QPushButton>(dialog, "cmdRemove")->isEnabled();
}

void ShowHostsPage(frmConfig& dialog) {
    dialog.Load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Control<QTabWidget>(dialog, "tabMain")->setCurrentIndex(1);
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

class TestFrmConfigHosts : public QObject {
    Q_OBJECT
private slots:
    void listShowsEachRecordAsStoredUpToTheFirstUnreadableName();
    void removeAsksFirstAndReportsFailuresOnceDownToAnEmptyList();
    void editorGetsTheRowOrTheUnsavedEmulation();
    void listIsRebuiltAfterChangesOnlyAndTheFocusReturns();
};

void TestFrmConfigHosts::listShowsEachRecordAsStoredUpToTheFirstUnreadableName() {
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
        QVERIFY(PutText(HostKey("unlisted"), layout::TRANSPORT, "SERIAL"));
        const std::string longest(63, 'n');
        QVERIFY(ListHostName(longest));
        QVERIFY(ListHostName(std::string(64, 'x'))); // the listing ends here
        QVERIFY(ListHostName("last"));
        frmConfig dialog;
        ShowHostsPage(dialog);
        // Store order, not sorted; a TCP/IP record shows its address, a serial one its port.
        QCOMPARE(Rows(dialog), (QStringList{"zulu|Serial|/dev/ttyS0", "alpha|Telnet|10.0.0.1",
                                            "mike|Serial|/dev/ttyUSB1", "kilo|Modem|?", "echo||?",
                                            "ghost||?", "tango|Telnet|example", "nomad|Telnet|",
                                            QString::fromStdString(longest) + "||?"}));
        QVERIFY(EditAndRemoveEnabled(dialog));
        QVERIFY(List(dialog)->currentItem() != nullptr);
    }
    ScratchStore store;
    QVERIFY(ListHostName("one"));
    QVERIFY(PutText(layout::HOSTLIST_KEY, "two", std::string(64, 'd'))); // data too long
    QVERIFY(ListHostName("three"));
    frmConfig dialog;
    dialog.Load();
    QCOMPARE(Rows(dialog), QStringList{"one||?"});
}

void TestFrmConfigHosts::removeAsksFirstAndReportsFailuresOnceDownToAnEmptyList() {
    ObservedScope scope;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    QVERIFY(ListHostName("ghost"));
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowHostsPage(dialog);
    const QStringList all{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2", "ghost||?"};
    QCOMPARE(Rows(dialog), all);
    scope->writes = 0;

    Remove(dialog, "bravo", MsgAnswer::No); // the default answer changes nothing
    QCOMPARE(scope->writes, 0);
    QCOMPARE(Rows(dialog), all);
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QVERIFY(!StoredText(layout::HOSTLIST_KEY, "bravo"));
    QVERIFY(!KeyExists(HostKey("bravo")));
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "ghost||?"}));

    // A listed name without its key: the subkey delete fails, yet the name is gone.
    Remove(dialog, "ghost", MsgAnswer::Yes, true);
    QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});

    // The HostList value refused: the key is deleted all the same, and the row, still listed,
    // shows the record without its key once the list is rebuilt.
    scope->refusedDeleteValue = "alpha";
    Remove(dialog, "alpha", MsgAnswer::Yes, true);
    QVERIFY(!KeyExists(HostKey("alpha")));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), QStringLiteral("1"));
    QCOMPARE(Rows(dialog), QStringList{"alpha||?"});
    scope->refusedDeleteValue.clear();
    Remove(dialog, "alpha", MsgAnswer::Yes, true);

    // An empty list offers only Add, and a double-click on no row opens nothing.
    QCOMPARE(List(dialog)->topLevelItemCount(), 0);
    QVERIFY(!Control<QPushButton>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(!Control<QPushButton>(dialog, "cmdRemove")->isEnabled());
    QVERIFY(Control<QPushButton>(dialog, "cmdAdd")->isEnabled());
    {
        ModalDialogDriver noEditor("frmHost", {});
        QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    }
    AddTelnetHost(dialog, "first", "10.0.0.1");
    QCOMPARE(Rows(dialog), QStringList{"first|Telnet|10.0.0.1"});
    QVERIFY(EditAndRemoveEnabled(dialog));
}

void TestFrmConfigHosts::editorGetsTheRowOrTheUnsavedEmulation() {
    ObservedScope scope;
    QVERIFY(PutSettings("AM75G", "Y"));
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    MessageBoxScript boxes;
    frmConfig dialog;
    ShowHostsPage(dialog);
    scope->writes = 0;
    auto* emulation = Control<QComboBox>(dialog, "cboDefaultEmulation");

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
    QCOMPARE(CancelledEditor([&] {
                 QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, onAlpha);
             }).at(1),
             QStringLiteral("alpha"));

    QCOMPARE(scope->writes, 0);
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QStringLiteral("AM75G"));
}

// The list is rebuilt after the editor's OK only, and then shows what other writers did too; after
// the editor closed, either way, the Hosts page is back with the list focused and its row marked.
void TestFrmConfigHosts::listIsRebuiltAfterChangesOnlyAndTheFocusReturns() {
    QTemporaryDir folder;
    const std::string path = folder.filePath("registry.db").toStdString();
    BackendScope<SqliteRegistry> scope(path);
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    ShowHostsPage(dialog);
    auto* list = List(dialog);
    const auto expectHostsPageWithListFocused = [&] {
        QCOMPARE(Control<QTabWidget>(dialog, "tabMain")->currentIndex(), 1);
        QVERIFY(Control<QWidget>(dialog, "frpHosts")->isVisible());
        QVERIFY(!Control<QWidget>(dialog, "frpGeneral")->isVisible());
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

QTEST_MAIN(TestFrmConfigHosts)
#include "test_frmconfig_hosts.moc"
