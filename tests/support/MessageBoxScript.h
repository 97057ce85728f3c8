// MessageBoxScript: scripted answers for the program's message boxes in Qt tests.
//
// Every box of ZEB goes through zeb::ui::ShowMessage. A MessageBoxScript, while it lives, replaces
// the real boxes: the test lists the boxes it expects, in order, each with its text, icon and the
// answer to give, and the script
//   - records every box shown (text, icon, buttons, default button), see shown();
//   - answers the boxes in the order they were expected;
//   - FAILS the running test when a box appears that it did not expect, when a box's text or icon
//     differs from the expected one, or when the scripted answer is not a button of that box
//     (an unexpected box is then answered with its last button: OK, Cancel or No);
//   - FAILS the test at the end of its scope when an expected box was never shown.
// No real box is ever shown, so a test cannot hang on one. An empty script asserts "no box at all".
//
//     MessageBoxScript boxes;
//     boxes.expect("Please enter a server name", zeb::ui::MsgIcon::Exclamation);
//     QTest::mouseClick(ok, Qt::LeftButton);
//     QVERIFY(boxes.done());               // optional: the destructor checks it as well
//     QCOMPARE(boxes.shown().size(), 1);
//
// One script per test function, on the stack; scripts may nest (the inner one wins until it ends).
// Failures are reported as a failed QVERIFY (QTest::qVerify), which marks the current test function
// failed wherever it is called from (also from inside a modal dialog's event loop) but does not
// return from it; QEXPECT_FAIL applies to them as to any QVERIFY.
#pragma once

#include "MessageBox.h"

#include <QList>
#include <QString>
#include <QtTest/QTest>

class MessageBoxScript {
public:
    struct Box {
        QString text;
        zeb::ui::MsgIcon icon;
        zeb::ui::MsgButtons buttons;
        int defaultButton;
    };

    MessageBoxScript()
        : previous_(zeb::ui::setMessageAnswerer(
              [this](const zeb::ui::MessageRequest& request) { return answer(request); })) {}

    ~MessageBoxScript() {
        zeb::ui::setMessageAnswerer(std::move(previous_));
        if (!done()) {
            fail(QStringLiteral("expected message box never shown: \"%1\"")
                     .arg(expected_.at(next_).text));
        }
    }

    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

    // Expects one more box; `answer` is the button the script presses on it.
    MessageBoxScript& expect(const QString& text, zeb::ui::MsgIcon icon,
                             zeb::ui::MsgAnswer answer = zeb::ui::MsgAnswer::Ok) {
        expected_.append({text, icon, answer});
        return *this;
    }

    // Every box shown so far, expected or not, in order.
    const QList<Box>& shown() const { return shown_; }

    // True once every expected box has been shown.
    bool done() const { return next_ == expected_.size(); }

private:
    struct Expected {
        QString text;
        zeb::ui::MsgIcon icon;
        zeb::ui::MsgAnswer answer;
    };

    static zeb::ui::MsgAnswer lastButtonOf(zeb::ui::MsgButtons buttons) {
        switch (buttons) {
        case zeb::ui::MsgButtons::OkCancel:
            return zeb::ui::MsgAnswer::Cancel;
        case zeb::ui::MsgButtons::YesNo:
            return zeb::ui::MsgAnswer::No;
        case zeb::ui::MsgButtons::Ok:
            break;
        }
        return zeb::ui::MsgAnswer::Ok;
    }

    static bool offers(zeb::ui::MsgButtons buttons, zeb::ui::MsgAnswer answer) {
        using zeb::ui::MsgAnswer;
        switch (buttons) {
        case zeb::ui::MsgButtons::Ok:
            return answer == MsgAnswer::Ok;
        case zeb::ui::MsgButtons::OkCancel:
            return answer == MsgAnswer::Ok || answer == MsgAnswer::Cancel;
        case zeb::ui::MsgButtons::YesNo:
            return answer == MsgAnswer::Yes || answer == MsgAnswer::No;
        }
        return false;
    }

    static void fail(const QString& message) {
        QTest::qVerify(false, "MessageBoxScript", qPrintable(message), __FILE__, __LINE__);
    }

    zeb::ui::MsgAnswer answer(const zeb::ui::MessageRequest& request) {
        shown_.append({request.text, request.icon, request.buttons, request.defaultButton});
        if (done()) {
            fail(QStringLiteral("unexpected message box: \"%1\"").arg(request.text));
            return lastButtonOf(request.buttons);
        }
        const Expected& wanted = expected_.at(next_++);
        if (request.text != wanted.text) {
            fail(QStringLiteral("message box text \"%1\", expected \"%2\"")
                     .arg(request.text, wanted.text));
        } else if (request.icon != wanted.icon) {
            fail(QStringLiteral("message box \"%1\" shown with another icon").arg(request.text));
        }
        if (!offers(request.buttons, wanted.answer)) {
            fail(QStringLiteral("message box \"%1\" has no button for the scripted answer")
                     .arg(request.text));
            return lastButtonOf(request.buttons);
        }
        return wanted.answer;
    }

    QList<Expected> expected_;
    qsizetype next_ = 0;
    QList<Box> shown_;
    zeb::ui::MessageAnswerer previous_;
};
