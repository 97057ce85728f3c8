// What the host editor's tests share: a store whose device map lists two serial ports, showing the
// editor without its modal loop, and writing host records the way another writer would.
// Control lookups and store reads come from the configuration dialog's test support.
#pragma once

#include "test_frmconfig_support.h"

#include "FakeSysfs.h"
#include "ScratchStore.h"
#include "frmHost.h"

#include <QComboBox>
#include <QLineEdit>
#include <initializer_list>
#include <utility>

namespace frmhost_test {

using namespace frmconfig_test;

inline const char* const SAVE_FAILED = "Unable to save settings to the registry";

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

// Loads the editor as Display does and shows it, active, without the modal loop.
[[nodiscard]] inline bool ShowEditor(frmHost& editor, int mode, const QString& defaultTTY,
                                     const QString& name) {
    editor.Load(mode, defaultTTY, name);
    editor.show();
    editor.activateWindow();
    return QTest::qWaitForWindowActive(&editor);
}

// A listed host record holding exactly these values.
inline bool PutRecord(const std::string& name,
                      std::initializer_list<std::pair<const char*, std::string>> values) {
    bool written = ListHostName(name);
    for (const auto& [value, text] : values) {
        written &= PutText(HostKey(name), value, text);
    }
    return written;
}

inline QString Shown(const QWidget& dialog, const char* comboName) {
    return Control<QComboBox>(dialog, comboName)->currentText();
}

inline QString Typed(const QWidget& dialog, const char* boxName) {
    return Control<QLineEdit>(dialog, boxName)->text();
}

} // namespace frmhost_test
