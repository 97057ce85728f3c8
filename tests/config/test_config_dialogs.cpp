// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The configuration dialog with its settings and host list; the host editor, its checks and writes.
#include "CRegKey.h"
#include "Controls.h"
#include "FakeSysfs.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "TypeText.h"
#include "frmConfig.h"
#include "frmHost.h"
#include "modLibrary.h"

#include <QtTest/QTest>
#include <QtWidgets>

using namespace zeb::reg;
namespace layout = zeb::layout;
using namespace zeb::ui;

namespace {

bool HasFocus(const QWidget& dialog, const char* name) {
    return dialog.focusWidget() == control<QWidget>(dialog, name);
}

// What the controls named (space-separated) show, joined by '|': a text, a check, a frame shown.
QString Texts(const QWidget& dialog, const char* names) {
    QStringList texts;
    for (const QString& name : QString(names).split(' ')) {
        const auto* widget = control<QWidget>(dialog, qPrintable(name));
        const char* shown = qobject_cast<const QComboBox*>(widget)         ? "currentText"
                            : qobject_cast<const QAbstractButton*>(widget) ? "checked"
                            : qobject_cast<const QLineEdit*>(widget)       ? "text"
                                                                           : "visible";
        texts << widget->property(shown).toString();
    }
    return texts.join('|');
}

using Place = std::tuple<const char*, const char*, int, int, int, int>; // name, parent, twips

// Twips to pixels truncated as the dialogs do; labels name the next row; no caption is cut off.
void checkLayout(const QWidget& dialog, QSize client, std::initializer_list<Place> table) {
    QCOMPARE(dialog.size(), QSize(client.width() / 15, client.height() / 15));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize()); // of a fixed size, as laid out
    for (const Place* row = table.begin(); row != table.end(); ++row) {
        const auto& [name, container, left, top, width, height] = *row;
        auto* widget = control<QWidget>(dialog, name);
        QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(container));
        QCOMPARE(widget->geometry(), QRect(left / 15, top / 15, width / 15, height / 15));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QVERIFY(row + 1 != table.end());
            QCOMPARE(label->buddy(), control<QWidget>(dialog, std::get<0>(row[1])));
        }
        const bool caption = qobject_cast<QLabel*>(widget) || qobject_cast<QRadioButton*>(widget) ||
                             qobject_cast<QCheckBox*>(widget);
        QVERIFY2(!caption || widget->sizeHint().width() <= widget->width(), name);
    }
}

// The controls that real Tab presses visit from `first` on, until the focus comes back to it.
QString TabWalk(const QWidget& dialog, const char* first) {
    control<QWidget>(dialog, first)->setFocus(Qt::TabFocusReason);
    QWidget* const start = QApplication::focusWidget();
    QStringList names;
    do {
        QWidget* at = QApplication::focusWidget();
        QWidget* owner = at->parentWidget(); // a tab strip's focus is in its tab bar
        names << (owner->focusProxy() == at ? owner : at)->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
    } while (QApplication::focusWidget() != start && names.size() < 40);
    return names.join(' ');
}

void SaveTelnetHost(const QWidget& editor, const QString& name, const QString& address) {
    control<QLineEdit>(editor, "txtName")->setText(name);
    Press(editor, "optTelnet");
    control<QLineEdit>(editor, "txtTelnetIP")->setText(address);
    Press(editor, "cmdOK");
}

// Every value of a key as "name=text", in store order, joined by '|'; empty when there is no key.
QString StoredValues(const std::string& path) {
    CRegKey key;
    QStringList values;
    std::string name;
    Dword type = REG_SZ;
    RegValue data = std::string();
    key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ);
    for (Dword index = 0; key.EnumValue(index, name, type, data) == ERROR_SUCCESS; ++index) {
        values << QString::fromStdString(name + "=" + textOf(data));
    }
    key.CloseKey();
    return values.join('|');
}
QString StoredRecord(const std::string& name) {
    return StoredValues(layout::hostKeyPath(name));
}

// A listed host record holding exactly the values "name=text|name=text".
bool PutRecord(const std::string& name, const QString& values) {
    bool written = ListHostName(name);
    for (const QString& value : values.split('|')) {
        written &= PutValue(layout::hostKeyPath(name), value.section('=', 0, 0).toStdString(),
                            value.section('=', 1).toStdString());
    }
    return written;
}

struct RefusingStore final : SqliteRegistry {
    RefusingStore() : SqliteRegistry(":memory:") {}
    std::string refused; // the value name whose writes and deletions are refused
    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        return name == refused ? ERROR_ACCESS_DENIED
                               : SqliteRegistry::setValue(key, name, type, data, cbData);
    }
    Status deleteValue(Handle key, const std::string& name) override {
        return name == refused ? ERROR_ACCESS_DENIED : SqliteRegistry::deleteValue(key, name);
    }
};

// Loads a dialog as Display does and shows it, active, without the modal loop.
template <typename Dialog, typename... Load>
[[nodiscard]] bool ShowLoaded(Dialog& dialog, const Load&... load) {
    dialog.load(load...);
    dialog.show();
    dialog.activateWindow();
    return QTest::qWaitForWindowActive(&dialog);
}

void pasteInto(QLineEdit* box, const QString& text) {
    QApplication::clipboard()->setText(text);
    box->paste();
}

// Runs Display, doing `whileShown` once the dialog is up; then the Settings key holds `settings`.
void RunDisplay(const QString& settings, const std::function<void(QDialog*)>& whileShown,
                int result = QDialog::Accepted) {
    frmConfig dialog;
    ModalDialogDriver driver("frmConfig", whileShown);
    dialog.Display();
    QCOMPARE(std::pair(driver.ran(), dialog.result()), std::pair(true, result));
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), settings);
}

// The rows as "name,transport,address or port", space-separated.
QString Rows(const frmConfig& dialog) {
    const QAbstractItemModel* list = control<QAbstractItemView>(dialog, "lstHosts")->model();
    QStringList rows;
    for (int row = 0; row < list->rowCount(); ++row) {
        const auto cell = [&](int column) { return list->index(row, column).data().toString(); };
        rows << cell(0) + ',' + cell(1) + ',' + cell(2);
    }
    return rows.join(' ');
}

QModelIndex RowNamed(const QWidget& dialog, const QString& name) {
    const QAbstractItemModel* list = control<QAbstractItemView>(dialog, "lstHosts")->model();
    return list->match(list->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly).value(0);
}

// Opens the editor with `action`, cancels it and tells its caption, name and serial emulation.
QString CancelledEditor(const std::function<void()>& action) {
    QString view;
    ModalDialogDriver editor("frmHost", [&](QDialog* shown) {
        QCOMPARE(shown->frameGeometry().center(), shown->screen()->availableGeometry().center());
        view = shown->windowTitle() + '|' + Texts(*shown, "txtName cboSerialEmulation");
        Press(*shown, "cmdCancel");
    });
    action();
    return view;
}

// Removes the row of that name, answering `answer`; with `failing`, a failure is reported once.
void Remove(const frmConfig& dialog, const QString& name, MsgAnswer answer, bool failing = false) {
    MessageBoxScript boxes(
        QStringLiteral("Are you sure you wish to delete this server definition [%1]?").arg(name),
        MsgIcon::Information, answer);
    if (failing) {
        boxes.expect("Unable to remove settings from the registry", MsgIcon::Critical);
    }
    control<QAbstractItemView>(dialog, "lstHosts")->setCurrentIndex(RowNamed(dialog, name));
    Press(dialog, "cmdRemove");
    QCOMPARE(boxes.shown().value(0).defaultButton, 2); // Enter answers No
}

} // namespace

class TestConfigDialogs : public QObject {
    Q_OBJECT

private slots:
    void storedSettingsAndHostsAsShownAndOnlyOkWrites();
    void layoutPagesAndTheHostList();
    void editorLayoutAddModeAndEntryChecks();
    void editorLoadsWhatIsReadableAndSavesWhatIsShown();
    void refusedSavesAreReportedOnceAndLoseNothing();
    void eachChangeLeavesTheRowsOfAFreshListing();
};

// OK stores what is shown, each value even when the other is refused; Cancel writes nothing.
void TestConfigDialogs::storedSettingsAndHostsAsShownAndOnlyOkWrites() {
    BackendScope<RefusingStore> scope;
    MessageBoxScript noBoxes;
    RunDisplay(
        "", [](QDialog* shown) { Press(*shown, "cmdCancel"); }, QDialog::Rejected);
    RunDisplay("DefaultTTY=AM75G|EnableNR=Y", [](QDialog* shown) {
        QVERIFY(HasFocus(*shown, "cboDefaultEmulation"));
        QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
    });

    QVERIFY(PutSettings("am75g", "y")); // OK saves what is shown, not these
    RunDisplay("DefaultTTY=|EnableNR=N", [](QDialog* shown) { Press(*shown, "cmdOK"); });

    scope->refused = layout::DEFAULT_TTY;
    MessageBoxScript boxes("Unable to save settings to the registry", MsgIcon::Critical);
    RunDisplay("DefaultTTY=|EnableNR=Y", [](QDialog* shown) {
        SelectComboItem(control<QComboBox>(*shown, "cboDefaultEmulation"), "AM65", 0);
        control<QRadioButton>(*shown, "optNoAlias")->click();
        Press(*shown, "cmdOK");
    });

    ScratchStore other;
    QVERIFY(PutSettings("AM65", std::nullopt)); // a missing EnableNR counts as "N"
    QVERIFY(PutRecord("zulu", "Transport=serial|Port=/dev/ttyS0") &&
            PutRecord("tango", "Transport=tElNeT|Port=23|Address=example") &&
            ListHostName(std::string(63, 'n'))); // the longest name
    frmConfig missing;
    missing.load();
    QCOMPARE(Texts(missing, "optAlias cboDefaultEmulation"), QString("true|AM65"));
    QCOMPARE(Rows(missing),
             "zulu,Serial,/dev/ttyS0 tango,Telnet,example " + QString(63, 'n') + ",,?");
}

// The editor gets the current row, or on Add the unsaved General emulation.
void TestConfigDialogs::layoutPagesAndTheHostList() {
    ScratchStore store;
    QVERIFY(PutRecord("alpha", "Transport=SERIAL|Port=/dev/ttyS0") &&
            PutRecord("bravo", "Transport=TELNET|Address=10.0.0.2"));
    QVERIFY(ListHostName("ghost") && ListHostName("bravo\\")); // imported: names bravo's key
    MessageBoxScript noOtherBoxes;
    frmConfig dialog;
    QVERIFY(ShowLoaded(dialog)); // the font is fitted as it is shown
    checkLayout(dialog, {6975, 4155},
                {{"tabMain", "frmConfig", 120, 120, 6735, 3495},
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
                 {"cmdCancel", "frmConfig", 5760, 3720, 1095, 315}});
    // Tab visits the shown page's controls in the table's order, of two options the checked one.
    QCOMPARE(TabWalk(dialog, "tabMain"), "tabMain cboDefaultEmulation optNoAlias cmdOK cmdCancel");
    // A tab switched to, or clicked when already selected, focuses its page's first control.
    QTabBar* tabs = control<QTabWidget>(dialog, "tabMain")->tabBar();
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Right);
    QVERIFY(control<QWidget>(dialog, "frpGeneral")->isHidden() && HasFocus(dialog, "lstHosts"));
    control<QWidget>(dialog, "cmdOK")->setFocus();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QVERIFY(HasFocus(dialog, "lstHosts"));
    QCOMPARE(TabWalk(dialog, "tabMain"),
             "tabMain lstHosts cmdAdd cmdRemove cmdEdit cmdOK cmdCancel");
    // Three headed columns 2000, 1440 and 1440 twips wide, and no fourth, empty one.
    const QHeaderView* header = control<QTreeView>(dialog, "lstHosts")->header();
    QStringList columns;
    for (int column = 0; column < header->count(); ++column) {
        columns << header->model()->headerData(column, Qt::Horizontal).toString() + ' ' +
                       QString::number(header->sectionSize(column));
    }
    QCOMPARE(columns, QStringList({"Server 133", "Transport 96", "Address/Port 96"}));
    QVERIFY(!header->model()->headerData(3, Qt::Horizontal).isValid()); // asked past the last

    QAbstractItemView* list = control<QAbstractItemView>(dialog, "lstHosts");
    QAbstractItemModel* model = list->model(); // flat: no rows below a row, none before the first
    QVERIFY(!model->removeRows(0, 1, model->index(0, 0)) && !model->removeRows(-1, 1));
    QVERIFY(PutRecord("delta", "Transport=TELNET|Address=10.0.0.4"));
    SelectComboItem(control<QComboBox>(dialog, "cboDefaultEmulation"), "AM65", 0);
    dialog.move(13, 17); // the editor stands centred on the screen, not over its owner
    QCOMPARE(CancelledEditor([&] { Press(dialog, "cmdAdd"); }), "Add host configuration||AM65");
    const QPoint onAlpha = list->visualRect(RowNamed(dialog, "alpha")).center();
    {
        ModalDialogDriver noEditor("frmHost", {});
        QTest::mouseDClick(list->viewport(), Qt::RightButton, {}, onAlpha);
    }
    QCOMPARE(
        CancelledEditor([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onAlpha); }),
        QString("Edit host configuration|alpha|"));
    const QString three("alpha,Serial,/dev/ttyS0 bravo,Telnet,10.0.0.2 ghost,,?");
    ModalDialogDriver editor("frmHost",
                             [](QDialog* shown) { SaveTelnetHost(*shown, "charlie", "10.0.0.3"); });
    Press(dialog, "cmdAdd");
    QVERIFY(HasFocus(dialog, "lstHosts"));
    QCOMPARE(Rows(dialog), three + " bravo\\,Telnet,10.0.0.2 delta,Telnet,10.0.0.4 "
                                   "charlie,Telnet,10.0.0.3");
    QCOMPARE(StoredValues(layout::SETTINGS_KEY), QString()); // the unsaved emulation stays unsaved

    Remove(dialog, "bravo", MsgAnswer::No);
    Remove(dialog, "bravo\\", MsgAnswer::Yes); // the name goes; bravo keeps its key
    QCOMPARE(Rows(dialog), three + " delta,Telnet,10.0.0.4 charlie,Telnet,10.0.0.3");
    Remove(dialog, "bravo", MsgAnswer::Yes);
    QVERIFY(StoredRecord("bravo").isEmpty());
    Remove(dialog, "ghost", MsgAnswer::Yes, true); // no key to delete, yet the name is gone
    for (const char* name : {"alpha", "delta", "charlie"}) {
        Remove(dialog, name, MsgAnswer::Yes);
    }
    QVERIFY(!control<QWidget>(dialog, "cmdEdit")->isEnabled());
    QVERIFY(!control<QWidget>(dialog, "cmdRemove")->isEnabled());
    ModalDialogDriver noEditor("frmHost", {}); // a double-click on no row edits nothing
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(store->openHandleCount(), size_t(0)); // every key the dialogs opened is closed
}

// The text boxes take Windows-1252 only (its letters between 0x80 and 0x9f too), typed or pasted.
void TestConfigDialogs::editorLayoutAddModeAndEntryChecks() {
    ScratchStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowLoaded(editor, cmAdd, "AM75G", "")); // the font is fitted as it is shown
    checkLayout(editor, {7695, 4575},
                {{"lblName", "frmHost", 300, 180, 1695, 315},
                 {"txtName", "frmHost", 2040, 120, 2235, 315},
                 {"fraTransport", "frmHost", 120, 600, 2535, 1395},
                 {"optSerial", "fraTransport", 300, 420, 1695, 315},
                 {"optTelnet", "fraTransport", 300, 840, 1695, 315},
                 {"fraTracing", "frmHost", 120, 2160, 2535, 1875},
                 {"chkTracing", "fraTracing", 300, 480, 2055, 315},
                 {"lblTraceFile", "fraTracing", 300, 960, 1695, 315},
                 {"txtTraceFile", "fraTracing", 300, 1320, 2055, 315},
                 {"fraSerial", "frmHost", 2820, 600, 4755, 3435},
                 {"fraTelnet", "frmHost", 2820, 600, 4755, 3435},
                 {"lblTelnetEmulation", "fraTelnet", 300, 420, 1695, 315},
                 {"cboTelnetEmulation", "fraTelnet", 2160, 360, 2235, 315},
                 {"lblTelnetlIP", "fraTelnet", 300, 840, 1815, 315},
                 {"txtTelnetIP", "fraTelnet", 2160, 780, 2235, 315},
                 {"lblTelnetPort", "fraTelnet", 300, 1260, 1755, 315},
                 {"txtTelnetPort", "fraTelnet", 2160, 1200, 915, 315},
                 {"cmdOK", "frmHost", 5280, 4140, 1095, 315},
                 {"cmdCancel", "frmHost", 6480, 4140, 1095, 315}});
    // The serial frame's rows stand 420 twips apart, each box 60 twips above its label.
    for (int top = 420; const std::string field :
                        {"Emulation", "Port", "Bits", "Baud", "Parity", "Stop", "Flow"}) {
        const std::string label = "lblSerial" + field, box = "cboSerial" + field;
        checkLayout(editor, {7695, 4575},
                    {{label.c_str(), "fraSerial", 300, top, 1695, 315},
                     {box.c_str(), "fraSerial", 2160, top - 60, 2235, 315}});
        top += 420;
    }
    QCOMPARE(Texts(editor, "optSerial chkTracing fraSerial fraTelnet cboSerialEmulation "
                           "cboTelnetEmulation cboSerialBits cboSerialBaud cboSerialParity "
                           "cboSerialStop cboSerialFlow cboSerialPort txtTelnetPort txtTelnetIP "
                           "txtName txtTraceFile"),
             QString("true|false|true|false|AM75G|AM75G|8|9600|None|1|Hardware||23|||"));
    QVERIFY(HasFocus(editor, "txtName"));
    // Tab visits the chosen transport's fields, and the trace file's box while it takes a name.
    QCOMPARE(TabWalk(editor, "txtName"),
             "txtName optSerial chkTracing cboSerialEmulation cboSerialPort cboSerialBits "
             "cboSerialBaud cboSerialParity cboSerialStop cboSerialFlow cmdOK cmdCancel");

    Press(editor, "chkTracing");

    Press(editor, "optTelnet");
    QCOMPARE(TabWalk(editor, "txtName"),
             "txtName optTelnet chkTracing txtTraceFile "
             "cboTelnetEmulation txtTelnetIP txtTelnetPort cmdOK cmdCancel");
    auto* port = control<QLineEdit>(editor, "txtTelnetPort");
    port->clear();
    QTest::keyClicks(port, "a-1 .2+x3");
    typeText(port, QString::fromUtf8("\u0664\u00b2")); // digits of other scripts are no digits
    QTest::keyClicks(port, "45");                      // a fifth digit changes nothing
    QTest::keyClick(port, Qt::Key_Backspace);
    pasteInto(port, "a9"); // pasting passes no key filter; the box itself refuses
    QCOMPARE(port->text(), QString("123"));
    pasteInto(port, "9");
    for (const char* name : {"txtName", "txtTelnetIP", "txtTraceFile"}) {
        auto* box = control<QLineEdit>(editor, name);
        box->clear();
        typeText(box, QString::fromUtf8("Zö\u4e2d😀“?"));
        pasteInto(box, QString::fromUtf8("\u03a9€😀"));
    }
    control<QLineEdit>(editor, "txtName")->setCursorPosition(1);
    pasteInto(control<QLineEdit>(editor, "txtName"), QString::fromUtf8("Ω-"));
    QTest::keyClick(port, Qt::Key_Return); // Enter reaches the default button through the filter
    QCOMPARE(StoredRecord("Z-ö“?€"), QString("Transport=TELNET|TraceFile=Zö“?€|TTY=AM75G|"
                                             "Address=Zö“?€|Port=1239"));

    // The entry checks in the order they run; only the chosen transport's values are examined.
    const auto entryRefused = [&](const char* box, const char* text, const QString& message,
                                  const char* focus) {
        control<QLineEdit>(editor, box)->setText(text);
        MessageBoxScript boxes(message, MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QVERIFY2(HasFocus(editor, focus) && editor.isVisible(), focus);
    };
    QVERIFY(ShowLoaded(editor, cmAdd, "", ""));
    control<QComboBox>(editor, "cboSerialBaud")->setCurrentIndex(-1);
    entryRefused("txtName", "   ", "Please enter a server name", "txtName");
    control<QLineEdit>(editor, "txtName")->setText("my host");
    Press(editor, "chkTracing");
    entryRefused("txtTraceFile", "  ", "Please enter a filename for the character trace capture",
                 "txtTraceFile");
    entryRefused("txtTraceFile", " a.trc ", "Please select a communications port", "cboSerialPort");
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QString::fromUtf8("Z-ö“?€=1"));
    control<QLineEdit>(editor, "txtTelnetPort")->setText("");
    Press(editor, "optTelnet");
    entryRefused("txtTelnetIP", "   ", "Please enter a hostname or IP address", "txtTelnetIP");
    entryRefused("txtTelnetIP", " 10.0.0.1", "Please enter a TCP/IP port number", "txtTelnetPort");
    entryRefused("txtTelnetPort", "0000", "Please enter a valid IP address or a hostname",
                 "txtTelnetIP");
    SaveTelnetHost(editor, "my host", "010.001.000.009");
    QCOMPARE(StoredRecord("my host"),
             QString("Transport=TELNET|TraceFile=a.trc|TTY=|Address=010.001.000.009|Port=0000"));
}

// A value too long or of another type leaves the default, not what a read before left.
void TestConfigDialogs::editorLoadsWhatIsReadableAndSavesWhatIsShown() {
    FakeSysfs sysfs;
    sysfs.addPort("ttyUSB0");
    ScratchStore store{{.readOnly = false, .sysfsRoot = sysfs.root()}};
    QVERIFY(PutRecord("bravo", "Transport=telnet|TraceFile=bravo.trc|TTY=am65|Address=10.1.2.3|"
                               "Port=2323|Baud=300"));
    QVERIFY(PutRecord("charlie", QString("Transport=TELNET|TraceFile=%1|Address=%1")
                                     .arg(QString(64, 'x')))); // one more than a read takes
    QVERIFY(PutValue(layout::hostKeyPath("charlie"), layout::TTY, std::int32_t(7))); // not a text
    MessageBoxScript noBoxes;
    frmHost editor;
    QVERIFY(ShowLoaded(editor, cmEdit, "", "bravo"));
    const char* boxes = "optTelnet chkTracing fraSerial fraTelnet txtName cboTelnetEmulation "
                        "txtTelnetIP txtTelnetPort txtTraceFile cboSerialEmulation cboSerialBaud";
    QCOMPARE(Texts(editor, boxes), "true|true|false|true|bravo|AM65|10.1.2.3|2323|bravo.trc||9600");
    editor.load(cmEdit, "", "charlie"); // "7" is no emulation
    QCOMPARE(Texts(editor, boxes), QString("true|false|false|true|charlie|||23|||9600"));

    // Another tool's 40-character name, trace file and address show whole in boxes widened for that
    // record alone, so saving keeps them; then a record of no known transport shows both frames.
    const QString longText(40, 'n');
    const QString longFields = "TraceFile=" + longText + "|TTY=|Address=" + longText;
    QVERIFY(PutRecord(longText.toStdString(), "Transport=TELNET|" + longFields));
    editor.load(cmEdit, "", longText);
    Press(editor, "cmdOK");
    QVERIFY(StoredRecord(longText.toStdString()).contains(longFields));
    QVERIFY(PutRecord("none", "TTY=AM65") && ShowLoaded(editor, cmEdit, "", "none"));
    QCOMPARE(Texts(editor, "fraSerial fraTelnet"), QString("true|true"));
    editor.load(cmAdd, "", "");
    QVERIFY(control<QLineEdit>(editor, "txtTraceFile")->maxLength() == 32 &&
            control<QLineEdit>(editor, "txtTelnetIP")->maxLength() == 32);

    QVERIFY(PutRecord("alpha", "Transport=Serial|TTY=am75g|Port=/dev/ttyusb0|DataBits=7|"
                               "Baud=115200|Parity=even|StopBits=1.5|FlowControl=xon / xoff"));
    QVERIFY(PutRecord("other", "Transport=SERIAL|TraceFile=old.trc|Baud=300"));
    QVERIFY(ShowLoaded(editor, cmEdit, "", "alpha"));
    Press(editor, "cmdOK");
    QCOMPARE(StoredRecord("alpha"), QString("Transport=SERIAL|TraceFile=|TTY=AM75G|"
                                            "Port=/dev/ttyUSB0|DataBits=7|Baud=|Parity=Even|"
                                            "StopBits=1.5|FlowControl=Xon / Xoff"));

    QVERIFY(ShowLoaded(editor, cmEdit, "", "alpha"));
    // Chosen without a click of its own, the option still takes the focus; `frames`: serial|telnet.
    const auto choose = [&](const char* option, const char* frames) {
        control<QRadioButton>(editor, option)->click();
        QVERIFY(Texts(editor, "fraSerial fraTelnet") == frames && HasFocus(editor, option));
    };
    choose("optTelnet", "false|true");
    QTest::keyClicks(control<QLineEdit>(editor, "txtTelnetIP"), " myhost "); // stored trimmed
    control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");
    choose("optSerial", "true|false");
    QCOMPARE(Texts(editor, "cboSerialEmulation cboSerialBits"), QString("AM75|7"));
    control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    choose("optTelnet", "false|true");
    QCOMPARE(Texts(editor, "cboTelnetEmulation txtTelnetIP txtTelnetPort"), "| myhost |23");
    SaveTelnetHost(editor, "  zulu ", " myhost ");
    QCOMPARE(QStringList({StoredRecord("zulu"), StoredRecord("alpha")}),
             QStringList({"Transport=TELNET|TraceFile=|TTY=|Address=myhost|Port=23", ""}));

    QVERIFY(ShowLoaded(editor, cmAdd, "AM75", ""));
    SaveTelnetHost(editor, "OTHER", "10.0.0.9");
    QCOMPARE(StoredRecord("other"), QString("Transport=TELNET|TraceFile=|Baud=300|TTY=AM75|"
                                            "Address=10.0.0.9|Port=23"));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY),
             "bravo=1|charlie=1|" + longText + "=1|none=1|other=1|zulu=1");
}

// A name with a backslash is refused before any write; a refused write loses nothing.
void TestConfigDialogs::refusedSavesAreReportedOnceAndLoseNothing() {
    BackendScope<RefusingStore> scope;
    QVERIFY(PutRecord("alpha", "Transport=TELNET|Address=10.0.0.1") && ListHostName("alpha\\"));
    frmHost editor;
    scope->refused = layout::ADDRESS;
    MessageBoxScript boxes("Unable to save settings to the registry", MsgIcon::Critical);
    boxes.expect("Please enter a server name without a backslash (\\)", MsgIcon::Exclamation);
    QVERIFY(ShowLoaded(editor, cmEdit, "", "alpha"));
    SaveTelnetHost(editor, "beta", "10.0.0.7");
    QVERIFY(editor.Result() && editor.isHidden()); // what Display returns once it closed
    scope->refused.clear();
    QVERIFY(ShowLoaded(editor, cmEdit, "", "alpha"));
    SaveTelnetHost(editor, " alpha\\", "10.0.0.1"); // its own address
    QVERIFY(!editor.Result() && HasFocus(editor, "txtName") && boxes.done());
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QString("alpha=1|alpha\\=1"));
    QVERIFY(ShowLoaded(editor, cmEdit, "", "alpha\\"));
    SaveTelnetHost(editor, "beta", "10.0.0.7");
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QString("alpha=1|beta=1"));
    QCOMPARE(StoredRecord("alpha"), QString("Transport=TELNET|Address=10.0.0.1"));

    // A listed name without its key is saved as TCP/IP; deleting the missing key fails, said once.
    QVERIFY(ListHostName("ghost") && ShowLoaded(editor, cmEdit, "AM65", "ghost"));
    QCOMPARE(Texts(editor, "cboSerialEmulation cboTelnetEmulation"), QString("AM65|AM65"));
    boxes.expect("Unable to save settings to the registry", MsgIcon::Critical);
    control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QCOMPARE(StoredRecord("ghost"),
             QString("Transport=TELNET|TraceFile=|TTY=AM65|Address=10.0.0.8|Port=23"));
}

// Changed rows only, yet what a fresh dialog lists: an edited record moves to the end, a refused
// removal stays, a record listed twice shows its new values in both rows, nothing past a name too
// long to list. Transport and Address/Port are read in blocks as shown; 1001 names once drawn.
void TestConfigDialogs::eachChangeLeavesTheRowsOfAFreshListing() {
    BackendScope<RefusingStore> scope;
    for (int n = 0; n < 63; ++n) { // one row more than a block; a removal and an Add cross it
        QVERIFY(PutRecord("r" + std::to_string(n), QString("Transport=TELNET|Address=a%1").arg(n)));
    }
    QVERIFY(PutRecord("bravo", "Transport=TELNET|Address=b") && ListHostName("bravo\\"));
    MessageBoxScript boxes;
    frmConfig dialog;
    QVERIFY(ShowLoaded(dialog));
    control<QTabWidget>(dialog, "tabMain")->setCurrentIndex(1);
    auto* list = control<QAbstractItemView>(dialog, "lstHosts");
    const auto sameAsFresh = [&] {
        frmConfig fresh;
        fresh.load();
        QCOMPARE(Rows(dialog), Rows(fresh));
        QVERIFY(list->selectionModel()->isSelected(list->currentIndex()) &&
                list->currentIndex().row() == 0);
    };
    const auto edit = [&](const char* row, const char* name, const char* address) {
        ModalDialogDriver editor("frmHost",
                                 [&](QDialog* shown) { SaveTelnetHost(*shown, name, address); });
        list->setCurrentIndex(RowNamed(dialog, row));
        Press(dialog, row[0] != '\0' ? "cmdEdit" : "cmdAdd");
        sameAsFresh();
    };
    sameAsFresh();
    QVERIFY(Rows(dialog).contains(" r62,Telnet,a62 bravo,Telnet,b bravo\\,Telnet,b"));
    edit("r3", "r3", "b3"); // the same name: to the end all the same
    edit("bravo", "bravo", "c");
    edit("r5", "r6", "b6"); // onto another record, which keeps its place
    edit("", "zulu", "z");
    scope->refused = "r7";
    Remove(dialog, "r7", MsgAnswer::Yes, true);
    sameAsFresh();
    QVERIFY(ListHostName(std::string(64, 'n')));
    edit("", "yankee", "y");
    edit("r8", "r8", "b8");
    QVERIFY(Rows(dialog).endsWith("zulu,Telnet,z") && Rows(dialog).contains("bravo\\,Telnet,c"));

    ScratchStore many;
    for (int n = 0; n <= 1000; ++n) {
        QVERIFY(ListHostName("n" + std::to_string(n)));
    }
    frmConfig later;
    later.load();
    QCOMPARE(Rows(later), QString());
    later.show();
    QTRY_VERIFY(Rows(later).endsWith("n999,,? n1000,,?"));
}

QTEST_MAIN(TestConfigDialogs)
#include "test_config_dialogs.moc"
