// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The entry checks of the host editor, run by OK before anything is written.
#include "frmHost.h"

#include "DottedAddress.h"
#include "MessageBox.h"
#include "StoredSettings.h"
#include "modLibrary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace zeb::ui;

// Stops at the first entry that is missing or malformed. Only what the save would write for the
// chosen transport is examined; a record of no known transport is checked as TCP/IP.
bool frmHost::Validate() {
    if (trimSpaces(txtName->text()).isEmpty()) {
        return refuseEntry(QStringLiteral("Please enter a server name"), txtName);
    }
    if (!namesOwnHostKey(trimSpaces(txtName->text()))) {
        return refuseEntry(QStringLiteral("Please enter a server name without a backslash (\\)"),
                           txtName);
    }
    if (chkTracing->isChecked() && trimSpaces(txtTraceFile->text()).isEmpty()) {
        return refuseEntry(
            QStringLiteral("Please enter a filename for the character trace capture"),
            txtTraceFile);
    }
    if (optSerial->isChecked()) {
        if (cboSerialPort->currentText().isEmpty()) {
            return refuseEntry(QStringLiteral("Please select a communications port"),
                               cboSerialPort);
        }
        return true;
    }
    if (trimSpaces(txtTelnetIP->text()).isEmpty()) {
        return refuseEntry(QStringLiteral("Please enter a hostname or IP address"), txtTelnetIP);
    }
    if (trimSpaces(txtTelnetPort->text()).isEmpty()) {
        return refuseEntry(QStringLiteral("Please enter a TCP/IP port number"), txtTelnetPort);
    }
    // The address rule reads the text as typed: a blank at either end breaks a dotted address.
    if (!isAcceptableHostOrAddress(txtTelnetIP->text())) {
        return refuseEntry(QStringLiteral("Please enter a valid IP address or a hostname"),
                           txtTelnetIP);
    }
    return true;
}
