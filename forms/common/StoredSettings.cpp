// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "StoredSettings.h"

#include "MessageBox.h"
#include "StoreLayout.h"

#include <vector>

namespace zeb::ui {

std::optional<QString> readStoredText(reg::CRegKey& key, const char* name) {
    reg::Dword dataType = reg::REG_SZ;
    reg::RegValue value = std::string();
    if (key.QueryValue(name, dataType, value) != reg::ERROR_SUCCESS ||
        (dataType != reg::REG_SZ && dataType != reg::REG_DWORD)) {
        return std::nullopt;
    }
    return QString::fromStdString(reg::textOf(value));
}

QStringList storedHostNames() {
    QStringList names;
    reg::CRegKey key;
    key.OpenKey(reg::HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, reg::KEY_READ);
    // Up to the first value that cannot be read, as a walk with EnumValue lists them.
    std::vector<std::string> stored;
    key.EnumValueNames(stored);
    key.CloseKey();
    names.reserve(static_cast<qsizetype>(stored.size()));
    for (const std::string& name : stored) {
        names.append(QString::fromStdString(name));
    }
    return names;
}

std::optional<QString> storedHostNameAt(int index) {
    reg::CRegKey key;
    key.OpenKey(reg::HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, reg::KEY_READ);
    std::string name;
    reg::Dword type = reg::REG_SZ;
    reg::RegValue data = std::string();
    const reg::Status status = key.EnumValue(static_cast<reg::Dword>(index), name, type, data);
    key.CloseKey();
    if (status != reg::ERROR_SUCCESS) {
        return std::nullopt;
    }
    return QString::fromStdString(name);
}

bool namesOwnHostKey(const QString& name) {
    return !name.contains(u'\\');
}

reg::Status openOrCreateForWriting(reg::CRegKey& key, const std::string& path) {
    if (key.OpenKey(reg::HKEY_LOCAL_MACHINE, path, reg::KEY_WRITE) == reg::ERROR_SUCCESS) {
        return reg::ERROR_SUCCESS;
    }
    return key.Create(reg::HKEY_LOCAL_MACHINE, path, 0, reg::WRITER_ACCESS);
}

void reportSaveFailure() {
    showMessage(QStringLiteral("Unable to save settings to the registry"), MsgIcon::Critical,
                MsgButtons::Ok);
}

} // namespace zeb::ui
