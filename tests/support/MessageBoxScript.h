// MessageBoxScript: while it lives, every zeb::ui::showMessage box is answered from the script
// (no real box, so no hang), in the order expected, and recorded (see shown()). It FAILS the
// running test (a failed QVERIFY, also from inside a modal loop) on a box it did not expect, a
// wrong text or icon, or an answer the box has no button for (such a box gets its last button: OK,
// Cancel or No), and at the end of its scope when an expected box never came. An empty script means
// "no box". Scripts may nest; the inner one wins until it ends.
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

    // A box's buttons are its first and its last one (one and the same for a lone OK).
    static zeb::ui::MsgAnswer firstButtonOf(zeb::ui::MsgButtons buttons) {
        return buttons == zeb::ui::MsgButtons::YesNo ? zeb::ui::MsgAnswer::Yes
                                                     : zeb::ui::MsgAnswer::Ok;
    }
    static zeb::ui::MsgAnswer lastButtonOf(zeb::ui::MsgButtons buttons) {
        using enum zeb::ui::MsgButtons;
        return buttons == OkCancel ? zeb::ui::MsgAnswer::Cancel
               : buttons == YesNo  ? zeb::ui::MsgAnswer::No
                                   : zeb::ui::MsgAnswer::Ok;
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
        if (wanted.answer != firstButtonOf(request.buttons) &&
            wanted.answer != lastButtonOf(request.buttons)) {
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
