// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "StoreLocation.h"

#include "SqliteRegistry.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#ifndef ZEB_DEFAULT_REGISTRY
#define ZEB_DEFAULT_REGISTRY ""
#endif

namespace zeb::reg {
namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}

std::unique_ptr<RegistryBackend> makeDefaultStore(bool readOnly) {
    SqliteRegistry::Options options;
    options.readOnly = readOnly;
    options.sysfsRoot = defaultSysfsRoot();
    return std::make_unique<SqliteRegistry>(defaultStorePath(), std::move(options));
}

} // namespace

std::string defaultStorePath() {
    if (const char* chosen = std::getenv("ZEB_REGISTRY"); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    if (const std::string builtIn = ZEB_DEFAULT_REGISTRY; !builtIn.empty()) {
        return builtIn;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // XDG ignores a relative XDG_CONFIG_HOME, and so does ZEB.
    const std::string base =
        config != nullptr && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return base + "/zeb/registry.db";
}

std::string defaultSysfsRoot() {
    const char* root = std::getenv("ZEB_SYSFS_ROOT");
    return root != nullptr && *root != '\0' ? std::string(root) : std::string(SYSFS_ROOT);
}

std::unique_ptr<RegistryBackend> makePlatformBackend() {
    return makeDefaultStore(false);
}

std::unique_ptr<RegistryBackend> makeReadOnlyPlatformBackend() {
    return makeDefaultStore(true);
}

std::string platformStoreLocation() {
    return defaultStorePath();
}

} // namespace zeb::reg
