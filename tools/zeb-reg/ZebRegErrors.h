// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How zeb-reg fails: a CommandError, thrown wherever a command is found wrong or the store refuses
// it, and caught in runZebReg (ZebReg.cpp), which prints "ERROR: " and the message (and for a
// syntax error a usage reminder) and returns 1. Import alone catches one on the way, to name its
// file in the message, and throws it on. Nothing has changed by then: every change runs in one
// runAtomically call of the store, which rolls back when a CommandError leaves it. Also here: the
// words in which zeb-reg tells the store's status codes.
#pragma once

#include "RegistryBackend.h"

#include <string>
#include <string_view>

namespace zeb::regtool {

struct CommandError {
    std::string message;    // printed after "ERROR: "
    bool showUsage = false; // a syntax error, which only the command line finds
};

[[noreturn]] void fail(std::string message);

// Fails with "`doing`: " and the status in words, unless it is 0.
void check(reg::Status status, const std::string& doing);

// Why add and import refuse a value on the root, as the platform's registry does.
inline constexpr std::string_view ROOT_HOLDS_NO_VALUES =
    "access is denied: HKEY_LOCAL_MACHINE itself holds no values, only the keys below it do";

} // namespace zeb::regtool
