// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "StartupWarmUp.h"

#include "frmSelect.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace zeb {

namespace {

void warmUp() {
    // Qt calls FcInit itself before it lists the fonts; it then finds the configuration built.
    FcInit();
    // Only for its side effects: whatever fails is met again, and reported, by the dialog. An
    // exception (memory running out) must not end the program from this thread either.
    try {
        readSelectionStoreAhead();
    } catch (...) {
    }
}

} // namespace

StartupWarmUp::StartupWarmUp() {
    // Only an aid: where no thread can be made (a process limit reached), the dialog reads it all
    // itself, as it would have.
    try {
        thread_ = std::thread(warmUp);
    } catch (const std::system_error&) {
    }
}

StartupWarmUp::~StartupWarmUp() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace zeb
