// HARDWARE\DEVICEMAP\SERIALCOMM computed from a fake sysfs tree.
#include "RegistryProbe.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace zeb::reg;
using namespace probe;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using zeb::layout::SERIAL_DEVICE_MAP_KEY;

namespace {

// <root>/class/tty/<name> as the kernel lays it out: a port has a driver below its device; a UART
// type file when `uartType` is not negative.
struct FakeTtys {
    void add(const std::string& name, bool driver = true, int uartType = -1) {
        const fs::path tty = temp.path() / "class" / "tty" / name;
        fs::create_directories(driver ? tty / "device" / "driver" : tty);
        if (uartType >= 0) {
            writeBytes((tty / "type").string(), std::to_string(uartType) + "\n");
        }
    }
    SqliteRegistry::Options options() const { return {false, temp.path().string()}; }
    TempFolder temp;
};

Names devicePaths(RegistryBackend& reg, Handle key) {
    Names paths;
    for (const std::string& name : valueNames(reg, key)) {
        paths.push_back(text(reg, key, name));
    }
    return paths;
}

} // namespace

TEST(DeviceMap, ListsPortsWithADriverSortedByDevicePathAtEachOpen) {
    FakeTtys sysfs;
    for (const char* port : {"ttyUSB0", "ttyS3", "ttyACM0"}) { // ttyS3: no type, unknown UART
        sysfs.add(port);
    }
    sysfs.add("ttyS10", true, 4);
    sysfs.add("ttyS2", true, 1);
    sysfs.add("ttyS0", true, 0); // a legacy slot with no UART
    sysfs.add("tty1", false);
    sysfs.add("ttyS1", false);
    SqliteRegistry reg(":memory:", sysfs.options());
    const Handle key = opened(reg, "hardware\\DeviceMap\\SerialComm"); // any letter case
    const Names ports = {"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"};
    EXPECT_EQ(devicePaths(reg, key), ports);
    EXPECT_EQ(valueNames(reg, key), (Names{"\\Device\\ttyACM0", "\\Device\\ttyS2",
                                           "\\Device\\ttyS10", "\\Device\\ttyUSB0"}));
    EXPECT_EQ(text(reg, key, "\\DEVICE\\TTYUSB0"), "/dev/ttyUSB0"); // with its NUL
    EXPECT_EQ(subkeyNames(reg, key), Names{});
    // A port plugged in shows at the next open; an open handle keeps what it saw.
    sysfs.add("ttyUSB1");
    EXPECT_EQ(devicePaths(reg, key), ports);
    EXPECT_EQ(devicePaths(reg, opened(reg, SERIAL_DEVICE_MAP_KEY)).size(), ports.size() + 1);
    EXPECT_EQ(reg.closeKey(key), ERROR_SUCCESS);
}

// HARDWARE is listed among the stored keys at the root, in name order, holds nothing stored, and
// nothing below it can be written, made or deleted, by create of the key itself neither.
TEST(DeviceMap, TheComputedHardwareKeyIsListedAndReadOnly) {
    FakeTtys sysfs;
    sysfs.add("ttyUSB0");
    SqliteRegistry reg(":memory:", sysfs.options());
    for (const char* name : {"SOFTWARE", "aaa", "SYSTEM"}) {
        ASSERT_NE(create(reg, name), 0u);
    }
    EXPECT_EQ(subkeyNames(reg, HKEY_LOCAL_MACHINE),
              (Names{"aaa", "HARDWARE", "SOFTWARE", "SYSTEM"}));
    Handle handle = opened(reg, "HARDWARE");
    EXPECT_EQ(subkeyNames(reg, handle), Names{"DEVICEMAP"});
    EXPECT_EQ(reg.openKey(handle, "DEVICEMAP\\SOFTWARE", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "hardware\\Mine", 0, KEY_ALL_ACCESS, &handle),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "HARDWARE"), ERROR_ACCESS_DENIED);
    const Handle key = create(reg, SERIAL_DEVICE_MAP_KEY);
    EXPECT_EQ(setText(reg, key, "\\Device\\ttyUSB0", "/dev/other"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteValue(key, "\\Device\\ttyUSB0"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(key, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(devicePaths(reg, opened(reg, SERIAL_DEVICE_MAP_KEY)), Names{"/dev/ttyUSB0"});
}

TEST(DeviceMap, AMissingTreeOrABrokenStoreStillOpensTheKey) {
    SqliteRegistry empty(":memory:", {false, "/nonexistent/sysfs"});
    const Handle none = opened(empty, SERIAL_DEVICE_MAP_KEY);
    ASSERT_NE(none, 0u);
    EXPECT_EQ(valueNames(empty, none), Names{});
    FakeTtys sysfs;
    sysfs.add("ttyUSB0");
    writeBytes(sysfs.temp.file("broken.db"), std::string(4096, '\x5A'));
    SqliteRegistry broken(sysfs.temp.file("broken.db"), sysfs.options());
    EXPECT_EQ(devicePaths(broken, opened(broken, SERIAL_DEVICE_MAP_KEY)), Names{"/dev/ttyUSB0"});
}
