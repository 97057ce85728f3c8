// The fixed choice lists and the serial-port list read from the device map.
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "FakeSysfs.h"
#include "ForwardingBackend.h"
#include "ScratchStore.h"
#include "StoreLayout.h"

#include <QComboBox>
#include <QtTest/QTest>
#include <vector>

using namespace zeb::ui;
namespace reg = zeb::reg;

namespace {

// The entries, and "*" after the chosen one (none should be chosen for the user).
QStringList entriesOf(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) {
        entries << box.itemText(i) + (i == box.currentIndex() ? "*" : "");
    }
    return entries;
}

// The device map served from an ordinary key the test fills, so that it can hold what no sysfs
// tree gives (other value types, over-long names and data). Records the buffer sizes each
// enumeration of the map was given, and whether the map was closed.
class ScriptedDeviceMap : public ForwardingBackend {
public:
    static constexpr const char* SCRIPTED = "Scripted\\SerialComm";
    Handle map = 0;
    std::vector<std::pair<Dword, Dword>> sizesGiven;
    bool closed = false;

    Status openKey(Handle parent, const std::string& subKey, Handle* result) override {
        const bool isMap = subKey == zeb::layout::SERIAL_DEVICE_MAP_KEY;
        const Status status = ForwardingBackend::openKey(parent, isMap ? SCRIPTED : subKey, result);
        map = isMap ? *result : map;
        return status;
    }
    Status closeKey(Handle key) override {
        closed |= key == map;
        return ForwardingBackend::closeKey(key);
    }
    Status enumValue(Handle key, Dword index, char* name, Dword* cchName, Dword* type,
                     unsigned char* data, Dword* cbData) override {
        if (key == map) {
            sizesGiven.emplace_back(*cchName, cbData ? *cbData : 0);
        }
        return ForwardingBackend::enumValue(key, index, name, cchName, type, data, cbData);
    }

    // A text or number value; with `binary`, a two-byte binary value instead.
    void put(const std::string& name, const reg::RegValue& value, bool binary = false) {
        reg::CRegKey key;
        QCOMPARE(key.Create(reg::HKEY_LOCAL_MACHINE, SCRIPTED), 0);
        QCOMPARE(binary ? setValue(key.m_hKey, name, reg::REG_BINARY,
                                   reinterpret_cast<const unsigned char*>("\x01\x02"), 2)
                        : key.SetValue(value, name),
                 0);
        key.CloseKey();
    }
};

} // namespace

class TestChoiceLists : public QObject {
    Q_OBJECT

private slots:
    void fixedListsOfferTheirTextsInOrderOnce();
    void serialPortsAreTheDeviceMapsPortNames();
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
};

void TestChoiceLists::fixedListsOfferTheirTextsInOrderOnce() {
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
        box.addItem("left over");
        fill(&box);
        fill(&box);
        QCOMPARE(entriesOf(box), expected);
    }
}

// Which ttys are ports is the device map's business (the store's tests); here, that the box
// shows what the map lists, once, and nothing when it lists nothing.
void TestChoiceLists::serialPortsAreTheDeviceMapsPortNames() {
    QComboBox box;
    box.addItem("stale");
    {
        FakeSysfs sysfs;
        sysfs.addPort("ttyUSB0");
        sysfs.addPort("ttyS1");
        ScratchStore store({.readOnly = false, .sysfsRoot = sysfs.root()});
        FillSerialPorts(&box);
        FillSerialPorts(&box);
        QCOMPARE(entriesOf(box), QStringList({"/dev/ttyS1", "/dev/ttyUSB0"}));
    }
    FakeSysfs none;
    ScratchStore store({.readOnly = false, .sysfsRoot = none.root()});
    FillSerialPorts(&box);
    QCOMPARE(box.count(), 0);
}

// Values of other types than text and numbers are skipped; the first value whose name or data does
// not fit the 64-byte buffers ends the list, and a map that cannot be opened lists nothing.
void TestChoiceLists::portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue() {
    const std::string longest(63, 'p'); // 63 characters and the NUL fill the 64-byte buffer
    {
        BackendScope<ScriptedDeviceMap> missing; // nothing put: the map's key does not exist
        QComboBox box;
        box.addItem("stale");
        FillSerialPorts(&box);
        QCOMPARE(box.count(), 0);
    }
    {
        BackendScope<ScriptedDeviceMap> map;
        map->put("\\Device\\Serial0", "COM1");
        map->put("Blob", {}, true);
        map->put("Number", 7);
        map->put("\\Device\\Serial1", longest);
        map->put(std::string(64, 'n'), "COM8"); // name too long: the walk ends here
        map->put("\\Device\\Serial9", "COM9");
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
    BackendScope<ScriptedDeviceMap> map;
    map->put("A", "COM1");
    map->put("B", longest + "q");
    map->put("C", "COM3");
    QComboBox box;
    FillSerialPorts(&box);
    QCOMPARE(entriesOf(box), QStringList({"COM1"}));
}

QTEST_MAIN(TestChoiceLists)
#include "test_choice_lists.moc"
