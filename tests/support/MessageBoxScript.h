// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// MessageBoxScript: while it lives, each message box is answered in script order and recorded; an
// unexpected box, wrong text or icon, impossible answer (the box then gets its last button) or a
// box that never came FAILS the test, even inside a modal loop. Empty script: no box may show.
#pragma once

#include "MessageBox.h"

#include <QList>
#include <QString>
#include <QtTest/QTest>

class MessageBoxScript {
public:
    using Box = zeb::ui::MessageRequest;
    using Answer = zeb::ui::MsgAnswer;

    MessageBoxScript()
        : previous_(zeb::ui::setMessageAnswerer([this](const Box& box) { return answer(box); })) {}

    ~MessageBoxScript() {
        zeb::ui::setMessageAnswerer(std::move(previous_));
        if (!done()) {
            fail(QStringLiteral("expected message box never shown: \"%1\"")
                     .arg(expected_.at(next_).first.text));
        }
    }

    MessageBoxScript(const QString& text, zeb::ui::MsgIcon icon, Answer answer = Answer::Ok)
        : MessageBoxScript() {
        expect(text, icon, answer);
    }

    Q_DISABLE_COPY(MessageBoxScript)

    // Expects one more box; `answer` is the button the script presses on it.
    MessageBoxScript& expect(const QString& text, zeb::ui::MsgIcon icon,
                             Answer answer = Answer::Ok) {
        expected_.append({{text, icon, zeb::ui::MsgButtons::Ok, 1}, answer}); // buttons unchecked
        return *this;
    }

    // Every box shown so far, expected or not; done() once every expected box came.
    const QList<Box>& shown() const { return shown_; }
    bool done() const { return next_ == expected_.size(); }

private:
    // A box's first or last button (one and the same for a lone OK).
    static Answer button(zeb::ui::MsgButtons buttons, bool last) {
        using enum zeb::ui::MsgButtons;
        return buttons == YesNo ? (last ? Answer::No : Answer::Yes)
                                : (last && buttons == OkCancel ? Answer::Cancel : Answer::Ok);
    }

    static void fail(const QString& message) {
        QTest::qVerify(false, "MessageBoxScript", qPrintable(message), __FILE__, __LINE__);
    }

    Answer answer(const Box& box) {
        shown_.append(box);
        if (done()) {
            fail(QStringLiteral("unexpected message box: \"%1\"").arg(box.text));
            return button(box.buttons, true);
        }
        const auto& [wanted, pressed] = expected_.at(next_++);
        if (box.text != wanted.text || box.icon != wanted.icon) {
            fail(QStringLiteral("message box \"%1\" (icon %2), expected \"%3\" (icon %4)")
                     .arg(box.text, QString::number(int(box.icon)), wanted.text,
                          QString::number(int(wanted.icon))));
        }
        if (pressed != button(box.buttons, false) && pressed != button(box.buttons, true)) {
            fail(QString("message box \"%1\" has no button for the scripted answer").arg(box.text));
            return button(box.buttons, true);
        }
        return pressed;
    }

    QList<std::pair<Box, Answer>> expected_; // the box's text and icon, and the button to press
    qsizetype next_ = 0;
    QList<Box> shown_;
    zeb::ui::MessageAnswerer previous_;
};
