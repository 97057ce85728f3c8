// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's verbs: query, add, delete, export and import, each run on its command
// (ZebRegCommands.h), whose arguments the command line has decoded and checked already. Each verb
// throws CommandError when it fails, having changed nothing: every change runs in one runAtomically
// call of the store. Success prints to the console's `out`; only delete reads the console's `in`,
// for its question.
#pragma once

#include "RegistryBackend.h"
#include "ZebRegCommands.h"
#include "ZebRegConsole.h"

namespace zeb::regtool {

void runCommand(reg::RegistryBackend& store, const Command& command, Console& console);

} // namespace zeb::regtool
