// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegUsage.h"

#include "Cp1252.h"
#include "StoreLayout.h"

#include <algorithm>
#include <array>
#include <string>

namespace zeb::regtool {
namespace {

// Every page begins with its synopsis line. The examples are real command lines, quoted for a
// shell, whose backslashes would otherwise vanish.
constexpr std::string_view OVERVIEW = R"(zeb-reg OPERATION [PARAMETERS]

  OPERATION  query | add | delete | export | import

zeb-reg reads and changes ZEB's store: the keys and values below
HKEY_LOCAL_MACHINE (HKLM) that hold ZEB's settings and host records. Every
change runs whole or not at all.

The store is the file named by the environment variable ZEB_REGISTRY; without
it, the file chosen when ZEB was built, by default
$XDG_CONFIG_HOME/zeb/registry.db (~/.config/zeb/registry.db).

KEY and FILE come right after the operation, the switches after them.
Operations and switches may be written in any letter case, and a switch may
begin with - instead of /. In a shell, quote each key ('HKLM\SOFTWARE'), or
its backslashes are lost.

Return code:

  0 - Successful
  1 - Failed (the reason follows "ERROR:" on the error stream)

For help on one operation:

  zeb-reg OPERATION /?

Examples:

  zeb-reg query /?
  zeb-reg import /?
)";

constexpr std::string_view QUERY = R"(zeb-reg query KEY [/v NAME | /ve] [/s]

  KEY        HKLM\SubKey, the key to show (HKEY_LOCAL_MACHINE\SubKey alike;
             HKLM alone is the root of the store).
  /v NAME    Shows only the value called NAME.
  /ve        Shows only the default value (the one without a name).
  /s         Shows every key below KEY as well, with its values.

The output begins with an empty line. A key is shown by its full name, one
line for each value (its name, its type and its data) and an empty line; KEY
itself only when it has values. Without /s the full names of its subkeys
follow; with /s every key below it is shown, with values or without. A control
character in a name or in text data is shown as \x and its two hexadecimal
digits (an escape as \x1b), so that no stored text commands the terminal.

Return code:

  0 - Successful
  1 - Failed (the key or the value does not exist, or the store cannot be read)

Examples:

  zeb-reg query 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB\HostList'
    Lists the names of the host records.

  zeb-reg query 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB\Settings' /v EnableNR
    Shows whether users may type host names of their own.

  zeb-reg query 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB' /s
    Shows all of ZEB's settings and host records.
)";

constexpr std::string_view ADD = R"(zeb-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]

  KEY        HKLM\SubKey, the key to add; missing keys above it are added too.
             HKLM itself holds no values.
  /v NAME    The name of the value to add.
  /ve        Adds the default value (the one without a name).
  /t TYPE    REG_SZ (text, the default) or REG_DWORD (a 32-bit number).
  /d DATA    The data: any text for REG_SZ (empty without /d); for REG_DWORD,
             which needs /d, a number from 0 to 4294967295, or 0x and up to 8
             hexadecimal digits.
  /f         Replaces a value that exists already. Without /f, add refuses.

Without /v the default value is set, as with /ve: to an empty REG_SZ unless
/t and /d say otherwise. Names and data hold characters of Windows-1252 only.

Return code:

  0 - Successful
  1 - Failed (nothing was changed)

Examples:

  zeb-reg add 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB\Settings' /v EnableNR /d Y /f
    Lets users type host names of their own.

  zeb-reg add 'HKLM\)";
// The engine's registration key, as ZEB reads it, goes between the two.
constexpr std::string_view ADD_AFTER_ENGINE_KEY = R"(' /ve /d '/opt/orvane/bin/engine --quiet' /f
    Registers another terminal engine: ZEB starts this command line.
)";

constexpr std::string_view DELETE = R"(zeb-reg delete KEY [/v NAME | /ve | /va] [/f]

  KEY        HKLM\SubKey, the key to delete, with every key below it.
  /v NAME    Deletes only the value called NAME.
  /ve        Deletes only the default value (the one without a name).
  /va        Deletes every value of KEY; the key and its subkeys stay.
  /f         Deletes without asking. Needed when the input is no terminal,
             where nobody can answer the question.

Return code:

  0 - Successful, or cancelled by the user's answer
  1 - Failed (nothing was changed)

Examples:

  zeb-reg delete 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB\Settings' /v EnableNR /f
    Lets users connect only to stored host records again.

  zeb-reg delete 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB' /f
    Deletes all of ZEB's settings and host records.
)";

constexpr std::string_view EXPORT = R"(zeb-reg export KEY FILE [/y]

  KEY        HKLM\SubKey, the key to export, with every key below it.
  FILE       The .reg file to write (REGEDIT4 text, Windows-1252). It is
             written whole under a temporary name and then renamed, so it is
             never left half-written.
  /y         Replaces a file that exists already. Without /y, export refuses.

Return code:

  0 - Successful
  1 - Failed (the file was not written)

Examples:

  zeb-reg export 'HKLM\SOFTWARE\Verdastone\Kelm\ZEB' zeb-hosts.reg /y
    Saves all of ZEB's settings and host records to zeb-hosts.reg, for
    zeb-reg import on another machine.
)";

constexpr std::string_view IMPORT = R"(zeb-reg import FILE

  FILE       The .reg file to read: "REGEDIT4" or "Windows Registry Editor
             Version 5.00" text, in UTF-16LE or UTF-8 with a byte order mark;
             without one, UTF-8 when the file is valid UTF-8 with characters
             beyond ASCII, else Windows-1252.

The file may add keys ([KEY]), delete keys with everything below them
([-KEY]), set values ("NAME"="text", @="text", "NAME"=dword:0000001f,
"NAME"=hex(N):..) and delete values ("NAME"=-). Only keys below
HKEY_LOCAL_MACHINE are accepted. Lines are read as the platform's registry
editor reads them; a line it would skip is a faulty line here.

The import is atomic: a faulty line or a change that fails leaves the store
exactly as it was, and no other program sees a half-applied file.

Return code:

  0 - Successful
  1 - Failed (the line at fault is named; nothing was imported)

Examples:

  zeb-reg import zeb-hosts.reg
    Applies the settings and host records saved in zeb-hosts.reg.
)";

struct Page {
    std::string_view verb; // "" for the overview
    std::string_view text;
};

const std::array<Page, 6>& pages() {
    static const std::string ADD_PAGE =
        std::string(ADD) + layout::ENGINE_SERVER_KEY + std::string(ADD_AFTER_ENGINE_KEY);
    static const std::array<Page, 6> PAGES = {{{"", OVERVIEW},
                                               {"query", QUERY},
                                               {"add", ADD_PAGE},
                                               {"delete", DELETE},
                                               {"export", EXPORT},
                                               {"import", IMPORT}}};
    return PAGES;
}

const Page* pageOf(std::string_view verb) {
    const auto found = std::find_if(pages().begin(), pages().end(), [verb](const Page& page) {
        return reg::sameIgnoringAsciiCase(page.verb, verb);
    });
    return found == pages().end() ? nullptr : &*found;
}

// True for a word that asks for help: "/?", "-?", "/h", "-h" or "--help" (in any letter case).
bool isHelpSwitch(std::string_view word) {
    return word == "/?" || word == "-?" || reg::sameIgnoringAsciiCase(word, "/h") ||
           reg::sameIgnoringAsciiCase(word, "-h") || reg::sameIgnoringAsciiCase(word, "--help");
}

} // namespace

std::optional<std::string_view> requestedHelp(const std::vector<std::string>& args) {
    if (!args.empty() && isHelpSwitch(args[0])) {
        return OVERVIEW;
    }
    if (args.size() < 2 || !isHelpSwitch(args[1]) || args[0].empty()) {
        return std::nullopt;
    }
    if (const Page* page = pageOf(args[0])) {
        return page->text;
    }
    return std::nullopt;
}

std::string usageReminder(std::string_view verb) {
    const Page* page = verb.empty() ? nullptr : pageOf(verb);
    const Page& shown = page != nullptr ? *page : pages().front();
    const std::string_view synopsis = shown.text.substr(0, shown.text.find('\n'));
    const std::string helpCommand =
        shown.verb.empty() ? "zeb-reg /?" : "zeb-reg " + std::string(shown.verb) + " /?";
    return "Usage: " + std::string(synopsis) + "\nType \"" + helpCommand + "\" for help.\n";
}

} // namespace zeb::regtool
