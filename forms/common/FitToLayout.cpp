// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "FitToLayout.h"

#include "FontFitMemory.h"
#include "modLibrary.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

namespace zeb::ui {

namespace {

constexpr qreal SMALLEST_POINTS = 7.0;
constexpr qreal POINT_STEP = 0.5;

bool isCaptioned(const QWidget* control) {
    return qobject_cast<const QLabel*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QRadioButton*>(control);
}

QString captionOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    return static_cast<const QAbstractButton*>(control)->text();
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

// The natural font at each size from its own down to the smallest, half a point apart, all of one
// width.
QList<QFont> sizesDown(const QFont& natural, QFont::Stretch stretch) {
    QList<QFont> fonts;
    for (qreal points = natural.pointSizeF(); points >= SMALLEST_POINTS; points -= POINT_STEP) {
        QFont font = natural;
        font.setPointSizeF(points);
        font.setStretch(stretch);
        fonts.append(font);
    }
    return fonts;
}

// Every font change lays out each control again, long lists included: a font the dialog already
// shows costs nothing.
void showFont(QWidget* dialog, const QFont& font) {
    if (dialog->font() != font) {
        dialog->setFont(font);
    }
}

// Whether every caption fits with `font`, which the dialog keeps.
bool fitsWith(QWidget* dialog, const QFont& font, const AlternativeTexts& alternatives) {
    dialog->setFont(font);
    return allFit(dialog, alternatives);
}

// The index of the first of fonts[from, to) with which everything fits; `to` when none does.
// Fonts of one width only grow narrower and shorter with each step down, so once one fits every
// later one does, and halving finds the first in a few tries: each try lays out every caption
// again with a font not used before, the largest part of a dialog's opening. Of two middles the
// lower is tried: Debian's default font (DejaVu Sans, 9 points) fits the selection dialog at 7.5
// points semi-condensed, which this finds in two tries rather than three.
qsizetype firstFitting(QWidget* dialog, const QList<QFont>& fonts, qsizetype from, qsizetype to,
                       const AlternativeTexts& alternatives) {
    while (from < to) {
        const qsizetype middle = from + (to - from - 1) / 2;
        if (fitsWith(dialog, fonts[middle], alternatives)) {
            to = middle;
        } else {
            from = middle + 1;
        }
    }
    return from;
}

// Holds back the font changes that the fonts tried send to the dialog's combo boxes while it
// lives, and then gives each box whose font the tries changed a single font change: a box lays out
// its whole drop-down list at each (a hundred thousand stored names), and only the font kept
// matters. The boxes' own fonts follow every try as before; only their reaction waits. No combo
// box is a caption, so none is measured meanwhile.
class ComboFontChangesHeldBack final : public QObject {
public:
    explicit ComboFontChangesHeldBack(QWidget* dialog) {
        for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
            box->installEventFilter(this);
            boxes_.append({box, box->font()});
        }
    }
    ~ComboFontChangesHeldBack() override {
        for (const auto& [box, fontBefore] : boxes_) {
            if (box.isNull()) {
                continue;
            }
            box->removeEventFilter(this);
            if (held_.contains(box.data()) && box->font() != fontBefore) {
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
    QList<std::pair<QPointer<QComboBox>, QFont>> boxes_;
    QList<QObject*> held_;
};

// Leaves the dialog with the first font that fits, found by trying fonts, and answers it.
QFont searchFittingFont(QWidget* dialog, const QFont& natural,
                        const AlternativeTexts& alternatives) {
    showFont(dialog, natural);
    if (allFit(dialog, alternatives)) {
        return natural;
    }
    // Taken in the order each size at normal width, then semi-condensed: the semi-condensed font
    // of a size comes before the normal one of the next size down. The natural size at normal
    // width is the natural font, which did not fit; a normal font before the first semi-condensed
    // one that fits can only fit if the last of them does.
    const QList<QFont> normal = sizesDown(natural, QFont::Unstretched);
    const QList<QFont> condensed = sizesDown(natural, QFont::SemiCondensed);
    const qsizetype inCondensed =
        firstFitting(dialog, condensed, 0, condensed.size(), alternatives);
    const qsizetype normalEnd = std::min(inCondensed + 1, normal.size());
    qsizetype inNormal = normalEnd;
    if (normalEnd > 1 && fitsWith(dialog, normal[normalEnd - 1], alternatives)) {
        inNormal = firstFitting(dialog, normal, 1, normalEnd - 1, alternatives);
    }
    const QFont& chosen = inNormal < normalEnd             ? normal[inNormal]
                          : inCondensed < condensed.size() ? condensed[inCondensed]
                                                           : condensed.last();
    showFont(dialog, chosen);
    return chosen;
}

// What the search's answer depends on, as a key for FontFitMemory: the dialog's class, the natural
// font, the style and the screen's resolution, and each caption with its place and every
// alternative text. The fonts installed are not in it; the search after the first paint covers
// them.
QByteArray layoutKey(const QWidget* dialog, const QFont& natural,
                     const AlternativeTexts& alternatives) {
    QStringList parts{QLatin1String(dialog->metaObject()->className()), natural.toString(),
                      dialog->style()->name(), QString::number(dialog->logicalDpiY()),
                      QString::number(dialog->devicePixelRatioF())};
    for (const QWidget* control : dialog->findChildren<QWidget*>()) {
        if (isCaptioned(control)) {
            const QRect place = control->geometry();
            parts << captionOf(control) << QString::number(place.width())
                  << QString::number(place.height());
        }
    }
    for (const auto& [label, texts] : alternatives) {
        parts << texts;
    }
    return QCryptographicHash::hash(parts.join(QChar(0)).toUtf8(), QCryptographicHash::Sha256)
        .toHex();
}

} // namespace

void fitTextsToLayout(QWidget* dialog, const AlternativeTexts& alternatives) {
    const QFont natural = QApplication::font(dialog);
    const ComboFontChangesHeldBack heldBack(dialog);
    // A font sized in pixels (point size -1) is left alone, as is one already at the smallest size.
    if (natural.pointSizeF() < SMALLEST_POINTS) {
        showFont(dialog, natural);
        return;
    }
    const QByteArray key = layoutKey(dialog, natural, alternatives);
    const std::optional<QFont> remembered = rememberedFont(key);
    if (remembered && fitsWith(dialog, *remembered, alternatives)) {
        // Shown at once with the font of last time, one font instead of three or four; the search
        // then makes sure that no larger font fits now, which new fonts installed could change.
        runAfterFirstPaint(dialog, [dialog, natural, alternatives, key, remembered] {
            const ComboFontChangesHeldBack heldBackAgain(dialog);
            if (const QFont found = searchFittingFont(dialog, natural, alternatives);
                found != *remembered) {
                rememberFont(key, found);
            }
        });
        return;
    }
    rememberFont(key, searchFittingFont(dialog, natural, alternatives));
}

} // namespace zeb::ui
