// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebRegCommandLine.h"

#include "Cp1252.h"
#include "RegFile.h"
#include "ZebRegErrors.h"

#include <algorithm>
#include <utility>

namespace zeb::regtool {

namespace {

struct VerbRule {
    std::string_view name;
    Verb verb;
    std::size_t arguments;          // KEY, FILE or KEY FILE
    std::string_view argumentNames; // for the message when they are missing
    std::vector<std::string_view> switches;
};

const std::vector<VerbRule>& verbRules() {
    static const std::vector<VerbRule> rules = {
        {"query", Verb::Query, 1, "KEY", {"v", "ve", "s"}},
        {"add", Verb::Add, 1, "KEY", {"v", "ve", "t", "d", "f"}},
        {"delete", Verb::Delete, 1, "KEY", {"v", "ve", "va", "f"}},
        {"export", Verb::Export, 2, "KEY and FILE", {"y"}},
        {"import", Verb::Import, 1, "FILE", {}},
    };
    return rules;
}

bool takesValue(std::string_view switchName) {
    return switchName == "v" || switchName == "t" || switchName == "d";
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

void readSwitch(const VerbRule& rule, const std::vector<std::string>& args, std::size_t& i,
                Invocation& invocation) {
    const auto given = std::string_view(args[i]).substr(1);
    const auto known =
        std::find_if(rule.switches.begin(), rule.switches.end(), [given](std::string_view name) {
            return reg::sameIgnoringAsciiCase(name, given);
        });
    if (known == rule.switches.end()) {
        failSyntax("unknown switch '" + args[i] + "' for " + std::string(rule.name));
    }
    const std::string name(*known); // the lower-case spelling under which the switch is kept
    if (invocation.has(name)) {
        failSyntax("the switch '" + args[i] + "' is given twice");
    }
    std::string value;
    if (takesValue(name)) {
        if (i + 1 >= args.size()) {
            failSyntax("the switch '" + args[i] + "' needs a value after it");
        }
        value = args[++i];
    }
    invocation.switches.emplace(name, std::move(value));
}

} // namespace

Invocation parseInvocation(const std::vector<std::string>& args) {
    if (args.empty()) {
        failSyntax("no operation given");
    }
    const auto& rule = ruleOf(args[0]);
    Invocation invocation;
    invocation.verb = rule.verb;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (isSwitchWord(args[i], invocation.arguments.size() == rule.arguments)) {
            readSwitch(rule, args, i, invocation);
        } else if (invocation.switches.empty()) {
            invocation.arguments.push_back(args[i]);
        } else { // the platform's reg takes them by their place
            failSyntax(std::string(rule.argumentNames) + " must come right after " +
                       std::string(rule.name) + ", before its switches");
        }
    }
    if (invocation.arguments.size() != rule.arguments) {
        failSyntax(std::string(rule.name) + " needs " + std::string(rule.argumentNames) +
                   (invocation.arguments.size() > rule.arguments ? ", and nothing more" : ""));
    }
    const auto exclusive = invocation.has("v") + invocation.has("ve") + invocation.has("va");
    if (exclusive > 1) {
        failSyntax("/v, /ve and /va exclude one another");
    }
    return invocation;
}

std::string ansiArgument(const std::string& text, std::string_view what) {
    auto ansi = regfile::exactCp1252(text);
    if (!ansi) {
        fail("the " + std::string(what) + " '" + text +
             "' holds a character that Windows-1252, the store's code page, lacks");
    }
    return std::move(*ansi);
}

std::string keyArgument(const Invocation& invocation) {
    const std::string& text = invocation.arguments[0];
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

std::optional<std::string> valueArgument(const Invocation& invocation) {
    if (invocation.has("v")) {
        return ansiArgument(invocation.valueOf("v"), "value name");
    }
    if (invocation.has("ve")) {
        return std::string();
    }
    return std::nullopt;
}

} // namespace zeb::regtool
