// The shared form utilities the dialogs' tests do not reach on their own: the real message box and
// its script, list-view columns, and the text rules (dotted addresses, the Windows-1252 filter of
// text boxes, the font that gives way to the layouts).
#include "AnsiValidator.h"
#include "DottedAddress.h"
#include "FitToLayout.h"
#include "MessageBoxScript.h"
#include "ModalDialogDriver.h"
#include "TypeText.h"
#include "modLibrary.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest/QTest>

using namespace zeb::ui;

class TestFormUtilities : public QObject {
    Q_OBJECT

private slots:
    void realBoxCarriesTitleIconButtonsAndDefault();
    void scriptAnswersInOrderAndFailsOnAnUnexpectedBox();
    void setListItemColumnWritesTheKeyedFieldOfItsOwnRows();
    void dottedAddressRule();
    void boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted();
    void fontShrinksJustEnoughForEveryCaption();
};

// A real box, with a key pressed on it: title, text, icon, buttons (sorted, * the default), answer.
void TestFormUtilities::realBoxCarriesTitleIconButtonsAndDefault() {
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
        {MsgIcon::Critical, MsgButtons::Ok, 1, Qt::Key_Return, "ZEB|Are you sure?|Critical|OK*",
         MsgAnswer::Ok},
        {MsgIcon::Exclamation, MsgButtons::OkCancel, 1, Qt::Key_Escape,
         "ZEB|Are you sure?|Warning|Cancel OK*", MsgAnswer::Cancel},
    };
    for (const auto& row : cases) {
        QString seen;
        ModalDialogDriver driver("ZebMessageBox", [&](QDialog* dialog) {
            auto* box = static_cast<QMessageBox*>(dialog);
            QStringList captions;
            for (QAbstractButton* button : box->buttons()) {
                captions << button->text().remove('&') +
                                (button == box->defaultButton() ? "*" : "");
            }
            captions.sort();
            seen = QStringList{box->windowTitle(), box->text(),
                               QVariant::fromValue(box->icon()).toString(), captions.join(' ')}
                       .join('|');
            QTest::keyClick(box, row.key);
        });
        QCOMPARE(showMessage("Are you sure?", row.icon, row.buttons, row.defaultButton),
                 row.answer);
        QCOMPARE(seen, QString(row.seen));
    }
}

// Every dialog test leans on the script failing a test at an unexpected box: show that it does.
// The confirmations ask Yes/No with No the default, so Enter answers No.
void TestFormUtilities::scriptAnswersInOrderAndFailsOnAnUnexpectedBox() {
    MessageBoxScript boxes;
    boxes.expect("first", MsgIcon::Exclamation, MsgAnswer::Cancel)
        .expect("Are you sure you wish to rename this host?", MsgIcon::Information, MsgAnswer::Yes);
    QCOMPARE(showMessage("first", MsgIcon::Exclamation, MsgButtons::OkCancel), MsgAnswer::Cancel);
    QVERIFY(!boxes.done());
    QVERIFY(ConfirmAction("rename", "host", ""));
    QVERIFY(boxes.done());
    QCOMPARE(boxes.shown().value(1).buttons, MsgButtons::YesNo);
    QCOMPARE(boxes.shown().value(1).defaultButton, 2);
    QEXPECT_FAIL("", "a box nobody expected must fail the test", Continue);
    // Answered with its last button, so an unexpected question is never confirmed.
    QCOMPARE(showMessage("Delete?", MsgIcon::Information, MsgButtons::YesNo), MsgAnswer::No);
    QCOMPARE(boxes.shown().size(), 3);
}

// Only the column with the exact key is written, and only in a row of that list.
void TestFormUtilities::setListItemColumnWritesTheKeyedFieldOfItsOwnRows() {
    QTreeWidget list;
    list.setColumnCount(2);
    list.headerItem()->setData(0, ColumnKeyRole, QString("NAME"));
    list.headerItem()->setData(1, ColumnKeyRole, QString("PORT"));
    auto* row = new QTreeWidgetItem(&list, QStringList({"alpha", "COM1"}));
    SetListItemColumn(&list, row, "PORT", "/dev/ttyS0");
    SetListItemColumn(&list, row, "port", "x");
    QTreeWidget other;
    SetListItemColumn(&other, row, "PORT", "x");
    SetListItemColumn(&list, nullptr, "PORT", "x");
    QCOMPARE(QStringList({row->text(0), row->text(1)}), QStringList({"alpha", "/dev/ttyS0"}));
}

// A text without a dot is a host name; with one, four parts from 0 to 254.
void TestFormUtilities::dottedAddressRule() {
    for (const char* accepted :
         {"myhost", "mail_server", "my host", "a,b", "", " ", "-1", "999", "10.0.0.1", "0.0.0.0",
          "254.254.254.254", "010.001.000.009", "+1.2.3.4", "-0.0.0.0", "0000000254.1.1.1"}) {
        QVERIFY2(isAcceptableHostOrAddress(accepted), accepted);
    }
    // The last two end in Arabic-Indic digits.
    for (const QString& refused :
         QString::fromUtf8(
             "192.168.1.255|256.1.1.1|10.0.0|10.0.0.1.5|10..0.1|.10.0.1|10.0.1.|10.0.0.x|10.0.0.-1|"
             "10.0.0.1 | 10.0.0.1|10.0 .0.1|10.0,.0.1|1,0.0.0.1|alpha.beta.gamma|www.example.com|"
             "1e2.0.0.1|0x1.0.0.1|+.1.1.1|1.-.1.1|99999999999999999999.1.1.1|...|1.2.3.4\xd9\xa3|"
             "1.2.3.\u0664")
             .split('|')) {
        QVERIFY2(!isAcceptableHostOrAddress(refused), qPrintable(refused));
    }
}

void TestFormUtilities::boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted() {
    QLineEdit box;
    restrictToAnsi(&box);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    // Windows-1252 has letters and marks of its own between 0x80 and 0x9f (“, Œ, ž), and ? is no
    // stand-in for a refused one.
    typeText(&box, QString::fromUtf8("aΩé😀€“Œž?"));
    QApplication::clipboard()->setText(QString::fromUtf8("x中y\U0001F600z"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("aé€“Œž?xyz"));
    box.setCursorPosition(1);
    QApplication::clipboard()->setText(QString::fromUtf8("Ω-"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("a-é€“Œž?xyz"));
    QCOMPARE(box.cursorPosition(), 2);
    QVERIFY(isAnsiRepresentable(box.text()) && !isAnsiRepresentable("\u4e2d"));
}

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
    // Just enough: half a point larger does not fit even semi-condensed.
    QFont larger = dialog.font();
    larger.setPointSizeF(larger.pointSizeF() + 0.5);
    larger.setStretch(QFont::SemiCondensed);
    dialog.setFont(larger);
    QVERIFY(!allFit());
    // A font sized in pixels was chosen on purpose.
    QFont pixels = natural;
    pixels.setPixelSize(40);
    QApplication::setFont(pixels);
    fitTo(10, 10);
    QApplication::setFont(natural);
    QCOMPARE(dialog.font().pixelSize(), 40);
}

QTEST_MAIN(TestFormUtilities)
#include "test_form_utilities.moc"
