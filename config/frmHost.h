// The host editor: adds or edits one host record, checks the entries and saves them.
#pragma once

#include <QDialog>
#include <QString>

enum eCallMode { cmAdd = 1, cmEdit = 2 };

class frmHost : public QDialog {
    Q_OBJECT
public:
    explicit frmHost(QWidget* parent = nullptr);

    // Loads the dialog for the mode, shows it modally and returns true after OK (the record was
    // written, or a failure to write it was reported), false after Cancel or the close box.
    bool Display(int eCallMode, const QString& sDefaultTTY, const QString& sName);
};
