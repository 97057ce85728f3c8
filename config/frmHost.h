// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The host editor: adds or edits one host record, checks the entries and saves them.
//
// Every control carries its name as its objectName (txtName, optSerial, cmdOK..., and the fields'
// controls as HostFields.h names them), and the dialog itself is named "frmHost", so tests and
// other dialogs' tests can find it. Two ways to drive it from a test:
//   - without a modal loop: load() the dialog for a mode, show() it, act on its controls, then read
//     Result() (what Display would have returned) and the store;
//   - through Display: arm a ModalDialogDriver (tests/support) for "frmHost" that presses cmdOK or
//     cmdCancel, then call Display, which returns once the dialog has closed.
#pragma once

#include "HostFields.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <array>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zeb::reg {
class CRegKey;
}

enum eCallMode { cmAdd = 1, cmEdit = 2 };

class frmHost : public QDialog {
    Q_OBJECT
public:
    explicit frmHost(QWidget* parent = nullptr);

    // Loads the dialog for the mode, shows it modally and returns true after OK (the record was
    // written, or a failure to write it was reported), false after Cancel or the close box.
    bool Display(int eCallMode, const QString& sDefaultTTY, const QString& sName);

    // Everything Display does before the modal loop: the controls set back to how they were built,
    // the lists filled, the defaults selected and, in cmEdit, the record sName loaded. Display is
    // load, then the modal loop, then Result().
    void load(int eCallMode, const QString& sDefaultTTY, const QString& sName);

    // True once OK passed Validate and SaveHost ran (whether or not the store took every write);
    // false after load, Cancel and the close box.
    bool Result() const { return m_bResult; }

    // Cancel, Esc and the close box: nothing is written and Display returns false.
    void reject() override;

protected:
    // Fits the captions' font to the layout, measured as the dialog is about to be drawn.
    void showEvent(QShowEvent* event) override;
    // Runs the port box's key filter.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildTransportFrame();
    void buildTracingFrame();
    void buildSerialFrame();
    void buildTelnetFrame();
    void buildFieldsOf(zeb::config::Transport transport, QGroupBox* frame);
    void buildButtons();
    void resetControls();
    void fillLists();
    void selectDefaults(const QString& sDefaultTTY);
    void loadHost(const QString& sName);
    void loadFieldsOf(zeb::config::Transport transport, zeb::reg::CRegKey& key);

    void ShowTransport(const QString& sTransport);
    void optSerial_Click();
    void optTelnet_Click();
    void chkTracing_Click();
    void cmdOK_Click();
    bool txtTelnetPort_KeyPress(int& KeyAscii);

    bool Validate();
    void SaveHost();
    QList<std::pair<const char*, QString>> recordValues() const;

    int m_eCallMode = cmAdd;
    QString m_sOldName;
    bool m_bResult = false;

    QLineEdit* txtName = nullptr;
    QGroupBox* fraTransport = nullptr;
    QRadioButton* optSerial = nullptr;
    QRadioButton* optTelnet = nullptr;
    QGroupBox* fraTracing = nullptr;
    QCheckBox* chkTracing = nullptr;
    QLineEdit* txtTraceFile = nullptr;
    QGroupBox* fraSerial = nullptr;
    QGroupBox* fraTelnet = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The control of each row of HOST_FIELDS, at the row's index: a drop-down list or a text box,
    // as the row's entry says.
    struct FieldControl {
        QComboBox* list = nullptr;
        QLineEdit* box = nullptr;
        QWidget* widget() const;
    };
    std::array<FieldControl, std::size(zeb::config::HOST_FIELDS)> m_fields;
};
