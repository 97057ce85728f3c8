// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "modLibrary.h"

#include "MessageBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QScreen>
#include <QTimer>

namespace zeb::ui {

namespace {

constexpr int KEY_BACKSPACE = 8;

bool isDigitCode(int KeyAscii) {
    return KeyAscii >= '0' && KeyAscii <= '9';
}

bool isAllowedCode(int KeyAscii, const QString& sAllowed) {
    return !sAllowed.isEmpty() && KeyAscii > 0 && KeyAscii <= 0xFFFF &&
           sAllowed.contains(QChar(KeyAscii), Qt::CaseSensitive);
}

// Hands `work` to the event loop at the window's first paint event: the window paints itself before
// its children, and the whole picture goes to the screen before the loop takes the next event.
class FirstPaintWatch final : public QObject {
public:
    FirstPaintWatch(QWidget* window, std::function<void()> work)
        : QObject(window), work_(std::move(work)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), std::move(work_));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> work_;
};

} // namespace

void runAfterFirstPaint(QWidget* window, std::function<void()> work) {
    new FirstPaintWatch(window, std::move(work)); // owned by the window
}

QString trimSpaces(const QString& sText) {
    qsizetype first = 0;
    while (first < sText.size() && sText.at(first) == u' ') {
        ++first;
    }
    qsizetype last = sText.size();
    while (last > first && sText.at(last - 1) == u' ') {
        --last;
    }
    return sText.mid(first, last - first);
}

bool ConfirmAction(const QString& sVerb, const QString& sNoun, const QString& sItem) {
    QString question =
        QStringLiteral("Are you sure you wish to ") + sVerb + QStringLiteral(" this ") + sNoun;
    if (!sItem.isEmpty()) {
        question += QStringLiteral(" [") + sItem + QStringLiteral("]");
    }
    question += QLatin1Char('?');
    // No is the default, so an Enter pressed out of habit does not confirm.
    return showMessage(question, MsgIcon::Information, MsgButtons::YesNo, 2) == MsgAnswer::Yes;
}

bool ConfirmDelete(const QString& sNoun, const QString& sItem) {
    return ConfirmAction(QStringLiteral("delete"), sNoun, sItem);
}

void FilterNumericKey(int& KeyAscii, const QString& sAllowed) {
    if (isDigitCode(KeyAscii) || KeyAscii == KEY_BACKSPACE || isAllowedCode(KeyAscii, sAllowed)) {
        return;
    }
    KeyAscii = 0;
}

void HideControl(QWidget* ctl) {
    if (!ctl) {
        return;
    }
    ctl->setEnabled(false);
    ctl->setVisible(false);
}

void ShowControl(QWidget* ctl, bool bEnabled) {
    if (!ctl) {
        return;
    }
    ctl->setVisible(true);
    ctl->setEnabled(bEnabled);
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* display = window->screen()) {
        QRect place = window->frameGeometry(); // move() places the frame
        place.moveCenter(display->availableGeometry().center());
        window->move(place.topLeft());
    }
}

bool refuseEntry(const QString& sMessage, QWidget* ctl) {
    showMessage(sMessage, MsgIcon::Exclamation, MsgButtons::Ok);
    FocusControl(ctl);
    return false;
}

void FocusControl(QWidget* ctl) {
    // isVisible() is false until the dialog itself is on screen, so focus requests made while a
    // dialog is being filled are dropped instead of being remembered for later.
    if (!ctl || !ctl->isVisible() || !ctl->isEnabled()) {
        return;
    }
    // A list view's current row is its selected row; marking it again makes it show as selected
    // once the list has the focus, even after its selection was cleared.
    if (auto* lvw = qobject_cast<QAbstractItemView*>(ctl)) {
        if (const QModelIndex itm = lvw->currentIndex(); itm.isValid()) {
            lvw->selectionModel()->select(itm,
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    ctl->setFocus(Qt::OtherFocusReason);
}

void SelectComboItem(QComboBox* cbo, const QString& sText, int nMode) {
    if (!cbo) {
        return;
    }
    const bool ignoreCase = nMode == 1;
    const QString wanted = ignoreCase ? sText.toUpper() : sText;
    const int count = cbo->count();
    for (int index = 0; index < count; ++index) {
        const QString entry = cbo->itemText(index);
        if ((ignoreCase ? entry.toUpper() : entry) == wanted) {
            cbo->setCurrentIndex(index);
            return;
        }
    }
    cbo->setCurrentIndex(-1);
}

void SetListItemColumn(QAbstractItemView* lvw, const QModelIndex& itm, const QString& sKey,
                       const QString& sText) {
    QAbstractItemModel* model = lvw ? lvw->model() : nullptr;
    if (!model || !itm.isValid() || itm.model() != model) {
        return;
    }
    for (int column = 0; column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal, COLUMN_KEY_ROLE).toString() == sKey) {
            model->setData(itm.siblingAtColumn(column), sText);
            return;
        }
    }
}

} // namespace zeb::ui
