// The configuration utility: the General tab (default emulation, name resolution) and the Hosts tab.
#pragma once

#include <QDialog>

class frmConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmConfig(QWidget* parent = nullptr);

    // Loads the settings and the host list, shows the dialog modally and returns once it closed.
    void Display();
};
