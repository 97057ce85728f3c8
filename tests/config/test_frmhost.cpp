// The host editor: its layout, what it shows when it opens, how its controls react, its entry
// checks, and what it writes to the store on OK (and does not write on Cancel).
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "TypeText.h"
#include "frmHost.h"

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

// Loads the host editor as Display does and shows it, active, without the modal loop.
[[nodiscard]] bool ShowEditor(frmHost& editor, int mode, const QString& defaultTTY,
                              const QString& name) {
    editor.load(mode, defaultTTY, name);
    editor.show();
    editor.activateWindow();
    return QTest::qWaitForWindowActive(&editor);
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
    void savesWhatIsShownUnderTheNameAsTyped();
    void boxesTakeOnlyWhatTheyMayHold();
    void refusedSavesAreReportedOnceAndLoseNothing();
    void editOfARecordWithoutItsKeyIsCheckedAndSavedAsTelnet();
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
        shown->close(); // the close box writes nothing
    });
    QVERIFY(!editor.Display(cmAdd, "AM75G", ""));
    QVERIFY(driver.ran());
    // An empty default, or one not in the list, selects no emulation at all.
    for (const char* defaultTTY : {"", "am75g", "VT100"}) {
        editor.load(cmAdd, defaultTTY, "");
        QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboTelnetEmulation"}),
                 QStringList({"", ""}));
    }
    QCOMPARE(control<QComboBox>(editor, "cboSerialPort")->count(), 2); // refilled, not added to
    QVERIFY(StoredValues(layout::HOSTLIST_KEY).isEmpty());
}

// What can be read is shown (emulation names whatever their letter case); what cannot be read,
// a value too long or of another type, leaves the default rather than what a read before left.
void TestFrmHost::editModeLoadsWhatIsReadableAndDefaultsTheRest() {
    PortsStore store;
    QVERIFY(PutRecord("bravo", {"Transport=telnet", "TraceFile=bravo.trc", "TTY=am65",
                                "Address=10.1.2.3", "Port=2323", "Baud=300"}));
    const std::string tooLong(64, 'x'); // one character more than a read can take
    QVERIFY(
        PutRecord("charlie", {"Transport=TELNET", "TraceFile=" + tooLong, "Address=" + tooLong}));
    CRegKey key; // a value of another type than text
    QCOMPARE(key.Create(HKEY_LOCAL_MACHINE, layout::hostKeyPath("charlie"), 0, WRITER_ACCESS), 0);
    QCOMPARE(key.SetValue(std::int32_t(7), layout::TTY), 0);
    key.CloseKey();
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "bravo"));
    QCOMPARE(editor.windowTitle(), QString("Edit host configuration"));
    QVERIFY(checked(editor, "optTelnet") && checked(editor, "chkTracing"));
    QCOMPARE(ShownFrames(editor), QString("fraTelnet"));
    const std::initializer_list<const char*> boxes{
        "txtName",      "cboTelnetEmulation", "txtTelnetIP",  "txtTelnetPort",
        "txtTraceFile", "cboSerialEmulation", "cboSerialBaud"};
    QCOMPARE(Texts(editor, boxes),
             QStringList({"bravo", "AM65", "10.1.2.3", "2323", "bravo.trc", "", "9600"}));
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Base));
    editor.load(cmEdit, "", "charlie"); // "7" is no emulation
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "chkTracing"));
    QCOMPARE(Texts(editor, boxes), QStringList({"charlie", "", "", "23", "", "", "9600"}));

    // A 40-character name written by another tool is shown whole, so saving keeps it.
    const std::string longName(40, 'n');
    QVERIFY(PutRecord(longName, {"Transport=TELNET", "Address=h"}));
    editor.load(cmEdit, "", QString::fromStdString(longName));
    MessageBoxScript messages;
    Press(editor, "cmdOK");
    QVERIFY(StoredRecord(longName).contains("Address=h"));
}

// A record is saved as shown: list entries not in the list are stored empty, the emulation follows
// the user from one transport to the other (nothing else does), only the chosen transport's values
// are kept, and a rename leaves nothing under the old name. Adding over an existing name (any
// letter case) keeps its other values and its one HostList entry.
void TestFrmHost::savesWhatIsShownUnderTheNameAsTyped() {
    PortsStore store;
    QVERIFY(PutRecord("alpha",
                      {"Transport=Serial", "TTY=am75g", "Port=/dev/ttyusb0", "DataBits=7",
                       "Baud=115200", "Parity=even", "StopBits=1.5", "FlowControl=xon / xoff"}));
    QVERIFY(PutRecord("other", {"Transport=SERIAL", "TraceFile=old.trc", "Baud=300"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    QCOMPARE(ShownFrames(editor), QString("fraSerial"));
    Press(editor, "cmdOK");
    QVERIFY(editor.Result() && editor.isHidden());
    QCOMPARE(StoredRecord("alpha"),
             QStringList({"Transport=SERIAL", "TraceFile=", "TTY=AM75G", "Port=/dev/ttyUSB0",
                          "DataBits=7", "Baud=", "Parity=Even", "StopBits=1.5",
                          "FlowControl=Xon / Xoff"}));

    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    // Chosen without a click of its own, the option still takes the focus.
    const auto choose = [&](const char* option, const char* frame) {
        control<QRadioButton>(editor, option)->click();
        QCOMPARE(ShownFrames(editor), QString(frame));
        QVERIFY(HasFocus(editor, option));
    };
    choose("optTelnet", "fraTelnet");
    QTest::keyClicks(control<QLineEdit>(editor, "txtTelnetIP"), " myhost "); // stored trimmed
    control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");
    choose("optSerial", "fraSerial");
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialBits"}), QStringList({"AM75", "7"}));
    control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    choose("optTelnet", "fraTelnet");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation", "txtTelnetIP", "txtTelnetPort"}),
             QStringList({"", " myhost ", "23"}));
    control<QLineEdit>(editor, "txtName")->setText("  zulu ");
    Press(editor, "cmdOK");
    QCOMPARE(StoredRecord("zulu"),
             QStringList({"Transport=TELNET", "TraceFile=", "TTY=", "Address=myhost", "Port=23"}));
    QVERIFY(StoredRecord("alpha").isEmpty());

    QVERIFY(ShowEditor(editor, cmAdd, "AM75", ""));
    SaveTelnetHost(editor, "OTHER", "10.0.0.9");
    QCOMPARE(StoredRecord("other"), QStringList({"Transport=TELNET", "TraceFile=", "Baud=300",
                                                 "TTY=AM75", "Address=10.0.0.9", "Port=23"}));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QStringList({"other=1", "zulu=1"}));
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
    auto* traceFile = control<QLineEdit>(editor, "txtTraceFile");
    Press(editor, "chkTracing");
    QVERIFY(traceFile->isEnabled());
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Base));
    QTest::keyClicks(traceFile, "session.log");
    Press(editor, "chkTracing");
    QVERIFY(!traceFile->isEnabled() && traceFile->text().isEmpty());
    QCOMPARE(baseOf(editor, "txtTraceFile"), appColour(QPalette::Button));
    QTest::keyClick(control<QWidget>(editor, "chkTracing"), Qt::Key_Space);
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
    }
    QTest::keyClick(port, Qt::Key_Return); // Enter reaches the default button through the filter
    QCOMPARE(StoredRecord("Zö€"), QStringList({"Transport=TELNET", "TraceFile=Zö€", "TTY=AM65",
                                               "Address=Zö€", "Port=1239"}));
}

// A store that refuses one value of the new record: the failure is reported once, the dialog
// closes with OK's result, and nothing is lost (the rename keeps the old record whole). A name the
// store would take for another record's is refused before any write; an imported one can still be
// renamed, and the record whose key it names keeps its values.
void TestFrmHost::refusedSavesAreReportedOnceAndLoseNothing() {
    BackendScope<RefusingStore> scope;
    QVERIFY(PutRecord("alpha", {"Transport=TELNET", "Address=10.0.0.1"}));
    QVERIFY(ListHostName("alpha\\"));
    const QStringList before = StoredRecord("alpha");
    frmHost editor;
    {
        scope->refused = layout::ADDRESS;
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        SaveTelnetHost(editor, "beta", "10.0.0.7");
        QVERIFY(editor.Result() && editor.isHidden()); // what Display returns once it closed
        scope->refused.clear();
    }
    for (const char* name : {"alpha\\", " a\\b"}) {
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        MessageBoxScript boxes;
        boxes.expect("Please enter a server name without a backslash (\\)", MsgIcon::Exclamation);
        control<QLineEdit>(editor, "txtName")->setText(name);
        Press(editor, "cmdOK");
        QVERIFY(!editor.Result() && HasFocus(editor, "txtName"));
    }
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QStringList({"alpha=1", "alpha\\=1"}));
    QCOMPARE(StoredRecord("alpha"), before);
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha\\"));
    SaveTelnetHost(editor, "beta", "10.0.0.7");
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QStringList({"alpha=1", "beta=1"}));
    QCOMPARE(StoredRecord("alpha"), before);
}

// A listed name without its key, as well as a record of an unknown transport, keeps the defaults
// and is checked and saved as TCP/IP; the key's deletion fails, and the save says so once.
void TestFrmHost::editOfARecordWithoutItsKeyIsCheckedAndSavedAsTelnet() {
    PortsStore store;
    QVERIFY(ListHostName("ghost"));
    QVERIFY(PutRecord("modem", {"Transport=MODEM"}));
    frmHost editor;
    for (const char* name : {"modem", "ghost"}) {
        QVERIFY(ShowEditor(editor, cmEdit, "AM65", name));
        QVERIFY(!checked(editor, "optSerial") && !checked(editor, "optTelnet"));
        QCOMPARE(ShownFrames(editor), QString("fraSerial fraTelnet"));
        QVERIFY(
            inFront(control<QWidget>(editor, "fraTelnet"), control<QWidget>(editor, "fraSerial")));
        QCOMPARE(Texts(editor, {"cboSerialBaud", "cboSerialEmulation", "txtTelnetPort"}),
                 QStringList({"9600", "AM65", "23"}));
        MessageBoxScript boxes;
        boxes.expect("Please enter a hostname or IP address", MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QVERIFY(!editor.Result() && HasFocus(editor, "txtTelnetIP"));
    }
    QCOMPARE(StoredRecord("modem"), QStringList{"Transport=MODEM"});
    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QCOMPARE(StoredRecord("ghost"), QStringList({"Transport=TELNET", "TraceFile=", "TTY=AM65",
                                                 "Address=10.0.0.8", "Port=23"}));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), QStringList({"modem=1", "ghost=1"}));
}

// The entry checks in the order they run, each message with the control that gets the focus; a
// refused OK keeps the dialog open and writes nothing. Only what the save writes for the chosen
// transport is examined: the serial lists may be left empty.
void TestFrmHost::okChecksTheEntries() {
    const QString name("Please enter a server name"), port("Please select a communications port"),
        address("Please enter a hostname or IP address");
    const struct {
        const char* name;
        const char* trace;   // null: tracing off
        int serialPort;      // -1 none chosen
        const char* address; // null: serial
        const char* tcpPort;
        QString message; // empty: saved
        const char* focus;
    } entries[] = {
        {"   ", "", -1, nullptr, "", name, "txtName"},
        {"alpha", "  ", -1, nullptr, "", "Please enter a filename for the character trace capture",
         "txtTraceFile"},
        {"alpha", nullptr, -1, nullptr, "", port, "cboSerialPort"},
        {"alpha", " a.trc ", 1, nullptr, "", "", nullptr},
        {"", nullptr, 0, "", "", name, "txtName"},
        {"delta", nullptr, 0, "   ", "", address, "txtTelnetIP"},
        {"delta", nullptr, 0, "10.0.0.1", "", "Please enter a TCP/IP port number", "txtTelnetPort"},
        {"delta", nullptr, 0, " 10.0.0.1", "23", "Please enter a valid IP address or a hostname",
         "txtTelnetIP"},
        {"my host", nullptr, 0, "010.001.000.009", "0000", "", nullptr},
    };
    for (const auto& entry : entries) {
        PortsStore store;
        frmHost editor;
        QVERIFY(ShowEditor(editor, cmAdd, "", ""));
        for (const char* list : {"cboSerialBits", "cboSerialBaud", "cboSerialParity",
                                 "cboSerialStop", "cboSerialFlow"}) {
            control<QComboBox>(editor, list)->setCurrentIndex(-1);
        }
        control<QLineEdit>(editor, "txtName")->setText(entry.name);
        control<QLineEdit>(editor, "txtTelnetPort")->setText(entry.tcpPort);
        control<QComboBox>(editor, "cboSerialPort")->setCurrentIndex(entry.serialPort);
        if (entry.trace) {
            Press(editor, "chkTracing");
            control<QLineEdit>(editor, "txtTraceFile")->setText(entry.trace);
        }
        if (entry.address) {
            Press(editor, "optTelnet");
            control<QLineEdit>(editor, "txtTelnetIP")->setText(entry.address);
        }
        MessageBoxScript boxes;
        if (!entry.message.isEmpty()) {
            boxes.expect(entry.message, zeb::ui::MsgIcon::Exclamation);
        }
        Press(editor, "cmdOK");
        if (entry.focus) {
            QVERIFY2(HasFocus(editor, entry.focus) && editor.isVisible(), entry.focus);
            QVERIFY(StoredValues(layout::HOSTLIST_KEY).isEmpty());
        } else {
            QVERIFY(editor.Result());
            QCOMPARE(
                StoredRecord(entry.name).mid(1, 4),
                entry.address
                    ? QStringList({"TraceFile=", "TTY=", "Address=010.001.000.009", "Port=0000"})
                    : QStringList({"TraceFile=a.trc", "TTY=", "Port=/dev/ttyUSB0", "DataBits="}));
        }
    }
}

QTEST_MAIN(TestFrmHost)
#include "test_frmhost.moc"
