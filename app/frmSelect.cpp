// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "frmSelect.h"

#include "CRegKey.h"
#include "ControlBuilders.h"
#include "DottedAddress.h"
#include "FitToLayout.h"
#include "LinkLabel.h"
#include "MessageBox.h"
#include "StoreLayout.h"
#include "StoredSettings.h"
#include "Twips.h"
#include "frmConfig.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShowEvent>

using zeb::ui::addButton;
using zeb::ui::addFrame;
using zeb::ui::addLabel;
using zeb::ui::placeControl;
using zeb::ui::twipsRect;

namespace zeb {

namespace {

// The instruction text of each mode.
constexpr const char* NOT_CONFIGURED_TEXT =
    "The Orvane Terminal Emulator configuration utility has not yet been run. Before a connection "
    "can be established, certain default parameters must be configured.";
constexpr const char* LIST_ONLY_TEXT =
    "Please select a predefined connection from the dropdown list.";
constexpr const char* FREE_ENTRY_TEXT =
    "Please select a predefined connection from the dropdown list, or enter a TCP/IP hostname or "
    "IP address to connect using the standard Telnet port 23.";

// Longer host lists are read once the dialog has been drawn (RefreshConnections).
constexpr int NAMES_LISTED_BEFORE_DRAWN = 1000;

} // namespace

ConnectionMode readConnectionMode() {
    reg::CRegKey key;
    if (key.OpenKey(reg::HKEY_LOCAL_MACHINE, layout::SETTINGS_KEY, reg::KEY_READ) !=
        reg::ERROR_SUCCESS) {
        key.CloseKey();
        return ConnectionMode::NotConfigured;
    }
    const QString sEnableNR = ui::readStoredText(key, layout::ENABLE_NR).value_or(QString());
    key.CloseKey();
    return sEnableNR == QLatin1String(layout::ENABLE_NR_YES) ? ConnectionMode::FreeEntry
                                                             : ConnectionMode::ListOnly;
}

void readSelectionStoreAhead() {
    readConnectionMode();
    ui::storedHostNameAt(NAMES_LISTED_BEFORE_DRAWN);
}

} // namespace zeb

frmSelect::frmSelect(QWidget* parent, zeb::LaunchSettings launchSettings)
    : QDialog(parent), m_launchSettings(std::move(launchSettings)) {
    setObjectName(QStringLiteral("frmSelect"));
    setWindowTitle(QStringLiteral("Orvane Terminal Emulator"));
    setFixedSize(zeb::ui::twips(4695), zeb::ui::twips(2715));
    buildControls();
    RefreshConnections();
}

void frmSelect::buildControls() {
    fraConnection = addFrame(this, "fraConnection", "Connection", twipsRect(120, 120, 4455, 2055));

    // Its buddy is the box the mode shows (ApplyConnectionMode).
    lblConnection =
        addLabel(fraConnection, "lblConnection", "&Connect using:", twipsRect(180, 360, 1695, 315));
    lblConnection->installEventFilter(this);

    cboConnectionList = placeControl<QComboBox>(fraConnection, "cboConnectionList",
                                                twipsRect(1620, 300, 2655, 315));

    cboConnectionCombo = placeControl<QComboBox>(fraConnection, "cboConnectionCombo",
                                                 twipsRect(1740, 480, 2655, 315));
    cboConnectionCombo->setEditable(true);
    // A font change (the dialog fits its texts when shown) makes a box lay out its whole drop-down
    // list at once: with 100,000 stored names, a quarter of the dialog's start. Laid out in
    // batches, the first is done at once and the rest while the dialog waits for its user; rows of
    // one height are measured once. The boxes' sizes are fixed, so nor need their size hints
    // measure every name.
    for (QComboBox* box : {cboConnectionList, cboConnectionCombo}) {
        auto* list = static_cast<QListView*>(box->view());
        list->setUniformItemSizes(true);
        list->setLayoutMode(QListView::Batched);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    // Enter means Connect here, never "add the typed text to the list".
    cboConnectionCombo->setInsertPolicy(QComboBox::NoInsert);
    // The name launched is the text typed. Qt's inline completion would fill in the rest of a
    // stored name sharing the typed beginning, and with it the box would also take a stored
    // name's letter case on Enter: "10.0.0.1" would connect to "10.0.0.12". Without a completer
    // the box matches its entries case-sensitively, so only picking an entry changes the text.
    // Nor is the text held to the store's code page: a typed name is never stored, and the engine
    // takes any character, as it does from the command line.
    cboConnectionCombo->setCompleter(nullptr);
    // Screen readers reach the box's text field as a control of its own; the label names the box.
    cboConnectionCombo->lineEdit()->setAccessibleName(lblConnection->text().remove(u'&'));

    lblText = addLabel(fraConnection, "lblText", "", twipsRect(180, 780, 4095, 615));
    lblText->setWordWrap(true);

    hypConfig =
        placeControl<LinkLabel>(fraConnection, "hypConfig", twipsRect(180, 1440, 4035, 435),
                                QStringLiteral("Set the default connection parameters or "
                                               "configure a new serial or TCP/IP connection"));
    connect(hypConfig, &LinkLabel::clicked, this, &frmSelect::hypConfig_Click);

    cmdOK = addButton<QPushButton>(this, "cmdOK", "Connect", twipsRect(2280, 2280, 1095, 315));
    cmdOK->setAutoDefault(false);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmSelect::cmdOK_Click);

    cmdCancel =
        addButton<QPushButton>(this, "cmdCancel", "Close", twipsRect(3480, 2280, 1095, 315));
    // Not auto-default: a focused Close must not turn Enter into Close.
    cmdCancel->setAutoDefault(false);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelect::reject);
}

void frmSelect::Display() {
    exec();
}

// Every mode's instruction text must fit, so that the font stays when the link's configuration
// dialog changes the mode.
void frmSelect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Qt also shows the dialog again when the user restores it from the task bar; that must not
    // move it or take the focus from a half-typed name.
    if (event->spontaneous()) {
        return;
    }
    QStringList instructions;
    for (const char* sText :
         {zeb::NOT_CONFIGURED_TEXT, zeb::LIST_ONLY_TEXT, zeb::FREE_ENTRY_TEXT}) {
        instructions.append(QLatin1String(sText));
    }
    zeb::ui::fitTextsToLayout(this, {{lblText, instructions}});
    zeb::ui::centreOnScreen(this);
    focusFirstControl();
}

void frmSelect::focusFirstControl() {
    for (QWidget* ctl :
         {static_cast<QWidget*>(cmdOK), static_cast<QWidget*>(cmdCancel),
          static_cast<QWidget*>(cboConnectionList), static_cast<QWidget*>(cboConnectionCombo)}) {
        if (ctl->isVisibleTo(this) && ctl->isEnabled()) {
            ctl->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

// The access key of "Connect using:" leads to the editable box when it is enabled, else on along
// the tab order, wrapping past its end, to the next enabled control. It only moves the focus: it
// never presses a button.
void frmSelect::followConnectionAccessKey() {
    for (QWidget* ctl :
         {static_cast<QWidget*>(cboConnectionCombo), static_cast<QWidget*>(cmdOK),
          static_cast<QWidget*>(cmdCancel), static_cast<QWidget*>(cboConnectionList)}) {
        if (ctl->isVisible() && ctl->isEnabled()) {
            ctl->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
}

bool frmSelect::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblConnection && event->type() == QEvent::Shortcut) {
        followConnectionAccessKey();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Before the dialog is first drawn, a long list is read right after it has been: until then each
// box holds the first name alone, all that a closed box shows. A hundred thousand names would
// otherwise keep the dialog from the screen for longer than the rest of the start together.
void frmSelect::RefreshConnections() {
    const bool bLongList =
        !isVisible() && zeb::ui::storedHostNameAt(zeb::NAMES_LISTED_BEFORE_DRAWN).has_value();
    fillConnectionBoxes(bLongList);
    ApplyConnectionMode();
    if (bLongList) {
        zeb::ui::runAfterFirstPaint(this, [this] { fillConnectionBoxes(false); });
    }
}

void frmSelect::fillConnectionBoxes(bool bFirstOnly) {
    zeb::FillHostNames({cboConnectionList, cboConnectionCombo}, bFirstOnly);
    if (cboConnectionList->count() > 0) {
        cboConnectionList->setCurrentIndex(0);
    }
    if (cboConnectionCombo->count() > 0) {
        cboConnectionCombo->setCurrentIndex(0);
    } else {
        cboConnectionCombo->setEditText(QString());
    }
}

void frmSelect::ApplyConnectionMode() {
    const zeb::ConnectionMode mode = zeb::readConnectionMode();
    cboConnectionCombo->move(cboConnectionList->pos());
    const bool bFreeEntry = mode == zeb::ConnectionMode::FreeEntry;
    if (bFreeEntry) {
        zeb::ui::HideControl(cboConnectionList);
        zeb::ui::ShowControl(cboConnectionCombo, true);
    } else {
        zeb::ui::ShowControl(cboConnectionList, true);
        zeb::ui::HideControl(cboConnectionCombo);
    }
    if (mode == zeb::ConnectionMode::NotConfigured) {
        zeb::ui::HideControl(cmdOK);
    } else {
        zeb::ui::ShowControl(cmdOK, true);
    }
    lblText->setText(QLatin1String(mode == zeb::ConnectionMode::NotConfigured
                                       ? zeb::NOT_CONFIGURED_TEXT
                                   : bFreeEntry ? zeb::FREE_ENTRY_TEXT
                                                : zeb::LIST_ONLY_TEXT));
    // Screen readers name the box on show by its label.
    lblConnection->setBuddy(bFreeEntry ? cboConnectionCombo : cboConnectionList);
}

bool frmSelect::ValidateConnection() {
    if (!cboConnectionCombo->isEnabled()) {
        return true; // the select-only list offers stored names only
    }
    const QString sText = cboConnectionCombo->currentText();
    if (zeb::ui::trimSpaces(sText).isEmpty()) {
        return zeb::ui::refuseEntry(QLatin1String(zeb::ui::HOST_MISSING_MESSAGE),
                                    cboConnectionCombo);
    }
    // A line end pasted with a copied name is refused here, with the dialog still open, rather
    // than by the launch, which would end the dialog with an error report.
    if (zeb::ui::lineControlIn(sText) || !zeb::ui::isAcceptableHostOrAddress(sText)) {
        return zeb::ui::refuseEntry(QLatin1String(zeb::ui::HOST_INVALID_MESSAGE),
                                    cboConnectionCombo);
    }
    return true;
}

void frmSelect::cmdOK_Click() {
    // A second Connect during a launch's wait would start a second engine.
    if (m_bLaunching || !ValidateConnection()) {
        return;
    }
    const QString sHost = cboConnectionList->isEnabled() ? cboConnectionList->currentText()
                                                         : cboConnectionCombo->currentText();
    zeb::LaunchSettings settings = m_launchSettings;
    settings.abandoned = [this] { return m_bLaunchAbandoned; };
    m_bLaunching = true;
    try {
        zeb::LaunchEngine(sHost, settings);
    } catch (const zeb::LaunchError& error) {
        // Reported here, over the open dialog: an exception must not cross Qt's event loop.
        m_nExitStatus = zeb::reportLaunchFailure(error);
    }
    m_bLaunching = false;
    done(QDialog::Accepted);
}

void frmSelect::reject() {
    if (m_bLaunching) {
        m_bLaunchAbandoned = true; // cmdOK_Click closes the dialog once the engine is released
        return;
    }
    QDialog::reject();
}

void frmSelect::hypConfig_Click() {
    if (m_bLaunching) {
        return;
    }
    frmConfig config; // no owner window: it is centred on the screen, not over this dialog
    config.Display();
    RefreshConnections();
    // The focus goes where it stands when this dialog opens (Connect, when shown), so that Enter
    // connects rather than following the link again.
    focusFirstControl();
}
