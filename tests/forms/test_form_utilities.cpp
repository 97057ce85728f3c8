// The shared form utilities: confirmation, key filter, showing, hiding and focusing controls,
// selecting combo entries and writing list-view columns.
#include "MessageBoxScript.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest/QTest>

using namespace zeb::ui;

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void confirmationsAskWithTheItemInBracketsAndDefaultToNo();
    void filterNumericKeyPassesDigitsBackspaceAndAllowed();
    void hideAndShowControl();
    void focusControlOnlyFocusesUsableControlsAndMarksTheRow();
    void selectComboItemByExactOrCaselessText();
    void setListItemColumnWritesTheKeyedField();
};

void TestFormUtilities::confirmationsAskWithTheItemInBracketsAndDefaultToNo() {
    MessageBoxScript boxes;
    const QString question("Are you sure you wish to %1 this %2%3?");
    boxes
        .expect(question.arg("delete", "server definition", " [alpha]"), MsgIcon::Information,
                MsgAnswer::Yes)
        .expect(question.arg("delete", "server definition", ""), MsgIcon::Information,
                MsgAnswer::Yes)
        .expect(question.arg("rename", "host", " [a b]"), MsgIcon::Information, MsgAnswer::No);
    QVERIFY(ConfirmDelete("server definition", "alpha"));
    QVERIFY(ConfirmDelete("server definition", ""));
    QVERIFY(!ConfirmAction("rename", "host", "a b"));
    for (const MessageBoxScript::Box& box : boxes.shown()) {
        QCOMPARE(box.buttons, MsgButtons::YesNo);
        QCOMPARE(box.defaultButton, 2); // Enter answers No (a real box: test_message_box)
    }
}

void TestFormUtilities::filterNumericKeyPassesDigitsBackspaceAndAllowed() {
    const auto filtered = [](int key, const QString& allowed) {
        FilterNumericKey(key, allowed);
        return key;
    };
    for (int passed : {int('0'), int('9'), 8}) {
        QCOMPARE(filtered(passed, ""), passed);
    }
    for (int refused : {int('a'), int('/'), int(':'), int('.'), 13, 0x00E9, 0x0664}) {
        QCOMPARE(filtered(refused, ""), 0);
    }
    QCOMPARE(filtered('x', "x."), int('x'));
    QCOMPARE(filtered('X', "x."), 0); // codes compare exactly
    QCOMPARE(filtered('-', "x."), 0);
}

void TestFormUtilities::hideAndShowControl() {
    QWidget window;
    auto* control = new QLineEdit(&window);
    window.show();

    HideControl(control);
    QVERIFY(control->isHidden() && !control->isEnabled());
    ShowControl(control, true);
    QVERIFY(control->isVisible() && control->isEnabled());
    HideControl(control);
    ShowControl(control, false);
    QVERIFY(control->isVisible() && !control->isEnabled());

    HideControl(nullptr); // no control: nothing to do, nothing to crash
    ShowControl(nullptr, true);
}

void TestFormUtilities::focusControlOnlyFocusesUsableControlsAndMarksTheRow() {
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    auto* list = new QTreeWidget(&window);
    auto* alpha = new QTreeWidgetItem(list, QStringList("alpha"));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    first->setFocus();

    for (const bool hidden : {true, false}) { // hidden, then disabled: no focus
        second->setVisible(!hidden);
        second->setEnabled(hidden);
        FocusControl(second);
        QVERIFY(first->hasFocus());
    }
    second->setEnabled(true);
    FocusControl(second);
    QVERIFY(second->hasFocus());
    FocusControl(nullptr);

    FocusControl(list); // no current row: focus only
    QVERIFY(list->hasFocus() && list->selectedItems().isEmpty());
    list->setCurrentItem(alpha);
    list->clearSelection();
    first->setFocus();
    FocusControl(list);
    QVERIFY(list->hasFocus());
    QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem*>({alpha}));

    // A control whose window is not on screen yet cannot take the focus, now or later.
    QWidget unshown;
    auto* box = new QLineEdit(&unshown);
    new QLineEdit(&unshown);
    FocusControl(box);
    QCOMPARE(unshown.focusWidget(), nullptr);
}

void TestFormUtilities::selectComboItemByExactOrCaselessText() {
    QComboBox box;
    box.addItems({"AM65", "AM65G", "AM75", "AM75G", "None", "none"});
    const auto selected = [&](const QString& text, int mode) {
        SelectComboItem(&box, text, mode);
        return box.currentIndex();
    };
    QCOMPARE(selected("am75g", 1), 3);
    QCOMPARE(selected("am75g", 0), -1);
    QCOMPARE(box.currentText(), QString());
    QCOMPARE(selected("AM65G", 0), 1);
    QCOMPARE(selected("AM6", 1), -1); // no partial matches
    QCOMPARE(selected("NONE", 1), 4); // the first equal entry wins
    QCOMPARE(selected("none", 0), 5);
}

void TestFormUtilities::setListItemColumnWritesTheKeyedField() {
    QTreeWidget list;
    list.setColumnCount(3);
    const char* keys[] = {"NAME", "TRANSPORT", "PORT"};
    for (int column = 0; column < 3; ++column) {
        list.headerItem()->setData(column, ColumnKeyRole, QString(keys[column]));
    }
    auto* row = new QTreeWidgetItem(&list, QStringList({"alpha", "SERIAL", "COM1"}));
    const auto texts = [row] { return QStringList({row->text(0), row->text(1), row->text(2)}); };

    SetListItemColumn(&list, row, "PORT", "/dev/ttyS0");
    SetListItemColumn(&list, row, "NAME", "beta");
    QCOMPARE(texts(), QStringList({"beta", "SERIAL", "/dev/ttyS0"}));

    SetListItemColumn(&list, row, "ADDRESS", "x"); // no such column: nothing changes
    SetListItemColumn(&list, row, "port", "x");    // keys compare exactly
    QTreeWidget other;
    SetListItemColumn(&other, row, "PORT", "x"); // a row of another list
    SetListItemColumn(&list, nullptr, "PORT", "x");
    QCOMPARE(texts(), QStringList({"beta", "SERIAL", "/dev/ttyS0"}));
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
