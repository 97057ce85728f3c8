// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Small operations the dialogs share. None keeps state; the control operations swallow errors.
#pragma once

#include <QString>
#include <Qt>

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace zeb::ui {

// A list view is a QTreeWidget whose header item carries each column's key under this role; a
// column's row field is its column index (0 = the row's own text).
inline constexpr int ColumnKeyRole = Qt::UserRole + 1;

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

// Moves the window so that its middle is the middle of its screen's available area.
void centreOnScreen(QWidget* window);

void HideControl(QWidget* ctl);                // disable, then hide
void ShowControl(QWidget* ctl, bool bEnabled); // show, then enable as asked
// Focuses a visible and enabled control; a list view's selected row is marked selected again.
void FocusControl(QWidget* ctl);
// Selects the first entry equal to sText (nMode 1 ignores case); none equal leaves index -1.
void SelectComboItem(QComboBox* cbo, const QString& sText, int nMode);
// Writes sText into the row's field shown by the column whose key is sKey; no such column: nothing.
void SetListItemColumn(QTreeWidget* lvw, QTreeWidgetItem* itm, const QString& sKey,
                       const QString& sText);

} // namespace zeb::ui
