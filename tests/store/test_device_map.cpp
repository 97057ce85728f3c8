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

// Only ttyS ports with a driver and a known UART type are listed, in device path order.
TEST(DeviceMap, ListsPortsWithADriverInDevicePathOrderAndIsReadOnly) {
    TempFolder sysfs;
    const auto add = [&](const std::string& name, bool driver, int uartType) {
        const fs::path tty = sysfs.path() / "class" / "tty" / name;
        fs::create_directories(driver ? tty / "device" / "driver" : tty);
        writeBytes((tty / "type").string(), std::to_string(uartType) + "\n");
    };
    add("ttyS10", true, 4);
    add("ttyS2", true, 1);
    add("ttyS0", true, 0); // a legacy slot with no UART
    add("ttyS1", false, 4);
    SqliteRegistry reg(":memory:", {false, sysfs.path().string()});
    ASSERT_NE(create(reg, "SOFTWARE"), 0u);
    EXPECT_EQ(namesOf(reg, HKEY_LOCAL_MACHINE, true), (Names{"HARDWARE", "SOFTWARE"}));
    const Handle key = opened(reg, "hardware\\DeviceMap\\SerialComm"); // any letter case
    EXPECT_EQ(namesOf(reg, key), (Names{"\\Device\\ttyS2", "\\Device\\ttyS10"}));
    EXPECT_EQ(text(reg, key, "\\Device\\ttyS10"), "/dev/ttyS10");
    EXPECT_EQ(opened(reg, "HARDWARE\\DEVICEMAP\\SOFTWARE"), 0u);
    EXPECT_EQ(setText(reg, key, "\\Device\\ttyS2", "/dev/other"), ERROR_ACCESS_DENIED);
    // A store file that is no store still shows the ports.
    writeBytes(sysfs.file("broken.db"), std::string(4096, '\x5A'));
    SqliteRegistry broken(sysfs.file("broken.db"), {false, sysfs.path().string()});
    EXPECT_EQ(namesOf(broken, opened(broken, SERIAL_DEVICE_MAP_KEY)).size(), 2u);
}
