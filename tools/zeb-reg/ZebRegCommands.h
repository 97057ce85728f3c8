// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's commands as the verbs take them: the command line read once (ZebRegCommandLine.h),
// every argument decoded and checked before a verb touches the store, so a verb never looks at a
// word or a switch again. Keys are paths below HKEY_LOCAL_MACHINE ("" is the root), and key
// paths, value names and data are in the store's bytes (Windows-1252); file names are as given.
// The syntax and what each verb does are described in ZebReg.h.
#pragma once

#include "KeyTree.h"

#include <optional>
#include <string>
#include <variant>

namespace zeb::regtool {

// query KEY [/v NAME | /ve] [/s]
struct Query {
    std::string key;
    std::optional<std::string> name; // /v NAME, or "" for /ve (the default value); else all values
    bool recursive = false;          // /s: every key below KEY as well
};

// add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]
struct Add {
    std::string key; // never the root, which holds no values
    reg::StoredValue
        value;            // name "" without /v; REG_SZ data ends with its NUL, REG_DWORD is 4 bytes
    bool replace = false; // /f: a value of that name is replaced
};

// delete KEY [/v NAME | /ve | /va] [/f]
struct Delete {
    std::string key;                 // the root only when values are deleted
    std::optional<std::string> name; // /v NAME, or "" for /ve: that value alone
    bool allValues = false;          // /va: every value of KEY, which stays with its subkeys
    bool confirmed = false;          // /f: nobody is asked
};

// export KEY FILE [/y]
struct Export {
    std::string key;
    std::string file;
    bool replace = false; // /y: a file of that name is replaced
};

// import FILE
struct Import {
    std::string file;
};

using Command = std::variant<Query, Add, Delete, Export, Import>;

} // namespace zeb::regtool
