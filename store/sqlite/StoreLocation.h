// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Where the substitute's files lie: the store file ZEB uses and the sysfs tree the serial device
// map is computed from. Both are read from the environment at each call, so a test may set it.
// StoreLocation.cpp also makes this platform's back end (makePlatformBackend and the others of
// RegistryBackend.h) on the store file found here.
#pragma once

#include <string>

namespace zeb::reg {

// The store file: $ZEB_REGISTRY, else the path fixed when ZEB was built (the CMake cache variable
// ZEB_DEFAULT_REGISTRY), else $XDG_CONFIG_HOME/zeb/registry.db, with HOME/.config when
// XDG_CONFIG_HOME is unset or relative (XDG ignores a relative one) and the user's home from the
// password database when HOME is unset. Never empty, which SQLite would take for a temporary store.
std::string defaultStorePath();

// The sysfs root: $ZEB_SYSFS_ROOT, else "/sys".
std::string defaultSysfsRoot();

} // namespace zeb::reg
