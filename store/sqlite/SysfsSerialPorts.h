// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The machine's serial ports as Linux describes them in sysfs, for the read-only device map key.
#pragma once

#include <string>
#include <vector>

namespace zeb::reg {

// Where Linux mounts sysfs; tests point the store at a fake tree instead ($ZEB_SYSFS_ROOT).
inline constexpr const char* SYSFS_ROOT = "/sys";

struct SerialPort {
    std::string valueName;  // "\Device\ttyUSB0"
    std::string devicePath; // "/dev/ttyUSB0"
};

// The ports below <sysfsRoot>/class/tty: each tty whose device has a driver, except ttyS ports
// whose UART type is unknown (0), which are the unused legacy slots every PC kernel lists.
// Sorted by device path, numbers compared by value (ttyS2 before ttyS10). A missing or unreadable
// tree gives no ports.
std::vector<SerialPort> listSerialPorts(const std::string& sysfsRoot);

} // namespace zeb::reg
