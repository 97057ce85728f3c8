// What the configuration utility's tests share: finding and reading controls, a store with two
// serial ports, reading and writing the store around the dialogs, and a store that watches writes.
#pragma once

#include "CRegKey.h"
#include "Controls.h"
#include "FakeSysfs.h"
#include "ForwardingBackend.h"
#include "ModalDialogDriver.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "StoreWrites.h"
#include "frmHost.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest/QTest>

#include <initializer_list>
#include <optional>
#include <string>

namespace frmconfig_test {

using namespace zeb::reg;
namespace layout = zeb::layout;

inline const char* const SAVE_FAILED = "Unable to save settings to the registry";

inline void Press(const QWidget& dialog, const char* button) {
    QTest::mouseClick(control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

// Whether the named option or check box is ticked.
inline bool checked(const QWidget& dialog, const char* button) {
    return control<QAbstractButton>(dialog, button)->isChecked();
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

// Fills the open host editor with a TCP/IP record (port left at its default) and presses OK.
inline void SaveTelnetHost(const QWidget& editor, const QString& name, const QString& address) {
    control<QLineEdit>(editor, "txtName")->setText(name);
    QTest::mouseClick(control<QAbstractButton>(editor, "optTelnet"), Qt::LeftButton);
    control<QLineEdit>(editor, "txtTelnetIP")->setText(address);
    Press(editor, "cmdOK");
}

// A private store for one test; its device map lists /dev/ttyS0 and /dev/ttyUSB0.
struct PortsStore {
    FakeSysfs sysfs;
    ScratchStore store;

    explicit PortsStore(bool readOnly = false)
        : store({.readOnly = readOnly, .sysfsRoot = sysfs.root()}) {
        sysfs.addPort("ttyS0");
        sysfs.addPort("ttyUSB0");
    }
};

// Loads the host editor as Display does and shows it, active, without the modal loop.
[[nodiscard]] inline bool ShowEditor(frmHost& editor, int mode, const QString& defaultTTY,
                                     const QString& name) {
    editor.load(mode, defaultTTY, name);
    editor.show();
    editor.activateWindow();
    return QTest::qWaitForWindowActive(&editor);
}

inline bool KeyExists(const std::string& path) {
    CRegKey key;
    const bool exists = key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ) == ERROR_SUCCESS;
    key.CloseKey();
    return exists;
}

// The values of one record as tests write and expect them: name, text, name, text...
using Record = std::initializer_list<std::string>;

// Every value of a key as "name=text" in store order (see AsStored); empty when there is no key.
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

// The stored text, or nothing when the key or the value is missing.
inline std::optional<QString> StoredText(const std::string& path, const char* name) {
    const QString prefix = QString(name) + '=';
    for (const QString& value : StoredValues(path)) {
        if (value.startsWith(prefix, Qt::CaseInsensitive)) {
            return value.mid(prefix.size());
        }
    }
    return std::nullopt;
}

inline QStringList AsStored(Record values) {
    QStringList texts;
    for (auto pair = values.begin(); pair != values.end(); pair += 2) {
        texts << QString::fromStdString(pair[0] + "=" + pair[1]);
    }
    return texts;
}

// A listed host record holding exactly these values.
inline bool PutRecord(const std::string& name, Record values) {
    bool written = ListHostName(name);
    for (auto pair = values.begin(); pair != values.end(); pair += 2) {
        written &= PutText(layout::hostKeyPath(name), pair[0], pair[1]);
    }
    return written;
}

// A listed record with its transport and its Port and Address values.
inline bool PutHost(const std::string& name, const std::string& transport, const std::string& port,
                    const std::string& address = {}) {
    return PutRecord(name, {layout::TRANSPORT, transport, layout::PORT, port}) &&
           (address.empty() || PutText(layout::hostKeyPath(name), layout::ADDRESS, address));
}

// A store that counts every write made through it (creating, setting, deleting) and refuses with
// "access denied" a set or delete of one chosen value, as a store that cannot write it would.
class ObservedStore final : public ForwardingBackend {
public:
    int writes = 0;
    std::string refusedSetValue, refusedDeleteValue; // value names

    Status createKey(Handle parent, const std::string& subKey, Dword options, Dword samDesired,
                     Handle* result) override {
        ++writes;
        return ForwardingBackend::createKey(parent, subKey, options, samDesired, result);
    }
    Status setValue(Handle key, const std::string& name, Dword type, const unsigned char* data,
                    Dword cbData) override {
        ++writes;
        return name == refusedSetValue ? ERROR_ACCESS_DENIED
                                       : ForwardingBackend::setValue(key, name, type, data, cbData);
    }
    Status deleteValue(Handle key, const std::string& name) override {
        ++writes;
        return name == refusedDeleteValue ? ERROR_ACCESS_DENIED
                                          : ForwardingBackend::deleteValue(key, name);
    }
    Status deleteKey(Handle key, const std::string& subKey) override {
        ++writes;
        return ForwardingBackend::deleteKey(key, subKey);
    }
};
using ObservedScope = BackendScope<ObservedStore>;

} // namespace frmconfig_test
