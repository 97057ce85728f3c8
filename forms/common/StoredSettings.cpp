#include "StoredSettings.h"

#include "StoreLayout.h"

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
    for (reg::Dword index = 0;; ++index) {
        std::string name;
        reg::Dword type = reg::REG_SZ;
        reg::RegValue value = std::string();
        if (key.EnumValue(index, name, type, value) != reg::ERROR_SUCCESS) {
            break;
        }
        names.append(QString::fromStdString(name));
    }
    key.CloseKey();
    return names;
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

} // namespace zeb::ui
