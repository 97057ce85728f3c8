// The text rules the dialogs share: the dotted-address rule, the Windows-1252 filter of text boxes
// and the twips measure of layouts.
#include "AnsiValidator.h"
#include "DottedAddress.h"
#include "Twips.h"
#include "TypeText.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QtTest/QTest>

using namespace zeb::ui;

class TestTextRules : public QObject {
    Q_OBJECT

private slots:
    void dotlessTextIsAHostName();
    void fourPartsFromZeroTo254Pass();
    void malformedDottedAddressesAreRefused();
    void ansiTextIsRecognised();
    void boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted();
    void twipsConvertAtFifteenAPixel();
};

void TestTextRules::dotlessTextIsAHostName() {
    for (const char* name : {"myhost", "mail_server", "my host", "a,b", "", " ", "-1", "999"}) {
        QVERIFY2(IsAcceptableHostOrAddress(name), name);
    }
}

void TestTextRules::fourPartsFromZeroTo254Pass() {
    for (const char* address : {"10.0.0.1", "0.0.0.0", "254.254.254.254", "010.001.000.009",
                                "+1.2.3.4", "-0.0.0.0", "0000000254.1.1.1"}) {
        QVERIFY2(IsAcceptableHostOrAddress(address), address);
    }
}

void TestTextRules::malformedDottedAddressesAreRefused() {
    for (const char* address : {"192.168.1.255",   "256.1.1.1", "10.0.0",
                                "10.0.0.1.5",      "10..0.1",   ".10.0.1",
                                "10.0.1.",         "10.0.0.x",  "10.0.0.-1",
                                "10.0.0.1 ",       " 10.0.0.1", "10.0 .0.1",
                                "10.0,.0.1",       "1,0.0.0.1", "alpha.beta.gamma",
                                "www.example.com", "1e2.0.0.1", "0x1.0.0.1",
                                "+.1.1.1",         "1.-.1.1",   "99999999999999999999.1.1.1",
                                "1.2.3.4\xd9\xa3", "..."}) {
        QVERIFY2(!IsAcceptableHostOrAddress(QString::fromUtf8(address)), address);
    }
    QVERIFY(!IsAcceptableHostOrAddress(QString::fromUtf8("1.2.3.\u0664"))); // Arabic-Indic digit
}

void TestTextRules::ansiTextIsRecognised() {
    QVERIFY(IsAnsiRepresentable(""));
    QVERIFY(IsAnsiRepresentable("plain ASCII ?!"));
    QVERIFY(IsAnsiRepresentable(QString::fromUtf8("Müller € – “quoted” Œ ž ÿ")));
    QVERIFY(!IsAnsiRepresentable(QString::fromUtf8("Ωmega")));
    QVERIFY(!IsAnsiRepresentable(QString::fromUtf8("host\u4e2d")));
    QVERIFY(!IsAnsiRepresentable(QString::fromUtf8("emoji \U0001F600")));
}

void TestTextRules::boxRestrictedToAnsiDropsOtherCharactersTypedOrPasted() {
    QLineEdit box;
    box.setMaxLength(32);
    RestrictToAnsi(&box);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    typeText(&box, QString::fromUtf8("aΩé😀€"));
    QCOMPARE(box.text(), QString::fromUtf8("aé€"));

    QApplication::clipboard()->setText(QString::fromUtf8("x中y\U0001F600z"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("aé€xyz"));
    QCOMPARE(box.cursorPosition(), 6);

    box.setCursorPosition(1);
    QApplication::clipboard()->setText(QString::fromUtf8("Ω-"));
    box.paste();
    QCOMPARE(box.text(), QString::fromUtf8("a-é€xyz"));
    QCOMPARE(box.cursorPosition(), 2);
}

void TestTextRules::twipsConvertAtFifteenAPixel() {
    QCOMPARE(twips(15), 1);
    QCOMPARE(twips(7695), 513);
    QCOMPARE(twipsRect(2820, 600, 4755, 3435), QRect(188, 40, 317, 229));
}

QTEST_MAIN(TestTextRules)
#include "test_text_rules.moc"
