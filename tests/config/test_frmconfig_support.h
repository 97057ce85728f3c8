// What the configuration utility's tests share: reading controls, the layout check, a store with
// two serial ports, records written and read as "name=text", and a store that refuses one value.
#pragma once

#include "CRegKey.h"
#include "Controls.h"
#include "FakeSysfs.h"
#include "ForwardingBackend.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest/QTest>

namespace frmconfig_test {

using namespace zeb::reg;
namespace layout = zeb::layout;

inline const char* const SAVE_FAILED = "Unable to save settings to the registry";

inline void Press(const QWidget& dialog, const char* button) {
    QTest::mouseClick(control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

inline bool checked(const QWidget& dialog, const char* button) {
    return control<QAbstractButton>(dialog, button)->isChecked();
}

inline bool HasFocus(const QWidget& dialog, const char* name) {
    return dialog.focusWidget() == control<QWidget>(dialog, name);
}

// What the named drop-down boxes show and the named text boxes hold, in that order.
inline QStringList Texts(const QWidget& dialog, std::initializer_list<const char*> names) {
    QStringList texts;
    for (const char* name : names) {
        const auto* box = dialog.findChild<QComboBox*>(QLatin1String(name));
        texts << (box ? box->currentText() : control<QLineEdit>(dialog, name)->text());
    }
    return texts;
}

// One row of a dialog's layout table: the control, its container, its place in twips.
struct Place {
    const char* name;
    const char* container;
    int left, top, width, height;
};

// The dialog and every control of its table (rows in tab order) where the table puts them, in
// pixels of 15 twips, truncated as the dialogs convert them; each label names the next row's
// control, Tab visits the focusable controls in table order, and the fitted font cuts off no
// one-line caption.
inline void checkLayout(const QWidget& dialog, QSize client, std::initializer_list<Place> table) {
    QCOMPARE(dialog.size(), QSize(client.width() / 15, client.height() / 15));
    QWidgetList focusable;
    for (const Place* row = table.begin(); row != table.end(); ++row) {
        auto* widget = control<QWidget>(dialog, row->name);
        QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(row->container));
        QCOMPARE(widget->geometry(),
                 QRect(row->left / 15, row->top / 15, row->width / 15, row->height / 15));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QVERIFY(row + 1 != table.end());
            QCOMPARE(label->buddy(), control<QWidget>(dialog, row[1].name));
        }
        if (qobject_cast<QLabel*>(widget) || qobject_cast<QRadioButton*>(widget) ||
            qobject_cast<QCheckBox*>(widget)) {
            QVERIFY2(widget->sizeHint().width() <= widget->width(), row->name);
        }
        if (widget->focusPolicy() & Qt::TabFocus) {
            focusable << widget;
        }
    }
    QVERIFY(!focusable.isEmpty());
    QWidgetList chain{focusable.value(0)};
    for (QWidget* step = chain.value(0)->nextInFocusChain(); step != chain.value(0);
         step = step->nextInFocusChain()) {
        if (focusable.contains(step)) {
            chain << step;
        }
    }
    QCOMPARE(chain, focusable);
}

// Fills the open host editor with a TCP/IP record (port left at its default) and presses OK.
inline void SaveTelnetHost(const QWidget& editor, const QString& name, const QString& address) {
    control<QLineEdit>(editor, "txtName")->setText(name);
    Press(editor, "optTelnet");
    control<QLineEdit>(editor, "txtTelnetIP")->setText(address);
    Press(editor, "cmdOK");
}

// A private store for one test; its device map lists /dev/ttyS0 and /dev/ttyUSB0.
struct PortsStore {
    FakeSysfs sysfs;
    ScratchStore store{{.readOnly = false, .sysfsRoot = sysfs.root()}};
    PortsStore() {
        sysfs.addPort("ttyS0");
        sysfs.addPort("ttyUSB0");
    }
};

// Every value of a key as "name=text" in store order; empty when there is no key.
inline QStringList StoredValues(const std::string& path) {
    CRegKey key;
    QStringList values;
    std::string name;
    Dword type = REG_SZ;
    RegValue data = std::string();
    key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ);
    for (Dword index = 0; key.EnumValue(index, name, type, data) == ERROR_SUCCESS; ++index) {
        values << QString::fromStdString(name + "=" + textOf(data));
    }
    key.CloseKey();
    return values;
}
inline QStringList StoredRecord(const std::string& name) {
    return StoredValues(layout::hostKeyPath(name));
}

// A listed host record holding exactly these "name=text" values.
inline bool PutRecord(const std::string& name, std::initializer_list<std::string> values) {
    bool written = ListHostName(name);
    for (const std::string& value : values) {
        const auto equals = value.find('=');
        written &=
            PutText(layout::hostKeyPath(name), value.substr(0, equals), value.substr(equals + 1));
    }
    return written;
}

// A store that refuses with "access denied" every write of the named value.
class RefusingStore final : public ForwardingBackend {
public:
    std::string refused;
    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        return name == refused ? ERROR_ACCESS_DENIED
                               : ForwardingBackend::setValue(key, name, type, data, cbData);
    }
};

} // namespace frmconfig_test
