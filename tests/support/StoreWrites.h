// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Writes to the installed store as another writer (the configuration utility, zeb-reg) would.
#pragma once

#include "CRegKey.h"
#include "StoreLayout.h"

#include <optional>
#include <string>

inline bool PutValue(const std::string& path, const std::string& name,
                     const zeb::reg::RegValue& value) { // text, or a number
    zeb::reg::CRegKey key;
    auto status = key.Create(zeb::reg::HKEY_LOCAL_MACHINE, path, 0, zeb::reg::WRITER_ACCESS);
    status |= key.SetValue(value, name);
    key.CloseKey();
    return status == zeb::reg::ERROR_SUCCESS;
}

// The Settings key with DefaultTTY, and with EnableNR unless it is nothing.
inline bool PutSettings(const std::string& defaultTTY, const std::optional<std::string>& enableNR) {
    return PutValue(zeb::layout::SETTINGS_KEY, zeb::layout::DEFAULT_TTY, defaultTTY) &&
           (!enableNR || PutValue(zeb::layout::SETTINGS_KEY, zeb::layout::ENABLE_NR, *enableNR));
}

// A HostList entry only: a listed name whose record key is missing.
inline bool ListHostName(const std::string& name) {
    return PutValue(zeb::layout::HOSTLIST_KEY, name, zeb::layout::HOSTLIST_MARK);
}
