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

// Shows a real box and presses `key` on it; `seen` says what the box looked like: title, text,
// icon and buttons, these sorted and the default one marked with a *.
MsgAnswer showAndPress(MsgIcon icon, MsgButtons buttons, int defaultButton, Qt::Key key,
                       QString& seen) {
    ModalDialogDriver driver("ZebMessageBox", [&](QDialog* dialog) {
        auto* box = static_cast<QMessageBox*>(dialog);
        QStringList captions;
        for (QAbstractButton* button : box->buttons()) {
            captions << button->text().remove('&') + (button == box->defaultButton() ? "*" : "");
        }
        captions.sort();
        seen = QStringList{box->windowTitle(), box->text(),
                           QVariant::fromValue(box->icon()).toString(), captions.join(' ')}
                   .join('|');
        QTest::keyClick(box, key);
    });
    return showMessage("Are you sure?", icon, buttons, defaultButton);
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void realBoxCarriesTitleIconButtonsAndDefault();
    void scriptAnswersInOrderAndFailsOnAnUnexpectedBox();
};

void TestMessageBox::realBoxCarriesTitleIconButtonsAndDefault() {
    const struct {
        MsgIcon icon;
        MsgButtons buttons;
        int defaultButton;
        Qt::Key key;
        const char* seen;
        MsgAnswer answer;
    } cases[] = {
        {MsgIcon::Information, MsgButtons::YesNo, 2, Qt::Key_Return,
         "ZEB|Are you sure?|Information|No* Yes", MsgAnswer::No},
        {MsgIcon::Information, MsgButtons::YesNo, 1, Qt::Key_Return,
         "ZEB|Are you sure?|Information|No Yes*", MsgAnswer::Yes},
        {MsgIcon::Critical, MsgButtons::Ok, 1, Qt::Key_Return, "ZEB|Are you sure?|Critical|OK*",
         MsgAnswer::Ok},
        {MsgIcon::Exclamation, MsgButtons::OkCancel, 1, Qt::Key_Escape,
         "ZEB|Are you sure?|Warning|Cancel OK*", MsgAnswer::Cancel},
        {MsgIcon::Information, MsgButtons::YesNo, 1, Qt::Key_Escape,
         "ZEB|Are you sure?|Information|No Yes*", MsgAnswer::No},
    };
    for (const auto& box : cases) {
        QString seen;
        QCOMPARE(showAndPress(box.icon, box.buttons, box.defaultButton, box.key, seen), box.answer);
        QCOMPARE(seen, QString(box.seen));
    }
}

// Every dialog test leans on the script failing a test at an unexpected box: show that it does.
void TestMessageBox::scriptAnswersInOrderAndFailsOnAnUnexpectedBox() {
    MessageBoxScript boxes;
    boxes.expect("first", MsgIcon::Exclamation, MsgAnswer::Cancel)
        .expect("second", MsgIcon::Information, MsgAnswer::Yes);
    QCOMPARE(showMessage("first", MsgIcon::Exclamation, MsgButtons::OkCancel), MsgAnswer::Cancel);
    QVERIFY(!boxes.done());
    QCOMPARE(showMessage("second", MsgIcon::Information, MsgButtons::YesNo, 2), MsgAnswer::Yes);
    QVERIFY(boxes.done());
    QEXPECT_FAIL("", "a box nobody expected must fail the test", Continue);
    // Answered with its last button, so an unexpected question is never confirmed.
    QCOMPARE(showMessage("Delete?", MsgIcon::Information, MsgButtons::YesNo), MsgAnswer::No);
    QCOMPARE(boxes.shown().size(), 3);
}

QTEST_MAIN(TestMessageBox)
#include "test_message_box.moc"
