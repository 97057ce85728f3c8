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

namespace {

// <root>/class/tty/<name> as the kernel lays it out: with a driver below its device for a port,
// and a UART type file when `uartType` is not negative.
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

Handle openDeviceMap(RegistryBackend& reg) {
    Handle key = 0;
    EXPECT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, zeb::layout::SERIAL_DEVICE_MAP_KEY, &key), 0);
    return key;
}

// The data of every value, in enumeration order.
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
    sysfs.add("ttyUSB0");
    sysfs.add("ttyS10", true, 4);
    sysfs.add("ttyS2", true, 1);
    sysfs.add("ttyS0", true, 0); // legacy slot with no UART
    sysfs.add("ttyS3");          // no type file: unknown as well
    sysfs.add("ttyACM0");
    sysfs.add("tty1", false);
    sysfs.add("ttyS1", false);
    SqliteRegistry reg(":memory:", sysfs.options());

    // Found in any letter case, as stored keys are.
    Handle key = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "hardware\\DeviceMap\\SerialComm", &key), 0);
    const Names ports = {"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"};
    EXPECT_EQ(devicePaths(reg, key), ports);
    EXPECT_EQ(valueNames(reg, key), (Names{"\\Device\\ttyACM0", "\\Device\\ttyS2",
                                           "\\Device\\ttyS10", "\\Device\\ttyUSB0"}));
    EXPECT_EQ(text(reg, key, "\\DEVICE\\TTYUSB0"), "/dev/ttyUSB0"); // with its NUL
    EXPECT_EQ(text(reg, key, "\\Device\\ttyS0"), "<code 2>");
    EXPECT_EQ(subkeyNames(reg, key), Names{});

    // A port plugged in shows at the next open; an open handle keeps what it saw.
    sysfs.add("ttyUSB1");
    EXPECT_EQ(devicePaths(reg, key), ports);
    EXPECT_EQ(devicePaths(reg, openDeviceMap(reg)).size(), ports.size() + 1);
    EXPECT_EQ(reg.closeKey(key), ERROR_SUCCESS);
}

// HARDWARE is listed among the stored keys at the root, in name order, and nothing below it can
// be written, made or deleted.
TEST(DeviceMap, TheComputedHardwareKeyIsListedAndReadOnly) {
    FakeTtys sysfs;
    sysfs.add("ttyUSB0");
    SqliteRegistry reg(":memory:", sysfs.options());
    for (const char* name : {"SOFTWARE", "aaa", "SYSTEM"}) {
        ASSERT_NE(create(reg, name), 0u);
    }
    EXPECT_EQ(subkeyNames(reg, HKEY_LOCAL_MACHINE),
              (Names{"aaa", "HARDWARE", "SOFTWARE", "SYSTEM"}));
    Handle handle = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "HARDWARE", &handle), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(reg, handle), Names{"DEVICEMAP"});
    EXPECT_EQ(reg.openKey(handle, "DEVICEMAP\\Other", &handle), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, "hardware\\Mine", 0, KEY_ALL_ACCESS, &handle),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, "HARDWARE"), ERROR_ACCESS_DENIED);

    const Handle key = openDeviceMap(reg);
    EXPECT_EQ(setText(reg, key, "\\Device\\ttyUSB0", "/dev/other"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteValue(key, "\\Device\\ttyUSB0"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(key, ""), ERROR_ACCESS_DENIED);
    // Create of the key itself opens it, as for any existing key; writing still fails.
    EXPECT_EQ(setText(reg, create(reg, zeb::layout::SERIAL_DEVICE_MAP_KEY), "New", "x"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(devicePaths(reg, openDeviceMap(reg)), Names{"/dev/ttyUSB0"});
}

TEST(DeviceMap, AMissingTreeOrABrokenStoreStillOpensTheKey) {
    SqliteRegistry empty(":memory:", {false, "/nonexistent/sysfs"});
    EXPECT_EQ(valueNames(empty, openDeviceMap(empty)), Names{});

    FakeTtys sysfs;
    sysfs.add("ttyUSB0");
    writeBytes(sysfs.temp.file("broken.db"), std::string(4096, '\x5A'));
    SqliteRegistry broken(sysfs.temp.file("broken.db"), sysfs.options());
    EXPECT_EQ(devicePaths(broken, openDeviceMap(broken)), Names{"/dev/ttyUSB0"});
}
