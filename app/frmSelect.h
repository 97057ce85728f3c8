// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The connection selection dialog: offers the stored host records (and, when the settings permit
// it, any typed host name or dotted address), launches the engine for the chosen name on Connect
// and closes. Before the configuration has ever been saved it says so and offers only the link to
// the configuration utility.
//
// Construction builds the controls and fills them from the store; Display shows the dialog
// modally, so tests can build, drive and inspect it without a modal loop. Every control carries
// its own name as its objectName.
#pragma once

#include "modZEB.h"

#include <QDialog>

class LinkLabel;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace zeb {

enum class ConnectionMode { NotConfigured = 1, ListOnly = 2, FreeEntry = 3 };

// The mode the settings choose: NotConfigured when the Settings key cannot be opened, FreeEntry
// when its EnableNR value is exactly "Y", else ListOnly.
ConnectionMode readConnectionMode();

// Reads from the store what the dialog's construction reads first, and forgets it: the start-up
// warm-up (StartupWarmUp.h) calls it so that the store is open and its pages in memory by then.
void readSelectionStoreAhead();

} // namespace zeb

class frmSelect : public QDialog {
    Q_OBJECT
public:
    // launchSettings are handed to every launch; the dialog adds its own `abandoned` test.
    explicit frmSelect(QWidget* parent = nullptr, zeb::LaunchSettings launchSettings = {});

    // Shows the dialog modally with no owner window; returns once it has closed.
    void Display();

    // 1 once a launch ended with the error report (the program then ends with it), else 0.
    int exitStatus() const { return m_nExitStatus; }

protected:
    // Close, Esc and the window's close box. During a launch's wait they give the launch up; the
    // dialog then closes when the launch has released the engine.
    void reject() override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void RefreshConnections();
    void fillConnectionBoxes(bool bFirstOnly);
    void ApplyConnectionMode();
    bool ValidateConnection();
    void focusFirstControl();
    void followConnectionAccessKey();

    void cmdOK_Click();
    void hypConfig_Click();

    zeb::LaunchSettings m_launchSettings;
    bool m_bLaunching = false;
    bool m_bLaunchAbandoned = false;
    int m_nExitStatus = 0;

    QGroupBox* fraConnection = nullptr;
    QLabel* lblConnection = nullptr;
    QComboBox* cboConnectionList = nullptr;
    QComboBox* cboConnectionCombo = nullptr;
    QLabel* lblText = nullptr;
    LinkLabel* hypConfig = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
