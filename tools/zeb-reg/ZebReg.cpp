// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ZebReg.h"

#include "ZebRegCommandLine.h"
#include "ZebRegErrors.h"
#include "ZebRegUsage.h"
#include "ZebRegVerbs.h"

#include <ostream>
#include <string_view>

namespace zeb::regtool {

int runZebReg(reg::RegistryBackend& store, const std::vector<std::string>& args, Console& console) {
    if (const auto help = requestedHelp(args)) {
        console.out << *help;
        return 0;
    }
    try {
        runCommand(store, parseCommand(args), console);
        return 0;
    } catch (const CommandError& error) {
        console.err << "ERROR: " << error.message << '\n';
        if (error.showUsage) {
            console.err << usageReminder(args.empty() ? std::string_view() : args[0]);
        }
        return 1;
    }
}

} // namespace zeb::regtool
