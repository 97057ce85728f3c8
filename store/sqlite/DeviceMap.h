// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The serial device map, HARDWARE\DEVICEMAP\SERIALCOMM, laid over the substitute's stored tree. The
// three keys on its path are not stored but computed: HARDWARE shows DEVICEMAP, DEVICEMAP shows
// SERIALCOMM, and SERIALCOMM's values are the machine's serial ports (SysfsSerialPorts.h) as they
// were when the handle was opened, one REG_SZ value a port ("\Device\ttyUSB0" = "/dev/ttyUSB0").
// The root lists HARDWARE among its stored subkeys. Nothing below HARDWARE can be created, written
// or deleted (5). Nothing here reads the store file, so a broken one does not hide the ports.
#pragma once

#include "RegistryBackend.h"
#include "SqliteTree.h"
#include "SysfsSerialPorts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::reg::sqlite {

// Which computed key a place is, if any.
enum class Computed { No, Hardware, DeviceMap, SerialComm };

// Where a handle stands: a stored key (a row of `keys`), or one of the computed keys.
struct Place {
    KeyId key = ROOT_KEY; // when not computed
    Computed computed = Computed::No;
};

// The name of the computed key below the root, as the root lists it.
std::string_view hardwareKeyName();

// The computed key below `place` whose case-folded name is `fold`, if that is one.
std::optional<Computed> computedChild(const Place& place, const std::string& fold);

// Whether `parts` below `from` name a computed key (or `from` is one already).
bool leadsIntoComputed(const Place& from, const std::vector<std::string>& parts);

// The subkey at `index` of a computed key (each shows one at most); 259 past it.
Status computedSubkeyAt(Computed key, Dword index, std::string& name);

// The ports a handle on `key` shows from now on: the machine's, read below `sysfsRoot`, for
// SERIALCOMM; none for the other keys.
std::vector<SerialPort> portsShownBy(Computed key, const std::string& sysfsRoot);

// SERIALCOMM's value `name` (compared without regard to case) among `ports`; 2 when none is.
Status portValue(const std::vector<SerialPort>& ports, const std::string& name, Dword& type,
                 std::string& data);

// SERIALCOMM's value at `index` among `ports`; 259 past the last.
Status portValueAt(const std::vector<SerialPort>& ports, Dword index, StoredValue& found);

} // namespace zeb::reg::sqlite
