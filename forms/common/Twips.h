// Dialog layouts are measured in twips; 15 twips make one logical pixel.
#pragma once

#include <QRect>

class QWidget;

namespace zeb::ui {

inline constexpr int TWIPS_PER_PIXEL = 15;

constexpr int twips(int t) {
    return t / TWIPS_PER_PIXEL;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// The layout tables were measured for the small dialog font of their platform; most Linux fonts are
// wider. Keeps the dialog's font when every caption (labels, option buttons, check boxes) fits the
// width its table gives it; otherwise takes the first font that fits from the same family at
// half-point steps down to 7 points, each tried at normal width and then semi-condensed.
void FitCaptionsToLayout(QWidget* dialog);

} // namespace zeb::ui
