// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg: the administrator's command for the store (see ZebReg.h).
#include "RegistryBackend.h"
#include "ZebReg.h"

#include <exception>
#include <iostream>
#include <new>
#include <unistd.h>

int main(int argc, char** argv) {
    zeb::regtool::Console console{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0};
    try {
        return zeb::regtool::runZebReg(zeb::reg::backend(), {argv + 1, argv + argc}, console);
    } catch (const std::bad_alloc&) {
        std::cerr << "ERROR: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "ERROR: " << error.what() << '\n';
    }
    return 1;
}
