// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "FitToLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <algorithm>

namespace zeb::ui {

namespace {

constexpr qreal SMALLEST_POINTS = 7.0;
constexpr qreal POINT_STEP = 0.5;

bool isCaptioned(const QWidget* control) {
    return qobject_cast<const QLabel*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QRadioButton*>(control);
}

bool textFits(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control); label && label->wordWrap()) {
        return label->heightForWidth(label->width()) <= label->height();
    }
    return control->sizeHint().width() <= control->width();
}

// Tries each alternative text in the label and puts the shown one back.
bool alternativesFit(QLabel* label, const QStringList& texts) {
    const QString shown = label->text();
    const bool fit = std::all_of(texts.begin(), texts.end(), [label](const QString& text) {
        label->setText(text);
        return textFits(label);
    });
    label->setText(shown);
    return fit;
}

bool allFit(const QWidget* dialog, const AlternativeTexts& alternatives) {
    const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
    return std::none_of(
               controls.begin(), controls.end(),
               [](const QWidget* control) { return isCaptioned(control) && !textFits(control); }) &&
           std::all_of(alternatives.begin(), alternatives.end(), [](const auto& alternative) {
               return alternativesFit(alternative.first, alternative.second);
           });
}

QList<QFont> smallerFonts(const QFont& natural) {
    QList<QFont> fonts;
    for (qreal points = natural.pointSizeF(); points >= SMALLEST_POINTS; points -= POINT_STEP) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::SemiCondensed)}) {
            QFont font = natural;
            font.setPointSizeF(points);
            font.setStretch(stretch);
            fonts.append(font);
        }
    }
    return fonts;
}

// Holds back the font changes that the fonts tried send to the dialog's combo boxes while it
// lives, and then gives each box that had one a single font change: a box lays out its whole
// drop-down list at each (a hundred thousand stored names), and only the font kept matters. The
// boxes' own fonts follow every try as before; only their reaction waits. No combo box is a
// caption, so none is measured meanwhile.
class ComboFontChangesHeldBack final : public QObject {
public:
    explicit ComboFontChangesHeldBack(QWidget* dialog) {
        for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
            box->installEventFilter(this);
            boxes_.append(box);
        }
    }
    ~ComboFontChangesHeldBack() override {
        for (const QPointer<QComboBox>& box : boxes_) {
            if (box.isNull()) {
                continue;
            }
            box->removeEventFilter(this);
            if (held_.contains(box.data())) {
                QEvent change(QEvent::FontChange);
                QCoreApplication::sendEvent(box.data(), &change);
            }
        }
    }
    ComboFontChangesHeldBack(const ComboFontChangesHeldBack&) = delete;
    ComboFontChangesHeldBack& operator=(const ComboFontChangesHeldBack&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FontChange) {
            return false;
        }
        if (!held_.contains(watched)) {
            held_.append(watched);
        }
        return true;
    }

private:
    QList<QPointer<QComboBox>> boxes_;
    QList<QObject*> held_;
};

} // namespace

void fitTextsToLayout(QWidget* dialog, const AlternativeTexts& alternatives) {
    const QFont natural = QApplication::font(dialog);
    const ComboFontChangesHeldBack heldBack(dialog);
    // Every font change lays out each control again, long lists included: the first try is free
    // when the dialog already shows the natural font.
    if (dialog->font() != natural) {
        dialog->setFont(natural);
    }
    if (natural.pointSizeF() <= 0 || allFit(dialog, alternatives)) {
        return;
    }
    for (const QFont& font : smallerFonts(natural)) {
        dialog->setFont(font);
        if (allFit(dialog, alternatives)) {
            return;
        }
    }
}

} // namespace zeb::ui
