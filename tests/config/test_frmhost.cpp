// The host editor: its layout, what it shows when it opens, how its controls react, and what it
// writes to the store on OK (and does not write on Cancel).
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

bool checked(const QWidget& editor, const char* button) {
    return Control<QAbstractButton>(editor, button)->isChecked();
}

} // namespace

class TestFrmHost : public QObject {
    Q_OBJECT

private slots:
    void layoutMatchesItsTable();
    void labelsGiveTheirFieldsAccessKeys();
    void addModeOpensWithTheDefaults();
    void editModeLoadsWhatIsReadableAndDefaultsTheRest();
    void serialRecordWithAnUnknownBaudRateIsSavedWithoutOne();
    void renamingLeavesNothingUnderTheOldName();
    void addingOverAnExistingNameKeepsItsOtherValues();
    void switchingTransportCarriesOnlyTheEmulation();
    void tracingBoxEmptiesTheFileNameOnEveryChange();
    void portBoxTakesOnlyFourDigits();
    void textBoxesTakeOnlyWhatTheStoreCanHold();
    void backslashInANameMakesNestedKeys();
    void refusedWritesAreReportedOnceAndDisplayReturnsTrue();
    void aNameTheStoreRefusesLosesNothing();
    void editOfARecordWithoutItsKeyIsCheckedAndSavedAsTelnet();
    void cancelAndCloseBoxWriteNothingAndReturnFalse();
};

void TestFrmHost::layoutMatchesItsTable() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", "")); // the font is fitted as it is shown
    QCOMPARE(editor.size(), QSize(7695 / 15, 4575 / 15));
    QCOMPARE(editor.minimumSize(), editor.maximumSize()); // fixed border
    const Qt::WindowFlags flags = editor.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    const struct {
        const char *name, *kind, *parent, *caption; // caption: labels, frames and buttons
        int left, top, width, height;
        int limit = 0; // text boxes
    } table[] = {
        {"lblName", "QLabel", "frmHost", "&Server name or alias:", 300, 180, 1695, 315},
        {"txtName", "QLineEdit", "frmHost", "", 2040, 120, 2235, 315, 32},
        {"fraTransport", "QGroupBox", "frmHost", "Transport Libraries", 120, 600, 2535, 1395},
        {"optSerial", "QRadioButton", "fraTransport", "Serial &connection", 300, 420, 1695, 315},
        {"optTelnet", "QRadioButton", "fraTransport", "&TCP/IP (Telnet)", 300, 840, 1695, 315},
        {"fraTracing", "QGroupBox", "frmHost", "Tracing", 120, 2160, 2535, 1875},
        {"chkTracing", "QCheckBox", "fraTracing", "C&apture character trace", 300, 480, 2055, 315},
        {"lblTraceFile", "QLabel", "fraTracing", "&Filename:", 300, 960, 1695, 315},
        {"txtTraceFile", "QLineEdit", "fraTracing", "", 300, 1320, 2055, 315, 32},
        {"fraSerial", "QGroupBox", "frmHost", "Serial Configuration", 2820, 600, 4755, 3435},
        {"lblSerialEmulation", "QLabel", "fraSerial", "Terminal &emulation:", 300, 420, 1695, 315},
        {"cboSerialEmulation", "QComboBox", "fraSerial", "", 2160, 360, 2235, 315},
        {"lblSerialPort", "QLabel", "fraSerial", "Communications &port:", 300, 840, 1695, 315},
        {"cboSerialPort", "QComboBox", "fraSerial", "", 2160, 780, 2235, 315},
        {"lblSerialBits", "QLabel", "fraSerial", "&Data bits:", 300, 1260, 1695, 315},
        {"cboSerialBits", "QComboBox", "fraSerial", "", 2160, 1200, 2235, 315},
        {"lblSerialBaud", "QLabel", "fraSerial", "&Baud rate:", 300, 1680, 1695, 315},
        {"cboSerialBaud", "QComboBox", "fraSerial", "", 2160, 1620, 2235, 315},
        {"lblSerialParity", "QLabel", "fraSerial", "&Parity:", 300, 2100, 1695, 315},
        {"cboSerialParity", "QComboBox", "fraSerial", "", 2160, 2040, 2235, 315},
        {"lblSerialStop", "QLabel", "fraSerial", "St&op bits:", 300, 2520, 1695, 315},
        {"cboSerialStop", "QComboBox", "fraSerial", "", 2160, 2460, 2235, 315},
        {"lblSerialFlow", "QLabel", "fraSerial", "F&low control:", 300, 2940, 1695, 315},
        {"cboSerialFlow", "QComboBox", "fraSerial", "", 2160, 2880, 2235, 315},
        {"fraTelnet", "QGroupBox", "frmHost", "TCP/IP (Telnet) Configuration", 2820, 600, 4755,
         3435},
        {"lblTelnetEmulation", "QLabel", "fraTelnet", "Terminal emulation:", 300, 420, 1695, 315},
        {"cboTelnetEmulation", "QComboBox", "fraTelnet", "", 2160, 360, 2235, 315},
        {"lblTelnetlIP", "QLabel", "fraTelnet", "&Hostname or IP address:", 300, 840, 1815, 315},
        {"txtTelnetIP", "QLineEdit", "fraTelnet", "", 2160, 780, 2235, 315, 32},
        {"lblTelnetPort", "QLabel", "fraTelnet", "&Port:", 300, 1260, 1755, 315},
        {"txtTelnetPort", "QLineEdit", "fraTelnet", "", 2160, 1200, 915, 315, 4},
        {"cmdOK", "QPushButton", "frmHost", "OK", 5280, 4140, 1095, 315},
        {"cmdCancel", "QPushButton", "frmHost", "Cancel", 6480, 4140, 1095, 315},
    };
    QWidgetList focusable;
    for (const auto& control : table) {
        QWidget* widget = Control<QWidget>(editor, control.name);
        QCOMPARE(widget->metaObject()->className(), control.kind);
        QCOMPARE(widget->parentWidget()->objectName(), QString(control.parent));
        QCOMPARE(widget->geometry(), QRect(control.left / 15, control.top / 15, control.width / 15,
                                           control.height / 15));
        if (qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget) ||
            qobject_cast<QRadioButton*>(widget)) {
            // The font is chosen so that no caption is cut off.
            QVERIFY2(widget->sizeHint().width() <= widget->width(), control.name);
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), QString(control.caption));
            // Each label names the control that follows it in the table.
            QCOMPARE(label->buddy(), Control<QWidget>(editor, (&control)[1].name));
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            QCOMPARE(frame->title(), QString(control.caption));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), QString(control.caption));
        } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(box->maxLength(), control.limit);
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
    QVERIFY(Control<QPushButton>(editor, "cmdOK")->isDefault());
}

// Screen readers name each field by its label (the buddy the layout test checks) through Qt.
void TestFrmHost::labelsGiveTheirFieldsAccessKeys() {
    PortsStore store;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    const auto pressAlt = [&](Qt::Key key) { QTest::keyClick(&editor, key, Qt::AltModifier); };
    pressAlt(Qt::Key_B);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "cboSerialBaud"));
    pressAlt(Qt::Key_S);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtName"));
    pressAlt(Qt::Key_T);
    QTRY_VERIFY(checked(editor, "optTelnet")); // an animated click
    pressAlt(Qt::Key_H);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtTelnetIP"));
}

void TestFrmHost::addModeOpensWithTheDefaults() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    ModalDialogDriver driver("frmHost", [](QDialog* shown) {
        QVERIFY(QTest::qWaitForWindowActive(shown));
        const QWidget& dialog = *shown;
        QCOMPARE(dialog.windowTitle(), QString("Add host configuration"));
        QVERIFY(checked(dialog, "optSerial"));
        QVERIFY(Control<QGroupBox>(dialog, "fraSerial")->isVisible());
        QVERIFY(Control<QGroupBox>(dialog, "fraSerial")->isEnabled());
        QVERIFY(Control<QGroupBox>(dialog, "fraTelnet")->isHidden());
        QVERIFY(
            inFront(Control<QWidget>(dialog, "fraSerial"), Control<QWidget>(dialog, "fraTelnet")));
        // The port is offered, not chosen.
        QCOMPARE(Texts(dialog, {"cboSerialEmulation", "cboTelnetEmulation", "cboSerialBits",
                                "cboSerialBaud", "cboSerialParity", "cboSerialStop",
                                "cboSerialFlow", "cboSerialPort", "txtTelnetPort", "txtTelnetIP",
                                "txtName", "txtTraceFile"}),
                 QStringList({"AM75G", "AM75G", "8", "9600", "None", "1", "Hardware", "", "23", "",
                              "", ""}));
        QCOMPARE(Control<QComboBox>(dialog, "cboSerialPort")->count(), 2);
        auto* traceFile = Control<QLineEdit>(dialog, "txtTraceFile");
        QVERIFY(!checked(dialog, "chkTracing"));
        QVERIFY(!traceFile->isEnabled());
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
    {
        CRegKey key; // a value of another type than text
        QCOMPARE(key.Create(HKEY_LOCAL_MACHINE, HostKey("charlie"), 0, WRITER_ACCESS), 0);
        QCOMPARE(key.SetValue(std::int32_t(7), layout::TTY), 0);
        key.CloseKey();
    }
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "bravo"));
    QCOMPARE(editor.windowTitle(), QString("Edit host configuration"));
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "optSerial"));
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isVisible());
    QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isHidden());
    const std::initializer_list<const char*> boxes{
        "txtName",      "cboTelnetEmulation", "txtTelnetIP",  "txtTelnetPort",
        "txtTraceFile", "cboSerialEmulation", "cboSerialBaud"};
    QCOMPARE(Texts(editor, boxes),
             QStringList({"bravo", "AM65", "10.1.2.3", "2323", "bravo.trc", "", "9600"}));
    QVERIFY(checked(editor, "chkTracing"));
    QVERIFY(Control<QWidget>(editor, "txtTraceFile")->isEnabled());
    QCOMPARE(baseOf(Control<QWidget>(editor, "txtTraceFile")), appColour(QPalette::Base));

    editor.Load(cmEdit, "", "charlie"); // "7" is no emulation
    QVERIFY(checked(editor, "optTelnet") && !checked(editor, "chkTracing"));
    QCOMPARE(Texts(editor, boxes), QStringList({"charlie", "", "", "23", "", "", "9600"}));

    // A 40-character name written by another tool is shown whole, so saving keeps it.
    const std::string longName(40, 'n');
    QVERIFY(PutRecord(longName, {layout::TRANSPORT, "TELNET", layout::ADDRESS, "h"}));
    editor.Load(cmEdit, "", QString::fromStdString(longName));
    QCOMPARE(Texts(editor, {"txtName"}).first(), QString::fromStdString(longName));
    MessageBoxScript messages;
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey(longName), layout::ADDRESS), QString("h"));
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
    QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isHidden());
    const QStringList shown{"AM75G", "/dev/ttyUSB0", "7", "", "Even", "1.5", "Xon / Xoff"};
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialPort", "cboSerialBits", "cboSerialBaud",
                            "cboSerialParity", "cboSerialStop", "cboSerialFlow"}),
             shown);

    Press(editor, "cmdOK");
    QVERIFY(editor.Result() && editor.isHidden());
    QCOMPARE(StoredValues(HostKey("alpha")),
             AsStored({layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "", layout::TTY, "AM75G",
                       layout::PORT, "/dev/ttyUSB0", layout::DATA_BITS, "7", layout::BAUD, "",
                       layout::PARITY, "Even", layout::STOP_BITS, "1.5", layout::FLOW_CONTROL,
                       "Xon / Xoff"}));
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1"}));
}

void TestFrmHost::renamingLeavesNothingUnderTheOldName() {
    PortsStore store;
    QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
    QVERIFY(PutRecord("other", {layout::TRANSPORT, "TELNET"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmEdit, "", "alpha"));
    auto* name = Control<QLineEdit>(editor, "txtName");
    name->clear();
    QTest::keyClicks(name, "  zulu ");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"other", "1", "zulu", "1"}));
    QVERIFY(!KeyExists(HostKey("alpha")));
    QCOMPARE(StoredText(HostKey("zulu"), layout::ADDRESS), QString("10.0.0.1"));
    QVERIFY(KeyExists(HostKey("other")));
}

void TestFrmHost::addingOverAnExistingNameKeepsItsOtherValues() {
    PortsStore store;
    QVERIFY(
        PutRecord("alpha", {layout::TRANSPORT, "SERIAL", layout::TRACE_FILE, "old.trc", layout::TTY,
                            "AM65", layout::PORT, "/dev/ttyS0", layout::BAUD, "300"}));
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM75", ""));
    SaveTelnetHost(editor, "ALPHA", "10.0.0.9");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(HostKey("alpha")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "AM75",
                       layout::PORT, "23", layout::BAUD, "300", layout::ADDRESS, "10.0.0.9"}));
    // One HostList entry for the name, whatever its letter case.
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY).size(), 1);
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
        auto* button = Control<QRadioButton>(editor, option);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(Control<QGroupBox>(editor, shown)->isVisible());
        QVERIFY(Control<QGroupBox>(editor, hidden)->isHidden());
        QCOMPARE(QApplication::focusWidget(), button);
    };
    choose("optTelnet", "fraTelnet", "fraSerial");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation"}), QStringList{"AM65"});
    QTest::keyClicks(Control<QLineEdit>(editor, "txtTelnetIP"), " myhost "); // stored trimmed
    Control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM75");
    choose("optSerial", "fraSerial", "fraTelnet");
    QCOMPARE(Texts(editor, {"cboSerialEmulation", "cboSerialBaud"}), QStringList({"AM75", "300"}));

    // An emulation box without a selection empties the other one too.
    Control<QComboBox>(editor, "cboSerialEmulation")->setCurrentIndex(-1);
    choose("optTelnet", "fraTelnet", "fraSerial");
    QCOMPARE(Texts(editor, {"cboTelnetEmulation", "txtTelnetIP", "txtTelnetPort"}),
             QStringList({"", " myhost ", "23"}));
    Control<QComboBox>(editor, "cboTelnetEmulation")->setCurrentText("AM65G");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(HostKey("alpha")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "AM65G",
                       layout::ADDRESS, "myhost", layout::PORT, "23"}));
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
    QVERIFY(!tracing->isChecked() && !traceFile->isEnabled());
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
    typeText(port, QString::fromUtf8("\u0664\u00b2")); // digits of other scripts are no digits
    QCOMPARE(port->text(), QString("123"));

    pasteInto(port, "a9");
    QCOMPARE(port->text(), QString("123"));
    QVERIFY(!rejectedByBox.isEmpty()); // pasting passes no key filter; the box itself refuses
    pasteInto(port, "9");
    QCOMPARE(port->text(), QString("1239"));

    // Enter still reaches the default button through the filtered box.
    Control<QLineEdit>(editor, "txtName")->setText("delta");
    Control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.4");
    QTest::keyClick(port, Qt::Key_Return);
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey("delta"), layout::PORT), QString("1239"));
}

// Each box is restricted to Windows-1252 (the rule itself: test_text_rules) and to 32 characters
// (the layout test), and a name and address of such characters are stored as they are.
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
        pasteInto(box, QString::fromUtf8("\u03a9€"));
        QCOMPARE(box->text(), QString::fromUtf8("Zö€"));
    }
    SaveTelnetHost(editor, QString::fromUtf8("Zö€"), QString::fromUtf8("Zö€"));
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(HostKey("Zö€"), layout::ADDRESS), QString::fromUtf8("Zö€"));
}

void TestFrmHost::backslashInANameMakesNestedKeys() {
    PortsStore store;
    MessageBoxScript boxes;
    frmHost editor;
    QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
    SaveTelnetHost(editor, "site\\east", "10.0.0.5");
    QVERIFY(editor.Result());
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "site\\east"), QString("1"));
    QVERIFY(KeyExists(HostKey("site")));
    QCOMPARE(StoredText(HostKey("site") + "\\east", layout::ADDRESS), QString("10.0.0.5"));

    // Editing it reads the nested key back and saves it in place.
    QVERIFY(ShowEditor(editor, cmEdit, "", "site\\east"));
    QCOMPARE(Texts(editor, {"txtTelnetIP"}), QStringList{"10.0.0.5"});
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
        SaveTelnetHost(*shown, "echo", "10.0.0.6");
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
    QVERIFY(PutHost("alpha", "TELNET", "23", "10.0.0.1"));
    const QStringList before = StoredValues(HostKey("alpha"));
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
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1"}));
    QCOMPARE(StoredValues(HostKey("alpha")), before);
    {
        // Added under such a name, nothing is half-written: no listed name without its record.
        MessageBoxScript boxes;
        boxes.expect(SAVE_FAILED, MsgIcon::Critical);
        QVERIFY(ShowEditor(editor, cmAdd, "AM65", ""));
        SaveTelnetHost(editor, "a\\\\b", "10.0.0.7");
        QVERIFY(editor.Result());
    }
    QCOMPARE(StoredValues(layout::HOSTLIST_KEY), AsStored({"alpha", "1"}));
    QVERIFY(!KeyExists(HostKey("a")));
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
        QVERIFY(Control<QGroupBox>(editor, "fraSerial")->isVisible());
        QVERIFY(Control<QGroupBox>(editor, "fraTelnet")->isVisible());
        QVERIFY(
            inFront(Control<QWidget>(editor, "fraTelnet"), Control<QWidget>(editor, "fraSerial")));
        QCOMPARE(Texts(editor, {"txtName", "cboSerialBaud", "cboSerialEmulation", "txtTelnetPort"}),
                 QStringList({name, "9600", "", "23"}));
        MessageBoxScript boxes;
        boxes.expect("Please enter a hostname or IP address", MsgIcon::Exclamation);
        Press(editor, "cmdOK");
        QCOMPARE(QApplication::focusWidget(), Control<QWidget>(editor, "txtTelnetIP"));
        QVERIFY(!editor.Result());
    }
    QCOMPARE(StoredText(HostKey("modem"), layout::TRANSPORT), QString("MODEM"));

    MessageBoxScript boxes;
    boxes.expect(SAVE_FAILED, MsgIcon::Critical);
    Control<QLineEdit>(editor, "txtTelnetIP")->setText("10.0.0.8");
    Press(editor, "cmdOK");
    QVERIFY(editor.Result());
    QCOMPARE(StoredValues(HostKey("ghost")),
             AsStored({layout::TRANSPORT, "TELNET", layout::TRACE_FILE, "", layout::TTY, "",
                       layout::ADDRESS, "10.0.0.8", layout::PORT, "23"}));
    QCOMPARE(StoredText(layout::HOSTLIST_KEY, "ghost"), QString("1"));
}

void TestFrmHost::cancelAndCloseBoxWriteNothingAndReturnFalse() {
    PortsStore store;
    QVERIFY(PutHost("foxtrot", "TELNET", "23", "10.0.0.9"));
    const QStringList before = StoredValues(HostKey("foxtrot"));
    MessageBoxScript boxes;
    frmHost editor;
    const std::function<void(QDialog*)> dismissals[] = {
        [](QDialog* shown) { Press(*shown, "cmdCancel"); },
        [](QDialog* shown) { QTest::keyClick(shown, Qt::Key_Escape); },
        [](QDialog* shown) { shown->close(); }, // the close box
    };
    for (const auto& dismiss : dismissals) {
        ModalDialogDriver driver("frmHost", [&](QDialog* shown) {
            QCOMPARE(Texts(*shown, {"txtName"}), QStringList{"foxtrot"});
            Control<QLineEdit>(*shown, "txtName")->setText("golf");
            QTest::mouseClick(Control<QRadioButton>(*shown, "optSerial"), Qt::LeftButton);
            dismiss(shown);
        });
        QVERIFY(!editor.Display(cmEdit, "", "foxtrot"));
        QVERIFY(driver.ran());
        QCOMPARE(StoredValues(HostKey("foxtrot")), before);
        QVERIFY(!KeyExists(HostKey("golf")));
    }
}

QTEST_MAIN(TestFrmHost)
#include "test_frmhost.moc"
