// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The dialogs keep the places their layout tables give each control; the font is what gives way.
#pragma once

#include <QList>
#include <QStringList>
#include <utility>

class QLabel;
class QWidget;

namespace zeb::ui {

// Texts a label shows at other times than now (the selection dialog's instruction of each mode);
// each must fit its place as well as the text it shows now.
using AlternativeTexts = QList<std::pair<QLabel*, QStringList>>;

// The layout tables were measured for the small dialog font of their platform; most Linux fonts
// are wider. Takes the largest font with which every caption of the dialog fits its place: a
// one-line caption (label, option button, check box) within its width, a word-wrapped label within
// its height once wrapped over its width, each alternative text included. The first that fits of:
// the dialog's natural font, then from its size in half-point steps down to 7 points, each at
// normal width and then semi-condensed; when none fits, the last is kept. The fonts are not all
// tried in turn: a few tries find the same one (see firstFitting). A font sized in pixels was
// chosen on purpose and is left alone, as is a natural font smaller than 7 points.
//
// The font found is remembered for the next showing (FontFitMemory.h). Then the dialog is shown at
// once with the remembered font, if it fits, and the search runs once the dialog has been drawn;
// should it find another font (new fonts installed), the dialog takes that one.
//
// Measures with the fonts and metrics the controls are drawn with, so call it once the dialog is
// polished and placed on its screen: from its showEvent, before the first paint. Showing it again
// fits it afresh, starting from the natural font.
void fitTextsToLayout(QWidget* dialog, const AlternativeTexts& alternatives = {});

} // namespace zeb::ui
