// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The configuration utility: the General tab (default emulation, name resolution) and the Hosts
// tab.
//
// The dialog keeps no data of its own: every opening reads the store again, OK writes the General
// tab's two settings, and the Hosts tab writes (through the host editor) or removes host records at
// once, so Cancel never undoes a host change.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QTabWidget;
class QTreeView;
class HostListModel;

class frmConfig : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog with every control of its layout; nothing is read from the store yet. The
    // program opens it with no owner window: modal over the whole program, centred on the screen.
    explicit frmConfig(QWidget* parent = nullptr);

    // Loads the settings and the host list, shows the dialog modally and returns once it closed.
    void Display();

    // Display's steps before the dialog is shown: fill the emulation list, load the settings and
    // the host list, select the General page. Public so that tests and benchmarks can drive the
    // dialog without its modal loop; Display calls it and nothing else does in the program.
    void load();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildGeneralPage();
    void buildHostsPage();
    void buildTabStrip();

    QString selectedTabKey() const;
    void ShowPage(const QString& sKey, bool bSelectTab);
    void LoadSettings();
    void SaveSettings();
    void RefreshHostList();
    // After a change of one record: the rows that changed, no rebuild (see frmConfig.cpp).
    void refreshChangedRows(int nChangedRow);
    void fillHostColumns(int nFirstRow, int nLastRow);
    void selectFirstRow();
    // Opens the host editor over this dialog; a true answer means the store changed.
    void runHostEditor(int eCallMode, const QString& sDefaultTTY, int nRow);

    void Form_Activate();
    void tabMain_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdRemove_Click();
    void lstHosts_DblClick();

    QTabWidget* tabMain = nullptr;
    QWidget* frpGeneral = nullptr;
    QLabel* lblEmulation = nullptr;
    QComboBox* cboDefaultEmulation = nullptr;
    QRadioButton* optNoAlias = nullptr;
    QRadioButton* optAlias = nullptr;
    QWidget* frpHosts = nullptr;
    QLabel* lblHosts = nullptr;
    QTreeView* lstHosts = nullptr;
    HostListModel* m_hostRows = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
