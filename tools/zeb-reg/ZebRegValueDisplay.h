// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How zeb-reg shows what the store holds, as the platform's reg shows it: a key by its full name,
// a value as one line of name, type and data. A control character in a name or in text data is
// shown as \x and two hexadecimal digits (regfile::shownText), so that no stored byte commands the
// terminal. Works on store bytes (Windows-1252) and gives UTF-8.
#pragma once

#include "KeyTree.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace zeb::regtool {

// A value's name as a person reads it: "(Default)" for the default value.
std::string shownValueName(const std::string& name);

// The key at `path` (below HKEY_LOCAL_MACHINE) by its full name, a line for each of `values`
// ("    NAME    TYPE    DATA") and an empty line.
void printKey(std::ostream& out, const std::string& path,
              const std::vector<reg::StoredValue>& values);

} // namespace zeb::regtool
