// The text rules the dialogs share: the dotted-address rule, the Windows-1252 filter of text boxes
// and the font that gives way to the layouts.
#include "AnsiValidator.h"
#include "DottedAddress.h"
#include "FitToLayout.h"
#include "TypeText.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest/QTest>

using namespace zeb::ui;

class TestTextRules : public QObject {
    Q_OBJECT

private slots:
    void dottedAddressRule();
    void boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted();
    void fontShrinksJustEnoughForEveryCaption();
};

// A text without a dot is a host name; with one, four parts from 0 to 254.
void TestTextRules::dottedAddressRule() {
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

void TestTextRules::boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted() {
    QLineEdit box;
    box.setMaxLength(32);
    restrictToAnsi(&box);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    // Windows-1252 has letters and marks of its own between 0x80 and 0x9f (“, Œ, ž), and ? is no
    // stand-in for a refused one.
    typeText(&box, QString::fromUtf8("aΩé😀€“Œž?"));
    QApplication::clipboard()->setText(QString::fromUtf8("x中y\U0001F600z"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("aé€“Œž?xyz"));
    QCOMPARE(box.cursorPosition(), 10);
    box.setCursorPosition(1);
    QApplication::clipboard()->setText(QString::fromUtf8("Ω-"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("a-é€“Œž?xyz"));
    QCOMPARE(box.cursorPosition(), 2);
    QVERIFY(isAnsiRepresentable(box.text()) && !isAnsiRepresentable("\u4e2d"));
}

void TestTextRules::fontShrinksJustEnoughForEveryCaption() {
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
    QVERIFY(allFit());
    QVERIFY(dialog.font().pointSizeF() < natural.pointSizeF());
    fitTo(1000, naturalHeight - 1); // the wrapped text the label does not show is too tall
    QVERIFY(allFit());
    QCOMPARE(wrapped->text(), QString("Short."));
    // Just enough: half a point larger does not fit even semi-condensed.
    QFont larger = dialog.font();
    larger.setPointSizeF(larger.pointSizeF() + 0.5);
    larger.setStretch(QFont::SemiCondensed);
    dialog.setFont(larger);
    QVERIFY(!allFit());

    fitTo(1000, 1000); // fitted afresh from the natural font
    QCOMPARE(dialog.font(), natural);
    // A font sized in pixels was chosen on purpose.
    QFont pixels = natural;
    pixels.setPixelSize(40);
    QApplication::setFont(pixels);
    fitTo(10, 10);
    QApplication::setFont(natural);
    QCOMPARE(dialog.font().pixelSize(), 40);
}

QTEST_MAIN(TestTextRules)
#include "test_text_rules.moc"
