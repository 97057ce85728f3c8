// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg's help pages, laid out as the platform's `reg` command lays out its own: a synopsis, one
// line for each parameter and switch, the return codes, and examples that an administrator can
// copy. `zeb-reg /?` shows the overview, `zeb-reg VERB /?` the page of one verb; "/h", "-?" and
// "-h" ask for the same pages, as they do of the platform's reg, and so does "--help", as users of
// other systems expect.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::regtool {

// The page to print when `args` (the words after the program name) ask for help: the overview
// when the first word does, a verb's page when the word right after a known verb does (anything
// that follows is not looked at, so a command line never runs half-read). nullopt when they do not
// ask for help.
std::optional<std::string_view> requestedHelp(const std::vector<std::string>& args);

// What follows a syntax error: "Usage: " and the synopsis of `verb` (any letter case), then how to
// ask for its page; the overview's when zeb-reg has no such verb. Ends with a line feed.
std::string usageReminder(std::string_view verb);

} // namespace zeb::regtool
