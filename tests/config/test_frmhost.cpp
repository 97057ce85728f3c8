// The host editor: its layout, what it shows when it opens, how its controls react, its entry
// checks, and what it writes to the store on OK (and does not write on Cancel).
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "TypeText.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QPushButton>

using namespace frmconfig_test;
using zeb::ui::MsgIcon;

namespace {

// True when `front` is stacked above `behind` (both children of one parent).
bool inFront(const QWidget* front, const QWidget* behind) {
    const QObjectList& siblings = front->parentWidget()->children();
    return siblings.indexOf(front) > siblings.indexOf(behind);
}

QColor baseOf(const QWidget& dialog, const char* box) {
    return control<QWidget>(dialog, box)->palette().color(QPalette::Base);
}
QColor appColour(QPalette::ColorRole role) {
    return QApplication::palette().color(QPalette::Active, role);
}

bool HasFocus(const QWidget& dialog, const char* name) {
    return QApplication::focusWidget() == control<QWidget>(dialog, name);
}

// Which transport frame is shown: "fraSerial", "fraTelnet" or both.
QString ShownFrames(const QWidget& dialog) {
    QStringList shown;
    for (const char* frame : {"fraSerial", "fraTelnet"}) {
        if (!control<QGroupBox>(dialog, frame)->isHidden()) {
            shown << frame;
        }
    }
    return shown.join(' ');
}

void pasteInto(QLineEdit* box, const QString& text) {
    QApplication::clipboard()->setText(text);
    box->paste();
}

} // namespace

class TestFrmHost : public QObject {
    Q_OBJECT

private slots:
    void layoutMatchesItsTable();
    void addModeOpensWithTheDefaults();
    void editModeLoadsWhatIsReadableAndDefaultsTheRest();
    void serialRecordWithAnUnknownBaudRateIsSavedWithoutOne();
    void savesUnderTheNameAsTyped();
    void switchingTransportCarriesOnlyTheEmulation();
    void boxesTakeOnlyWhatTheyMayHold();
    void refusedSavesAreReportedOnceAndLoseNothing();
    void editOfARecordWithoutItsKeyIsCheckedAndSavedAsTelnet();
    void okChecksTheEntries_data();
    void okChecksTheEntries();
};

void TestFrmHost::layoutMatchesItsTable() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", "")); // the font is fitted as it is shown
    checkLayout(editor, {7695, 4575},
                {
                    {"lblName", "frmHost", 300, 180, 1695, 315},
                    {"txtName", "frmHost", 2040, 120, 2235, 315},
                    {"fraTransport", "frmHost", 120, 600, 2535, 1395},
                    {"optSerial", "fraTransport", 300, 420, 1695, 315},
                    {"optTelnet", "fraTransport", 300, 840, 1695, 315},
                    {"fraTracing", "frmHost", 120, 2160, 2535, 1875},
                    {"chkTracing", "fraTracing", 300, 480, 2055, 315},
                    {"lblTraceFile", "fraTracing", 300, 960, 1695, 315},
                    {"txtTraceFile", "fraTracing", 300, 1320, 2055, 315},
                    {"fraSerial", "frmHost", 2820, 600, 4755, 3435},
                    {"lblSerialEmulation", "fraSerial", 300, 420, 1695, 315},
                    {"cboSerialEmulation", "fraSerial", 2160, 360, 2235, 315},
                    {"lblSerialPort", "fraSerial", 300, 840, 1695, 315},
                    {"cboSerialPort", "fraSerial", 2160, 780, 2235, 315},
                    {"lblSerialBits", "fraSerial", 300, 1260, 1695, 315},
                    {"cboSerialBits", "fraSerial", 2160, 1200, 2235, 315},
                    {"lblSerialBaud", "fraSerial", 300, 1680, 1695, 315},
                    {"cboSerialBaud", "fraSerial", 2160, 1620, 2235, 315},
                    {"lblSerialParity", "fraSerial", 300, 2100, 1695, 315},
                    {"cboSerialParity", "fraSerial", 2160, 2040, 2235, 315},
                    {"lblSerialStop", "fraSerial", 300, 2520, 1695, 315},
                    {"cboSerialStop", "fraSerial", 2160, 2460, 2235, 315},
                    {"lblSerialFlow", "fraSerial", 300, 2940, 1695, 315},
                    {"cboSerialFlow", "fraSerial", 2160, 2880, 2235, 315},
                    {"fraTelnet", "frmHost", 2820, 600, 4755, 3435},
                    {"lblTelnetEmulation", "fraTelnet", 300, 420, 1695, 315},
                    {"cboTelnetEmulation", "fraTelnet", 2160, 360, 2235, 315},
                    {"lblTelnetlIP", "fraTelnet", 300, 840, 1815, 315},
                    {"txtTelnetIP", "fraTelnet", 2160, 780, 2235, 315},
                    {"lblTelnetPort", "fraTelnet", 300, 1260, 1755, 315},
                    {"txtTelnetPort", "fraTelnet", 2160, 1200, 915, 315},
                    {"cmdOK", "frmHost", 5280, 4140, 1095, 315},
                    {"cmdCancel", "frmHost", 6480, 4140, 1095, 315},
                });
}

void TestFrmHost::addModeOpensWithTheDefaults() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    ModalDialogDriver driver("frmHost", [](QDialog* shown) {
        QVERIFY(QTest::qWaitForWindowActive(shown));
        const QWidget& dialog = *shown;
        QCOMPARE(dialog.windowTitle(), QString("Add host configuration"));
        QVERIFY(checked(dialog, "optSerial") && !checked(dialog, "chkTracing"));
        QCOMPARE(ShownFrames(dialog), QString("fraSerial"));
        // The port is offered, not chosen.
        QCOMPARE(Texts(dialog, {"cboSerialEmulation", "cboTelnetEmulation", "cboSerialBits",
                                "cboSerialBaud", "cboSerialParity", "cboSerialStop",
                                "cboSerialFlow", "cboSerialPort", "txtTelnetPort", "txtTelnetIP",
                                "txtName", "txtTraceFile"}),
                 QStringList({"AM75G", "AM75G", "8", "9600", "None", "1", "Hardware", "", "23", "",
                              "", ""}));
        QVERIFY(!control<QLineEdit>(dialog, "txtTraceFile")->isEnabled());
        QCOMPARE(baseOf(dialog, "txtTraceFile"), appColour(QPalette::Button));
        // The transport's focus request came while the dialog was being filled and is dropped.
        QVERIFY(HasFocus(dialog, "txtName"));
        shown->close(); // the close box writes nothing, nor does Esc below
    });
    QVERIFY(!editor.Display(cmAdd, "AM75G", ""));
    QVERIFY(driver.ran());
    {
        ModalDialogDriver escape("frmHost", [](QDialog* shown) {
            QVERIFY(QTest::qWaitForWindowActive(shown));
            QTest::keyClick(shown->focusWidget(), Qt::Key_Escape);
        });
        QVERIFY(!editor.Display(cmAdd, "AM75G", ""));
    }
    // An empty default, or one not in the list, selects no emulation at all.
    for (const char* defaultTTY : {"", "am75g", "VT100"}) {
        editor.load(cmAdd, defaultTTY, "");
        QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboTelnetEmulation"}),
                 QStringList({"", ""}));
    }
    QCOMPARE(control<QComboBox>(editor, "cboSerialPort")->count(), 2); // refilled, not added to
    QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
}

// What can be read is shown (emulation names whatever their letter case); what cannot be read,
// a value too long or of another type, leaves the default rather than what a read before left.
void TestFrmHost::editModeLoadsWhatIsReadableAndDefaultsTheRest() {
    PortsStore store;
    QVERIFY(PutRecord("bravo", {layout::TRANSPORT, "telnet", layout::TRACE_FILE, "bravo.trc",
                                layout::TTY, "am65", layout::ADDRESS, "10.1.2.3", layout::PORT,
                                "2323", layout::BAUD, "300"})); // of the other transport: not read
    const std::string tooLong(64, 'x'); // one character more than a read can take
    QVERIFY(PutRecord("charlie", {layout::TRANSPORT, "TELNET", layout::TRACE_FILE, tooLong,
                                  layout::ADDRESS, tooLong})); // and no Port at all
    CRegKey key;                                               // a value of another type than text
    QCOMPARE(key.Create(HKEY_LOCAL_MACHINE, layout::hostKeyPath("charlie"), 0, WRITER_ACCESS), 0);
    QCOMPARE(key.SetValue(std::int32_t(7), layout::TTY), 0);
    key.CloseKey();
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "bravo"));
    QCOMPARE(editor.windowTitle(), QString("Edit host configuration"));
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "optSerial"));
    QCOMPARE(ShownFrames(editor), QString("fraTelnet"));
    const std::initializer_list<const char*> boxes{
        "txtName",      "cboTelnetEmulation", "txtTelnetIP",  "txtTelnetPort",
        "txtTraceFile", "cboSerialEmulation", "cboSerialBaud"};
    QCOMPARE(Texts(editor, boxes),
             QStringList({"bravo", "AM65", "10.1.2.3", "2323", "bravo.trc", "", "9600"}));
    QVERIFY(checked(editor, "chkTracing"));
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Base));

    editor.load(cmEdit, "", "charlie"); // "7" is no emulation
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "chkTracing"));
    QCOMPARE(Texts(editor, boxes), QStringList({"charlie", "", "", "23", "", "", "9600"}));

    // A 40-character name written by another tool is shown whole, so saving keeps it.
    const std::string longName(40, 'n');
    QVERIFY(PutRecord(longName, {layout::TRANSPORT, "TELNET", layout::ADDRESS, "h"}));
    editor.load(cmEdit, "", QString::fromStdString(longName));
    QCOMPARE(Texts(editor, {"txtName"}), QStringList{QString::fromStdString(longName)});
    MessageBoxScript messages;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QVERIFY(StoredValues(layout::hostKeyPath(longName)).contains("Address=h"));
}

void TestFrmHost::serialRecordWithAnUnknownBaudRateIsSavedWithoutOne() {
    PortsStore store;
    QVERIFY(PutRecord("alpha", {layout::TRANSPORT, "Serial", layout::TRACE_FILE, "", layout::TTY,
                                "am75g", layout::PORT, "/dev/ttyusb0", layout::DATA_BITS, "7",
                                layout::BAUD, "115200", layout::PARITY, "even", layout::STOP_BITS,
                                "1.5", layout::FLOW_CONTROL, "xon / xoff"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    QVERIFY(checked(editor, "optSerial") && !checked(editor, "chkTracing"));
    QCOMPARE(ShownFrames(editor), QString("fraSerial"));
    Press(editor, "cmdOK");
    QVERIFY(editor.Result() && editor.isHidden());
    QCOMPARE(StoredValues(layout::hostKeyPath("alpha")),
             AsStored({layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "", layout::TTY, "AM75G",
                       layout::PORT, "/dev/ttyUSB0", layout::DATA_BITS, "7", layout::BAUD, "",
                       layout::PARITY, "Even", layout::STOP_BITS, "1.5", layout::FLOW_CONTROL,
                       "Xon / Xoff"}));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1"}));
}

// A rename leaves nothing under the old name; adding over an existing name (any letter case)
// keeps its other values and its one HostList entry.
void TestFrmHost::savesUnderTheNameAsTyped() {
    PortsStore store;
    QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
    QVERIFY(
        PutRecord("other", {layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "old.trc", layout::TTY,
                            "AM65", layout::PORT, "/dev/ttyS0", layout::BAUD, "300"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    auto* name = control<QLineEdit>(editor, "txtName");
    name->clear();
    QTest::keyClicks(name, "  zulu ");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"other", "1", "zulu", "1"}));
    QVERIFY(!KeyExists(layout::hostKeyPath("alpha")));
    QVERIFY(StoredValues(layout::hostKeyPath("zulu")).contains("Address=10.0.0.1"));

    QVERIFY(ShowEditor(editor, cmAdd, "AM75", ""));
    SaveTelnetHost(editor, "OTHER", "10.0.0.9");
    QCOMPARE(StoredValues(layout::hostKeyPath("other")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "AM75",
                       layout::PORT, "23", layout::BAUD, "300", layout::ADDRESS, "10.0.0.9"}));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY).size(), 2);
}

// The emulation follows the user from one transport to the other, nothing else does, and the save
// keeps only the values of the transport chosen.
void TestFrmHost::switchingTransportCarriesOnlyTheEmulation() {
    PortsStore store;
    QVERIFY(PutRecord("alpha", {layout::TRANSPORT, "SERIAL", layout::TTY, "AM65", layout::PORT,
                                "/dev/ttyS0", layout::DATA_BITS, "8", layout::BAUD, "300"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    // Chosen without a click of its own, the option still takes the focus.
    const auto choose = [&](const char* option, const char* frame) {
        control<QRadioButton>(editor, option)->click();
        QCOMPARE(ShownFrames(editor), QString(frame));
        QVERIFY(HasFocus(editor, option));
    };
    choose("optTelnet", "fraTelnet");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation"}), QStringList{"AM65"});
    QTest::keyClicks(control<QLineEdit>(editor, "txtTelnetIP"), " myhost "); // stored trimmed
    control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");
    choose("optSerial", "fraSerial");
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialBaud"}), QStringList({"AM75", "300"}));

    // An emulation box without a selection empties the other one too.
    control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    choose("optTelnet", "fraTelnet");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation", "txtTelnetIP", "txtTelnetPort"}),
             QStringList({"", " myhost ", "23"}));
    control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM65G");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::hostKeyPath("alpha")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "AM65G",
                       layout::ADDRESS, "myhost", layout::PORT, "23"}));
}

// The tracing box empties the file name on every change; the port box takes four digits, its
// refused keys dropped before the box sees them; the text boxes take 32 characters of
// Windows-1252 only, typed or pasted, and such names and addresses are stored as they are.
void TestFrmHost::boxesTakeOnlyWhatTheyMayHold() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    QVERIFY(appColour(QPalette::Base) != appColour(QPalette::Button));
    auto* tracing = control<QCheckBox>(editor, "chkTracing");
    auto* traceFile = control<QLineEdit>(editor, "txtTraceFile");
    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(traceFile->isEnabled());
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Base));
    QTest::keyClicks(traceFile, "session.log");
    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(!traceFile->isEnabled() && traceFile->text().isEmpty());
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Button));
    QTest::keyClick(tracing, Qt::Key_Space);                        // from the keyboard as well
    QVERIFY(traceFile->isEnabled() && traceFile->text().isEmpty()); // the name typed is lost

    Press(editor, "optTelnet");
    auto* port = control<QLineEdit>(editor, "txtTelnetPort");
    port->clear();
    QTest::keyClicks(port, "a-1 .2+x3");
    typeText(port, QString::fromUtf8("\u0664\u00b2")); // digits of other scripts are no digits
    QTest::keyClicks(port, "45");
    QCOMPARE(port->text(), QString("1234")); // a fifth digit changes nothing
    QTest::keyClick(port, Qt::Key_Backspace);
    pasteInto(port, "a9"); // pasting passes no key filter; the box itself refuses
    QCOMPARE(port->text(), QString("123"));
    pasteInto(port, "9");

    for (const char* name : {"txtName", "txtTelnetIP", "txtTraceFile"}) {
        auto* box = control<QLineEdit>(editor, name);
        QCOMPARE(box->maxLength(), 32);
        box->clear();
        typeText(box, QString::fromUtf8("Zö\u4e2d"));
        pasteInto(box, QString::fromUtf8("\u03a9€"));
        QCOMPARE(box->text(), QString::fromUtf8("Zö€"));
    }
    QTest::keyClick(port, Qt::Key_Return); // Enter reaches the default button through the filter
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::hostKeyPath("Zö€")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "Zö€", layout::TTY, "AM65",
                       layout::ADDRESS, "Zö€", layout::PORT, "1239"}));
}

// A store that refuses every write: one message, Display returns true, nothing is written. A
// rename whose new record is refused keeps the old record whole. A name the store would take
// for another record's is refused before any write.
void TestFrmHost::refusedSavesAreReportedOnceAndLoseNothing() {
    {
        PortsStore store(/*readOnly=*/true);
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        frmHost editor;
        ModalDialogDriver driver(
            "frmHost", [&](QDialog* shown) { SaveTelnetHost(*shown, "echo", "10.0.0.6"); });
        QVERIFY(editor.Display(cmAdd, "AM65", ""));
        QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
    }
    ObservedScope scope;
    QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
    QVERIFY(ListHostName("alpha\\"));
    const QStringList list = StoredValues(layout::HOSTLIST_KEY);
    const QStringList before = StoredValues(layout::hostKeyPath("alpha"));
    frmHost editor;
    {
        scope->refusedSetValue = layout::ADDRESS;
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        SaveTelnetHost(editor, "beta", "10.0.0.7");
        QVERIFY(editor.Result());
        scope->refusedSetValue.clear();
    }
    QVERIFY(!KeyExists(layout::hostKeyPath("beta")));
    // "alpha\\" names alpha's key itself.
    for (const char* name : {"alpha\\", " a\\b"}) {
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        MessageBoxScript boxes;
        boxes.expect("Please enter a server name without a backslash (\\)", MsgIcon::Exclamation);
        control<QLineEdit>(editor, "txtName")->setText(name);
        Press(editor, "cmdOK");
        QVERIFY(!editor.Result() && editor.isVisible());
        QVERIFY(HasFocus(editor, "txtName"));
    }
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), list);
    QCOMPARE(StoredValues(layout::hostKeyPath("alpha")), before);
    // An imported name holding one can still be renamed; the record its key names keeps its values.
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha\\"));
    SaveTelnetHost(editor, "beta", "10.0.0.7");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1", "beta", "1"}));
    QCOMPARE(StoredValues(layout::hostKeyPath("alpha")), before);
}

// A listed name without its key, as well as a record of an unknown transport, is checked and
// saved as TCP/IP; the key's deletion fails, and the save says so once.
void TestFrmHost::editOfARecordWithoutItsKeyIsCheckedAndSavedAsTelnet() {
    PortsStore store;
    QVERIFY(ListHostName("ghost"));
    QVERIFY(PutRecord("modem", {layout::TRANSPORT, "MODEM"})); // so Hosts itself exists
    frmHost editor;
    for (const char* name : {"modem", "ghost"}) {
        QVERIFY(ShowEditor(editor, cmEdit, "AM65", name));
        QVERIFY(!checked(editor, "optSerial") && !checked(editor, "optTelnet"));
        QCOMPARE(ShownFrames(editor), QString("fraSerial fraTelnet"));
        QVERIFY(
            inFront(control<QWidget>(editor, "fraTelnet"), control<QWidget>(editor, "fraSerial")));
        QCOMPARE(Texts(editor, {"txtName", "cboSerialBaud", "cboSerialEmulation", "txtTelnetPort"}),
                 QStringList({name, "9600", "AM65", "23"}));
        MessageBoxScript boxes;
        boxes.expect("Please enter a hostname or IP address", MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QVERIFY(HasFocus(editor, "txtTelnetIP"));
        QVERIFY(!editor.Result());
    }
    QVERIFY(StoredValues(layout::hostKeyPath("modem")).contains("Transport=MODEM"));

    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::hostKeyPath("ghost")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "AM65",
                       layout::ADDRESS, "10.0.0.8", layout::PORT, "23"}));
    QVERIFY(StoredValues(layout::HOSTLIST_KEY).contains("ghost=1"));
}

// The entry checks: each message with the control that gets the focus, in the order the checks
// run. A refused OK keeps the dialog open and writes nothing; only what the save writes for the
// chosen transport is examined (the other boxes and the other serial lists may be empty).
void TestFrmHost::okChecksTheEntries_data() {
    QTest::addColumn<bool>("telnet");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("traceOrAddress"); // null: tracing off (serial)
    QTest::addColumn<int>("portIndexOrNoPorts"); // serial: -1 none chosen, -2 a machine without
    QTest::addColumn<QString>("tcpPort");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::addColumn<QString>("focus");
    const QString name("Please enter a server name"), port("Please select a communications port"),
        address("Please enter a hostname or IP address");
    const auto row = [](const char* title, bool telnet, const char* name, const char* second,
                        int portIndex, const char* tcpPort, const QString& message,
                        const char* focus) {
        QTest::newRow(title) << telnet << name << QString(second) << portIndex << tcpPort << message
                             << focus;
    };
    // Serial: the name, then the trace file, then the port.
    row("serial blank name", false, "    ", "", -1, "", name, "txtName");
    row("blank trace file", false, "alpha", "   ", -1, "",
        "Please enter a filename for the character trace capture", "txtTraceFile");
    row("no port chosen", false, "alpha", nullptr, -1, "", port, "cboSerialPort");
    row("no port on the machine", false, "alpha", nullptr, -2, "", port, "cboSerialPort");
    row("serial saved", false, "alpha", " alpha.trc ", 1, "", "", nullptr);
    // TCP/IP: the name, then the address, then the port, then the address as typed.
    row("telnet all missing", true, "", "", 0, "", name, "txtName");
    row("blank address", true, "delta", "   ", 0, "", address, "txtTelnetIP");
    row("no tcp port", true, "delta", "10.0.0.1", 0, "", "Please enter a TCP/IP port number",
        "txtTelnetPort");
    row("space before", true, "delta", " 10.0.0.1", 0, "23",
        "Please enter a valid IP address or a hostname", "txtTelnetIP");
    row("port not range-checked", true, "delta", "010.001.000.009", 0, "0000", "", nullptr);
    row("name with a space", true, "my host", "my host", 0, "23", "", nullptr);
}

void TestFrmHost::okChecksTheEntries() {
    QFETCH(bool, telnet);
    QFETCH(QString, name);
    QFETCH(QString, traceOrAddress);
    QFETCH(int, portIndexOrNoPorts);
    QFETCH(QString, tcpPort);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    FakeSysfs sysfs;
    if (portIndexOrNoPorts != -2) {
        sysfs.addPort("ttyS0");
        sysfs.addPort("ttyUSB0");
    }
    ScratchStore store({.readOnly = false, .sysfsRoot = sysfs.root()});
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "", ""));
    for (const char* list :
         {"cboSerialBits", "cboSerialBaud", "cboSerialParity", "cboSerialStop", "cboSerialFlow"}) {
        control<QComboBox>(editor, list)->setCurrentIndex(-1);
    }
    control<QLineEdit>(editor, "txtName")->setText(name);
    control<QLineEdit>(editor, "txtTelnetPort")->setText(tcpPort);
    if (telnet) {
        Press(editor, "optTelnet");
        control<QLineEdit>(editor, "txtTelnetIP")->setText(traceOrAddress);
    } else {
        control<QComboBox>(editor, "cboSerialPort")->setCurrentIndex(qMax(portIndexOrNoPorts, -1));
        if (!traceOrAddress.isNull()) {
            Press(editor, "chkTracing");
            control<QLineEdit>(editor, "txtTraceFile")->setText(traceOrAddress);
        }
    }
    MessageBoxScript boxes;
    if (!message.isEmpty()) {
        boxes.expect(message, zeb::ui::MsgIcon::Exclamation);
    }
    Press(editor, "cmdOK");
    QVERIFY(boxes.done());
    if (!message.isEmpty()) {
        QCOMPARE(boxes.shown().value(0).buttons, zeb::ui::MsgButtons::Ok);
        QVERIFY(HasFocus(editor, qPrintable(focus)));
        QVERIFY(editor.isVisible() && !editor.Result());
        QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
    } else if (telnet) {
        QVERIFY(editor.Result() && editor.isHidden());
        QCOMPARE(StoredValues(layout::hostKeyPath(name.toStdString())),
                 AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "",
                           layout::ADDRESS, traceOrAddress.toStdString(), layout::PORT,
                           tcpPort.toStdString()}));
    } else {
        QVERIFY(editor.Result() && editor.isHidden());
        QCOMPARE(
            StoredValues(layout::hostKeyPath("alpha")),
            AsStored({layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "alpha.trc", layout::TTY, "",
                      layout::PORT, "/dev/ttyUSB0", layout::DATA_BITS, "", layout::BAUD, "",
                      layout::PARITY, "", layout::STOP_BITS, "", layout::FLOW_CONTROL, ""}));
    }
}

QTEST_MAIN(TestFrmHost)
#include "test_frmhost.moc"
