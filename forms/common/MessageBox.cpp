// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace zeb::ui {

namespace {

// Boxes carry no title of their own: they show the program's.
constexpr const char* APPLICATION_TITLE = "ZEB";

MessageAnswerer& currentAnswerer() {
    static MessageAnswerer answerer;
    return answerer;
}

QMessageBox::Icon toQtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair {
    QMessageBox::StandardButton first;
    QMessageBox::StandardButton second; // NoButton for a single-button box
    MsgAnswer firstAnswer;
    MsgAnswer secondAnswer;
};

ButtonPair buttonsOf(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::OkCancel:
        return {QMessageBox::Ok, QMessageBox::Cancel, MsgAnswer::Ok, MsgAnswer::Cancel};
    case MsgButtons::YesNo:
        return {QMessageBox::Yes, QMessageBox::No, MsgAnswer::Yes, MsgAnswer::No};
    case MsgButtons::Ok:
        break;
    }
    return {QMessageBox::Ok, QMessageBox::NoButton, MsgAnswer::Ok, MsgAnswer::Ok};
}

MsgAnswer showRealBox(const MessageRequest& request) {
    QMessageBox box(toQtIcon(request.icon), QString::fromLatin1(APPLICATION_TITLE), request.text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ZebMessageBox")); // lets tests find a real box
    const ButtonPair pair = buttonsOf(request.buttons);
    QPushButton* first = box.addButton(pair.first);
    QPushButton* second =
        pair.second == QMessageBox::NoButton ? nullptr : box.addButton(pair.second);
    box.setDefaultButton(request.defaultButton == 2 && second ? second : first);
    // Esc and the close box answer with the last button, Cancel, No or the lone OK, which Qt takes
    // for them by itself.
    box.exec();
    return box.clickedButton() == first ? pair.firstAnswer : pair.secondAnswer;
}

} // namespace

MsgAnswer showMessage(const QString& text, MsgIcon icon, MsgButtons buttons, int defaultButton) {
    const MessageRequest request{text, icon, buttons, defaultButton};
    if (const MessageAnswerer& answerer = currentAnswerer()) {
        return answerer(request);
    }
    return showRealBox(request);
}

MessageAnswerer setMessageAnswerer(MessageAnswerer answerer) {
    return std::exchange(currentAnswerer(), std::move(answerer));
}

} // namespace zeb::ui
