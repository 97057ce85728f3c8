// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Readies, on a second thread, what the selection dialog needs first, while the user-interface
// thread waits for Qt to open the display (most of zeb's start, spent on that one thread):
// - fontconfig's configuration, which Qt would otherwise parse when the dialog measures its first
//   text (about 5 ms, once per process; fontconfig keeps one configuration and is thread-safe);
// - the store: the file opened and checked, and the answers the dialog asks for first read once,
//   so that their pages are in memory (about 3 ms).
// The dialog reads those answers again itself, so nothing it shows depends on the warm-up: a read
// that fails here fails there too and is reported there, and a store changed in between is read
// as it then stands.
#pragma once

#include <thread>

namespace zeb {

class StartupWarmUp {
public:
    // Starts the thread at once; where none can be made, there is no warm-up and nothing fails.
    StartupWarmUp();

    // Waits for the thread. Until this returns the store is the warm-up's: the store serves one
    // thread at a time (RegistryBackend.h), so the caller must not touch it before.
    ~StartupWarmUp();

    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

private:
    std::thread thread_;
};

} // namespace zeb
