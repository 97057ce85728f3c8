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
    if (TrimSpaces(txtName->text()).isEmpty()) {
        return RefuseEntry(QStringLiteral("Please enter a server name"), txtName);
    }
    if (!NamesOwnHostKey(TrimSpaces(txtName->text()))) {
        return RefuseEntry(QStringLiteral("Please enter a server name without a backslash (\\)"),
                           txtName);
    }
    if (chkTracing->isChecked() && TrimSpaces(txtTraceFile->text()).isEmpty()) {
        return RefuseEntry(
            QStringLiteral("Please enter a filename for the character trace capture"),
            txtTraceFile);
    }
    if (optSerial->isChecked()) {
        if (cboSerialPort->currentText().isEmpty()) {
            return RefuseEntry(QStringLiteral("Please select a communications port"),
                               cboSerialPort);
        }
        return true;
    }
    if (TrimSpaces(txtTelnetIP->text()).isEmpty()) {
        return RefuseEntry(QStringLiteral("Please enter a hostname or IP address"), txtTelnetIP);
    }
    if (TrimSpaces(txtTelnetPort->text()).isEmpty()) {
        return RefuseEntry(QStringLiteral("Please enter a TCP/IP port number"), txtTelnetPort);
    }
    // The address rule reads the text as typed: a blank at either end breaks a dotted address.
    if (!IsAcceptableHostOrAddress(txtTelnetIP->text())) {
        return RefuseEntry(QStringLiteral("Please enter a valid IP address or a hostname"),
                           txtTelnetIP);
    }
    return true;
}
