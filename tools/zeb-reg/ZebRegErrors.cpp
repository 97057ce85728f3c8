// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegErrors.h"

#include <utility>

namespace zeb::regtool {

namespace {

std::string describeStatus(reg::Status status) {
    switch (status) {
    case reg::ERROR_FILE_NOT_FOUND:
        return "not found";
    case reg::ERROR_ACCESS_DENIED:
        return "access is denied (the store or the key is read-only, or a key still has subkeys)";
    case reg::ERROR_INVALID_PARAMETER:
        return "a name is too long";
    case reg::ERROR_BAD_PATHNAME:
        return "the key path is not valid";
    case reg::ERROR_BADDB:
    case reg::ERROR_REGISTRY_CORRUPT:
        return "the store file is not a valid store";
    case reg::ERROR_KEY_DELETED:
        return "the key was deleted meanwhile";
    default:
        return "the store answered with error " + std::to_string(status);
    }
}

} // namespace

void fail(std::string message) {
    throw CommandError{std::move(message), false};
}

void check(reg::Status status, const std::string& doing) {
    if (status != reg::ERROR_SUCCESS) {
        fail(doing + ": " + describeStatus(status));
    }
}

} // namespace zeb::regtool
