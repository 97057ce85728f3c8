// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SysfsSerialPorts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace zeb::reg {

namespace fs = std::filesystem;

namespace {

bool hasDriver(const fs::path& tty) {
    std::error_code error;
    return fs::exists(tty / "device" / "driver", error);
}

// The 8250 driver lists every legacy slot; only those with a detected UART are real ports.
bool isLegacySlotWithoutUart(const fs::path& tty, const std::string& name) {
    if (!name.starts_with("ttyS")) {
        return false;
    }
    std::ifstream typeFile(tty / "type");
    long type; // the read sets it, to 0 where it fails
    return !(typeFile >> type) || type == 0;
}

// Orders "/dev/ttyS2" before "/dev/ttyS10": runs of digits compare by their value.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (!(digitA && digitB)) {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i, ++j;
            continue;
        }
        const std::size_t endA = a.find_first_not_of("0123456789", i);
        const std::size_t endB = b.find_first_not_of("0123456789", j);
        std::string numberA = a.substr(i, endA == std::string::npos ? endA : endA - i);
        std::string numberB = b.substr(j, endB == std::string::npos ? endB : endB - j);
        // Without leading zeros; a run of zeros only becomes empty, which still sorts first.
        numberA.erase(0, numberA.find_first_not_of('0'));
        numberB.erase(0, numberB.find_first_not_of('0'));
        if (numberA.size() != numberB.size()) {
            return numberA.size() < numberB.size();
        }
        if (numberA != numberB) {
            return numberA < numberB;
        }
        i = endA == std::string::npos ? a.size() : endA;
        j = endB == std::string::npos ? b.size() : endB;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::vector<SerialPort> listSerialPorts(const std::string& sysfsRoot) {
    std::vector<SerialPort> ports;
    std::error_code error;
    fs::directory_iterator entries(fs::path(sysfsRoot) / "class" / "tty", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const fs::path& tty = entries->path();
        const std::string name = tty.filename().string();
        if (hasDriver(tty) && !isLegacySlotWithoutUart(tty, name)) {
            ports.push_back({"\\Device\\" + name, "/dev/" + name});
        }
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPort& a, const SerialPort& b) {
        return naturalLess(a.devicePath, b.devicePath);
    });
    return ports;
}

} // namespace zeb::reg
