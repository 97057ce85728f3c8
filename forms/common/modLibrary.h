// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Small operations the dialogs share. None keeps state; the control operations swallow errors.
#pragma once

#include <QString>
#include <Qt>
#include <functional>

class QAbstractItemView;
class QComboBox;
class QModelIndex;
class QWidget;

namespace zeb::ui {

// A list view is an item view whose model gives each column's key as horizontal header data under
// this role; a column's row field is its column index (0 = the row's own text).
inline constexpr int COLUMN_KEY_ROLE = Qt::UserRole + 1;

// "Are you sure you wish to <verb> this <noun> [<item>]?" with Yes/No, No the default.
bool ConfirmAction(const QString& sVerb, const QString& sNoun, const QString& sItem);
bool ConfirmDelete(const QString& sNoun, const QString& sItem);

// The text without leading and trailing space characters (other blanks, such as tabs, stay).
QString trimSpaces(const QString& sText);

// Digits and Backspace (8) pass, as does any character of sAllowed; otherwise KeyAscii becomes 0.
void FilterNumericKey(int& KeyAscii, const QString& sAllowed);

// Turns down an entry: the message with an exclamation mark and OK, then the focus on the control
// to correct. Always false, so a validation can return it directly.
bool refuseEntry(const QString& sMessage, QWidget* ctl);

// Runs `work` once the window has been drawn for the first time, when the event loop comes back:
// what the first picture does not need (a long list on a page not shown, the entries of a closed
// drop-down list) waits until the user sees the window. Never runs for a window never drawn.
void runAfterFirstPaint(QWidget* window, std::function<void()> work);

// Moves the window so that its middle is the middle of its screen's available area.
void centreOnScreen(QWidget* window);

void HideControl(QWidget* ctl);                // disable, then hide
void ShowControl(QWidget* ctl, bool bEnabled); // show, then enable as asked
// Focuses a visible and enabled control; a list view's current row is marked selected again.
void FocusControl(QWidget* ctl);
// Selects the first entry equal to sText (nMode 1 ignores case); none equal leaves index -1.
void SelectComboItem(QComboBox* cbo, const QString& sText, int nMode);
// Writes sText into the field of row itm (an index of lvw's model) shown by the column whose key is
// sKey; no such column, or a row of another model: nothing.
void SetListItemColumn(QAbstractItemView* lvw, const QModelIndex& itm, const QString& sKey,
                       const QString& sText);

} // namespace zeb::ui
