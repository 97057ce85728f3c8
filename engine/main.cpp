// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "EngineMain.h"

int main(int argc, char** argv) {
    return zeb::engine::runEngine(argc, argv);
}
