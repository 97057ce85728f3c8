// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegCommandLine.h"

#include "Cp1252.h"
#include "RegFile.h"
#include "ZebRegErrors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <string_view>
#include <utility>

namespace zeb::regtool {

namespace {

// Syntax errors are the command line's alone: "Invalid syntax: " and a usage reminder.
[[noreturn]] void failSyntax(std::string message) {
    throw CommandError{"Invalid syntax: " + std::move(message), true};
}

// What each switch stands for; SWITCHES gives each its name.
enum class Switch { Value, DefaultValue, AllValues, Subkeys, Type, Data, Force, Overwrite };

struct SwitchRule {
    std::string_view name; // lower case, without '/' or '-'
    Switch which;
    bool takesValue; // the next word is its value
};

constexpr std::array<SwitchRule, 8> SWITCHES = {{
    {"v", Switch::Value, true},
    {"ve", Switch::DefaultValue, false},
    {"va", Switch::AllValues, false},
    {"s", Switch::Subkeys, false},
    {"t", Switch::Type, true},
    {"d", Switch::Data, true},
    {"f", Switch::Force, false},
    {"y", Switch::Overwrite, false},
}};

// The words of one command line, sorted: the verb's plain arguments and the switches given.
struct Words {
    std::vector<std::string> arguments;     // exactly as many as the verb takes
    std::map<Switch, std::string> switches; // with its value; "" for a switch that takes none

    bool has(Switch which) const { return switches.count(which) != 0; }
    // The value of a switch that takes one, "" when it was not given.
    std::string valueOf(Switch which) const {
        const auto found = switches.find(which);
        return found == switches.end() ? std::string() : found->second;
    }
};

struct VerbRule {
    std::string_view name;
    std::size_t arguments;          // KEY, FILE or KEY FILE
    std::string_view argumentNames; // for the message when they are missing
    std::vector<Switch> switches;   // those it takes
    Command (*build)(const Words&); // the words decoded into the verb's command
};

// `text` in the store's Windows-1252; fails naming `what` when a character has no place there.
std::string ansiArgument(const std::string& text, std::string_view what) {
    auto ansi = regfile::exactCp1252(text);
    if (!ansi) {
        fail("the " + std::string(what) + " '" + text +
             "' holds a character that Windows-1252, the store's code page, lacks");
    }
    return std::move(*ansi);
}

// The first argument as a key path below HKEY_LOCAL_MACHINE ("" for the root itself, which is
// HKLM without a backslash: HKLM\ names no key).
std::string keyArgument(const Words& words) {
    const std::string& text = words.arguments[0];
    const auto path = regfile::keyPathBelowRoot(ansiArgument(text, "key"));
    if (failed(path)) {
        fail(failureOf(path));
    }
    // The platform's reg refuses "HKLM\" rather than take it for the root (a .reg file's
    // [HKEY_LOCAL_MACHINE\] is another matter, left to RegFile).
    if (std::get<std::string>(path).empty() && text.find('\\') != std::string::npos) {
        fail("invalid system key '" + text +
             "': a backslash after the root key must be followed by a subkey (the root itself "
             "is HKLM, without one)");
    }
    return std::get<std::string>(path);
}

// The value a command is about: /v NAME, /ve (the default value, ""), or none.
std::optional<std::string> valueArgument(const Words& words) {
    if (words.has(Switch::Value)) {
        return ansiArgument(words.valueOf(Switch::Value), "value name");
    }
    if (words.has(Switch::DefaultValue)) {
        return std::string();
    }
    return std::nullopt;
}

reg::Dword typeArgument(const Words& words) {
    if (!words.has(Switch::Type)) {
        return reg::REG_SZ;
    }
    const auto text = words.valueOf(Switch::Type);
    if (reg::sameIgnoringAsciiCase(text, "reg_sz")) {
        return reg::REG_SZ;
    }
    if (reg::sameIgnoringAsciiCase(text, "reg_dword")) {
        return reg::REG_DWORD;
    }
    fail("the type '" + text + "' cannot be added: zeb-reg adds REG_SZ or REG_DWORD");
}

// /d of a REG_DWORD: decimal, or hexadecimal after 0x, from 0 to 4294967295.
std::string dwordData(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const auto digits = std::string_view(text).substr(hex ? 2 : 0);
    if (digits.empty()) {
        fail("the data of a REG_DWORD must be a number");
    }
    reg::Dword number = 0;
    const auto end = digits.data() + digits.size();
    const auto parsed = std::from_chars(digits.data(), end, number, hex ? 16 : 10);
    if (parsed.ec != std::errc{} || parsed.ptr != end) {
        fail("the data '" + text + "' is not a REG_DWORD: give a number from 0 to " +
             "4294967295, or 0x and up to 8 hexadecimal digits");
    }
    return regfile::dwordBytes(number);
}

// The bytes `add` stores for /d: a REG_SZ is the text and its NUL (empty without /d).
std::string dataArgument(const Words& words, reg::Dword type) {
    if (type != reg::REG_DWORD) {
        return ansiArgument(words.valueOf(Switch::Data), "data") + '\0';
    }
    // As the platform's command: a number is never assumed.
    if (!words.has(Switch::Data)) {
        failSyntax("/t REG_DWORD needs /d and the number");
    }
    return dwordData(words.valueOf(Switch::Data));
}

Command queryCommand(const Words& words) {
    Query command;
    command.key = keyArgument(words);
    command.name = valueArgument(words);
    command.recursive = words.has(Switch::Subkeys);
    return command;
}

// Without /v, add sets the default value, an empty REG_SZ unless /t and /d say otherwise, as the
// platform's command has it.
Command addCommand(const Words& words) {
    Add command;
    command.key = keyArgument(words);
    command.value.name = valueArgument(words).value_or(std::string());
    command.value.type = typeArgument(words);
    command.value.data = dataArgument(words, command.value.type);
    if (command.key.empty()) {
        fail(std::string(ROOT_HOLDS_NO_VALUES));
    }
    command.replace = words.has(Switch::Force);
    return command;
}

Command deleteCommand(const Words& words) {
    Delete command;
    command.key = keyArgument(words);
    command.name = valueArgument(words);
    command.allValues = words.has(Switch::AllValues);
    if (command.key.empty() && !command.name && !command.allValues) {
        fail("HKEY_LOCAL_MACHINE itself cannot be deleted");
    }
    command.confirmed = words.has(Switch::Force);
    return command;
}

Command exportCommand(const Words& words) {
    return Export{keyArgument(words), words.arguments[1], words.has(Switch::Overwrite)};
}

Command importCommand(const Words& words) {
    return Import{words.arguments[0]};
}

const std::vector<VerbRule>& verbRules() {
    static const std::vector<VerbRule> RULES = {
        {"query", 1, "KEY", {Switch::Value, Switch::DefaultValue, Switch::Subkeys}, queryCommand},
        {"add",
         1,
         "KEY",
         {Switch::Value, Switch::DefaultValue, Switch::Type, Switch::Data, Switch::Force},
         addCommand},
        {"delete",
         1,
         "KEY",
         {Switch::Value, Switch::DefaultValue, Switch::AllValues, Switch::Force},
         deleteCommand},
        {"export", 2, "KEY and FILE", {Switch::Overwrite}, exportCommand},
        {"import", 1, "FILE", {}, importCommand},
    };
    return RULES;
}

// "/x" or "-x" with letters only is a switch; in an argument's place anything else (a path like
// /tmp/a.reg) is a plain argument. After the arguments every word that begins with '/' or '-' is
// read as a switch, as the platform's reg reads it, so that /reg:32 is named as unknown.
bool isSwitchWord(std::string_view word, bool argumentsGiven) {
    return word.size() >= 2 && (word[0] == '/' || word[0] == '-') &&
           (argumentsGiven || std::all_of(word.begin() + 1, word.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            }));
}

const VerbRule& ruleOf(const std::string& word) {
    for (const auto& rule : verbRules()) {
        if (reg::sameIgnoringAsciiCase(rule.name, word)) {
            return rule;
        }
    }
    failSyntax("unknown operation '" + word + "'");
}

// The switch `word` names among those `rule`'s verb takes.
const SwitchRule& switchOf(const VerbRule& rule, const std::string& word) {
    const auto given = std::string_view(word).substr(1);
    const auto known = std::find_if(SWITCHES.begin(), SWITCHES.end(), [&](const SwitchRule& s) {
        return reg::sameIgnoringAsciiCase(s.name, given) &&
               std::find(rule.switches.begin(), rule.switches.end(), s.which) !=
                   rule.switches.end();
    });
    if (known == SWITCHES.end()) {
        failSyntax("unknown switch '" + word + "' for " + std::string(rule.name));
    }
    return *known;
}

void readSwitch(const VerbRule& rule, const std::vector<std::string>& args, std::size_t& i,
                Words& words) {
    const SwitchRule& known = switchOf(rule, args[i]);
    if (words.has(known.which)) {
        failSyntax("the switch '" + args[i] + "' is given twice");
    }
    std::string value;
    if (known.takesValue) {
        if (i + 1 >= args.size()) {
            failSyntax("the switch '" + args[i] + "' needs a value after it");
        }
        value = args[++i];
    }
    words.switches.emplace(known.which, std::move(value));
}

// The words after the verb sorted into arguments and switches, checked against the verb's rule.
Words readWords(const VerbRule& rule, const std::vector<std::string>& args) {
    Words words;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (isSwitchWord(args[i], words.arguments.size() == rule.arguments)) {
            readSwitch(rule, args, i, words);
        } else if (words.switches.empty()) {
            words.arguments.push_back(args[i]);
        } else { // the platform's reg takes them by their place
            failSyntax(std::string(rule.argumentNames) + " must come right after " +
                       std::string(rule.name) + ", before its switches");
        }
    }
    if (words.arguments.size() != rule.arguments) {
        failSyntax(std::string(rule.name) + " needs " + std::string(rule.argumentNames) +
                   (words.arguments.size() > rule.arguments ? ", and nothing more" : ""));
    }
    const auto exclusive =
        words.has(Switch::Value) + words.has(Switch::DefaultValue) + words.has(Switch::AllValues);
    if (exclusive > 1) {
        failSyntax("/v, /ve and /va exclude one another");
    }
    return words;
}

} // namespace

Command parseCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        failSyntax("no operation given");
    }
    const auto& rule = ruleOf(args[0]);
    return rule.build(readWords(rule, args));
}

} // namespace zeb::regtool
