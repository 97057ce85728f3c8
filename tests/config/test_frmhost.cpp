// The host editor: its layout, what it shows when it opens, how its controls react, and what it
// writes to the store on OK (and does not write on Cancel).
#include "frmhost_test_support.h"

#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "TypeText.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

using namespace frmhost_test;
using zeb::ui::MsgIcon;

namespace {

QRect fromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// True when `front` is stacked above `behind` (both children of one parent).
bool inFront(const QWidget* front, const QWidget* behind) {
    const QObjectList& siblings = front->parentWidget()->children();
    return siblings.indexOf(front) > siblings.indexOf(behind);
}

QColor baseOf(const QWidget* box) {
    return box->palette().color(QPalette::Base);
}
QColor appColour(QPalette::ColorRole role) {
    return QApplication::palette().color(QPalette::Active, role);
}

void pasteInto(QLineEdit* box, const QString& text) {
    QApplication::clipboard()->setText(text);
    box->paste();
}

// Fills in a TCP/IP record and presses OK.
void saveTelnetHost(frmHost& editor, const QString& name, const QString& address) {
    Control<QLineEdit>(editor, "txtName")->setText(name);
    QTest::mouseClick(Control<QRadioButton>(editor, "optTelnet"), Qt::LeftButton);
    Control<QLineEdit>(editor, "txtTelnetIP")->setText(address);
    Press(editor, "cmdOK");
}

struct Expected {
    const char* name;
    const char* kind;
    const char* parent;
    const char* caption; // labels, frames and buttons
    QRect place;
    int limit = 0; // text boxes
};

} // namespace

class TestFrmHost : public QObject {
    Q_OBJECT

private slots:
    void layoutMatchesItsTable();
    void labelsGiveTheirFieldsAccessKeysAndNames();
    void addModeOpensWithTheDefaults();
    void editModeLoadsATelnetRecordWithALowerCaseEmulation();
    void editModeShowsUnreadableValuesAsDefaults();
    void serialRecordWithAnUnknownBaudRateIsSavedWithoutOne();
    void renamingLeavesNothingUnderTheOldName();
    void switchingASerialRecordToTelnetDropsTheSerialValues();
    void addingOverAnExistingNameKeepsItsOtherValues();
    void switchingTransportCarriesOnlyTheEmulation();
    void tracingBoxEmptiesTheFileNameOnEveryChange();
    void portBoxTakesOnlyFourDigits();
    void textBoxesTakeOnlyWhatTheStoreCanHold();
    void backslashInANameMakesNestedKeys();
    void refusedWritesAreReportedOnceAndDisplayReturnsTrue();
    void aNameTheStoreRefusesLosesNothing();
    void editOfARecordWithoutItsKeyWritesItAndReports();
    void cancelAndCloseBoxWriteNothingAndReturnFalse();
};

void TestFrmHost::layoutMatchesItsTable() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", "")); // the font is fitted as it is shown
    QCOMPARE(editor.objectName(), QString("frmHost"));
    QCOMPARE(editor.size(), QSize(7695 / 15, 4575 / 15));
    QCOMPARE(editor.minimumSize(), editor.maximumSize()); // fixed border
    const Qt::WindowFlags flags = editor.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    const Expected table[] = {
        {"lblName", "QLabel", "frmHost", "&Server name or alias:", fromTwips(300, 180, 1695, 315)},
        {"txtName", "QLineEdit", "frmHost", "", fromTwips(2040, 120, 2235, 315), 32},
        {"fraTransport", "QGroupBox", "frmHost", "Transport Libraries",
         fromTwips(120, 600, 2535, 1395)},
        {"optSerial", "QRadioButton", "fraTransport", "Serial &connection",
         fromTwips(300, 420, 1695, 315)},
        {"optTelnet", "QRadioButton", "fraTransport", "&TCP/IP (Telnet)",
         fromTwips(300, 840, 1695, 315)},
        {"fraTracing", "QGroupBox", "frmHost", "Tracing", fromTwips(120, 2160, 2535, 1875)},
        {"chkTracing", "QCheckBox", "fraTracing", "C&apture character trace",
         fromTwips(300, 480, 2055, 315)},
        {"lblTraceFile", "QLabel", "fraTracing", "&Filename:", fromTwips(300, 960, 1695, 315)},
        {"txtTraceFile", "QLineEdit", "fraTracing", "", fromTwips(300, 1320, 2055, 315), 32},
        {"fraSerial", "QGroupBox", "frmHost", "Serial Configuration",
         fromTwips(2820, 600, 4755, 3435)},
        {"lblSerialEmulation", "QLabel", "fraSerial",
         "Terminal &emulation:", fromTwips(300, 420, 1695, 315)},
        {"cboSerialEmulation", "QComboBox", "fraSerial", "", fromTwips(2160, 360, 2235, 315)},
        {"lblSerialPort", "QLabel", "fraSerial",
         "Communications &port:", fromTwips(300, 840, 1695, 315)},
        {"cboSerialPort", "QComboBox", "fraSerial", "", fromTwips(2160, 780, 2235, 315)},
        {"lblSerialBits", "QLabel", "fraSerial", "&Data bits:", fromTwips(300, 1260, 1695, 315)},
        {"cboSerialBits", "QComboBox", "fraSerial", "", fromTwips(2160, 1200, 2235, 315)},
        {"lblSerialBaud", "QLabel", "fraSerial", "&Baud rate:", fromTwips(300, 1680, 1695, 315)},
        {"cboSerialBaud", "QComboBox", "fraSerial", "", fromTwips(2160, 1620, 2235, 315)},
        {"lblSerialParity", "QLabel", "fraSerial", "&Parity:", fromTwips(300, 2100, 1695, 315)},
        {"cboSerialParity", "QComboBox", "fraSerial", "", fromTwips(2160, 2040, 2235, 315)},
        {"lblSerialStop", "QLabel", "fraSerial", "St&op bits:", fromTwips(300, 2520, 1695, 315)},
        {"cboSerialStop", "QComboBox", "fraSerial", "", fromTwips(2160, 2460, 2235, 315)},
        {"lblSerialFlow", "QLabel", "fraSerial", "F&low control:", fromTwips(300, 2940, 1695, 315)},
        {"cboSerialFlow", "QComboBox", "fraSerial", "", fromTwips(2160, 2880, 2235, 315)},
        {"fraTelnet", "QGroupBox", "frmHost", "TCP/IP (Telnet) Configuration",
         fromTwips(2820, 600, 4755, 3435)},
        {"lblTelnetEmulation", "QLabel", "fraTelnet",
         "Terminal emulation:", fromTwips(300, 420, 1695, 315)},
        {"cboTelnetEmulation", "QComboBox", "fraTelnet", "", fromTwips(2160, 360, 2235, 315)},
        {"lblTelnetlIP", "QLabel", "fraTelnet",
         "&Hostname or IP address:", fromTwips(300, 840, 1815, 315)},
        {"txtTelnetIP", "QLineEdit", "fraTelnet", "", fromTwips(2160, 780, 2235, 315), 32},
        {"lblTelnetPort", "QLabel", "fraTelnet", "&Port:", fromTwips(300, 1260, 1755, 315)},
        {"txtTelnetPort", "QLineEdit", "fraTelnet", "", fromTwips(2160, 1200, 915, 315), 4},
        {"cmdOK", "QPushButton", "frmHost", "OK", fromTwips(5280, 4140, 1095, 315)},
        {"cmdCancel", "QPushButton", "frmHost", "Cancel", fromTwips(6480, 4140, 1095, 315)},
    };
    QWidgetList focusable;
    for (const Expected& control : table) {
        const QWidget* widget = Control<QWidget>(editor, control.name);
        QCOMPARE(widget->metaObject()->className(), control.kind);
        QCOMPARE(widget->parentWidget()->objectName(), QString(control.parent));
        QCOMPARE(widget->geometry(), control.place);
        if (qobject_cast<const QLabel*>(widget) || qobject_cast<const QCheckBox*>(widget) ||
            qobject_cast<const QRadioButton*>(widget)) {
            // The font is chosen so that no caption is cut off.
            QVERIFY2(widget->sizeHint().width() <= widget->width(), control.name);
        }
        if (auto* label = qobject_cast<const QLabel*>(widget)) {
            QCOMPARE(label->text(), QString(control.caption));
            // Each label names the control that follows it in the table.
            const Expected& next = (&control)[1];
            QCOMPARE(label->buddy(), Control<QWidget>(editor, next.name));
        } else if (auto* frame = qobject_cast<const QGroupBox*>(widget)) {
            QCOMPARE(frame->title(), QString(control.caption));
        } else if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), QString(control.caption));
        } else if (auto* box = qobject_cast<const QLineEdit*>(widget)) {
            QCOMPARE(box->maxLength(), control.limit);
        }
        if (widget->focusPolicy() & Qt::TabFocus) {
            focusable << const_cast<QWidget*>(widget);
        }
    }
    QCOMPARE(focusable.size(), 17);
    // The tab order follows the table.
    QWidgetList chain;
    QWidget* step = focusable.first();
    do {
        if (focusable.contains(step)) {
            chain << step;
        }
        step = step->nextInFocusChain();
    } while (step != focusable.first());
    QCOMPARE(chain, focusable);

    QVERIFY(Control<QPushButton>(editor, "cmdOK")->isDefault());
    QVERIFY(!Control<QComboBox>(editor, "cboSerialPort")->isEditable()); // drop-down lists
    QVERIFY(!Control<QComboBox>(editor, "cboTelnetEmulation")->isEditable());
}

void TestFrmHost::labelsGiveTheirFieldsAccessKeysAndNames() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    const auto pressAlt = [&](Qt::Key key) { QTest::keyClick(&editor, key, Qt::AltModifier); };
    pressAlt(Qt::Key_B);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "cboSerialBaud"));
    pressAlt(Qt::Key_S);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtName"));
    pressAlt(Qt::Key_T);
    QTRY_VERIFY(Control<QRadioButton>(editor, "optTelnet")->isChecked()); // an animated click
    pressAlt(Qt::Key_H);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtTelnetIP"));

    // Screen readers find each field's label through the field itself.
    for (QLabel* label : editor.findChildren<QLabel*>()) {
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(label->buddy());
        QVERIFY(field != nullptr);
        const auto labels = field->relations(QAccessible::Label); // the label, and any frame
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](const auto& relation) {
            return relation.first->object() == label;
        }));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(Control<QWidget>(editor, "txtTelnetPort"))
                 ->text(QAccessible::Name),
             QString("Port:"));
}

void TestFrmHost::addModeOpensWithTheDefaults() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    ModalDialogDriver driver("frmHost", [](QDialog* shown) {
        QVERIFY(QTest::qWaitForWindowActive(shown));
        const QWidget& dialog = *shown;
        QCOMPARE(dialog.windowTitle(), QString("Add host configuration"));
        QVERIFY(Control<QRadioButton>(dialog, "optSerial")->isChecked());
        QVERIFY(Control<QGroupBox>(dialog, "fraSerial")->isVisible());
        QVERIFY(Control<QGroupBox>(dialog, "fraSerial")->isEnabled());
        QVERIFY(Control<QGroupBox>(dialog, "fraTelnet")->isHidden());
        QVERIFY(
            inFront(Control<QWidget>(dialog, "fraSerial"), Control<QWidget>(dialog, "fraTelnet")));
        QCOMPARE(Shown(dialog, "cboSerialEmulation"), QString("AM75G"));
        QCOMPARE(Shown(dialog, "cboTelnetEmulation"), QString("AM75G"));
        QCOMPARE(Shown(dialog, "cboSerialBits"), QString("8"));
        QCOMPARE(Shown(dialog, "cboSerialBaud"), QString("9600"));
        QCOMPARE(Shown(dialog, "cboSerialParity"), QString("None"));
        QCOMPARE(Shown(dialog, "cboSerialStop"), QString("1"));
        QCOMPARE(Shown(dialog, "cboSerialFlow"), QString("Hardware"));
        QCOMPARE(Shown(dialog, "cboSerialPort"), QString()); // offered, not chosen
        QCOMPARE(Control<QComboBox>(dialog, "cboSerialPort")->count(), 2);
        QCOMPARE(Typed(dialog, "txtTelnetPort"), QString("23"));
        QCOMPARE(Typed(dialog, "txtTelnetIP"), QString());
        QCOMPARE(Typed(dialog, "txtName"), QString());
        auto* traceFile = Control<QLineEdit>(dialog, "txtTraceFile");
        QVERIFY(!Control<QCheckBox>(dialog, "chkTracing")->isChecked());
        QVERIFY(!traceFile->isEnabled());
        QCOMPARE(traceFile->text(), QString());
        QCOMPARE(baseOf(traceFile), appColour(QPalette::Button));
        // The transport's focus request came while the dialog was being filled and is dropped.
        QCOMPARE(QApplication::focusWidget(), Control<QWidget>(dialog, "txtName"));
        Press(dialog, "cmdCancel");
    });
    QVERIFY(!editor.Display(cmAdd, "AM75G", ""));
    QVERIFY(driver.ran());

    // An empty default, or one not in the list, selects no emulation at all.
    for (const char* defaultTTY : {"", "am75g", "VT100"}) {
        editor.Load(cmAdd, defaultTTY, "");
        QCOMPARE(Shown(editor, "cboSerialEmulation"), QString());
        QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString());
    }
    QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
}

void TestFrmHost::editModeLoadsATelnetRecordWithALowerCaseEmulation() {
    PortsStore store;
    QVERIFY(PutRecord("bravo", {{layout::TRANSPORT, "telnet"},
                                {layout::TRACE_FILE, "bravo.trc"},
                                {layout::TTY, "am65"},
                                {layout::ADDRESS, "10.1.2.3"},
                                {layout::PORT, "2323"},
                                {layout::BAUD, "300"}})); // of the other transport: not read
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "bravo"));
    QCOMPARE(editor.windowTitle(), QString("Edit host configuration"));
    QCOMPARE(Typed(editor, "txtName"), QString("bravo"));
    QVERIFY(Control<QRadioButton>(editor, "optTelnet")->isChecked());
    QVERIFY(!Control<QRadioButton>(editor, "optSerial")->isChecked());
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isVisible());
    QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isHidden());
    QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString("AM65"));
    QCOMPARE(Shown(editor, "cboSerialEmulation"), QString());
    QCOMPARE(Shown(editor, "cboSerialBaud"), QString("9600"));
    QCOMPARE(Typed(editor, "txtTelnetIP"), QString("10.1.2.3"));
    QCOMPARE(Typed(editor, "txtTelnetPort"), QString("2323"));
    auto* traceFile = Control<QLineEdit>(editor, "txtTraceFile");
    QVERIFY(Control<QCheckBox>(editor, "chkTracing")->isChecked());
    QCOMPARE(traceFile->text(), QString("bravo.trc"));
    QVERIFY(traceFile->isEnabled());
    QCOMPARE(baseOf(traceFile), appColour(QPalette::Base));
}

void TestFrmHost::editModeShowsUnreadableValuesAsDefaults() {
    PortsStore store;
    const std::string tooLong(64, 'x'); // one character more than a read can take
    QVERIFY(PutRecord("charlie", {{layout::TRANSPORT, "TELNET"},
                                  {layout::TRACE_FILE, tooLong},
                                  {layout::TTY, "AM75"},
                                  {layout::ADDRESS, tooLong}})); // and no Port at all
    {
        CRegKey key; // a value of another type than text
        QCOMPARE(key.Create(HKEY_LOCAL_MACHINE, HostKey("charlie"), 0, WRITER_ACCESS), 0);
        QCOMPARE(key.SetValue(std::int32_t(7), layout::TTY), 0);
        key.CloseKey();
    }
    frmHost editor;
    editor.Load(cmEdit, "", "charlie");
    QVERIFY(Control<QRadioButton>(editor, "optTelnet")->isChecked());
    QVERIFY(!Control<QCheckBox>(editor, "chkTracing")->isChecked());
    QCOMPARE(Typed(editor, "txtTelnetIP"), QString());        // not the text a read before left
    QCOMPARE(Typed(editor, "txtTelnetPort"), QString("23"));  // the default stays
    QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString()); // "7" is no emulation

    // A 40-character name written by another tool is shown whole, so saving keeps it.
    const std::string longName(40, 'n');
    QVERIFY(PutRecord(longName, {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "h"}}));
    editor.Load(cmEdit, "", QString::fromStdString(longName));
    QCOMPARE(Typed(editor, "txtName"), QString::fromStdString(longName));
    MessageBoxScript boxes;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey(longName), layout::ADDRESS), QString("h"));
}

void TestFrmHost::serialRecordWithAnUnknownBaudRateIsSavedWithoutOne() {
    PortsStore store;
    QVERIFY(PutRecord("alpha", {{layout::TRANSPORT, "Serial"},
                                {layout::TRACE_FILE, ""},
                                {layout::TTY, "am75g"},
                                {layout::PORT, "/dev/ttyusb0"},
                                {layout::DATA_BITS, "7"},
                                {layout::BAUD, "115200"},
                                {layout::PARITY, "even"},
                                {layout::STOP_BITS, "1.5"},
                                {layout::FLOW_CONTROL, "xon / xoff"}}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    QVERIFY(Control<QRadioButton>(editor, "optSerial")->isChecked());
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isHidden());
    QVERIFY(!Control<QCheckBox>(editor, "chkTracing")->isChecked());
    QCOMPARE(Shown(editor, "cboSerialEmulation"), QString("AM75G"));
    QCOMPARE(Shown(editor, "cboSerialPort"), QString("/dev/ttyUSB0"));
    QCOMPARE(Shown(editor, "cboSerialBits"), QString("7"));
    QCOMPARE(Shown(editor, "cboSerialBaud"), QString());
    QCOMPARE(Shown(editor, "cboSerialParity"), QString("Even"));
    QCOMPARE(Shown(editor, "cboSerialStop"), QString("1.5"));
    QCOMPARE(Shown(editor, "cboSerialFlow"), QString("Xon / Xoff"));

    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QVERIFY(editor.isHidden());
    const std::string key = HostKey("alpha");
    QCOMPARE(StoredText(key, layout::TRANSPORT), QString("SERIAL"));
    QCOMPARE(StoredText(key, layout::TRACE_FILE), QString(""));
    QCOMPARE(StoredText(key, layout::TTY), QString("AM75G"));
    QCOMPARE(StoredText(key, layout::PORT), QString("/dev/ttyUSB0"));
    QCOMPARE(StoredText(key, layout::DATA_BITS), QString("7"));
    QCOMPARE(StoredText(key, layout::BAUD), QString(""));
    QCOMPARE(StoredText(key, layout::PARITY), QString("Even"));
    QCOMPARE(StoredText(key, layout::STOP_BITS), QString("1.5"));
    QCOMPARE(StoredText(key, layout::FLOW_CONTROL), QString("Xon / Xoff"));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), QString("1"));
}

void TestFrmHost::renamingLeavesNothingUnderTheOldName() {
    PortsStore store;
    QVERIFY(PutRecord(
        "alpha",
        {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "10.0.0.1"}, {layout::PORT, "23"}}));
    QVERIFY(PutRecord("other", {{layout::TRANSPORT, "TELNET"}}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    auto* name = Control<QLineEdit>(editor, "txtName");
    name->clear();
    QTest::keyClicks(name, "  zulu ");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "zulu"), QString("1"));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), std::nullopt);
    QVERIFY(!KeyExists(HostKey("alpha")));
    QCOMPARE(StoredText(HostKey("zulu"), layout::ADDRESS), QString("10.0.0.1"));
    QVERIFY(KeyExists(HostKey("other")));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "other"), QString("1"));
}

void TestFrmHost::switchingASerialRecordToTelnetDropsTheSerialValues() {
    PortsStore store;
    QVERIFY(PutRecord("alpha", {{layout::TRANSPORT, "SERIAL"},
                                {layout::TTY, "AM65G"},
                                {layout::PORT, "/dev/ttyS0"},
                                {layout::DATA_BITS, "8"},
                                {layout::BAUD, "9600"},
                                {layout::PARITY, "None"},
                                {layout::STOP_BITS, "1"},
                                {layout::FLOW_CONTROL, "None"}}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    QTest::mouseClick(Control<QRadioButton>(editor, "optTelnet"), Qt::LeftButton);
    QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString("AM65G"));
    Control<QLineEdit>(editor, "txtTelnetIP")->setText(" myhost "); // stored trimmed
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    const std::string key = HostKey("alpha");
    QCOMPARE(StoredText(key, layout::TRANSPORT), QString("TELNET"));
    QCOMPARE(StoredText(key, layout::TTY), QString("AM65G"));
    QCOMPARE(StoredText(key, layout::ADDRESS), QString("myhost"));
    QCOMPARE(StoredText(key, layout::PORT), QString("23"));
    for (const char* serialOnly : {layout::DATA_BITS, layout::BAUD, layout::PARITY,
                                   layout::STOP_BITS, layout::FLOW_CONTROL}) {
        QCOMPARE(StoredText(key, serialOnly), std::nullopt);
    }
}

void TestFrmHost::addingOverAnExistingNameKeepsItsOtherValues() {
    PortsStore store;
    QVERIFY(PutRecord("alpha", {{layout::TRANSPORT, "SERIAL"},
                                {layout::TRACE_FILE, "old.trc"},
                                {layout::TTY, "AM65"},
                                {layout::PORT, "/dev/ttyS0"},
                                {layout::DATA_BITS, "7"},
                                {layout::BAUD, "300"},
                                {layout::PARITY, "Odd"},
                                {layout::STOP_BITS, "2"},
                                {layout::FLOW_CONTROL, "None"}}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM75", ""));
    saveTelnetHost(editor, "ALPHA", "10.0.0.9");
    QVERIFY(editor.Result());
    const std::string key = HostKey("alpha");
    QCOMPARE(StoredText(key, layout::TRANSPORT), QString("TELNET"));
    QCOMPARE(StoredText(key, layout::TRACE_FILE), QString(""));
    QCOMPARE(StoredText(key, layout::TTY), QString("AM75"));
    QCOMPARE(StoredText(key, layout::ADDRESS), QString("10.0.0.9"));
    QCOMPARE(StoredText(key, layout::PORT), QString("23"));
    QCOMPARE(StoredText(key, layout::DATA_BITS), QString("7"));
    QCOMPARE(StoredText(key, layout::BAUD), QString("300"));
    QCOMPARE(StoredText(key, layout::PARITY), QString("Odd"));
    QCOMPARE(StoredText(key, layout::STOP_BITS), QString("2"));
    QCOMPARE(StoredText(key, layout::FLOW_CONTROL), QString("None"));
    // One HostList entry for the name, whatever its letter case.
    CRegKey list;
    QCOMPARE(list.OpenKey(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, KEY_READ), 0);
    std::string entry;
    Dword type = REG_SZ;
    RegValue data = std::string();
    QCOMPARE(list.EnumValue(0, entry, type, data), 0);
    QCOMPARE(list.EnumValue(1, entry, type, data), ERROR_NO_MORE_ITEMS);
    list.CloseKey();
}

void TestFrmHost::switchingTransportCarriesOnlyTheEmulation() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM75G", ""));
    auto* serial = Control<QRadioButton>(editor, "optSerial");
    auto* telnet = Control<QRadioButton>(editor, "optTelnet");
    Control<QComboBox>(editor, "cboSerialEmulation")->setCurrentText("AM65");
    Control<QComboBox>(editor, "cboSerialBaud")->setCurrentText("300");
    QTest::mouseClick(telnet, Qt::LeftButton);
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isVisible());
    QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isHidden());
    QCOMPARE(QApplication::focusWidget(), telnet);
    QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString("AM65"));
    QTest::keyClicks(Control<QLineEdit>(editor, "txtTelnetIP"), "10.0.0.1");
    Control<QLineEdit>(editor, "txtTelnetPort")->setText("2323");
    Control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");

    QTest::mouseClick(serial, Qt::LeftButton);
    QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isVisible());
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isHidden());
    QCOMPARE(QApplication::focusWidget(), serial);
    QCOMPARE(Shown(editor, "cboSerialEmulation"), QString("AM75"));
    QCOMPARE(Shown(editor, "cboSerialBaud"), QString("300"));

    // An emulation box without a selection empties the other one too.
    Control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    QTest::mouseClick(telnet, Qt::LeftButton);
    QCOMPARE(Shown(editor, "cboTelnetEmulation"), QString());
    QCOMPARE(Typed(editor, "txtTelnetIP"), QString("10.0.0.1"));
    QCOMPARE(Typed(editor, "txtTelnetPort"), QString("2323"));
    QVERIFY(!KeyExists(layout::HOSTS_KEY));
}

void TestFrmHost::tracingBoxEmptiesTheFileNameOnEveryChange() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QVERIFY(appColour(QPalette::Base) != appColour(QPalette::Button));
    auto* tracing = Control<QCheckBox>(editor, "chkTracing");
    auto* traceFile = Control<QLineEdit>(editor, "txtTraceFile");

    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(traceFile->isEnabled());
    QCOMPARE(baseOf(traceFile), appColour(QPalette::Base));
    QTest::keyClicks(traceFile, "session.log");
    QCOMPARE(traceFile->text(), QString("session.log"));

    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(!traceFile->isEnabled());
    QCOMPARE(baseOf(traceFile), appColour(QPalette::Button));
    QCOMPARE(traceFile->text(), QString());

    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(traceFile->isEnabled());
    QCOMPARE(traceFile->text(), QString()); // the name typed before is lost

    QTest::keyClick(tracing, Qt::Key_Space); // from the keyboard as well
    QVERIFY(!tracing->isChecked());
    QVERIFY(!traceFile->isEnabled());
}

void TestFrmHost::portBoxTakesOnlyFourDigits() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QTest::mouseClick(Control<QRadioButton>(editor, "optTelnet"), Qt::LeftButton);
    auto* port = Control<QLineEdit>(editor, "txtTelnetPort");
    port->setFocus();
    QTest::keyClick(port, Qt::Key_End);
    QTest::keyClick(port, Qt::Key_Backspace);
    QTest::keyClick(port, Qt::Key_Backspace);
    QCOMPARE(port->text(), QString());
    // Refused keys are dropped before they reach the box: it never sees them to reject them.
    QSignalSpy rejectedByBox(port, &QLineEdit::inputRejected);
    QTest::keyClicks(port, "a-1 .2+x3");
    QCOMPARE(port->text(), QString("123"));
    QCOMPARE(rejectedByBox.count(), 0);
    QTest::keyClicks(port, "45");
    QCOMPARE(port->text(), QString("1234")); // a fifth digit changes nothing
    QTest::keyClick(port, Qt::Key_Backspace);
    QCOMPARE(port->text(), QString("123"));
    typeText(port, QString::fromUtf8("\u0664\u00b2")); // digits of other scripts are no digits
    QCOMPARE(port->text(), QString("123"));

    rejectedByBox.clear();
    pasteInto(port, "a9");
    QCOMPARE(port->text(), QString("123"));
    QVERIFY(!rejectedByBox.isEmpty()); // pasting passes no key filter; the box itself refuses
    pasteInto(port, "9");
    QCOMPARE(port->text(), QString("1239"));

    // Enter still reaches the default button through the filtered box.
    Control<QLineEdit>(editor, "txtName")->setText("delta");
    Control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.4");
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Return);
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey("delta"), layout::PORT), QString("1239"));
}

void TestFrmHost::textBoxesTakeOnlyWhatTheStoreCanHold() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QTest::mouseClick(Control<QRadioButton>(editor, "optTelnet"), Qt::LeftButton);
    QTest::mouseClick(Control<QCheckBox>(editor, "chkTracing"), Qt::LeftButton);
    for (const char* name : {"txtName", "txtTelnetIP", "txtTraceFile"}) {
        auto* box = Control<QLineEdit>(editor, name);
        typeText(box, QString::fromUtf8("Zö\u4e2d"));
        pasteInto(box, QString::fromUtf8("\u03a9€\U0001F600"));
        QCOMPARE(box->text(), QString::fromUtf8("Zö€"));
        pasteInto(box, QString(40, 'w')); // the limit holds for pasted text too
        QCOMPARE(box->text().size(), 32);
    }
    Control<QLineEdit>(editor, "txtTelnetIP")->setText(QString::fromUtf8("Zö€"));
    Control<QLineEdit>(editor, "txtName")->setText(QString::fromUtf8("Zö€"));
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey("Zö€"), layout::ADDRESS), QString::fromUtf8("Zö€"));
}

void TestFrmHost::backslashInANameMakesNestedKeys() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    saveTelnetHost(editor, "site\\east", "10.0.0.5");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "site\\east"), QString("1"));
    QVERIFY(KeyExists(HostKey("site")));
    QCOMPARE(StoredText(HostKey("site") + "\\east", layout::ADDRESS), QString("10.0.0.5"));

    // Editing it reads the nested key back and saves it in place.
    QVERIFY(ShowEditor(editor, cmEdit, "", "site\\east"));
    QCOMPARE(Typed(editor, "txtTelnetIP"), QString("10.0.0.5"));
    Control<QLineEdit>(editor, "txtTelnetPort")->setText("24");
    Press(editor, "cmdOK");
    QCOMPARE(StoredText(HostKey("site\\east"), layout::PORT), QString("24"));
}

void TestFrmHost::refusedWritesAreReportedOnceAndDisplayReturnsTrue() {
    PortsStore store(/*readOnly=*/true);
    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    frmHost editor;
    bool closedByOk = false;
    ModalDialogDriver driver("frmHost", [&](QDialog* shown) {
        saveTelnetHost(static_cast<frmHost&>(*shown), "echo", "10.0.0.6");
        closedByOk = shown->isHidden();
    });
    QVERIFY(editor.Display(cmAdd, "AM65", ""));
    QVERIFY(closedByOk);
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(boxes.shown().first().buttons, zeb::ui::MsgButtons::Ok);
    QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
}

void TestFrmHost::aNameTheStoreRefusesLosesNothing() {
    PortsStore store;
    QVERIFY(PutRecord(
        "alpha",
        {{layout::TRANSPORT, "TELNET"}, {layout::ADDRESS, "10.0.0.1"}, {layout::PORT, "23"}}));
    frmHost editor;
    {
        // A leading backslash is a path the store refuses; the old record must survive the edit.
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        Control<QLineEdit>(editor, "txtName")->setText("\\alpha");
        Press(editor, "cmdOK");
        QVERIFY(editor.Result());
    }
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "alpha"), QString("1"));
    QCOMPARE(StoredText(HostKey("alpha"), layout::ADDRESS), QString("10.0.0.1"));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "\\alpha"), std::nullopt);
    {
        // Added under such a name, nothing is half-written: no listed name without its record.
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
        saveTelnetHost(editor, "a\\\\b", "10.0.0.7");
        QVERIFY(editor.Result());
    }
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "a\\\\b"), std::nullopt);
    QVERIFY(!KeyExists(HostKey("a")));
}

void TestFrmHost::editOfARecordWithoutItsKeyWritesItAndReports() {
    PortsStore store;
    QVERIFY(ListHostName("ghost"));
    QVERIFY(PutRecord("other", {{layout::TRANSPORT, "TELNET"}})); // so Hosts itself exists
    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "ghost"));
    QCOMPARE(Typed(editor, "txtName"), QString("ghost"));
    QVERIFY(!Control<QRadioButton>(editor, "optSerial")->isChecked());
    QVERIFY(!Control<QRadioButton>(editor, "optTelnet")->isChecked());
    QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isVisible());
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isVisible());
    QVERIFY(inFront(Control<QWidget>(editor, "fraTelnet"), Control<QWidget>(editor, "fraSerial")));
    QCOMPARE(Shown(editor, "cboSerialBaud"), QString("9600"));
    QCOMPARE(Shown(editor, "cboSerialEmulation"), QString());
    QCOMPARE(Typed(editor, "txtTelnetPort"), QString("23"));

    // Without a transport the record is checked and saved as TCP/IP.
    Control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey("ghost"), layout::TRANSPORT), QString("TELNET"));
    QCOMPARE(StoredText(HostKey("ghost"), layout::ADDRESS), QString("10.0.0.8"));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "ghost"), QString("1"));
}

void TestFrmHost::cancelAndCloseBoxWriteNothingAndReturnFalse() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    {
        ModalDialogDriver driver("frmHost", [](QDialog* shown) {
            saveTelnetHost(static_cast<frmHost&>(*shown), "foxtrot", "10.0.0.9");
        });
        QVERIFY(editor.Display(cmAdd, "AM65", ""));
    }
    QVERIFY(KeyExists(HostKey("foxtrot")));
    const auto dismissals = std::initializer_list<std::function<void(QDialog*)>>{
        [](QDialog* shown) { Press(*shown, "cmdCancel"); },
        [](QDialog* shown) { QTest::keyClick(shown, Qt::Key_Escape); },
        [](QDialog* shown) { shown->close(); }, // the close box
    };
    for (const auto& dismiss : dismissals) {
        ModalDialogDriver driver("frmHost", [&](QDialog* shown) {
            QCOMPARE(Typed(*shown, "txtName"), QString("foxtrot"));
            Control<QLineEdit>(*shown, "txtName")->setText("golf");
            QTest::mouseClick(Control<QRadioButton>(*shown, "optSerial"), Qt::LeftButton);
            dismiss(shown);
        });
        QVERIFY(!editor.Display(cmEdit, "", "foxtrot"));
        QVERIFY(driver.ran());
        QCOMPARE(StoredText(HostKey("foxtrot"), layout::TRANSPORT), QString("TELNET"));
        QVERIFY(!KeyExists(HostKey("golf")));
    }
}

QTEST_MAIN(TestFrmHost)
#include "test_frmhost.moc"
