// The Hosts tab of the configuration dialog: the list as stored, the host editor's arguments and
// when the list is rebuilt, removal with its confirmation and failures, and the page and focus
// after the editor closed.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "ScratchStore.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace frmconfig_test;
using zeb::ui::MsgAnswer;
using zeb::ui::MsgIcon;

namespace {

const char* const REMOVE_FAILED = "Unable to remove settings from the registry";

QString RemoveQuestion(const QString& name) {
    return QStringLiteral("Are you sure you wish to delete this server definition [%1]?").arg(name);
}

QTreeWidget* List(const frmConfig& dialog) {
    return Control<QTreeWidget>(dialog, "lstHosts");
}

// Each row as "name|transport|address or port".
QStringList Rows(const frmConfig& dialog) {
    QStringList rows;
    const QTreeWidget* list = List(dialog);
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem* row = list->topLevelItem(index);
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

void ShowHostsPage(frmConfig& dialog) {
    dialog.Load();
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    Control<QTabWidget>(dialog, "tabMain")->setCurrentIndex(1);
}

// What the host editor was opened with, as it shows it.
struct EditorView {
    QString caption;
    QString name;
    QString emulation;
};

// Opens the editor with `action`, notes what it shows and cancels it.
EditorView CancelledEditor(const std::function<void()>& action) {
    EditorView view;
    ModalHandler editor("frmHost", [&](QDialog* shown) {
        view = {shown->windowTitle(), Control<QLineEdit>(*shown, "txtName")->text(),
                Control<QComboBox>(*shown, "cboSerialEmulation")->currentText()};
        Press(*shown, "cmdCancel");
    });
    action();
    if (!editor.opened() || editor.leftOpen()) {
        QTest::qFail("the host editor did not open and close as expected", __FILE__, __LINE__);
    }
    return view;
}

// Fills the open editor with a TCP/IP record (port left at its default) and presses OK.
void SaveTelnetHost(QDialog* editor, const QString& name, const QString& address) {
    Control<QLineEdit>(*editor, "txtName")->setText(name);
    Control<QRadioButton>(*editor, "optTelnet")->click();
    Control<QLineEdit>(*editor, "txtTelnetIP")->setText(address);
    Press(*editor, "cmdOK");
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
    void listShowsEachRecordAsStored();
    void listingEndsAtTheFirstUnreadableName();
    void emptyListOffersOnlyAdd();
    void removeAsksFirstAndReportsFailuresOnce();
    void editorGetsTheRowOrTheUnsavedEmulation();
    void listIsRebuiltAfterChangesOnlyAndShowsOtherWriters();
    void hostsPageAndFocusReturnAfterTheEditor();
};

void TestFrmConfigHosts::listShowsEachRecordAsStored() {
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

    frmConfig dialog;
    ShowHostsPage(dialog);
    // Store order, not sorted; a TCP/IP record shows its address, a serial one its port.
    QCOMPARE(Rows(dialog), (QStringList{"zulu|Serial|/dev/ttyS0", "alpha|Telnet|10.0.0.1",
                                        "mike|Serial|/dev/ttyUSB1", "kilo|Modem|?", "echo||?",
                                        "ghost||?", "tango|Telnet|example", "nomad|Telnet|"}));
    QVERIFY(Control<QPushButton>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(Control<QPushButton>(dialog, "cmdRemove")->isEnabled());
    QVERIFY(List(dialog)->currentItem() != nullptr);
}

void TestFrmConfigHosts::listingEndsAtTheFirstUnreadableName() {
    {
        ScratchStore store;
        const std::string longest(63, 'n');
        QVERIFY(ListHostName("first"));
        QVERIFY(ListHostName(longest));
        QVERIFY(ListHostName(std::string(64, 'x')));
        QVERIFY(ListHostName("last"));
        frmConfig dialog;
        dialog.Load();
        QCOMPARE(Rows(dialog), (QStringList{"first||?", QString::fromStdString(longest) + "||?"}));
    }
    ScratchStore store;
    QVERIFY(ListHostName("one"));
    QVERIFY(PutText(layout::HOSTLIST_KEY, "two", std::string(64, 'd')));
    QVERIFY(ListHostName("three"));
    frmConfig dialog;
    dialog.Load();
    QCOMPARE(Rows(dialog), QStringList{"one||?"});
}

void TestFrmConfigHosts::emptyListOffersOnlyAdd() {
    ScratchStore store;
    MessageBoxScript boxes;
    frmConfig dialog;
    ShowHostsPage(dialog);
    QCOMPARE(List(dialog)->topLevelItemCount(), 0);
    QVERIFY(!Control<QPushButton>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(!Control<QPushButton>(dialog, "cmdRemove")->isEnabled());
    QVERIFY(Control<QPushButton>(dialog, "cmdAdd")->isEnabled());

    {
        ModalHandler editor("frmHost", [](QDialog* shown) { Press(*shown, "cmdCancel"); });
        QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!editor.opened());
    }

    ModalHandler editor("frmHost",
                        [](QDialog* shown) { SaveTelnetHost(shown, "first", "10.0.0.1"); });
    Press(dialog, "cmdAdd");
    QVERIFY(editor.opened());
    QCOMPARE(Rows(dialog), QStringList{"first|Telnet|10.0.0.1"});
    QVERIFY(Control<QPushButton>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(Control<QPushButton>(dialog, "cmdRemove")->isEnabled());
}

void TestFrmConfigHosts::removeAsksFirstAndReportsFailuresOnce() {
    ObservedScope scope;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    QVERIFY(ListHostName("ghost"));
    frmConfig dialog;
    ShowHostsPage(dialog);
    const QStringList all{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2", "ghost||?"};
    QCOMPARE(Rows(dialog), all);
    scope->writes = 0;

    {
        // No, the default answer, changes nothing.
        MessageBoxScript boxes;
        boxes.expect(RemoveQuestion("bravo"), MsgIcon::Information, MsgAnswer::No);
        List(dialog)->setCurrentItem(Row(dialog, "bravo"));
        Press(dialog, "cmdRemove");
        QCOMPARE(boxes.shown().first().defaultButton, 2);
        QCOMPARE(scope->writes, 0);
        QCOMPARE(Rows(dialog), all);
    }
    {
        MessageBoxScript boxes;
        boxes.expect(RemoveQuestion("bravo"), MsgIcon::Information, MsgAnswer::Yes);
        List(dialog)->setCurrentItem(Row(dialog, "bravo"));
        Press(dialog, "cmdRemove");
        QVERIFY(!StoredText(layout::HOSTLIST_KEY, "bravo"));
        QVERIFY(!KeyExists(HostKey("bravo")));
        QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "ghost||?"}));
    }
    {
        // A listed name without its key: the subkey delete fails, yet the name is gone.
        MessageBoxScript boxes;
        boxes.expect(RemoveQuestion("ghost"), MsgIcon::Information, MsgAnswer::Yes);
        boxes.expect(REMOVE_FAILED, MsgIcon::Critical);
        List(dialog)->setCurrentItem(Row(dialog, "ghost"));
        Press(dialog, "cmdRemove");
        QCOMPARE(boxes.shown().size(), 2);
        QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});
    }
    {
        // The HostList value refused: the key is deleted all the same, and the row, still listed,
        // shows the record without its key once the list is rebuilt.
        scope->refusedDeleteValue = "alpha";
        MessageBoxScript boxes;
        boxes.expect(RemoveQuestion("alpha"), MsgIcon::Information, MsgAnswer::Yes);
        boxes.expect(REMOVE_FAILED, MsgIcon::Critical);
        Press(dialog, "cmdRemove");
        QVERIFY(!KeyExists(HostKey("alpha")));
        QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), QStringLiteral("1"));
        QCOMPARE(Rows(dialog), QStringList{"alpha||?"});
    }
    scope->refusedDeleteValue.clear();
    MessageBoxScript boxes;
    boxes.expect(RemoveQuestion("alpha"), MsgIcon::Information, MsgAnswer::Yes);
    boxes.expect(REMOVE_FAILED, MsgIcon::Critical);
    Press(dialog, "cmdRemove");
    QCOMPARE(List(dialog)->topLevelItemCount(), 0);
    QVERIFY(!Control<QPushButton>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(!Control<QPushButton>(dialog, "cmdRemove")->isEnabled());
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
    zeb::ui::SelectComboItem(emulation, "AM65", 0);
    EditorView view = CancelledEditor([&] { Press(dialog, "cmdAdd"); });
    QCOMPARE(view.caption, QStringLiteral("Add host configuration"));
    QCOMPARE(view.name, QString());
    QCOMPARE(view.emulation, QStringLiteral("AM65"));
    emulation->setCurrentIndex(-1);
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdAdd"); }).emulation, QString());

    // Edit and a double-click both pass the current row's name.
    List(dialog)->setCurrentItem(Row(dialog, "bravo"));
    view = CancelledEditor([&] { Press(dialog, "cmdEdit"); });
    QCOMPARE(view.caption, QStringLiteral("Edit host configuration"));
    QCOMPARE(view.name, QStringLiteral("bravo"));
    const QPoint onAlpha = List(dialog)->visualItemRect(Row(dialog, "alpha")).center();
    view = CancelledEditor(
        [&] { QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, onAlpha); });
    QCOMPARE(view.name, QStringLiteral("alpha"));

    QCOMPARE(scope->writes, 0);
    QCOMPARE(StoredText(layout::SETTINGS_KEY, layout::DEFAULT_TTY), QStringLiteral("AM75G"));
}

void TestFrmConfigHosts::listIsRebuiltAfterChangesOnlyAndShowsOtherWriters() {
    QTemporaryDir folder;
    const std::string path = folder.filePath("registry.db").toStdString();
    BackendScope<SqliteRegistry> scope(path);
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    MessageBoxScript boxes;
    frmConfig dialog;
    ShowHostsPage(dialog);

    WriteFromAnotherProcess(path, [] { QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2")); });
    // A cancelled editor rebuilds nothing, so the other writer's record is not shown yet.
    CancelledEditor([&] { Press(dialog, "cmdEdit"); });
    QCOMPARE(Rows(dialog), QStringList{"alpha|Serial|/dev/ttyS0"});

    {
        ModalHandler editor("frmHost",
                            [](QDialog* shown) { SaveTelnetHost(shown, "charlie", "10.0.0.3"); });
        Press(dialog, "cmdAdd");
        QVERIFY(editor.opened());
    }
    QCOMPARE(Rows(dialog), (QStringList{"alpha|Serial|/dev/ttyS0", "bravo|Telnet|10.0.0.2",
                                        "charlie|Telnet|10.0.0.3"}));

    WriteFromAnotherProcess(path, [] {
        CRegKey list;
        QCOMPARE(list.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, KEY_WRITE), 0);
        QCOMPARE(list.DeleteValue("alpha"), 0);
        list.CloseKey();
    });
    boxes.expect(RemoveQuestion("bravo"), MsgIcon::Information, MsgAnswer::Yes);
    List(dialog)->setCurrentItem(Row(dialog, "bravo"));
    Press(dialog, "cmdRemove");
    QCOMPARE(Rows(dialog), QStringList{"charlie|Telnet|10.0.0.3"});
}

void TestFrmConfigHosts::hostsPageAndFocusReturnAfterTheEditor() {
    ScratchStore store;
    QVERIFY(PutHost("alpha", "SERIAL", "/dev/ttyS0"));
    QVERIFY(PutHost("bravo", "TELNET", "23", "10.0.0.2"));
    MessageBoxScript boxes;
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

    // The row stays current but unmarked, and the focus is on the button, until the editor closes.
    list->setCurrentItem(Row(dialog, "bravo"));
    list->clearSelection();
    CancelledEditor([&] { Press(dialog, "cmdEdit"); });
    expectHostsPageWithListFocused();
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("bravo"));

    // After OK the list is rebuilt; the page and the focus come back all the same.
    ModalHandler editor("frmHost",
                        [](QDialog* shown) { SaveTelnetHost(shown, "charlie", "10.0.0.3"); });
    list->clearSelection();
    Press(dialog, "cmdAdd");
    QVERIFY(editor.opened());
    expectHostsPageWithListFocused();
}

QTEST_MAIN(TestFrmConfigHosts)
#include "test_frmconfig_hosts.moc"
