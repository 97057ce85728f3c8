// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg: the administrator's command for the store, shaped like the platform's `reg` command so
// that host lists can be provisioned by script and moved between machines:
//
//   zeb-reg query KEY [/v NAME | /ve] [/s]
//   zeb-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]
//   zeb-reg delete KEY [/v NAME | /ve | /va] [/f]
//   zeb-reg export KEY FILE [/y]
//   zeb-reg import FILE
//   zeb-reg /?   and   zeb-reg VERB /?   (also /h, -h, --help): the help pages of ZebRegUsage.h
//
// KEY is HKLM\... or HKEY_LOCAL_MACHINE\... (HKLM alone is the root). KEY and FILE come right
// after the verb, the switches after them. Verbs and switch names are case-insensitive and a switch
// may start with '-' instead of '/'. In the place of KEY or FILE, a word that starts with '/' or
// '-' counts as a switch only when letters alone follow, so file paths such as /tmp/hosts.reg stay
// plain arguments; after them, every such word is a switch.
//
// Where the platform would ask a question, a script has nobody to answer it, so:
//   - add refuses to replace an existing value without /f;
//   - delete needs /f, unless the input is a terminal, where it asks "(Yes/No)";
//   - export refuses to replace an existing file without /y.
// Success prints "The operation completed successfully." (query prints what it found) and returns
// 0; a failure prints "ERROR: " and the reason on the error stream and returns 1, having changed
// nothing: every change a command makes runs in one runAtomically call of the store.
//
// Texts: the store holds Windows-1252; arguments are taken and output is given in UTF-8 (the
// user's locale). An argument character Windows-1252 lacks is refused rather than stored as '?'.
// Export writes the store's bytes exactly (see RegFile.h); import takes the whole file or nothing.
#pragma once

#include "RegistryBackend.h"
#include "ZebRegConsole.h"

#include <string>
#include <vector>

namespace zeb::regtool {

// Runs one command; `args` are the words after the program name. Returns the exit status.
int runZebReg(reg::RegistryBackend& store, const std::vector<std::string>& args, Console& console);

} // namespace zeb::regtool
