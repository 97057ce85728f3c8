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

using namespace zeb::config;
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
        QComboBox* const serialPort = m_fields[SERIAL_PORT].list;
        if (serialPort->currentText().isEmpty()) {
            return refuseEntry(QStringLiteral("Please select a communications port"), serialPort);
        }
        return true;
    }
    QLineEdit* const address = m_fields[TELNET_ADDRESS].box;
    QLineEdit* const port = m_fields[TELNET_PORT].box;
    if (trimSpaces(address->text()).isEmpty()) {
        return refuseEntry(QLatin1String(HOST_MISSING_MESSAGE), address);
    }
    if (trimSpaces(port->text()).isEmpty()) {
        return refuseEntry(QStringLiteral("Please enter a TCP/IP port number"), port);
    }
    // The address rule reads the text as typed: a blank at either end breaks a dotted address.
    if (!isAcceptableHostOrAddress(address->text())) {
        return refuseEntry(QLatin1String(HOST_INVALID_MESSAGE), address);
    }
    return true;
}
