// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The shared form utilities the dialogs' tests do not reach.
#include "CRegKey.h"
#include "ChoiceLists.h"
#include "Controls.h"
#include "DottedAddress.h"
#include "FitToLayout.h"
#include "MessageBox.h"
#include "ModalDialogDriver.h"
#include "ScopedEnv.h"
#include "ScratchStore.h"
#include "StoreLayout.h"
#include "TempFolder.h"
#include "modLibrary.h"

#include <QtTest/QTest>
#include <QtWidgets>

using namespace zeb::ui;
namespace reg = zeb::reg;

namespace {

// The device map served from an ordinary key, so that it can hold what no sysfs tree gives.
struct ScriptedDeviceMap : reg::SqliteRegistry {
    ScriptedDeviceMap() : SqliteRegistry(":memory:") {}
    static constexpr const char* SCRIPTED = "Scripted\\SerialComm";
    reg::Handle map = 0;
    bool closed = false;

    reg::Status openKey(reg::Handle parent, const std::string& path, reg::Handle* result) override {
        const bool isMap = path == zeb::layout::SERIAL_DEVICE_MAP_KEY;
        const auto status = SqliteRegistry::openKey(parent, isMap ? SCRIPTED : path, result);
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

bool captionsFit(const QWidget& dialog) {
    return std::ranges::all_of(dialog.findChildren<QLabel*>(), [](const QLabel* label) {
        return label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                 : label->sizeHint().width() <= label->width();
    });
}

} // namespace

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void setListItemColumnWritesOnlyRowsOfItsList();
    void dottedAddressAndDigitKeyRules();
    void portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue();
    void fitTakesTheFirstFontThatFits();
    void fitRemembersTheFontFound();
    void workWaitsForTheFirstPaint();
    void realBoxesAnswerReturnAndEscape();
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
void TestFormUtilities::dottedAddressAndDigitKeyRules() {
    for (const char* accepted :
         {"my host", "254.254.254.254", "+1.2.3.4", "-0.0.0.0", "0000000254.1.1.1"}) {
        QVERIFY2(isAcceptableHostOrAddress(accepted), accepted);
    }
    for (const char* refused : {"192.168.1.255", "10.0.0", "10.0.0.-1", "+.1.1.1",
                                "99999999999999999999.1.1.1", "1.2.3.\u0664"}) {
        QVERIFY2(!isAcceptableHostOrAddress(refused), refused);
    }
    // The digit boxes' key filter: digits, Backspace (8) and the allowed characters pass.
    for (const char key : {'/', ':', 'a', '0', '9', '\b', '.'}) {
        int code = key;
        FilterNumericKey(code, ".");
        QCOMPARE(code, QByteArray("/:a").contains(key) ? 0 : int(key));
    }
}

// Other types are skipped; a name or data too long for 64 bytes ends the walk; no port is chosen.
void TestFormUtilities::portWalkSkipsOtherTypesAndStopsAtTheFirstUnreadableValue() {
    const QString longest(63, 'p'); // 63 characters and the NUL fill the 64-byte buffer
    for (const bool longData : {false, true}) {
        BackendScope<ScriptedDeviceMap> map;
        map->put("\\Device\\Serial0", "COM1");
        map->put("Blob", {}, true);
        map->put("Number", 7);
        map->put("\\Device\\Serial1", (longData ? longest + "q" : longest).toStdString());
        map->put(std::string(64, 'n'), "COM8"); // name too long: the walk ends here
        map->put("\\Device\\Serial9", "COM9");
        QComboBox box;
        FillSerialPorts(&box);
        FillSerialPorts(&box);
        QCOMPARE(Entries(&box), QStringList({"COM1", "7", longest}).mid(0, longData ? 2 : 3));
        QCOMPARE(std::pair(box.currentIndex(), map->closed), std::pair(-1, true));
    }
    QComboBox rates; // a fixed list too is filled anew, not added to
    FillBaudRates(&rates);
    FillBaudRates(&rates);
    QCOMPARE(std::pair(rates.count(), rates.currentIndex()), // and none is chosen
             std::pair(int(zeb::layout::choices::BAUD_RATES.size()), -1));
}

// The fonts in order: the natural one, then its size down to 7 points by halves, each normal then
// semi-condensed. None before the one taken fits; the last is kept when none does. A short wrapped
// label needs its one line's height, which no width changes: there a normal font can come first.
void TestFormUtilities::fitTakesTheFirstFontThatFits() {
    QFont natural = QApplication::font();
    natural.setPointSizeF(12);
    QApplication::setFont(natural);
    QList<QFont> order{natural};
    for (int step = 0; step <= 10; ++step) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            order << natural;
            order.last().setPointSizeF(12 - step * 0.5);
            order.last().setStretch(stretch);
        }
    }
    // The room of the first two captions and of the short one, in percent of the natural font's
    // need; the font taken: its place in the order, or -1 (-2) for a semi-condensed (normal) one
    // between the second and the last.
    const std::tuple<int, int, int> rows[] = {{100, 100, 0}, {85, 100, -1}, {70, 100, -1},
                                              {100, 97, -2}, {100, 85, -2}, {10, 100, 22}};
    for (const auto& [room, shortRoom, expected] : rows) {
        QDialog dialog;
        dialog.setFixedSize(600, 400);
        QLabel line("A caption on one line", &dialog), shortLine("Short", &dialog);
        QLabel wrapped(QString("Words that wrap over the lines of a label. ").repeated(4), &dialog);
        wrapped.setWordWrap(true);
        shortLine.setWordWrap(true);
        dialog.show();
        line.setFixedWidth(line.sizeHint().width() * room / 100);
        wrapped.setFixedSize(200, wrapped.heightForWidth(200) * room / 100);
        shortLine.setFixedSize(200, shortLine.heightForWidth(200) * shortRoom / 100);
        fitTextsToLayout(&dialog);
        const qsizetype at = order.indexOf(dialog.font());
        const bool between = at > 1 && at < order.size() - 1 && (expected == -1) == (at % 2 == 0);
        QVERIFY2(at == expected || (expected < 0 && between), qPrintable(QString::number(at)));
        QCOMPARE(captionsFit(dialog), expected != 22);
        for (qsizetype before = 1; before < at; ++before) {
            dialog.setFont(order[before]);
            QVERIFY2(!captionsFit(dialog), qPrintable(order[before].toString()));
        }
        line.setFixedWidth(600); // fitted again, it starts from the natural font
        wrapped.setFixedSize(600, 300);
        shortLine.setFixedSize(600, 100);
        fitTextsToLayout(&dialog);
        QCOMPARE(order.indexOf(dialog.font()), 0);
    }
}

// The next fitting of the same dialog shows the font found last time at once, if it fits, and
// searches again once the dialog has been drawn: a remembered font smaller than the first that fits
// is put right. One that does not fit, or that cannot be read, is passed over.
void TestFormUtilities::fitRemembersTheFontFound() {
    const TempFolder cache;
    const ScopedEnv cacheHome("XDG_CACHE_HOME", QByteArray::fromStdString(cache.file("")));
    QDialog dialog;
    QLabel line("A caption on one line", &dialog);
    dialog.show();
    line.setFixedWidth(line.sizeHint().width() * 85 / 100);
    fitTextsToLayout(&dialog);
    const QFont found = dialog.font();
    const std::string memory = cache.file("zeb/fitted-fonts");
    const std::string key = readBytes(memory).substr(0, 64);
    const auto lineOf = [&key](QFont font, qreal points) {
        font.setPointSizeF(points);
        return key + ' ' + font.toString().toStdString() + '\n';
    };
    QCOMPARE(readBytes(memory), lineOf(found, found.pointSizeF()));
    const auto fitAgainWith = [&](const std::string& text) {
        writeBytes(memory, text);
        fitTextsToLayout(&dialog);
    };
    fitAgainWith(key + " not,a,font,at,all\n" + lineOf(found, 40));
    QCOMPARE(dialog.font(), found);
    fitAgainWith("another dialog\n" + lineOf(found, 7));
    QCOMPARE(dialog.font().pointSizeF(), 7);
    QTRY_COMPARE(dialog.font(), found);
    QCOMPARE(readBytes(memory), lineOf(found, found.pointSizeF()) + "another dialog\n");
}

// Events before the first paint (a title, a show) leave the work waiting; the paint starts it.
void TestFormUtilities::workWaitsForTheFirstPaint() {
    QDialog dialog;
    int runs = 0;
    runAfterFirstPaint(&dialog, [&] { ++runs; });
    dialog.setWindowTitle("Waiting");
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);
    dialog.show();
    QTRY_COMPARE(runs, 1);
}

// The real box behind the seam: titled "ZEB", the text as given; Return takes the default button,
// Esc the last one (Cancel, No, or the lone OK), as Qt picks it for the box.
void TestFormUtilities::realBoxesAnswerReturnAndEscape() {
    const auto previous = setMessageAnswerer({});
    const std::tuple<MsgButtons, int, Qt::Key, MsgAnswer> rows[] = {
        {MsgButtons::OkCancel, 1, Qt::Key_Escape, MsgAnswer::Cancel},
        {MsgButtons::YesNo, 1, Qt::Key_Escape, MsgAnswer::No},
        {MsgButtons::Ok, 1, Qt::Key_Escape, MsgAnswer::Ok},
        {MsgButtons::YesNo, 2, Qt::Key_Return, MsgAnswer::No},
        {MsgButtons::OkCancel, 1, Qt::Key_Return, MsgAnswer::Ok}};
    for (const auto& [buttons, defaultButton, key, answer] : rows) {
        QString shown;
        const ModalDialogDriver driver("ZebMessageBox", [&](QDialog* box) {
            shown = box->windowTitle() + '|' + qobject_cast<QMessageBox*>(box)->text();
            QTest::keyClick(box, key);
        });
        QCOMPARE(showMessage("Sure?", MsgIcon::Exclamation, buttons, defaultButton), answer);
        QCOMPARE(shown, "ZEB|Sure?");
    }
    setMessageAnswerer(previous);
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
