// The shared form utilities the dialogs' tests do not reach: the real message box and the script
// standing in for it, a list row of no list, the dotted-address rule's corners, the font that gives
// way to the layouts, and the serial-port list read from a device map no sysfs tree gives.
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "DottedAddress.h"
#include "FitToLayout.h"
#include "ForwardingBackend.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "StoreLayout.h"
#include "modLibrary.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest/QTest>

using namespace zeb::ui;
namespace reg = zeb::reg;

namespace {

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

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void realBoxAndItsScript();
    void setListItemColumnWritesOnlyRowsOfItsList();
    void dottedAddressRule();
    void fontShrinksJustEnoughForEveryCaption();
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
};

// A real confirmation shows its title, text, icon and buttons (* the default, No, so Enter answers
// No). Every dialog test leans on the script failing a test at an unexpected box: shown last.
void TestFormUtilities::realBoxAndItsScript() {
    QStringList seen;
    ModalDialogDriver driver("ZebMessageBox", [&](QDialog* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        seen << box->windowTitle() << box->text() << QVariant::fromValue(box->icon()).toString();
        for (QAbstractButton* button : box->buttons()) {
            seen << button->text().remove('&') + (button == box->defaultButton() ? "*" : "");
        }
        QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(!ConfirmAction("rename", "host", ""));
    seen.sort();
    QCOMPARE(seen.join('|'),
             QString("Are you sure you wish to rename this host?|Information|No*|Yes|ZEB"));
    MessageBoxScript noBoxes;
    QEXPECT_FAIL("", "a box nobody expected must fail the test", Continue);
    // Answered with its last button, so an unexpected question is never confirmed.
    QCOMPARE(showMessage("Delete?", MsgIcon::Information, MsgButtons::YesNo), MsgAnswer::No);
    QCOMPARE(noBoxes.shown().size(), 1);
}

void TestFormUtilities::setListItemColumnWritesOnlyRowsOfItsList() {
    QTreeWidget list;
    list.headerItem()->setData(0, ColumnKeyRole, QString("NAME"));
    auto* row = new QTreeWidgetItem(&list, QStringList{"alpha"});
    QTreeWidget other;
    SetListItemColumn(&other, row, "NAME", "x");
    SetListItemColumn(&list, nullptr, "NAME", "x");
    QCOMPARE(row->text(0), QString("alpha"));
}

// A text without a dot is a host name; with one, four parts from 0 to 254.
void TestFormUtilities::dottedAddressRule() {
    for (const char* accepted :
         {"myhost", "my host", "a,b", "", "999", "10.0.0.1", "254.254.254.254", "010.001.000.009",
          "+1.2.3.4", "-0.0.0.0", "0000000254.1.1.1"}) {
        QVERIFY2(isAcceptableHostOrAddress(accepted), accepted);
    }
    // The last two end in Arabic-Indic digits.
    for (const QString& refused :
         QString::fromUtf8(
             "192.168.1.255|256.1.1.1|10.0.0|10.0.0.1.5|10..0.1|10.0.0.-1|10.0.0.1 |10.0,.0.1|"
             "www.example.com|1e2.0.0.1|0x1.0.0.1|+.1.1.1|99999999999999999999.1.1.1|"
             "1.2.3.4\xd9\xa3|1.2.3.\u0664")
             .split('|')) {
        QVERIFY2(!isAcceptableHostOrAddress(refused), qPrintable(refused));
    }
}

// The font shrinks in half points (trying semi-condensed too) until every caption, and every
// alternative text of a word-wrapped label, fits, and no further.
void TestFormUtilities::fontShrinksJustEnoughForEveryCaption() {
    QWidget dialog;
    auto* option = new QRadioButton("Permit standard TCP/IP hostname resolution", &dialog);
    auto* wrapped = new QLabel("Short.", &dialog);
    wrapped->setWordWrap(true);
    const QString longest("The configuration utility has not yet been run. Before a connection "
                          "can be established, certain default parameters must be configured.");
    const auto fitTo = [&](int optionWidth, int wrappedHeight) {
        option->setGeometry(0, 0, optionWidth, 20);
        wrapped->setGeometry(0, 20, 270, wrappedHeight);
        fitTextsToLayout(&dialog, {{wrapped, {longest}}});
    };
    const auto longestHeight = [&] {
        const QRect tall(0, 0, wrapped->contentsRect().width(), 10000);
        return wrapped->fontMetrics().boundingRect(tall, Qt::TextWordWrap, longest).height();
    };
    const auto allFit = [&] {
        return option->sizeHint().width() <= option->width() &&
               longestHeight() <= wrapped->contentsRect().height();
    };
    const QFont natural = QApplication::font(&dialog);
    fitTo(1000, 1000); // room enough
    QCOMPARE(dialog.font(), natural);
    const int naturalHeight = longestHeight();
    fitTo(option->sizeHint().width() * 4 / 5, naturalHeight); // the option is too narrow
    QVERIFY(allFit() && dialog.font().pointSizeF() < natural.pointSizeF());
    fitTo(1000, naturalHeight - 1); // the wrapped text the label does not show is too tall
    QVERIFY(allFit());
    QCOMPARE(wrapped->text(), QString("Short."));
    QFont larger = dialog.font();
    larger.setPointSizeF(larger.pointSizeF() + 0.5);
    larger.setStretch(QFont::SemiCondensed);
    dialog.setFont(larger);
    QVERIFY(!allFit());
}

// Values of other types than text and numbers are skipped; the first value whose name or data does
// not fit the 64-byte buffers ends the list, and a map that cannot be opened lists nothing. The box
// is refilled, not added to, and no port is chosen for the user.
void TestFormUtilities::portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue() {
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
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
