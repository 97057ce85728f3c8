// The host editor's entry checks: each message, the control that gets the focus, and the order in
// which the checks run. A refused OK keeps the dialog open and writes nothing.
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>

using namespace frmconfig_test;
using zeb::ui::MsgIcon;

namespace {

const char* const NEED_NAME = "Please enter a server name";
const char* const NEED_TRACE_FILE = "Please enter a filename for the character trace capture";
const char* const NEED_PORT = "Please select a communications port";
const char* const NEED_ADDRESS = "Please enter a hostname or IP address";
const char* const NEED_TCP_PORT = "Please enter a TCP/IP port number";
const char* const BAD_ADDRESS = "Please enter a valid IP address or a hostname";

void setText(const QWidget& dialog, const char* box, const QString& text) {
    Control<QLineEdit>(dialog, box)->setText(text);
}

void click(const QWidget& dialog, const char* button) {
    QTest::mouseClick(Control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

// Presses OK and expects exactly `message`, the focus on `focusTarget`, the dialog still open and
// nothing in the store.
void expectRefusal(frmHost& editor, const char* message, const char* focusTarget) {
    {
        MessageBoxScript boxes;
        boxes.expect(message, MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown().first().buttons, zeb::ui::MsgButtons::Ok);
    }
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, focusTarget));
    QVERIFY(editor.isVisible() && !editor.Result());
    QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
}

// Presses OK and expects no message and a saved record.
void expectAccepted(frmHost& editor) {
    MessageBoxScript boxes;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result() && editor.isHidden());
}

} // namespace

class TestFrmHostValidate : public QObject {
    Q_OBJECT

private slots:
    void serialChecksNameThenTraceFileThenPort();
    void machineWithoutSerialPortsCannotSaveASerialHost();
    void telnetChecksNameThenAddressThenPort();
    void telnetAddressFollowsTheDottedRule();
};

// Only what the save writes for the chosen transport is examined: the TCP/IP boxes and the other
// serial lists may be empty.
void TestFrmHostValidate::serialChecksNameThenTraceFileThenPort() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "", ""));
    setText(editor, "txtTelnetPort", "");
    for (const char* list :
         {"cboSerialBits", "cboSerialBaud", "cboSerialParity", "cboSerialStop", "cboSerialFlow"}) {
        Control<QComboBox>(editor, list)->setCurrentIndex(-1);
    }
    click(editor, "chkTracing");
    expectRefusal(editor, NEED_NAME, "txtName"); // trace file and port missing too
    setText(editor, "txtName", "    ");
    expectRefusal(editor, NEED_NAME, "txtName");
    setText(editor, "txtName", "alpha");
    setText(editor, "txtTraceFile", "   ");
    expectRefusal(editor, NEED_TRACE_FILE, "txtTraceFile");
    setText(editor, "txtTraceFile", " alpha.trc ");
    expectRefusal(editor, NEED_PORT, "cboSerialPort");
    Control<QComboBox>(editor, "cboSerialPort")->setCurrentIndex(1);
    expectAccepted(editor);
    QCOMPARE(StoredValues(HostKey("alpha")),
             AsStored({layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "alpha.trc", layout::TTY,
                       "", layout::PORT, "/dev/ttyUSB0", layout::DATA_BITS, "", layout::BAUD, "",
                       layout::PARITY, "", layout::STOP_BITS, "", layout::FLOW_CONTROL, ""}));
}

void TestFrmHostValidate::machineWithoutSerialPortsCannotSaveASerialHost() {
    FakeSysfs noPorts;
    ScratchStore store({.readOnly = false, .sysfsRoot = noPorts.root()});
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QCOMPARE(Control<QComboBox>(editor, "cboSerialPort")->count(), 0);
    setText(editor, "txtName", "charlie");
    expectRefusal(editor, NEED_PORT, "cboSerialPort");
}

void TestFrmHostValidate::telnetChecksNameThenAddressThenPort() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    click(editor, "optTelnet");
    setText(editor, "txtTelnetPort", "");
    expectRefusal(editor, NEED_NAME, "txtName");
    setText(editor, "txtName", "delta");
    expectRefusal(editor, NEED_ADDRESS, "txtTelnetIP"); // both empty: only the address
    setText(editor, "txtTelnetIP", "   ");
    expectRefusal(editor, NEED_ADDRESS, "txtTelnetIP");
    setText(editor, "txtTelnetIP", "10.0.0.1");
    expectRefusal(editor, NEED_TCP_PORT, "txtTelnetPort");
    setText(editor, "txtTelnetPort", "0000"); // not range-tested
    expectAccepted(editor);
    QCOMPARE(StoredText(HostKey("delta"), layout::PORT), QString("0000"));
}

// The rule itself is tested with the other text rules; here, that the address box follows it,
// on the text as typed (emptiness is tested on the trimmed text).
void TestFrmHostValidate::telnetAddressFollowsTheDottedRule() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    setText(editor, "txtName", "echo");
    click(editor, "optTelnet");
    for (const char* refused : {"192.168.1.255", " 10.0.0.1", "mail.example.com"}) {
        setText(editor, "txtTelnetIP", refused);
        expectRefusal(editor, BAD_ADDRESS, "txtTelnetIP");
    }
    for (const char* accepted : {"010.001.000.009", "my host"}) {
        QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
        setText(editor, "txtName", accepted);
        click(editor, "optTelnet");
        setText(editor, "txtTelnetIP", accepted);
        expectAccepted(editor);
        QCOMPARE(StoredText(HostKey(accepted), layout::ADDRESS), QString(accepted));
    }
}

QTEST_MAIN(TestFrmHostValidate)
#include "test_frmhost_validate.moc"
