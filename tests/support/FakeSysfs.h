// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// FakeSysfs: a throw-away sysfs tree, so a test decides which serial ports the device map reports.
#pragma once

#include "TempFolder.h"

class FakeSysfs {
public:
    // A tty, with a driver unless told; a ttyS port needs a known UART type too, or it is unused.
    void addPort(const std::string& name, int uartType = 4, bool driver = true) {
        const std::filesystem::path tty = folder_.path() / "class" / "tty" / name;
        std::filesystem::create_directories(driver ? tty / "device" / "driver" : tty);
        writeBytes(tty / "type", std::to_string(uartType) + "\n");
    }
    std::string root() const { return folder_.path(); }

private:
    TempFolder folder_;
};
