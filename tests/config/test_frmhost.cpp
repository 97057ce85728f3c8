// The host editor: its layout, what it shows when it opens, how its controls react, its entry
// checks, and what it writes to the store on OK (and does not write on Cancel).
#include "test_frmconfig_support.h"

#include "MessageBoxScript.h"
#include "TypeText.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

using namespace frmconfig_test;
using zeb::ui::MsgIcon;

namespace {

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
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));       // the font is fitted as it is shown
    QCOMPARE(editor.minimumSize(), editor.maximumSize()); // fixed border
    const Qt::WindowFlags flags = editor.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    // In tab order: name|caption (labels, frames and buttons)|limit (text boxes).
    const QStringList table =
        QString(
            "lblName|&Server name or alias:; txtName||32; fraTransport|Transport Libraries; "
            "optSerial|Serial &connection; optTelnet|&TCP/IP (Telnet); fraTracing|Tracing; "
            "chkTracing|C&apture character trace; lblTraceFile|&Filename:; txtTraceFile||32; "
            "fraSerial|Serial Configuration; lblSerialEmulation|Terminal &emulation:; "
            "cboSerialEmulation; lblSerialPort|Communications &port:; cboSerialPort; "
            "lblSerialBits|&Data bits:; cboSerialBits; lblSerialBaud|&Baud rate:; cboSerialBaud; "
            "lblSerialParity|&Parity:; cboSerialParity; lblSerialStop|St&op bits:; cboSerialStop; "
            "lblSerialFlow|F&low control:; cboSerialFlow; fraTelnet|TCP/IP (Telnet) Configuration; "
            "lblTelnetEmulation|Terminal emulation:; cboTelnetEmulation; "
            "lblTelnetlIP|&Hostname or IP address:; txtTelnetIP||32; lblTelnetPort|&Port:; "
            "txtTelnetPort||4; cmdOK|OK; cmdCancel|Cancel")
            .split("; ");
    QWidgetList focusable;
    for (qsizetype row = 0; row < table.size(); ++row) {
        const QStringList entry = table[row].split('|');
        QWidget* widget = control<QWidget>(editor, qPrintable(entry[0]));
        const auto* label = qobject_cast<QLabel*>(widget);
        const auto* frame = qobject_cast<QGroupBox*>(widget);
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (label || frame || button) {
            QCOMPARE(label   ? label->text()
                     : frame ? frame->title()
                             : button->text(),
                     entry.value(1));
            // The font is chosen so that no caption is cut off (a frame's title has its width).
            QVERIFY2(frame || qobject_cast<QPushButton*>(widget) ||
                         widget->sizeHint().width() <= widget->width(),
                     qPrintable(entry[0]));
        }
        if (label) { // each label names the control that follows it in the table
            QCOMPARE(label->buddy(),
                     control<QWidget>(editor, qPrintable(table[row + 1].section('|', 0, 0))));
        } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(box->maxLength(), entry.value(2).toInt());
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            QVERIFY(!list->isEditable()); // drop-down lists
        }
        if (widget->focusPolicy() & Qt::TabFocus) {
            focusable << widget;
        }
    }
    // The tab order follows the table.
    QCOMPARE(focusable.size(), 17);
    QWidgetList chain{focusable.first()};
    for (QWidget* step = chain.first()->nextInFocusChain(); step != chain.first();
         step = step->nextInFocusChain()) {
        if (focusable.contains(step)) {
            chain << step;
        }
    }
    QCOMPARE(chain, focusable);
    QVERIFY(control<QPushButton>(editor, "cmdOK")->isDefault());
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
        QVERIFY(control<QGroupBox>(dialog, "fraSerial")->isVisible());
        QVERIFY(control<QGroupBox>(dialog, "fraTelnet")->isHidden());
        // The port is offered, not chosen.
        QCOMPARE(Texts(dialog, {"cboSerialEmulation", "cboTelnetEmulation", "cboSerialBits",
                                "cboSerialBaud", "cboSerialParity", "cboSerialStop",
                                "cboSerialFlow", "cboSerialPort", "txtTelnetPort", "txtTelnetIP",
                                "txtName", "txtTraceFile"}),
                 QStringList({"AM75G", "AM75G", "8", "9600", "None", "1", "Hardware", "", "23", "",
                              "", ""}));
        QCOMPARE(control<QComboBox>(dialog, "cboSerialPort")->count(), 2);
        auto* traceFile = control<QLineEdit>(dialog, "txtTraceFile");
        QVERIFY(!traceFile->isEnabled());
        QCOMPARE(baseOf(traceFile), appColour(QPalette::Button));
        // The transport's focus request came while the dialog was being filled and is dropped.
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(dialog, "txtName"));
        shown->close(); // the close box writes nothing, nor does Esc below (Cancel: test_frmconfig)
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
    QVERIFY(control<QGroupBox>(editor, "fraTelnet")->isVisible());
    QVERIFY(control<QGroupBox>(editor, "fraSerial")->isHidden());
    const std::initializer_list<const char*> boxes{
        "txtName",      "cboTelnetEmulation", "txtTelnetIP",  "txtTelnetPort",
        "txtTraceFile", "cboSerialEmulation", "cboSerialBaud"};
    QCOMPARE(Texts(editor, boxes),
             QStringList({"bravo", "AM65", "10.1.2.3", "2323", "bravo.trc", "", "9600"}));
    QVERIFY(checked(editor, "chkTracing"));
    QCOMPARE(baseOf(control<QWidget>(editor, "txtTraceFile")), appColour(QPalette::Base));

    editor.load(cmEdit, "", "charlie"); // "7" is no emulation
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "chkTracing"));
    QCOMPARE(Texts(editor, boxes), QStringList({"charlie", "", "", "23", "", "", "9600"}));

    // A 40-character name written by another tool is shown whole, so saving keeps it.
    const std::string longName(40, 'n');
    QVERIFY(PutRecord(longName, {layout::TRANSPORT, "TELNET", layout::ADDRESS, "h"}));
    editor.load(cmEdit, "", QString::fromStdString(longName));
    QCOMPARE(Texts(editor, {"txtName"}).first(), QString::fromStdString(longName));
    MessageBoxScript messages;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(layout::hostKeyPath(longName), layout::ADDRESS), QString("h"));
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
    QVERIFY(control<QGroupBox>(editor, "fraTelnet")->isHidden());
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialPort", "cboSerialBits", "cboSerialBaud",
                            "cboSerialParity", "cboSerialStop", "cboSerialFlow"}),
             QStringList({"AM75G", "/dev/ttyUSB0", "7", "", "Even", "1.5", "Xon / Xoff"}));
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
    QCOMPARE(StoredText(layout::hostKeyPath("zulu"), layout::ADDRESS), QString("10.0.0.1"));

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
    const auto choose = [&](const char* option, const char* shown, const char* hidden) {
        auto* button = control<QRadioButton>(editor, option);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(control<QGroupBox>(editor, shown)->isVisible());
        QVERIFY(control<QGroupBox>(editor, hidden)->isHidden());
        QCOMPARE(QApplication::focusWidget(), button);
    };
    choose("optTelnet", "fraTelnet", "fraSerial");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation"}), QStringList{"AM65"});
    QTest::keyClicks(control<QLineEdit>(editor, "txtTelnetIP"), " myhost "); // stored trimmed
    control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");
    choose("optSerial", "fraSerial", "fraTelnet");
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialBaud"}), QStringList({"AM75", "300"}));

    // An emulation box without a selection empties the other one too.
    control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    choose("optTelnet", "fraTelnet", "fraSerial");
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
// refused keys dropped before the box sees them; the text boxes take only Windows-1252 (the rule
// itself: test_text_rules), typed or pasted, and such names and addresses are stored as they are.
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
    QCOMPARE(baseOf(traceFile), appColour(QPalette::Base));
    QTest::keyClicks(traceFile, "session.log");
    QTest::mouseClick(tracing, Qt::LeftButton);
    QVERIFY(!traceFile->isEnabled() && traceFile->text().isEmpty());
    QCOMPARE(baseOf(traceFile), appColour(QPalette::Button));
    QTest::keyClick(tracing, Qt::Key_Space);                        // from the keyboard as well
    QVERIFY(traceFile->isEnabled() && traceFile->text().isEmpty()); // the name typed is lost

    QTest::mouseClick(control<QRadioButton>(editor, "optTelnet"), Qt::LeftButton);
    auto* port = control<QLineEdit>(editor, "txtTelnetPort");
    port->clear();
    QSignalSpy rejectedByBox(port, &QLineEdit::inputRejected);
    QTest::keyClicks(port, "a-1 .2+x3");
    QCOMPARE(rejectedByBox.count(), 0);
    typeText(port, QString::fromUtf8("\u0664\u00b2")); // digits of other scripts are no digits
    QTest::keyClicks(port, "45");
    QCOMPARE(port->text(), QString("1234")); // a fifth digit changes nothing
    QTest::keyClick(port, Qt::Key_Backspace);
    pasteInto(port, "a9"); // pasting passes no key filter; the box itself refuses
    QCOMPARE(port->text(), QString("123"));
    pasteInto(port, "9");

    for (const char* name : {"txtName", "txtTelnetIP", "txtTraceFile"}) {
        auto* box = control<QLineEdit>(editor, name);
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

// A store that refuses every write: one message, Display returns true, and nothing is lost or
// half-written. A name the store would take for another record's is refused before any write.
void TestFrmHost::refusedSavesAreReportedOnceAndLoseNothing() {
    {
        PortsStore store(/*readOnly=*/true);
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        frmHost editor;
        bool closedByOk = false;
        ModalDialogDriver driver("frmHost", [&](QDialog* shown) {
            SaveTelnetHost(*shown, "echo", "10.0.0.6");
            closedByOk = shown->isHidden();
        });
        QVERIFY(editor.Display(cmAdd, "AM65", ""));
        QVERIFY(closedByOk);
        QCOMPARE(boxes.shown().first().buttons, zeb::ui::MsgButtons::Ok);
        QVERIFY(!KeyExists(layout::HOSTLIST_KEY));
    }
    // A name holding a backslash names another record's key ("alpha\\" is alpha itself): it is
    // refused before anything is written. An imported one can still be renamed, and the record
    // whose key it names keeps its values.
    PortsStore store;
    QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
    QVERIFY(ListHostName("alpha\\"));
    const QStringList before = StoredValues(layout::hostKeyPath("alpha"));
    frmHost editor;
    for (const char* name : {"alpha\\", " a\\b"}) {
        QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
        MessageBoxScript boxes;
        boxes.expect("Please enter a server name without a backslash (\\)", MsgIcon::Exclamation);
        control<QLineEdit>(editor, "txtName")->setText(name);
        Press(editor, "cmdOK");
        QVERIFY(!editor.Result() && editor.isVisible());
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(editor, "txtName"));
    }
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1", "alpha\\", "1"}));
    QCOMPARE(StoredValues(layout::hostKeyPath("alpha")), before);
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
        QVERIFY(ShowEditor(editor, cmEdit, "", name));
        QVERIFY(!checked(editor, "optSerial") && !checked(editor, "optTelnet"));
        QVERIFY(control<QGroupBox>(editor, "fraSerial")->isVisible());
        QVERIFY(
            inFront(control<QWidget>(editor, "fraTelnet"), control<QWidget>(editor, "fraSerial")));
        QCOMPARE(Texts(editor, {"txtName", "cboSerialBaud", "cboSerialEmulation", "txtTelnetPort"}),
                 QStringList({name, "9600", "", "23"}));
        MessageBoxScript boxes;
        boxes.expect("Please enter a hostname or IP address", MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(editor, "txtTelnetIP"));
        QVERIFY(!editor.Result());
    }
    QCOMPARE(StoredText(layout::hostKeyPath("modem"), layout::TRANSPORT), QString("MODEM"));

    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::hostKeyPath("ghost")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "",
                       layout::ADDRESS, "10.0.0.8", layout::PORT, "23"}));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "ghost"), QString("1"));
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
        address("Please enter a hostname or IP address"),
        badAddress("Please enter a valid IP address or a hostname");
    const auto row = [](const char* title, bool telnet, const char* name, const char* second,
                        int portIndex, const char* tcpPort, const QString& message,
                        const char* focus) {
        QTest::newRow(title) << telnet << name << QString(second) << portIndex << tcpPort << message
                             << focus;
    };
    // Serial: the name, then the trace file, then the port; all three missing names the name.
    row("serial all missing", false, "", "", -1, "", name, "txtName");
    row("serial blank name", false, "    ", "x", 1, "", name, "txtName");
    row("blank trace file", false, "alpha", "   ", 1, "",
        "Please enter a filename for the character trace capture", "txtTraceFile");
    row("no port chosen", false, "alpha", nullptr, -1, "", port, "cboSerialPort");
    row("no port on the machine", false, "alpha", nullptr, -2, "", port, "cboSerialPort");
    row("serial saved", false, "alpha", " alpha.trc ", 1, "", "", nullptr);
    // TCP/IP: the name, then the address (empty or not dotted right, as typed), then the port.
    row("telnet all missing", true, "", "", 0, "", name, "txtName");
    row("no address", true, "delta", "", 0, "", address, "txtTelnetIP");
    row("blank address", true, "delta", "   ", 0, "1", address, "txtTelnetIP");
    row("no tcp port", true, "delta", "10.0.0.1", 0, "", "Please enter a TCP/IP port number",
        "txtTelnetPort");
    row("space before", true, "delta", " 10.0.0.1", 0, "23", badAddress, "txtTelnetIP");
    row("dotted name", true, "delta", "mail.example.com", 0, "23", badAddress, "txtTelnetIP");
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
        QCOMPARE(boxes.shown().first().buttons, zeb::ui::MsgButtons::Ok);
        QCOMPARE(QApplication::focusWidget(), control<QWidget>(editor, qPrintable(focus)));
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
