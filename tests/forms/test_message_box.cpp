// The one message box of the program, shown for real, and the script that stands in for it.
#include "MessageBox.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>

using namespace zeb::ui;

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows a real box, notes what it looked like and presses `key` on it.
MsgAnswer showAndPress(const QString& text, MsgIcon icon, MsgButtons buttons, int defaultButton,
                       Qt::Key key, SeenBox& seen) {
    ModalDialogDriver driver("ZebMessageBox", [&](QDialog* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            seen.buttons << button->text().remove('&');
        }
        seen.buttons.sort();
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : "";
        QTest::keyClick(box, key);
    });
    return ShowMessage(text, icon, buttons, defaultButton);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void realBoxCarriesTitleIconButtonsAndDefault();
    void scriptAnswersInOrderAndRecordsEveryBox();
    void scriptFailsOnAnUnexpectedBox();
    void scriptFailsOnADifferentText();
    void scriptFailsWhenAnExpectedBoxIsNotShown();
};

void TestMessageBox::realBoxCarriesTitleIconButtonsAndDefault() {
    SeenBox seen;
    QCOMPARE(showAndPress("Are you sure?", MsgIcon::Information, MsgButtons::YesNo, 2,
                          Qt::Key_Return, seen),
             MsgAnswer::No);
    QCOMPARE(seen.title, QString("ZEB"));
    QCOMPARE(seen.text, QString("Are you sure?"));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(seen.buttons, QStringList({"No", "Yes"}));
    QCOMPARE(seen.defaultButton, QString("No"));

    seen = {};
    QCOMPARE(
        showAndPress("Sure?", MsgIcon::Information, MsgButtons::YesNo, 1, Qt::Key_Return, seen),
        MsgAnswer::Yes);

    seen = {};
    QCOMPARE(showAndPress("Unable to save settings to the registry", MsgIcon::Critical,
                          MsgButtons::Ok, 1, Qt::Key_Return, seen),
             MsgAnswer::Ok);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QStringList({"OK"}));

    seen = {};
    QCOMPARE(showAndPress("Continue?", MsgIcon::Exclamation, MsgButtons::OkCancel, 1,
                          Qt::Key_Escape, seen),
             MsgAnswer::Cancel);
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, QStringList({"Cancel", "OK"}));
    QCOMPARE(seen.defaultButton, QString("OK"));

    seen = {};
    QCOMPARE(
        showAndPress("Really?", MsgIcon::Information, MsgButtons::YesNo, 1, Qt::Key_Escape, seen),
        MsgAnswer::No);
}

void TestMessageBox::scriptAnswersInOrderAndRecordsEveryBox() {
    MessageBoxScript boxes;
    boxes.expect("first", MsgIcon::Exclamation, MsgAnswer::Ok)
        .expect("second", MsgIcon::Information, MsgAnswer::Yes)
        .expect("third", MsgIcon::Exclamation, MsgAnswer::Cancel);
    QVERIFY(!boxes.done());
    QCOMPARE(ShowMessage("first", MsgIcon::Exclamation, MsgButtons::Ok), MsgAnswer::Ok);
    QCOMPARE(ShowMessage("second", MsgIcon::Information, MsgButtons::YesNo, 2), MsgAnswer::Yes);
    QCOMPARE(ShowMessage("third", MsgIcon::Exclamation, MsgButtons::OkCancel), MsgAnswer::Cancel);
    QVERIFY(boxes.done());
    QCOMPARE(boxes.shown().size(), 3);
    QCOMPARE(boxes.shown().at(1).text, QString("second"));
    QCOMPARE(boxes.shown().at(1).icon, MsgIcon::Information);
    QCOMPARE(boxes.shown().at(1).buttons, MsgButtons::YesNo);
    QCOMPARE(boxes.shown().at(1).defaultButton, 2);
}

void TestMessageBox::scriptFailsOnAnUnexpectedBox() {
    MessageBoxScript boxes;
    QEXPECT_FAIL("", "a box nobody expected must fail the test", Continue);
    // Answered with its last button, so an unexpected question is never confirmed.
    QCOMPARE(ShowMessage("Delete?", MsgIcon::Information, MsgButtons::YesNo), MsgAnswer::No);
    QCOMPARE(boxes.shown().size(), 1);
}

void TestMessageBox::scriptFailsOnADifferentText() {
    MessageBoxScript boxes;
    boxes.expect("Please enter a server name", MsgIcon::Exclamation);
    QEXPECT_FAIL("", "a box with another text must fail the test", Continue);
    ShowMessage("Please enter a servername", MsgIcon::Exclamation, MsgButtons::Ok);
    QVERIFY(boxes.done());
}

void TestMessageBox::scriptFailsWhenAnExpectedBoxIsNotShown() {
    QEXPECT_FAIL("", "an expected box that never came must fail the test", Continue);
    MessageBoxScript boxes;
    boxes.expect("never shown", MsgIcon::Critical);
}

QTEST_MAIN(TestMessageBox)
#include "test_message_box.moc"
