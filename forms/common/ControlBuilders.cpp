// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ControlBuilders.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace zeb::ui {

QLabel* addLabel(QWidget* parent, const char* name, const char* caption, QRect place,
                 CaptionPlace captionPlace) {
    auto* label = placeControl<QLabel>(parent, name, place);
    label->setText(QString::fromLatin1(caption));
    if (captionPlace == CaptionPlace::Top) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    return label;
}

QLineEdit* addTextBox(QWidget* parent, const char* name, QRect place, int limit) {
    auto* box = placeControl<QLineEdit>(parent, name, place);
    box->setMaxLength(limit);
    return box;
}

QGroupBox* addFrame(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* frame = placeControl<QGroupBox>(parent, name, place);
    frame->setTitle(QString::fromLatin1(caption));
    return frame;
}

} // namespace zeb::ui
