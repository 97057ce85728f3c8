// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The shared form utilities the dialogs' tests do not reach.
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "DottedAddress.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "modLibrary.h"

#include <QtTest/QTest>
#include <QtWidgets>

using namespace zeb::ui;
namespace reg = zeb::reg;

namespace {

// The device map served from an ordinary key, so that it can hold what no sysfs tree gives.
class ScriptedDeviceMap : public reg::SqliteRegistry {
public:
    ScriptedDeviceMap() : SqliteRegistry(":memory:") {}
    static constexpr const char* SCRIPTED = "Scripted\\SerialComm";
    reg::Handle map = 0;
    bool closed = false;

    reg::Status openKey(reg::Handle parent, const std::string& subKey,
                        reg::Handle* result) override {
        const bool isMap = subKey == zeb::layout::SERIAL_DEVICE_MAP_KEY;
        const reg::Status status =
            SqliteRegistry::openKey(parent, isMap ? SCRIPTED : subKey, result);
        map = isMap ? *result : map;
        return status;
    }
    reg::Status closeKey(reg::Handle key) override {
        closed |= key == map;
        return SqliteRegistry::closeKey(key);
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

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void setListItemColumnWritesOnlyRowsOfItsList();
    void dottedAddressRule();
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
};

void TestFormUtilities::setListItemColumnWritesOnlyRowsOfItsList() {
    QStandardItemModel rows(1, 2);
    rows.setHeaderData(1, Qt::Horizontal, QString("NAME"), COLUMN_KEY_ROLE);
    QTreeView list, other;
    list.setModel(&rows);
    other.setModel(new QStandardItemModel(1, 2, &other));
    SetListItemColumn(&other, rows.index(0, 0), "NAME", "x");
    SetListItemColumn(&list, QModelIndex(), "NAME", "x");
    SetListItemColumn(&list, rows.index(0, 0), "OTHER", "x");
    QCOMPARE(rows.index(0, 1).data(), QVariant());
    SetListItemColumn(&list, rows.index(0, 0), "NAME", "x");
    QCOMPARE(rows.index(0, 1).data(), QVariant("x"));
}

// A text without a dot is a host name; with one, four parts from 0 to 254.
void TestFormUtilities::dottedAddressRule() {
    for (const char* accepted :
         {"my host", "254.254.254.254", "+1.2.3.4", "-0.0.0.0", "0000000254.1.1.1"}) {
        QVERIFY2(isAcceptableHostOrAddress(accepted), accepted);
    }
    for (const char* refused : {"192.168.1.255", "10.0.0", "10.0.0.-1", "+.1.1.1",
                                "99999999999999999999.1.1.1", "1.2.3.\u0664"}) {
        QVERIFY2(!isAcceptableHostOrAddress(refused), refused);
    }
}

// Other types are skipped; a name or data too long for 64 bytes ends the walk; no port is chosen.
void TestFormUtilities::portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue() {
    const std::string longest(63, 'p'); // 63 characters and the NUL fill the 64-byte buffer
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
        QStringList entries;
        for (int i = 0; i < box.count(); ++i) {
            entries << box.itemText(i);
        }
        QCOMPARE(
            entries,
            QStringList({"COM1", "7", QString::fromStdString(longest)}).mid(0, longData ? 2 : 3));
        QCOMPARE(box.currentIndex(), -1);
        QVERIFY(map->closed);
    }
    QComboBox rates; // a fixed list too is filled anew, not added to
    FillBaudRates(&rates);
    FillBaudRates(&rates);
    QCOMPARE(rates.count(), int(zeb::layout::choices::BAUD_RATES.size()));
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
