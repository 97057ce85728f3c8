// The host editor's entry checks: each message, the control that gets the focus, and the order in
// which the checks run. A refused OK keeps the dialog open and writes nothing.
#include "frmhost_test_support.h"

#include "MessageBoxScript.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>

using namespace frmhost_test;
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

void chooseTelnet(const QWidget& dialog) {
    QTest::mouseClick(Control<QRadioButton>(dialog, "optTelnet"), Qt::LeftButton);
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
    QVERIFY(editor.isVisible());
    QVERIFY(!editor.Result());
    QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
}

// Presses OK and expects no message and a saved record.
void expectAccepted(frmHost& editor) {
    MessageBoxScript boxes;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QVERIFY(editor.isHidden());
}

} // namespace

class TestFrmHostValidate : public QObject {
    Q_OBJECT

private slots:
    void nameIsCheckedFirst();
    void traceFileIsNeededOnlyWhileTracing();
    void serialHostNeedsAPortAndNothingOfTelnet();
    void machineWithoutSerialPortsCannotSaveASerialHost();
    void telnetHostNeedsAnAddressThenAPort();
    void telnetAddressFollowsTheDottedRule();
    void recordWithoutATransportIsCheckedAsTelnet();
};

void TestFrmHostValidate::nameIsCheckedFirst() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QTest::mouseClick(Control<QCheckBox>(editor, "chkTracing"), Qt::LeftButton);
    expectRefusal(editor, NEED_NAME, "txtName"); // with trace file and port missing too
    setText(editor, "txtName", "    ");
    expectRefusal(editor, NEED_NAME, "txtName");
    chooseTelnet(editor);
    setText(editor, "txtTelnetPort", "");
    expectRefusal(editor, NEED_NAME, "txtName");
}

void TestFrmHostValidate::traceFileIsNeededOnlyWhileTracing() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    setText(editor, "txtName", "alpha");
    QTest::mouseClick(Control<QCheckBox>(editor, "chkTracing"), Qt::LeftButton);
    setText(editor, "txtTraceFile", "   ");
    expectRefusal(editor, NEED_TRACE_FILE, "txtTraceFile"); // before the missing port

    setText(editor, "txtTraceFile", " alpha.trc ");
    expectRefusal(editor, NEED_PORT, "cboSerialPort");
    Control<QComboBox>(editor, "cboSerialPort")->setCurrentIndex(0);
    expectAccepted(editor);
    QCOMPARE(StoredText(HostKey("alpha"), layout::TRACE_FILE), QString("alpha.trc"));
}

void TestFrmHostValidate::serialHostNeedsAPortAndNothingOfTelnet() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "", ""));
    setText(editor, "txtName", "bravo");
    setText(editor, "txtTelnetPort", "");
    for (const char* list :
         {"cboSerialBits", "cboSerialBaud", "cboSerialParity", "cboSerialStop", "cboSerialFlow"}) {
        Control<QComboBox>(editor, list)->setCurrentIndex(-1); // may all be without selection
    }
    expectRefusal(editor, NEED_PORT, "cboSerialPort");
    Control<QComboBox>(editor, "cboSerialPort")->setCurrentIndex(1);
    expectAccepted(editor); // address and TCP port empty: not looked at
    QCOMPARE(StoredText(HostKey("bravo"), layout::PORT), QString("/dev/ttyUSB0"));
    QCOMPARE(StoredText(HostKey("bravo"), layout::TTY), QString(""));
    QCOMPARE(StoredText(HostKey("bravo"), layout::PARITY), QString(""));
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

void TestFrmHostValidate::telnetHostNeedsAnAddressThenAPort() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    setText(editor, "txtName", "delta");
    chooseTelnet(editor);
    setText(editor, "txtTelnetPort", "");
    expectRefusal(editor, NEED_ADDRESS, "txtTelnetIP"); // both empty: only the address
    setText(editor, "txtTelnetIP", "   ");
    expectRefusal(editor, NEED_ADDRESS, "txtTelnetIP");
    setText(editor, "txtTelnetIP", "10.0.0.1");
    expectRefusal(editor, NEED_TCP_PORT, "txtTelnetPort");
    setText(editor, "txtTelnetPort", "0000"); // not range-tested
    expectAccepted(editor);
    QCOMPARE(StoredText(HostKey("delta"), layout::PORT), QString("0000"));
}

void TestFrmHostValidate::telnetAddressFollowsTheDottedRule() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    setText(editor, "txtName", "echo");
    chooseTelnet(editor);
    // Emptiness is tested on the trimmed text, the rule on the text as typed.
    for (const char* refused : {"192.168.1.255", "10.0.0", "10..0.1", "10.0.0.-1", "10.0.0.1 ",
                                " 10.0.0.1", "alpha.beta.gamma", "mail.example.com"}) {
        setText(editor, "txtTelnetIP", refused);
        expectRefusal(editor, BAD_ADDRESS, "txtTelnetIP");
    }
    for (const char* accepted : {"010.001.000.009", "my host"}) {
        QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
        setText(editor, "txtName", accepted);
        chooseTelnet(editor);
        setText(editor, "txtTelnetIP", accepted);
        expectAccepted(editor);
        QCOMPARE(StoredText(HostKey(accepted), layout::ADDRESS), QString(accepted));
    }
}

void TestFrmHostValidate::recordWithoutATransportIsCheckedAsTelnet() {
    PortsStore store;
    QVERIFY(PutRecord("foxtrot", {{layout::TRANSPORT, "MODEM"}}));
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "foxtrot"));
    QVERIFY(!Control<QRadioButton>(editor, "optSerial")->isChecked());
    QVERIFY(!Control<QRadioButton>(editor, "optTelnet")->isChecked());
    {
        MessageBoxScript boxes;
        boxes.expect(NEED_ADDRESS, MsgIcon::Exclamation);
        Press(editor, "cmdOK");
    }
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtTelnetIP"));
    QVERIFY(!editor.Result());
    QCOMPARE(StoredText(HostKey("foxtrot"), layout::TRANSPORT), QString("MODEM"));
}

QTEST_MAIN(TestFrmHostValidate)
#include "test_frmhost_validate.moc"
