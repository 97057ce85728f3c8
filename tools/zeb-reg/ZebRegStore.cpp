// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegStore.h"

#include "RegFile.h"
#include "ZebRegErrors.h"
#include "ZebRegValueDisplay.h"

#include <utility>

namespace zeb::regtool {

namespace {

using reg::Dword;
using reg::Handle;
using reg::RegistryBackend;
using reg::Status;

void checkOpened(Status status, const std::string& path) {
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        fail("the key '" + regfile::shownKeyPath(path) + "' was not found");
    }
    check(status, "opening the key '" + regfile::shownKeyPath(path) + "'");
}

// A tree operation's failure in words naming its step and key.
void checkTree(const reg::TreeFailure& failure) {
    const auto shownPath = [&failure] { return regfile::shownKeyPath(failure.path); };
    switch (failure.step) {
    case reg::TreeStep::OpenKey:
        return checkOpened(failure.status, failure.path);
    case reg::TreeStep::ListSubkeys:
        return check(failure.status, "listing the subkeys of '" + shownPath() + "'");
    case reg::TreeStep::DeleteKey:
        return check(failure.status, "deleting the key '" + shownPath() + "'");
    }
}

} // namespace

void openExisting(reg::ScopedKey& key, const std::string& path) {
    checkOpened(key.open(path), path);
}

std::vector<reg::StoredValue> valuesOf(RegistryBackend& store, Handle key,
                                       const std::string& path) {
    std::vector<reg::StoredValue> values;
    // The message only on failure: an export reads a million values.
    if (const auto status = reg::ValueReader(store, key).all(values);
        status != reg::ERROR_SUCCESS) {
        check(status, "reading the values of '" + regfile::shownKeyPath(path) + "'");
    }
    return values;
}

std::optional<reg::StoredValue> valueNamed(RegistryBackend& store, Handle key,
                                           const std::string& path, const std::string& name) {
    reg::StoredValue value;
    const auto status = reg::ValueReader(store, key).named(name, value);
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status != reg::ERROR_SUCCESS) {
        check(status, "reading the value '" + shownValueName(name) + "' of '" +
                          regfile::shownKeyPath(path) + "'");
    }
    return value;
}

std::vector<std::string> subkeyNames(RegistryBackend& store, Handle key, const std::string& path) {
    std::vector<std::string> names;
    if (const auto status = reg::listSubkeys(store, key, names); status != reg::ERROR_SUCCESS) {
        check(status, "listing the subkeys of '" + regfile::shownKeyPath(path) + "'");
    }
    return names;
}

void walkTree(RegistryBackend& store, const std::string& path, const reg::KeyVisitor& visit,
              const std::string& leftOut) {
    checkTree(reg::walkKeyTree(store, path, visit, leftOut));
}

void runChanges(RegistryBackend& store, const std::function<void()>& body) {
    // A CommandError from `body` leaves through runAtomically, which rolls the group back first.
    const Status status = store.runAtomically([&] {
        body();
        return reg::ERROR_SUCCESS;
    });
    check(status, "saving the change");
}

void deleteTree(RegistryBackend& store, const std::string& path) {
    checkTree(reg::deleteKeyTree(store, reg::HKEY_LOCAL_MACHINE, path));
}

bool keyExists(RegistryBackend& store, const std::string& path) {
    reg::ScopedKey key(store);
    const auto status = key.open(path);
    if (status == reg::ERROR_FILE_NOT_FOUND) {
        return false;
    }
    check(status, "opening the key '" + regfile::shownKeyPath(path) + "'");
    return true;
}

Status storeValue(RegistryBackend& store, Handle key, const std::string& name, Dword type,
                  const std::string& data) {
    return store.setValue(key, name, type, reinterpret_cast<const unsigned char*>(data.data()),
                          static_cast<Dword>(data.size()));
}

} // namespace zeb::regtool
