// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb-reg import of any file into a small in-memory store. Oracles: a refused import leaves the
// export byte for byte the same; after an accepted one, export, import, export is a fixed point.
#include "FuzzCheck.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "TempFolder.h"
#include "ZebReg.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The files zeb-reg reads and writes, in memory where possible (an export syncs to the disk).
fs::path workFolder() {
    static const TempFolder folder(fs::is_directory("/dev/shm") ? "/dev/shm"
                                                                : fs::temp_directory_path());
    ZEB_FUZZ_CHECK(!folder.path().empty());
    return folder.path();
}

bool zebRegOk(zeb::reg::RegistryBackend& store, const std::vector<std::string>& args) {
    std::stringstream in, out, err;
    zeb::regtool::Console console{in, out, err, false};
    return zeb::regtool::runZebReg(store, args, console) == 0;
}

// A store with no serial ports (the device map is read from an empty folder).
zeb::reg::SqliteRegistry emptyStore() {
    return zeb::reg::SqliteRegistry(":memory:", {false, workFolder() / "no-sysfs"});
}

std::string exportOf(zeb::reg::RegistryBackend& store, const std::string& name) {
    const auto file = workFolder() / name;
    ZEB_FUZZ_CHECK(zebRegOk(store, {"export", "HKLM", file, "/y"}));
    return readBytes(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto store = emptyStore();
    // Something to delete, replace and add to.
    const std::string alpha = "HKLM\\" + zeb::layout::hostKeyPath("alpha");
    ZEB_FUZZ_CHECK(zebRegOk(store, {"add", alpha, "/v", zeb::layout::ADDRESS, "/d", "10.0.0.1"}));
    ZEB_FUZZ_CHECK(zebRegOk(store, {"add", alpha + "\\sub", "/ve", "/d", "x"}));
    const auto before = exportOf(store, "before.reg");

    const auto input = workFolder() / "input.reg";
    writeBytes(input, std::string(reinterpret_cast<const char*>(data), size));
    const bool imported = zebRegOk(store, {"import", input});
    const auto after = exportOf(store, "after.reg");
    if (!imported) {
        ZEB_FUZZ_CHECK(after == before);
        return 0;
    }
    auto fresh = emptyStore();
    ZEB_FUZZ_CHECK(zebRegOk(fresh, {"import", workFolder() / "after.reg"}));
    ZEB_FUZZ_CHECK(exportOf(fresh, "again.reg") == after);
    return 0;
}
