// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How zeb-reg fails: a CommandError, thrown wherever a command is found wrong or the store refuses
// it, and caught in runZebReg (ZebReg.cpp), which prints "ERROR: " and the message (and for a
// syntax error a usage reminder) and returns 1. Nothing has changed by then: every change runs in
// one runAtomically call of the store, which rolls back when a CommandError leaves it. Also here:
// the words in which zeb-reg tells the store's status codes.
#pragma once

#include "RegistryBackend.h"

#include <string>

namespace zeb::regtool {

struct CommandError {
    std::string message; // printed after "ERROR: "
    bool showUsage = false;
};

[[noreturn]] void fail(std::string message);
// Prefixes "Invalid syntax: " and asks for the usage reminder.
[[noreturn]] void failSyntax(std::string message);

// Fails with "`doing`: " and the status in words, unless it is 0.
void check(reg::Status status, const std::string& doing);

} // namespace zeb::regtool
