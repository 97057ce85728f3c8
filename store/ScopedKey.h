// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// ScopedKey: one open key that is closed when its holder goes out of scope.
//
// CRegKey keeps the platform's rule that dropping a holder does not close its key; code that opens
// keys on its own account (zeb-reg's tree walks, the engine's reads) holds them here instead, so an
// early return or an exception never leaves a handle open. A ScopedKey works on the back end it is
// given, in the store's own bytes (no text conversion), or takes over a key a CRegKey opened.
#pragma once

#include "CRegKey.h"
#include "RegistryBackend.h"

#include <string>

namespace zeb::reg {

class ScopedKey {
public:
    explicit ScopedKey(RegistryBackend& store = backend()) : store_(store) {}
    ~ScopedKey() { close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    // Open or create a key, closing any held before; the path is in store bytes. On failure none
    // is held.
    Status open(const std::string& path) { return openBelow(HKEY_LOCAL_MACHINE, path); }
    Status openBelow(Handle parent, const std::string& name) {
        close();
        return keep(store_.openKey(parent, name, &handle_));
    }
    Status create(const std::string& path) {
        close();
        return keep(store_.createKey(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &handle_));
    }

    // Takes over the key `opened` holds (it then holds none), closing any held before. For keys
    // CRegKey opened from UTF-8 paths; the ScopedKey must work on the process-wide back end.
    void adopt(CRegKey& opened) {
        close();
        handle_ = opened.m_hKey;
        opened.m_hKey = 0;
    }

    // The held key for CRegKey's UTF-8 reads and writes. The CRegKey only borrows the handle:
    // dropping it leaves the key open, as dropping any CRegKey does.
    CRegKey borrowed() const {
        CRegKey key;
        key.m_hKey = handle_;
        return key;
    }

    Handle get() const { return handle_; }

private:
    RegistryBackend& store_;
    Handle handle_ = 0;

    void close() {
        if (handle_ != 0) {
            store_.closeKey(handle_);
            handle_ = 0;
        }
    }
    Status keep(Status status) {
        if (status != ERROR_SUCCESS) {
            handle_ = 0;
        }
        return status;
    }
};

} // namespace zeb::reg
