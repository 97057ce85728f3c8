// The serial-port list read from the device map. (The fixed lists are the store's texts; the host
// editor's tests load and save each of them.)
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "ForwardingBackend.h"
#include "StoreLayout.h"

#include <QComboBox>
#include <QtTest/QTest>

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
// tree gives (other value types, over-long names and data); records whether it was closed.
class ScriptedDeviceMap : public ForwardingBackend {
public:
    static constexpr const char* SCRIPTED = "Scripted\\SerialComm";
    Handle map = 0;
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
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
};

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
    for (const bool longData : {false, true}) {
        BackendScope<ScriptedDeviceMap> map;
        map->put("\\Device\\Serial0", "COM1");
        map->put("Blob", {}, true);
        map->put("Number", 7);
        map->put("\\Device\\Serial1", longData ? longest + "q" : longest);
        map->put(std::string(64, 'n'), "COM8"); // name too long: the walk ends here
        map->put("\\Device\\Serial9", "COM9");
        QComboBox box;
        FillSerialPorts(&box);
        FillSerialPorts(&box);
        QCOMPARE(
            entriesOf(box),
            QStringList({"COM1", "7", QString::fromStdString(longest)}).mid(0, longData ? 2 : 3));
        QVERIFY(map->closed);
    }
}

QTEST_MAIN(TestChoiceLists)
#include "test_choice_lists.moc"
