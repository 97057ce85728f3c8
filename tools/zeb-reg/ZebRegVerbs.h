// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's verbs: query, add, delete, export and import of a parsed Invocation against the store.
// Each verb throws CommandError when it fails, having changed nothing: every change runs in one
// runAtomically call of the store. Success prints to the console's `out`.
#pragma once

#include "RegistryBackend.h"
#include "ZebRegCommandLine.h"
#include "ZebRegConsole.h"

namespace zeb::regtool {

void runVerb(reg::RegistryBackend& store, const Invocation& invocation, Console& console);

} // namespace zeb::regtool
