// The fixed choice lists and the serial-port list read from the device map.
#include "ChoiceLists.h"
#include "FakeSysfs.h"
#include "ForwardingBackend.h"
#include "ScratchStore.h"
#include "StoreLayout.h"

#include <QComboBox>
#include <QtTest/QTest>
#include <cstring>
#include <vector>

using namespace zeb::ui;
namespace reg = zeb::reg;

namespace {

QStringList entriesOf(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) {
        entries << box.itemText(i);
    }
    return entries;
}

struct MapValue {
    std::string name;
    reg::Dword type;
    std::string data; // REG_SZ: the text with its NUL; others: raw bytes
};

// A device map served value by value with the platform's buffer rules, to reach the cases a real
// sysfs tree cannot produce: other value types, over-long names and data. Records the buffer sizes
// each enumeration call was given.
class ScriptedDeviceMap : public ForwardingBackend {
public:
    static constexpr reg::Handle MAP = 0x5E51A1;

    std::vector<MapValue> values;
    std::vector<std::pair<reg::Dword, reg::Dword>> sizesGiven;
    bool closed = false;

    Status openKey(Handle parent, const std::string& subKey, Handle* result) override {
        if (parent == reg::HKEY_LOCAL_MACHINE && subKey == zeb::layout::SERIAL_DEVICE_MAP_KEY) {
            *result = MAP;
            return reg::ERROR_SUCCESS;
        }
        return ForwardingBackend::openKey(parent, subKey, result);
    }
    Status closeKey(Handle key) override {
        if (key == MAP) {
            closed = true;
            return reg::ERROR_SUCCESS;
        }
        return ForwardingBackend::closeKey(key);
    }
    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override {
        if (key != MAP) {
            return ForwardingBackend::enumValue(key, index, name, cchName, type, data, cbData);
        }
        sizesGiven.emplace_back(*cchName, cbData ? *cbData : 0);
        if (index >= values.size()) {
            return reg::ERROR_NO_MORE_ITEMS;
        }
        const MapValue& value = values[index];
        if (value.name.size() >= *cchName || value.data.size() > *cbData) {
            *cbData = static_cast<Dword>(value.data.size());
            return reg::ERROR_MORE_DATA;
        }
        std::memcpy(name, value.name.c_str(), value.name.size() + 1);
        *cchName = static_cast<Dword>(value.name.size());
        *type = value.type;
        std::memcpy(data, value.data.data(), value.data.size());
        *cbData = static_cast<Dword>(value.data.size());
        return reg::ERROR_SUCCESS;
    }
    Status queryValue(Handle key, const std::string& name, Dword* type, unsigned char* data,
                      Dword* cbData) override {
        if (key != MAP) {
            return ForwardingBackend::queryValue(key, name, type, data, cbData);
        }
        for (const MapValue& value : values) {
            if (value.name == name && value.data.size() <= *cbData) {
                if (type) {
                    *type = value.type;
                }
                std::memcpy(data, value.data.data(), value.data.size());
                *cbData = static_cast<Dword>(value.data.size());
                return reg::ERROR_SUCCESS;
            }
        }
        return reg::ERROR_FILE_NOT_FOUND;
    }
};

MapValue text(const std::string& name, const std::string& port) {
    return {name, reg::REG_SZ, port + '\0'};
}

MapValue dword(const std::string& name, std::int32_t number) {
    std::string bytes(sizeof number, '\0');
    std::memcpy(bytes.data(), &number, sizeof number);
    return {name, reg::REG_DWORD, bytes};
}

} // namespace

class TestChoiceLists : public QObject {
    Q_OBJECT

private slots:
    void fixedListsOfferTheirTextsInOrder();
    void refillingLeavesEachEntryOnce();
    void serialPortsAreTheDeviceMapsPortNames();
    void noDeviceMapOrNoPortsGivesAnEmptyList();
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
};

void TestChoiceLists::fixedListsOfferTheirTextsInOrder() {
    const std::vector<std::pair<void (*)(QComboBox*), QStringList>> lists = {
        {FillBaudRates, {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600"}},
        {FillDataBits, {"5", "6", "7", "8"}},
        {FillEmulations, {"AM65", "AM65G", "AM75", "AM75G"}},
        {FillFlowControls, {"Hardware", "Xon / Xoff", "None"}},
        {FillParities, {"Even", "Odd", "None", "Mark", "Space"}},
        {FillStopBits, {"1", "1.5", "2"}},
    };
    for (const auto& [fill, expected] : lists) {
        QComboBox box;
        fill(&box);
        QCOMPARE(entriesOf(box), expected);
        QCOMPARE(box.currentIndex(), -1); // nothing is chosen for the user
        QCOMPARE(box.currentText(), QString());
    }
}

void TestChoiceLists::refillingLeavesEachEntryOnce() {
    QComboBox box;
    box.addItem("left over");
    FillParities(&box);
    FillParities(&box);
    QCOMPARE(entriesOf(box), QStringList({"Even", "Odd", "None", "Mark", "Space"}));

    FakeSysfs sysfs;
    sysfs.addPort("ttyUSB0");
    ScratchStore store({.readOnly = false, .sysfsRoot = sysfs.root()});
    FillSerialPorts(&box);
    FillSerialPorts(&box);
    QCOMPARE(entriesOf(box), QStringList({"/dev/ttyUSB0"}));
}

void TestChoiceLists::serialPortsAreTheDeviceMapsPortNames() {
    FakeSysfs sysfs;
    sysfs.addPort("ttyUSB0");
    sysfs.addPort("ttyS1");
    sysfs.addPort("ttyACM0");
    sysfs.addPort("ttyS0", 0);         // legacy slot without a UART
    sysfs.addTtyWithoutDriver("tty3"); // a console, not a port
    ScratchStore store({.readOnly = false, .sysfsRoot = sysfs.root()});

    QComboBox box;
    FillSerialPorts(&box);
    QCOMPARE(entriesOf(box), QStringList({"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB0"}));
    QCOMPARE(box.currentIndex(), -1);
}

void TestChoiceLists::noDeviceMapOrNoPortsGivesAnEmptyList() {
    QComboBox box;
    {
        QTemporaryDir nowhere;
        ScratchStore store({.readOnly = false, .sysfsRoot = nowhere.path().toStdString() + "/x"});
        box.addItem("stale");
        FillSerialPorts(&box);
        QCOMPARE(box.count(), 0);
    }
    {
        FakeSysfs sysfs;
        sysfs.addTtyWithoutDriver("tty0");
        ScratchStore store({.readOnly = false, .sysfsRoot = sysfs.root()});
        box.addItem("stale");
        FillSerialPorts(&box);
        QCOMPARE(box.count(), 0);
    }
}

void TestChoiceLists::portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue() {
    const std::string longest(63, 'p'); // 63 characters and the NUL fill the 64-byte buffer
    {
        BackendScope<ScriptedDeviceMap> map;
        map->values = {text("\\Device\\Serial0", "COM1"),
                       {"Blob", reg::REG_BINARY, std::string("\x01\x02", 2)},
                       dword("Number", 7),
                       text("\\Device\\Serial1", longest),
                       text(std::string(64, 'n'), "COM8"), // name too long: the walk ends here
                       text("\\Device\\Serial9", "COM9")};
        QComboBox box;
        FillSerialPorts(&box);
        QCOMPARE(entriesOf(box), QStringList({"COM1", "7", QString::fromStdString(longest)}));
        QVERIFY(map->closed);
        // Both sizes are in/out: a walk that forgot to reset them would pass a smaller buffer.
        QCOMPARE(map->sizesGiven.size(), size_t(5));
        for (const auto& [nameSize, valueSize] : map->sizesGiven) {
            QCOMPARE(nameSize, reg::Dword(64));
            QCOMPARE(valueSize, reg::Dword(64));
        }
    }
    {
        BackendScope<ScriptedDeviceMap> map;
        map->values = {text("A", "COM1"), text("B", longest + "q"), text("C", "COM3")};
        QComboBox box;
        FillSerialPorts(&box);
        QCOMPARE(entriesOf(box), QStringList({"COM1"}));
    }
}

QTEST_MAIN(TestChoiceLists)
#include "test_choice_lists.moc"
