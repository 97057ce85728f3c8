// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The store as zeb-reg reads and changes it: the store's walking (KeyTree.h) on the back end the
// command was given, with every failure a CommandError that names the step and the key as a person
// reads it ("listing the subkeys of 'HKEY_LOCAL_MACHINE\...': access is denied ..."). Paths are
// below HKEY_LOCAL_MACHINE, in store bytes ("" is the root). Keys are held in ScopedKeys, so a
// failure never leaves one open.
#pragma once

#include "KeyTree.h"
#include "RegistryBackend.h"
#include "ScopedKey.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeb::regtool {

// Opens the key at `path`; a missing key fails as "the key '...' was not found".
void openExisting(reg::ScopedKey& key, const std::string& path);
// False when the key at `path` is missing; fails when it cannot be opened for another reason.
bool keyExists(reg::RegistryBackend& store, const std::string& path);

// Every value of the open `key` (at `path`, for the message), in enumeration order.
std::vector<reg::StoredValue> valuesOf(reg::RegistryBackend& store, reg::Handle key,
                                       const std::string& path);
// The value called `name`, or nullopt when the key has none of that name.
std::optional<reg::StoredValue> valueNamed(reg::RegistryBackend& store, reg::Handle key,
                                           const std::string& path, const std::string& name);
// The names of the subkeys of the open `key`, in enumeration order.
std::vector<std::string> subkeyNames(reg::RegistryBackend& store, reg::Handle key,
                                     const std::string& path);

// Visits `path` and every key below it, each key before its subkeys, in enumeration order; a key
// whose path is `leftOut` is passed over with everything below it (walkKeyTree).
void walkTree(reg::RegistryBackend& store, const std::string& path, const reg::KeyVisitor& visit,
              const std::string& leftOut = {});

// Runs `body` as one transaction of the store: any failure inside it (a CommandError) rolls back
// everything `body` changed and is then reported; so is a commit the store refuses.
void runChanges(reg::RegistryBackend& store, const std::function<void()>& body);
// Deletes `path` with everything below it (the store's one recursive delete, deleteKeyTree).
void deleteTree(reg::RegistryBackend& store, const std::string& path);
// Writes the value `name` of `type` holding `data` to the open `key`: the store's status, for the
// caller's message.
reg::Status storeValue(reg::RegistryBackend& store, reg::Handle key, const std::string& name,
                       reg::Dword type, const std::string& data);

} // namespace zeb::regtool
