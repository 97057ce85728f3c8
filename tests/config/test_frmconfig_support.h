// What the configuration dialog's tests share: finding controls, reading and writing the store
// around the dialog, a store that watches the dialog's writes, and driving the modal loops of the
// dialog and of the host editor it opens, each with a bound so that no test can hang.
#pragma once

#include "CRegKey.h"
#include "ForwardingBackend.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace frmconfig_test {

using namespace zeb::reg;
namespace layout = zeb::layout;

// The control of that name; a missing one is a broken dialog, not a failed expectation.
template <typename T> T* Control(const QWidget& dialog, const char* name) {
    T* control = dialog.findChild<T*>(QLatin1String(name));
    if (control == nullptr) {
        qFatal("no control %s of the expected kind", name);
    }
    return control;
}

// Clicks the named button as the user would.
inline void Press(const QWidget& dialog, const char* button) {
    QTest::mouseClick(Control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

inline std::string HostKey(const std::string& name) {
    return std::string(layout::HOSTS_KEY) + "\\" + name;
}

inline bool KeyExists(const std::string& path) {
    CRegKey key;
    const bool exists = key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ) == ERROR_SUCCESS;
    key.CloseKey();
    return exists;
}

// The stored text, or nothing when the key or the value is missing.
inline std::optional<QString> StoredText(const std::string& path, const char* name) {
    CRegKey key;
    std::optional<QString> text;
    if (key.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ) == ERROR_SUCCESS) {
        Dword type = REG_SZ;
        Dword size = 1024;
        RegValue value = std::string();
        if (key.QueryValue(name, type, value, size) == ERROR_SUCCESS) {
            text = QString::fromStdString(textOf(value));
        }
    }
    key.CloseKey();
    return text;
}

inline bool PutText(const std::string& path, const std::string& name, const std::string& text) {
    CRegKey key;
    Status status = key.Create(HKEY_LOCAL_MACHINE, path, 0, WRITER_ACCESS);
    status |= key.SetValue(text, name);
    key.CloseKey();
    return status == ERROR_SUCCESS;
}

inline bool PutSettings(const std::string& defaultTTY, const std::optional<std::string>& enableNR) {
    bool ok = PutText(layout::SETTINGS_KEY, layout::DEFAULT_TTY, defaultTTY);
    if (enableNR) {
        ok &= PutText(layout::SETTINGS_KEY, layout::ENABLE_NR, *enableNR);
    }
    return ok;
}

// A HostList entry only: a listed name whose record key is missing.
inline bool ListHostName(const std::string& name) {
    return PutText(layout::HOSTLIST_KEY, name, layout::HOSTLIST_MARK);
}

// A listed record with its transport and its Port and Address values.
inline bool PutHost(const std::string& name, const std::string& transport, const std::string& port,
                    const std::string& address = {}) {
    return ListHostName(name) && PutText(HostKey(name), layout::TRANSPORT, transport) &&
           PutText(HostKey(name), layout::PORT, port) &&
           (address.empty() || PutText(HostKey(name), layout::ADDRESS, address));
}

// A store that lets a test watch the dialog: it counts every write made through it (creating,
// setting, deleting) and refuses a set or delete of one chosen value or subkey with "access
// denied", as a store that cannot write that entry would.
class ObservedStore final : public ForwardingBackend {
public:
    int writes = 0;
    std::string refusedSetValue;    // value name whose setValue gives 5
    std::string refusedDeleteValue; // value name whose deleteValue gives 5

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

// Polls for a modal dialog of the given name while a test action runs, acts on it once, and
// closes it (and records so) when the action left it open. Unlike ModalDialogDriver it accepts a
// dialog that never appears, which is what the "does nothing" cases check, and it cannot leave a
// test hanging on a dialog that an action (a refused OK, say) failed to close.
class ModalHandler {
public:
    ModalHandler(const char* objectName, std::function<void(QDialog*)> act)
        : name_(QLatin1String(objectName)), act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }

    bool opened() const { return opened_; }
    // The action did not close the dialog, so the handler had to.
    bool leftOpen() const { return leftOpen_; }

private:
    static constexpr int TICKS_BEFORE_FORCED_CLOSE = 200;

    void poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog->objectName() != name_) {
            return;
        }
        if (!opened_) {
            opened_ = true;
            act_(dialog);
        } else if (++ticksOpen_ > TICKS_BEFORE_FORCED_CLOSE) {
            leftOpen_ = true;
            dialog->reject();
        }
    }

    QString name_;
    std::function<void(QDialog*)> act_;
    QTimer timer_;
    bool opened_ = false;
    bool leftOpen_ = false;
    int ticksOpen_ = 0;
};

} // namespace frmconfig_test
