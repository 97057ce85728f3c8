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

// Builds <root>/class/tty/<name> the way the kernel lays it out.
class FakeTtys {
public:
    // A tty whose device has a driver (a link to the driver's folder, as the kernel makes it);
    // `uartType` is written to its type file when given.
    void addPort(const std::string& name, std::optional<int> uartType = std::nullopt) {
        const fs::path tty = temp_.path() / "class" / "tty" / name;
        fs::create_directories(tty / "device");
        fs::create_directories(temp_.path() / "bus" / "driver");
        fs::create_directory_symlink(temp_.path() / "bus" / "driver", tty / "device" / "driver");
        if (uartType) {
            writeBytes((tty / "type").string(), std::to_string(*uartType) + "\n");
        }
    }
    void addTtyWithoutDriver(const std::string& name) {
        fs::create_directories(temp_.path() / "class" / "tty" / name);
    }
    SqliteRegistry::Options options() const { return {false, temp_.path().string()}; }

private:
    TempFolder temp_;
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

TEST(DeviceMap, ListsPortsWithADriverSortedByDevicePath) {
    FakeTtys sysfs;
    sysfs.addPort("ttyUSB0");
    sysfs.addPort("ttyS10", 4);
    sysfs.addPort("ttyS2", 1);
    sysfs.addPort("ttyS0", 0); // legacy slot with no UART
    sysfs.addPort("ttyS3");    // no type file: unknown as well
    sysfs.addPort("ttyACM0");
    sysfs.addTtyWithoutDriver("tty1");
    sysfs.addTtyWithoutDriver("ttyS1");
    SqliteRegistry reg(":memory:", sysfs.options());

    // Found in any letter case, as stored keys are.
    Handle key = 0;
    ASSERT_EQ(reg.openKey(HKEY_LOCAL_MACHINE, "hardware\\DeviceMap\\SerialComm", &key), 0);
    EXPECT_EQ(devicePaths(reg, key),
              (Names{"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}));
    EXPECT_EQ(valueNames(reg, key), (Names{"\\Device\\ttyACM0", "\\Device\\ttyS2",
                                           "\\Device\\ttyS10", "\\Device\\ttyUSB0"}));
    Dword type = REG_NONE;
    Dword size = 0;
    EXPECT_EQ(reg.queryValue(key, "\\DEVICE\\TTYUSB0", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 13u); // "/dev/ttyUSB0" and its NUL
    EXPECT_EQ(text(reg, key, "\\Device\\ttyS0"), "<code 2>");
    EXPECT_EQ(subkeyNames(reg, key), Names{});
    EXPECT_EQ(reg.closeKey(key), ERROR_SUCCESS);
}

TEST(DeviceMap, IsComputedAtEachOpen) {
    FakeTtys sysfs;
    sysfs.addPort("ttyUSB0");
    SqliteRegistry reg(":memory:", sysfs.options());
    const Handle before = openDeviceMap(reg);
    sysfs.addPort("ttyUSB1");
    EXPECT_EQ(devicePaths(reg, before), Names{"/dev/ttyUSB0"});
    EXPECT_EQ(devicePaths(reg, openDeviceMap(reg)), (Names{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
}

TEST(DeviceMap, IsReadOnly) {
    FakeTtys sysfs;
    sysfs.addPort("ttyUSB0");
    SqliteRegistry reg(":memory:", sysfs.options());
    const Handle key = openDeviceMap(reg);
    EXPECT_EQ(setText(reg, key, "\\Device\\ttyUSB0", "/dev/other"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteValue(key, "\\Device\\ttyUSB0"), ERROR_ACCESS_DENIED);
    Handle sub = 0;
    EXPECT_EQ(reg.createKey(key, "Sub", 0, KEY_ALL_ACCESS, &sub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(key, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.deleteKey(HKEY_LOCAL_MACHINE, zeb::layout::SERIAL_DEVICE_MAP_KEY),
              ERROR_ACCESS_DENIED);
    // Create of the key itself opens it, as for any existing key; writing still fails.
    ASSERT_EQ(reg.createKey(HKEY_LOCAL_MACHINE, zeb::layout::SERIAL_DEVICE_MAP_KEY, 0,
                            KEY_ALL_ACCESS, &sub),
              ERROR_SUCCESS);
    EXPECT_EQ(setText(reg, sub, "New", "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(devicePaths(reg, openDeviceMap(reg)), Names{"/dev/ttyUSB0"});
}

TEST(DeviceMap, AMissingTreeOrABrokenStoreStillOpensTheKey) {
    SqliteRegistry empty(":memory:", {false, "/nonexistent/sysfs"});
    EXPECT_EQ(valueNames(empty, openDeviceMap(empty)), Names{});

    TempFolder temp;
    writeBytes(temp.file("broken.db"), std::string(4096, '\x5A'));
    FakeTtys sysfs;
    sysfs.addPort("ttyUSB0");
    SqliteRegistry broken(temp.file("broken.db"), sysfs.options());
    EXPECT_EQ(devicePaths(broken, openDeviceMap(broken)), Names{"/dev/ttyUSB0"});
}
