// The shared form utilities: confirmation, key filter, showing, hiding and focusing controls,
// selecting combo entries and writing list-view columns.
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "modLibrary.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest/QTest>

using namespace zeb::ui;

namespace {

// Records the order in which a control was enabled, disabled, shown and hidden.
class StateLog : public QObject {
public:
    QStringList entries;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::EnabledChange) {
            entries << (widget->isEnabled() ? "enabled" : "disabled");
        } else if (event->type() == QEvent::ShowToParent) {
            entries << "shown";
        } else if (event->type() == QEvent::HideToParent) {
            entries << "hidden";
        }
        return false;
    }
};

// A shown, active window with a few controls, so focus really moves.
struct FocusWindow {
    QWidget window;
    QLineEdit* first = new QLineEdit(&window);
    QLineEdit* second = new QLineEdit(&window);
    QTreeWidget* list = new QTreeWidget(&window);

    FocusWindow() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(list);
        for (const char* name : {"alpha", "beta"}) {
            new QTreeWidgetItem(list, QStringList(name));
        }
        window.show();
        window.activateWindow();
    }
};

QComboBox* emulationBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItems({"AM65", "AM65G", "AM75", "AM75G"});
    return box;
}

} // namespace

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void confirmDeleteAsksWithTheItemInBrackets();
    void confirmActionLeavesOutEmptyBracketsAndDefaultsToNo();
    void enterAtOnceAnswersNoToARealConfirmation();
    void filterNumericKeyPassesDigitsBackspaceAndAllowed();
    void hideAndShowControlInTheirOrder();
    void focusControlOnlyFocusesUsableControls();
    void focusControlMarksAListsCurrentRowAgain();
    void selectComboItemByExactOrCaselessText();
    void setListItemColumnWritesTheKeyedField();
};

void TestFormUtilities::confirmDeleteAsksWithTheItemInBrackets() {
    MessageBoxScript boxes;
    boxes.expect("Are you sure you wish to delete this server definition [alpha]?",
                 MsgIcon::Information, MsgAnswer::Yes);
    boxes.expect("Are you sure you wish to delete this server definition [beta]?",
                 MsgIcon::Information, MsgAnswer::No);
    QVERIFY(ConfirmDelete("server definition", "alpha"));
    QVERIFY(!ConfirmDelete("server definition", "beta"));
    QCOMPARE(boxes.shown().at(0).buttons, MsgButtons::YesNo);
}

void TestFormUtilities::confirmActionLeavesOutEmptyBracketsAndDefaultsToNo() {
    MessageBoxScript boxes;
    boxes.expect("Are you sure you wish to delete this server definition?", MsgIcon::Information,
                 MsgAnswer::Yes);
    boxes.expect("Are you sure you wish to rename this host [a b]?", MsgIcon::Information,
                 MsgAnswer::No);
    QVERIFY(ConfirmDelete("server definition", ""));
    QVERIFY(!ConfirmAction("rename", "host", "a b"));
    for (const MessageBoxScript::Box& box : boxes.shown()) {
        QCOMPARE(box.buttons, MsgButtons::YesNo);
        QCOMPARE(box.defaultButton, 2); // Enter answers No
    }
}

void TestFormUtilities::enterAtOnceAnswersNoToARealConfirmation() {
    QString asked;
    ModalDialogDriver driver("ZebMessageBox", [&](QDialog* box) {
        asked = static_cast<QMessageBox*>(box)->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    QVERIFY(!ConfirmDelete("server definition", ""));
    QCOMPARE(asked, QString("Are you sure you wish to delete this server definition?"));
}

void TestFormUtilities::filterNumericKeyPassesDigitsBackspaceAndAllowed() {
    const auto filtered = [](int key, const QString& allowed) {
        FilterNumericKey(key, allowed);
        return key;
    };
    for (int digit = '0'; digit <= '9'; ++digit) {
        QCOMPARE(filtered(digit, ""), digit);
    }
    QCOMPARE(filtered(8, ""), 8);
    for (int refused : {int('a'), int('-'), int(' '), int('.'), int('/'), int(':'), 13, 0x00E9}) {
        QCOMPARE(filtered(refused, ""), 0);
    }
    QCOMPARE(filtered('.', "."), int('.'));
    QCOMPARE(filtered('x', "x."), int('x'));
    QCOMPARE(filtered('X', "x."), 0); // codes compare exactly
    QCOMPARE(filtered('-', "x."), 0);
}

void TestFormUtilities::hideAndShowControlInTheirOrder() {
    QWidget window;
    auto* control = new QLineEdit(&window);
    window.show();
    StateLog log;
    control->installEventFilter(&log);

    HideControl(control);
    QVERIFY(control->isHidden());
    QVERIFY(!control->isEnabled());
    QCOMPARE(log.entries, QStringList({"disabled", "hidden"}));

    log.entries.clear();
    ShowControl(control, false);
    QVERIFY(control->isVisible());
    QVERIFY(!control->isEnabled());
    QCOMPARE(log.entries, QStringList({"shown"}));

    ShowControl(control, true);
    QVERIFY(control->isVisible());
    QVERIFY(control->isEnabled());
    QCOMPARE(log.entries, QStringList({"shown", "enabled"}));

    HideControl(nullptr); // no control: nothing to do, nothing to crash
    ShowControl(nullptr, true);
}

void TestFormUtilities::focusControlOnlyFocusesUsableControls() {
    FocusWindow ui;
    QVERIFY(QTest::qWaitForWindowActive(&ui.window));
    ui.first->setFocus();
    QVERIFY(ui.first->hasFocus());

    ui.second->hide();
    FocusControl(ui.second);
    QVERIFY(ui.first->hasFocus());

    ui.second->show();
    ui.second->setEnabled(false);
    FocusControl(ui.second);
    QVERIFY(ui.first->hasFocus());

    ui.second->setEnabled(true);
    FocusControl(ui.second);
    QVERIFY(ui.second->hasFocus());

    // A control whose window is not on screen yet cannot take the focus, now or later.
    QWidget unshown;
    auto* box = new QLineEdit(&unshown);
    new QLineEdit(&unshown);
    FocusControl(box);
    QCOMPARE(unshown.focusWidget(), nullptr);
    FocusControl(nullptr);
}

void TestFormUtilities::focusControlMarksAListsCurrentRowAgain() {
    FocusWindow ui;
    QVERIFY(QTest::qWaitForWindowActive(&ui.window));
    ui.first->setFocus();

    FocusControl(ui.list); // no current row: focus only
    QVERIFY(ui.list->hasFocus());
    QVERIFY(ui.list->selectedItems().isEmpty());

    QTreeWidgetItem* beta = ui.list->topLevelItem(1);
    ui.list->setCurrentItem(beta);
    ui.list->clearSelection();
    ui.first->setFocus();
    FocusControl(ui.list);
    QVERIFY(ui.list->hasFocus());
    QCOMPARE(ui.list->selectedItems(), QList<QTreeWidgetItem*>({beta}));
}

void TestFormUtilities::selectComboItemByExactOrCaselessText() {
    QWidget parent;
    QComboBox* box = emulationBox(&parent);

    SelectComboItem(box, "am75g", 1);
    QCOMPARE(box->currentIndex(), 3);
    QCOMPARE(box->currentText(), QString("AM75G"));

    SelectComboItem(box, "am75g", 0);
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(box->currentText(), QString());

    SelectComboItem(box, "AM65G", 0);
    QCOMPARE(box->currentIndex(), 1);
    SelectComboItem(box, "AM6", 1); // no partial matches
    QCOMPARE(box->currentIndex(), -1);

    box->addItems({"None", "none"});
    SelectComboItem(box, "NONE", 1); // the first equal entry wins
    QCOMPARE(box->currentIndex(), 4);
    SelectComboItem(box, "none", 0);
    QCOMPARE(box->currentIndex(), 5);

    QComboBox empty;
    SelectComboItem(&empty, "", 0);
    QCOMPARE(empty.currentIndex(), -1);
    SelectComboItem(&empty, "AM65", 1);
    QCOMPARE(empty.currentIndex(), -1);
}

void TestFormUtilities::setListItemColumnWritesTheKeyedField() {
    QTreeWidget list;
    list.setColumnCount(3);
    list.setHeaderLabels({"Name", "Transport", "Port"});
    const char* keys[] = {"NAME", "TRANSPORT", "PORT"};
    for (int column = 0; column < 3; ++column) {
        list.headerItem()->setData(column, ColumnKeyRole, QString(keys[column]));
    }
    auto* row = new QTreeWidgetItem(&list, QStringList({"alpha", "SERIAL", "COM1"}));

    SetListItemColumn(&list, row, "PORT", "/dev/ttyS0");
    QCOMPARE(row->text(2), QString("/dev/ttyS0"));
    QCOMPARE(row->text(0), QString("alpha"));

    SetListItemColumn(&list, row, "NAME", "beta");
    QCOMPARE(row->text(0), QString("beta"));
    QCOMPARE(row->text(1), QString("SERIAL"));

    SetListItemColumn(&list, row, "ADDRESS", "x"); // no such column: nothing changes
    SetListItemColumn(&list, row, "port", "x");    // keys compare exactly
    QTreeWidget other;
    SetListItemColumn(&other, row, "PORT", "x"); // a row of another list
    SetListItemColumn(&list, nullptr, "PORT", "x");
    QCOMPARE(QStringList({row->text(0), row->text(1), row->text(2)}),
             QStringList({"beta", "SERIAL", "/dev/ttyS0"}));
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
