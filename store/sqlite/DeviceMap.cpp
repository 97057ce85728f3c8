// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "DeviceMap.h"

#include "Cp1252.h"
#include "StoreLayout.h"

namespace zeb::reg::sqlite {
namespace {

// The device map's path, part by part: each part is the name of one computed key.
constexpr std::string_view DEVICE_MAP_PATH = layout::SERIAL_DEVICE_MAP_KEY;
constexpr std::size_t FIRST_BACKSLASH = DEVICE_MAP_PATH.find('\\');
constexpr std::size_t LAST_BACKSLASH = DEVICE_MAP_PATH.rfind('\\');
constexpr std::string_view HARDWARE_NAME = DEVICE_MAP_PATH.substr(0, FIRST_BACKSLASH);
constexpr std::string_view DEVICEMAP_NAME =
    DEVICE_MAP_PATH.substr(FIRST_BACKSLASH + 1, LAST_BACKSLASH - FIRST_BACKSLASH - 1);
constexpr std::string_view SERIALCOMM_NAME = DEVICE_MAP_PATH.substr(LAST_BACKSLASH + 1);

// The REG_SZ data of a computed value: the text and its NUL.
std::string textData(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

} // namespace

std::string_view hardwareKeyName() {
    return HARDWARE_NAME;
}

std::optional<Computed> computedChild(const Place& place, const std::string& fold) {
    if (place.computed == Computed::No && place.key == ROOT_KEY && fold == HARDWARE_NAME) {
        return Computed::Hardware;
    }
    if (place.computed == Computed::Hardware && fold == DEVICEMAP_NAME) {
        return Computed::DeviceMap;
    }
    if (place.computed == Computed::DeviceMap && fold == SERIALCOMM_NAME) {
        return Computed::SerialComm;
    }
    return std::nullopt;
}

bool leadsIntoComputed(const Place& from, const std::vector<std::string>& parts) {
    return from.computed != Computed::No ||
           (!parts.empty() && computedChild(from, foldCp1252(parts[0])).has_value());
}

Status computedSubkeyAt(Computed key, Dword index, std::string& name) {
    std::string_view only;
    if (key == Computed::Hardware) {
        only = DEVICEMAP_NAME;
    } else if (key == Computed::DeviceMap) {
        only = SERIALCOMM_NAME;
    }
    if (only.empty() || index > 0) {
        return ERROR_NO_MORE_ITEMS;
    }
    name = only;
    return ERROR_SUCCESS;
}

std::vector<SerialPort> portsShownBy(Computed key, const std::string& sysfsRoot) {
    return key == Computed::SerialComm ? listSerialPorts(sysfsRoot) : std::vector<SerialPort>{};
}

Status portValue(const std::vector<SerialPort>& ports, const std::string& name, Dword& type,
                 std::string& data) {
    const std::string fold = foldCp1252(name);
    for (const SerialPort& port : ports) {
        if (foldCp1252(port.valueName) == fold) {
            type = REG_SZ;
            data = textData(port.devicePath);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

Status portValueAt(const std::vector<SerialPort>& ports, Dword index, StoredValue& found) {
    if (index >= ports.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    found = {ports[index].valueName, REG_SZ, textData(ports[index].devicePath)};
    return ERROR_SUCCESS;
}

} // namespace zeb::reg::sqlite
