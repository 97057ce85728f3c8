// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Every message box of the program goes through showMessage: title "ZEB", one of the icons and
// button sets the program uses, and a default button. Tests replace the answerer so that no real
// box is shown: the answerer sees each box's text, icon and buttons and returns the answer.
#pragma once

#include <QString>
#include <functional>

namespace zeb::ui {

enum class MsgIcon { Critical, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
    int defaultButton; // 1 = first button, 2 = second
};

// Shows the box modally (over the active window) and returns the button pressed; closing the box
// with Esc or the close box answers Cancel or No.
MsgAnswer showMessage(const QString& text, MsgIcon icon, MsgButtons buttons, int defaultButton = 1);

// Replaces how boxes are answered; an empty function restores the real boxes. Returns the previous.
using MessageAnswerer = std::function<MsgAnswer(const MessageRequest&)>;
MessageAnswerer setMessageAnswerer(MessageAnswerer answerer);

} // namespace zeb::ui
