#include "Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <algorithm>

namespace zeb::ui {

namespace {

constexpr double SMALLEST_POINTS = 7.0;

bool isCaption(const QWidget* control) {
    return qobject_cast<const QLabel*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QRadioButton*>(control);
}

bool captionsFit(const QWidget* dialog) {
    const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
    return std::none_of(controls.begin(), controls.end(), [](const QWidget* control) {
        return isCaption(control) && control->sizeHint().width() > control->width();
    });
}

} // namespace

void FitCaptionsToLayout(QWidget* dialog) {
    if (!dialog || captionsFit(dialog)) {
        return;
    }
    QFont font = dialog->font();
    if (font.pointSizeF() <= 0) {
        return; // a font sized in pixels was chosen on purpose
    }
    for (double points = font.pointSizeF(); points >= SMALLEST_POINTS; points -= 0.5) {
        for (int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            font.setPointSizeF(points);
            font.setStretch(stretch);
            dialog->setFont(font);
            if (captionsFit(dialog)) {
                return;
            }
        }
    }
}

} // namespace zeb::ui
