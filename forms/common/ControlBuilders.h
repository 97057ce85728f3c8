// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How every dialog creates its controls: each one named (its objectName is the member or table
// name the tests and other dialogs find it by), placed at its twips rectangle (twipsRect, Twips.h)
// on the parent that owns it, and given its caption. The layout tables fix places, not sizes to
// fit, so nothing here lays out or resizes; the font is fitted afterwards (FitToLayout.h).
//
// Tab visits a dialog's controls in the order they were created, so each dialog builds them in its
// layout table's tab order (the dialogs' tests walk it with Tab).
//
// Captions are Latin-1 texts, the code page the dialogs' captions are written in. The parent owns
// every control created; nothing here fails.
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <utility>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace zeb::ui {

// Creates a control of type T on parent, named and placed. Arguments after the place are handed to
// T's constructor before the parent (a link label's text, say).
template <typename T, typename... CtorArgs>
T* placeControl(QWidget* parent, const char* name, QRect place, CtorArgs&&... args) {
    auto* control = new T(std::forward<CtorArgs>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(place);
    return control;
}

// Where a label's caption stands within its place: at the top, as the captions beside a field
// do, or centred on the place's height, as the configuration dialog's page captions are drawn.
enum class CaptionPlace { Top, Middle };

// A caption label. Screen readers and the access key reach a field through the label whose buddy
// it is: the caller ties them (setBuddy) once both exist, or when the field changes.
QLabel* addLabel(QWidget* parent, const char* name, const char* caption, QRect place,
                 CaptionPlace captionPlace = CaptionPlace::Top);

// A text box taking at most `limit` characters as typed or pasted.
QLineEdit* addTextBox(QWidget* parent, const char* name, QRect place, int limit);

// A frame with its title; the controls it holds are created with it as their parent.
QGroupBox* addFrame(QWidget* parent, const char* name, const char* caption, QRect place);

// A push button, option button or check box (QPushButton, QRadioButton, QCheckBox).
template <typename Button>
Button* addButton(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* button = placeControl<Button>(parent, name, place);
    button->setText(QString::fromLatin1(caption));
    return button;
}

} // namespace zeb::ui
