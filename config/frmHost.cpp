// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "frmHost.h"

#include "AnsiValidator.h"
#include "CRegKey.h"
#include "ControlBuilders.h"
#include "ControlCharacters.h"
#include "FitToLayout.h"
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

using namespace zeb::config;
using namespace zeb::ui;
using namespace zeb::reg;
namespace layout = zeb::layout;

namespace {

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

// The key filter stops typed non-digits (frmHost::eventFilter); the validator stops pasted and
// dropped ones.
void acceptDigitsOnly(QLineEdit* box, QObject* keyFilter) {
    box->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    box->installEventFilter(keyFilter);
}

void paintTraceFileBox(QLineEdit* box, bool enabled) {
    // Window background while it takes a name, button face while it does not.
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base,
                     QApplication::palette().color(QPalette::Active,
                                                   enabled ? QPalette::Base : QPalette::Button));
    box->setPalette(palette);
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

QWidget* frmHost::FieldControl::widget() const {
    return list != nullptr ? static_cast<QWidget*>(list) : box;
}

frmHost::frmHost(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHost"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twips(7695), twips(4575));
    buildControls();
}

void frmHost::buildControls() {
    txtName = addTextBox(this, "txtName", twipsRect(2040, 120, 2235, 315), TEXT_LIMIT);
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
        addTextBox(fraTracing, "txtTraceFile", twipsRect(300, 1320, 2055, 315), TEXT_LIMIT);
    restrictToAnsi(txtTraceFile);
    addLabel(fraTracing, "lblTraceFile", "&Filename:", twipsRect(300, 960, 1695, 315))
        ->setBuddy(txtTraceFile);
    connect(chkTracing, &QCheckBox::toggled, this, [this] { chkTracing_Click(); });
}

void frmHost::buildSerialFrame() {
    fraSerial =
        addFrame(this, "fraSerial", "Serial Configuration", twipsRect(2820, 600, 4755, 3435));
    buildFieldsOf(Transport::Serial, fraSerial);
}

void frmHost::buildTelnetFrame() {
    fraTelnet = addFrame(this, "fraTelnet", "TCP/IP (Telnet) Configuration",
                         twipsRect(2820, 600, 4755, 3435));
    buildFieldsOf(Transport::Telnet, fraTelnet);
}

// Each field of the transport, in table order: its control, then the label that names it.
void frmHost::buildFieldsOf(Transport transport, QGroupBox* frame) {
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        const HostField& field = HOST_FIELDS[index];
        if (field.transport != transport) {
            continue;
        }
        const QRect place = twipsRect(CONTROL_LEFT, field.place.top - CONTROL_RISE,
                                      field.place.controlWidth, FIELD_HEIGHT);
        FieldControl& control = m_fields[index];
        if (field.entry.fill != nullptr) {
            control.list = placeControl<QComboBox>(frame, field.control, place);
        } else {
            control.box = addTextBox(frame, field.control, place, field.entry.limit);
            if (field.entry.digitsOnly) {
                acceptDigitsOnly(control.box, this);
            } else {
                restrictToAnsi(control.box);
            }
        }
        addLabel(frame, field.label, field.caption,
                 twipsRect(LABEL_LEFT, field.place.top, field.place.labelWidth, FIELD_HEIGHT))
            ->setBuddy(control.widget());
    }
}

void frmHost::buildButtons() {
    cmdOK = addButton<QPushButton>(this, "cmdOK", "OK", twipsRect(5280, 4140, 1095, 315));
    cmdOK->setDefault(true);
    cmdCancel =
        addButton<QPushButton>(this, "cmdCancel", "Cancel", twipsRect(6480, 4140, 1095, 315));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &frmHost::reject);
}

bool frmHost::Display(int eCallMode, const QString& sDefaultTTY, const QString& sName) {
    load(eCallMode, sDefaultTTY, sName);
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
        setStoredText(txtName, sName, TEXT_LIMIT);
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
    // Centred once shown, when its frame is known: centred before, it stood off by half the frame.
    if (!event->spontaneous()) {
        centreOnScreen(this);
    }
}

void frmHost::reject() {
    m_bResult = false;
    QDialog::reject();
}

// Every Display starts from the dialog as it was built: empty boxes, no transport, both frames.
void frmHost::resetControls() {
    setWindowTitle(QString());
    for (QLineEdit* box : {txtName, txtTraceFile}) {
        box->setMaxLength(TEXT_LIMIT);
        box->clear();
    }
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        if (QLineEdit* box = m_fields[index].box) {
            box->setMaxLength(HOST_FIELDS[index].entry.limit);
            box->clear();
        }
    }
    uncheck(optSerial);
    uncheck(optTelnet);
    ShowControl(fraSerial, true);
    ShowControl(fraTelnet, true);
    // A record without a known transport is checked as TCP/IP, so that frame lies in front.
    fraTelnet->raise();
}

void frmHost::fillLists() {
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        if (QComboBox* list = m_fields[index].list) {
            HOST_FIELDS[index].entry.fill(list);
        }
    }
}

void frmHost::selectDefaults(const QString& sDefaultTTY) {
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        const Preset& preset = HOST_FIELDS[index].preset;
        if (preset.from == Preset::From::Nothing) {
            continue;
        }
        const QString sText = preset.from == Preset::From::CallersEmulation
                                  ? sDefaultTTY
                                  : QString::fromLatin1(preset.text);
        if (QComboBox* list = m_fields[index].list) {
            SelectComboItem(list, sText, 0);
        } else {
            m_fields[index].box->setText(sText);
        }
    }
}

void frmHost::loadHost(const QString& sName) {
    CRegKey key;
    // A record that cannot be opened needs no check of its own: every read of it fails, which
    // leaves the defaults.
    key.OpenKey(HKEY_LOCAL_MACHINE, layout::hostKeyPath(sName.toStdString()), KEY_READ);
    if (const auto trace = readStoredText(key, layout::TRACE_FILE); trace && !trace->isEmpty()) {
        chkTracing->setChecked(true);
        setStoredText(txtTraceFile, *trace, TEXT_LIMIT);
    }
    const QString transport = readStoredText(key, layout::TRANSPORT).value_or(QString());
    if (transport.toUpper() == QLatin1String(layout::TRANSPORT_SERIAL)) {
        optSerial->setChecked(true);
        loadFieldsOf(Transport::Serial, key);
    } else if (transport.toUpper() == QLatin1String(layout::TRANSPORT_TELNET)) {
        optTelnet->setChecked(true);
        loadFieldsOf(Transport::Telnet, key);
    }
    key.CloseKey();
}

// A list selects the stored text without regard to case; a value that cannot be read leaves the
// field as preset.
void frmHost::loadFieldsOf(Transport transport, CRegKey& key) {
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        const HostField& field = HOST_FIELDS[index];
        if (field.transport != transport) {
            continue;
        }
        const std::optional<QString> stored = readStoredText(key, field.value);
        if (QComboBox* list = m_fields[index].list) {
            selectStored(list, stored);
        } else if (stored) {
            setStoredText(m_fields[index].box, *stored, field.entry.limit);
        }
    }
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
    SelectComboItem(m_fields[SERIAL_EMULATION].list, m_fields[TELNET_EMULATION].list->currentText(),
                    0);
}

void frmHost::optTelnet_Click() {
    ShowTransport(QString::fromLatin1(layout::TRANSPORT_TELNET));
    SelectComboItem(m_fields[TELNET_EMULATION].list, m_fields[SERIAL_EMULATION].list->currentText(),
                    0);
}

void frmHost::chkTracing_Click() {
    txtTraceFile->clear();
    const bool tracing = chkTracing->isChecked();
    txtTraceFile->setEnabled(tracing);
    paintTraceFileBox(txtTraceFile, tracing);
}

// Installed on the digits-only boxes alone (acceptDigitsOnly): every key pressed here is theirs.
bool frmHost::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        for (const QChar ch : static_cast<QKeyEvent*>(event)->text()) {
            int KeyAscii = ch.unicode();
            if (!txtTelnetPort_KeyPress(KeyAscii)) {
                return true; // dropped
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The key filter of the digits-only boxes (the TCP/IP port); false when the key is to be dropped.
bool frmHost::txtTelnetPort_KeyPress(int& KeyAscii) {
    // Printable characters are what the key filter judges; control keys (Enter, Esc, Backspace,
    // Ctrl+V...) go on to the box or the dialog as they would anywhere else.
    if (zeb::isLineControl(char32_t(KeyAscii))) {
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

// Transport and TraceFile, then the chosen transport's fields in table order.
QList<std::pair<const char*, QString>> frmHost::recordValues() const {
    const Transport transport = optSerial->isChecked() ? Transport::Serial : Transport::Telnet;
    QList<std::pair<const char*, QString>> values = {
        {layout::TRANSPORT, QString::fromLatin1(storedTransport(transport))},
        {layout::TRACE_FILE, trimSpaces(txtTraceFile->text())}};
    for (std::size_t index = 0; index < m_fields.size(); ++index) {
        if (HOST_FIELDS[index].transport == transport) {
            const FieldControl& control = m_fields[index];
            values.append({HOST_FIELDS[index].value, control.list != nullptr
                                                         ? control.list->currentText()
                                                         : trimSpaces(control.box->text())});
        }
    }
    return values;
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
        reportSaveFailure();
    }
}
