// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "frmHost.h"

#include "AnsiValidator.h"
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "ControlBuilders.h"
#include "FitToLayout.h"
#include "MessageBox.h"
#include "StoreLayout.h"
#include "StoredSettings.h"
#include "Twips.h"
#include "modLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <optional>

using namespace zeb::ui;
using namespace zeb::reg;
namespace layout = zeb::layout;

namespace {

constexpr int NAME_LIMIT = 32; // with one byte a character, every entry fits the 64-byte reads
constexpr int PORT_LIMIT = 4;

// A text read from the store may be longer than the box lets the user type; it is shown whole
// rather than cut, so that saving an untouched record does not change it.
void setStoredText(QLineEdit* box, const QString& text, int limit) {
    box->setMaxLength(std::max<int>(limit, text.size()));
    box->setText(text);
}

void uncheck(QRadioButton* option) {
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void selectStored(QComboBox* box, const std::optional<QString>& stored) {
    if (stored) {
        SelectComboItem(box, *stored, 1);
    }
}

void paintTraceFileBox(QLineEdit* box, bool enabled) {
    // Window background while it takes a name, button face while it does not.
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base,
                     QApplication::palette().color(QPalette::Active,
                                                   enabled ? QPalette::Base : QPalette::Button));
    box->setPalette(palette);
}

// Printable characters are what the key filter judges; control keys (Enter, Esc, Backspace,
// Ctrl+V...) go on to the box or the dialog as they would anywhere else.
bool isTypedCharacter(QChar ch) {
    return ch.unicode() >= 0x20 && ch.unicode() != 0x7F;
}

// The failure indicator of a save: every counted step, and apart from it the steps that write the
// new record. Only the latter undo the save; removing old entries that are already gone does not.
struct SaveOutcome {
    Status all = ERROR_SUCCESS;
    Status record = ERROR_SUCCESS;

    void count(Status status) {
        all |= status;
        record |= status;
    }
    void countRemoval(Status status) { all |= status; }
};

} // namespace

frmHost::frmHost(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHost"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(7695), twips(4575));
    buildControls();
    setTabOrderOfTable();
}

void frmHost::buildControls() {
    txtName = addTextBox(this, "txtName", twipsRect(2040, 120, 2235, 315), NAME_LIMIT);
    restrictToAnsi(txtName);
    addLabel(this, "lblName", "&Server name or alias:", twipsRect(300, 180, 1695, 315))
        ->setBuddy(txtName);
    buildTransportFrame();
    buildTracingFrame();
    buildSerialFrame();
    buildTelnetFrame();
    buildButtons();
}

void frmHost::buildTransportFrame() {
    fraTransport =
        addFrame(this, "fraTransport", "Transport Libraries", twipsRect(120, 600, 2535, 1395));
    optSerial = addButton<QRadioButton>(fraTransport, "optSerial", "Serial &connection",
                                        twipsRect(300, 420, 1695, 315));
    optTelnet = addButton<QRadioButton>(fraTransport, "optTelnet", "&TCP/IP (Telnet)",
                                        twipsRect(300, 840, 1695, 315));
    connect(optSerial, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            optSerial_Click();
        }
    });
    connect(optTelnet, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            optTelnet_Click();
        }
    });
}

void frmHost::buildTracingFrame() {
    fraTracing = addFrame(this, "fraTracing", "Tracing", twipsRect(120, 2160, 2535, 1875));
    chkTracing = addButton<QCheckBox>(fraTracing, "chkTracing", "C&apture character trace",
                                      twipsRect(300, 480, 2055, 315));
    txtTraceFile =
        addTextBox(fraTracing, "txtTraceFile", twipsRect(300, 1320, 2055, 315), NAME_LIMIT);
    restrictToAnsi(txtTraceFile);
    addLabel(fraTracing, "lblTraceFile", "&Filename:", twipsRect(300, 960, 1695, 315))
        ->setBuddy(txtTraceFile);
    connect(chkTracing, &QCheckBox::toggled, this, [this] { chkTracing_Click(); });
}

void frmHost::buildSerialFrame() {
    fraSerial =
        addFrame(this, "fraSerial", "Serial Configuration", twipsRect(2820, 600, 4755, 3435));
    struct Row {
        const char* label;
        const char* caption;
        const char* field;
        QComboBox* frmHost::*box;
        int top; // of the label; its drop-down list sits 60 twips higher
    };
    static constexpr Row rows[] = {
        {"lblSerialEmulation", "Terminal &emulation:", "cboSerialEmulation",
         &frmHost::cboSerialEmulation, 420},
        {"lblSerialPort", "Communications &port:", "cboSerialPort", &frmHost::cboSerialPort, 840},
        {"lblSerialBits", "&Data bits:", "cboSerialBits", &frmHost::cboSerialBits, 1260},
        {"lblSerialBaud", "&Baud rate:", "cboSerialBaud", &frmHost::cboSerialBaud, 1680},
        {"lblSerialParity", "&Parity:", "cboSerialParity", &frmHost::cboSerialParity, 2100},
        {"lblSerialStop", "St&op bits:", "cboSerialStop", &frmHost::cboSerialStop, 2520},
        {"lblSerialFlow", "F&low control:", "cboSerialFlow", &frmHost::cboSerialFlow, 2940},
    };
    for (const Row& row : rows) {
        QComboBox* box =
            placeControl<QComboBox>(fraSerial, row.field, twipsRect(2160, row.top - 60, 2235, 315));
        this->*row.box = box;
        addLabel(fraSerial, row.label, row.caption, twipsRect(300, row.top, 1695, 315))
            ->setBuddy(box);
    }
}

void frmHost::buildTelnetFrame() {
    fraTelnet = addFrame(this, "fraTelnet", "TCP/IP (Telnet) Configuration",
                         twipsRect(2820, 600, 4755, 3435));
    cboTelnetEmulation =
        placeControl<QComboBox>(fraTelnet, "cboTelnetEmulation", twipsRect(2160, 360, 2235, 315));
    addLabel(fraTelnet, "lblTelnetEmulation", "Terminal emulation:", twipsRect(300, 420, 1695, 315))
        ->setBuddy(cboTelnetEmulation);
    txtTelnetIP = addTextBox(fraTelnet, "txtTelnetIP", twipsRect(2160, 780, 2235, 315), NAME_LIMIT);
    restrictToAnsi(txtTelnetIP);
    addLabel(fraTelnet, "lblTelnetlIP", "&Hostname or IP address:", twipsRect(300, 840, 1815, 315))
        ->setBuddy(txtTelnetIP);
    txtTelnetPort =
        addTextBox(fraTelnet, "txtTelnetPort", twipsRect(2160, 1200, 915, 315), PORT_LIMIT);
    // The key filter stops typed non-digits; this stops pasted and dropped ones.
    txtTelnetPort->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), txtTelnetPort));
    txtTelnetPort->installEventFilter(this);
    addLabel(fraTelnet, "lblTelnetPort", "&Port:", twipsRect(300, 1260, 1755, 315))
        ->setBuddy(txtTelnetPort);
}

void frmHost::buildButtons() {
    cmdOK = addButton<QPushButton>(this, "cmdOK", "OK", twipsRect(5280, 4140, 1095, 315));
    cmdOK->setDefault(true);
    cmdCancel =
        addButton<QPushButton>(this, "cmdCancel", "Cancel", twipsRect(6480, 4140, 1095, 315));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &frmHost::reject);
}

void frmHost::setTabOrderOfTable() {
    chainTabOrder({txtName, optSerial, optTelnet, chkTracing, txtTraceFile, cboSerialEmulation,
                   cboSerialPort, cboSerialBits, cboSerialBaud, cboSerialParity, cboSerialStop,
                   cboSerialFlow, cboTelnetEmulation, txtTelnetIP, txtTelnetPort, cmdOK,
                   cmdCancel});
}

bool frmHost::Display(int eCallMode, const QString& sDefaultTTY, const QString& sName) {
    load(eCallMode, sDefaultTTY, sName);
    centreOnScreen(this);
    exec();
    return m_bResult;
}

void frmHost::load(int eCallMode, const QString& sDefaultTTY, const QString& sName) {
    resetControls();
    fillLists();
    chkTracing->setChecked(false);
    chkTracing_Click();
    selectDefaults(sDefaultTTY);
    if (eCallMode == cmEdit) {
        setWindowTitle(QStringLiteral("Edit host configuration"));
        m_sOldName = sName;
        setStoredText(txtName, sName, NAME_LIMIT);
        loadHost(sName);
    } else if (eCallMode == cmAdd) {
        setWindowTitle(QStringLiteral("Add host configuration"));
        optSerial->setChecked(true);
        ShowTransport(QString::fromLatin1(layout::TRANSPORT_SERIAL));
    }
    m_eCallMode = eCallMode;
    m_bResult = false;
}

void frmHost::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitTextsToLayout(this);
}

void frmHost::reject() {
    m_bResult = false;
    QDialog::reject();
}

// Every Display starts from the dialog as it was built: empty boxes, no transport, both frames.
void frmHost::resetControls() {
    setWindowTitle(QString());
    m_sOldName.clear();
    for (QLineEdit* box : {txtName, txtTraceFile, txtTelnetIP}) {
        box->setMaxLength(NAME_LIMIT);
        box->clear();
    }
    txtTelnetPort->setMaxLength(PORT_LIMIT);
    txtTelnetPort->clear();
    uncheck(optSerial);
    uncheck(optTelnet);
    ShowControl(fraSerial, true);
    ShowControl(fraTelnet, true);
    // A record without a known transport is checked as TCP/IP, so that frame lies in front.
    fraTelnet->raise();
}

void frmHost::fillLists() {
    FillEmulations(cboSerialEmulation);
    FillSerialPorts(cboSerialPort);
    FillDataBits(cboSerialBits);
    FillBaudRates(cboSerialBaud);
    FillParities(cboSerialParity);
    FillStopBits(cboSerialStop);
    FillFlowControls(cboSerialFlow);
    FillEmulations(cboTelnetEmulation);
}

void frmHost::selectDefaults(const QString& sDefaultTTY) {
    SelectComboItem(cboSerialEmulation, sDefaultTTY, 0);
    SelectComboItem(cboSerialBits, QString::fromLatin1(layout::choices::DATA_BITS_EIGHT), 0);
    SelectComboItem(cboSerialBaud, QString::fromLatin1(layout::choices::BAUD_9600), 0);
    SelectComboItem(cboSerialParity, QString::fromLatin1(layout::choices::PARITY_NONE), 0);
    SelectComboItem(cboSerialStop, QString::fromLatin1(layout::choices::STOP_BITS_ONE), 0);
    SelectComboItem(cboSerialFlow, QString::fromLatin1(layout::choices::FLOW_HARDWARE), 0);
    SelectComboItem(cboTelnetEmulation, sDefaultTTY, 0);
    txtTelnetPort->setText(QStringLiteral("23"));
}

void frmHost::loadHost(const QString& sName) {
    CRegKey key;
    // A record that cannot be opened needs no check of its own: every read of it fails, which
    // leaves the defaults.
    key.OpenKey(HKEY_LOCAL_MACHINE, layout::hostKeyPath(sName.toStdString()), KEY_READ);
    if (const auto trace = readStoredText(key, layout::TRACE_FILE); trace && !trace->isEmpty()) {
        chkTracing->setChecked(true);
        setStoredText(txtTraceFile, *trace, NAME_LIMIT);
    }
    const QString transport = readStoredText(key, layout::TRANSPORT).value_or(QString());
    if (transport.toUpper() == QLatin1String(layout::TRANSPORT_SERIAL)) {
        optSerial->setChecked(true);
        selectStored(cboSerialEmulation, readStoredText(key, layout::TTY));
        selectStored(cboSerialPort, readStoredText(key, layout::PORT));
        selectStored(cboSerialBits, readStoredText(key, layout::DATA_BITS));
        selectStored(cboSerialBaud, readStoredText(key, layout::BAUD));
        selectStored(cboSerialParity, readStoredText(key, layout::PARITY));
        selectStored(cboSerialStop, readStoredText(key, layout::STOP_BITS));
        selectStored(cboSerialFlow, readStoredText(key, layout::FLOW_CONTROL));
    } else if (transport.toUpper() == QLatin1String(layout::TRANSPORT_TELNET)) {
        optTelnet->setChecked(true);
        selectStored(cboTelnetEmulation, readStoredText(key, layout::TTY));
        if (const auto address = readStoredText(key, layout::ADDRESS)) {
            setStoredText(txtTelnetIP, *address, NAME_LIMIT);
        }
        if (const auto port = readStoredText(key, layout::PORT)) {
            setStoredText(txtTelnetPort, *port, PORT_LIMIT);
        }
    }
    key.CloseKey();
}

void frmHost::ShowTransport(const QString& sTransport) {
    HideControl(fraSerial);
    HideControl(fraTelnet);
    const auto bringForward = [](QGroupBox* frame, QRadioButton* option) {
        ShowControl(frame, true);
        frame->raise();
        FocusControl(option);
    };
    if (sTransport == QLatin1String(layout::TRANSPORT_SERIAL)) {
        bringForward(fraSerial, optSerial);
    } else if (sTransport == QLatin1String(layout::TRANSPORT_TELNET)) {
        bringForward(fraTelnet, optTelnet);
    }
}

// The emulation follows the user from one transport to the other; nothing else is copied.
void frmHost::optSerial_Click() {
    ShowTransport(QString::fromLatin1(layout::TRANSPORT_SERIAL));
    SelectComboItem(cboSerialEmulation, cboTelnetEmulation->currentText(), 0);
}

void frmHost::optTelnet_Click() {
    ShowTransport(QString::fromLatin1(layout::TRANSPORT_TELNET));
    SelectComboItem(cboTelnetEmulation, cboSerialEmulation->currentText(), 0);
}

void frmHost::chkTracing_Click() {
    txtTraceFile->clear();
    const bool tracing = chkTracing->isChecked();
    txtTraceFile->setEnabled(tracing);
    paintTraceFileBox(txtTraceFile, tracing);
}

bool frmHost::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtTelnetPort && event->type() == QEvent::KeyPress) {
        for (const QChar ch : static_cast<QKeyEvent*>(event)->text()) {
            int KeyAscii = ch.unicode();
            if (!txtTelnetPort_KeyPress(KeyAscii)) {
                return true; // dropped
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// False when the key is to be dropped.
bool frmHost::txtTelnetPort_KeyPress(int& KeyAscii) {
    if (!isTypedCharacter(QChar(KeyAscii))) {
        return true;
    }
    FilterNumericKey(KeyAscii, QString());
    return KeyAscii != 0;
}

void frmHost::cmdOK_Click() {
    if (!Validate()) {
        return; // the check has told the user and placed the focus
    }
    SaveHost();
    m_bResult = true;
    accept();
}

QList<std::pair<const char*, QString>> frmHost::recordValues() const {
    const QString traceFile = trimSpaces(txtTraceFile->text());
    if (optSerial->isChecked()) {
        return {{layout::TRANSPORT, QString::fromLatin1(layout::TRANSPORT_SERIAL)},
                {layout::TRACE_FILE, traceFile},
                {layout::TTY, cboSerialEmulation->currentText()},
                {layout::PORT, cboSerialPort->currentText()},
                {layout::DATA_BITS, cboSerialBits->currentText()},
                {layout::BAUD, cboSerialBaud->currentText()},
                {layout::PARITY, cboSerialParity->currentText()},
                {layout::STOP_BITS, cboSerialStop->currentText()},
                {layout::FLOW_CONTROL, cboSerialFlow->currentText()}};
    }
    return {{layout::TRANSPORT, QString::fromLatin1(layout::TRANSPORT_TELNET)},
            {layout::TRACE_FILE, traceFile},
            {layout::TTY, cboTelnetEmulation->currentText()},
            {layout::ADDRESS, trimSpaces(txtTelnetIP->text())},
            {layout::PORT, trimSpaces(txtTelnetPort->text())}};
}

// Writes in the fixed order (HostList, Hosts, the record) and reports once. The writes form one
// group in the store: when the new record cannot be written whole (a name the store refuses, a
// store that takes no writes) the group is undone, so an edit never loses the old record on the
// way. Old entries that are already gone still count as a failure, but the record stays written.
void frmHost::SaveHost() {
    const QString sNewName = trimSpaces(txtName->text());
    const bool editing = m_eCallMode == cmEdit;
    SaveOutcome outcome;
    const Status grouped = writeAsOneGroup([&] {
        CRegKey list;
        outcome.count(openOrCreateForWriting(list, layout::HOSTLIST_KEY));
        if (editing) {
            outcome.countRemoval(list.DeleteValue(m_sOldName.toStdString()));
        }
        outcome.count(list.SetValue(std::string(layout::HOSTLIST_MARK), sNewName.toStdString()));
        list.CloseKey();

        CRegKey hosts;
        outcome.count(openOrCreateForWriting(hosts, layout::HOSTS_KEY));
        if (editing && namesOwnHostKey(m_sOldName)) {
            outcome.countRemoval(hosts.DeleteSubKey(m_sOldName.toStdString()));
        }
        hosts.CloseKey();

        CRegKey record;
        outcome.count(record.Create(HKEY_LOCAL_MACHINE, layout::hostKeyPath(sNewName.toStdString()),
                                    0, WRITER_ACCESS));
        for (const auto& [name, text] : recordValues()) {
            outcome.count(record.SetValue(text.toStdString(), name));
        }
        record.CloseKey();
        return outcome.record;
    });
    if ((outcome.all | grouped) != ERROR_SUCCESS) {
        showMessage(QStringLiteral("Unable to save settings to the registry"), MsgIcon::Critical,
                    MsgButtons::Ok);
    }
}
