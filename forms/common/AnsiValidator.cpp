// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "AnsiValidator.h"

#include "Cp1252.h"

#include <QLineEdit>

namespace zeb::ui {

namespace {

// The store's own conversion decides, so the box and the store never disagree: a character is
// representable when it does not come back as the '?' that stands for "no such character".
bool isAnsiChar(QChar ch) {
    if (ch.isSurrogate()) {
        return false; // outside the Basic Multilingual Plane: never in Windows-1252
    }
    if (ch == QLatin1Char('?')) {
        return true;
    }
    return reg::toCp1252(QString(ch).toStdString()) != "?";
}

// Removes the characters that cannot be stored and keeps the cursor on the same character.
void dropNonAnsi(QString& input, int& pos) {
    QString kept;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (isAnsiChar(input.at(i))) {
            kept.append(input.at(i));
        } else if (i < pos) {
            --pos;
        }
    }
    input = kept;
}

} // namespace

QValidator::State AnsiValidator::validate(QString& input, int& pos) const {
    // Typing or pasting a text with unstorable characters keeps the rest of it.
    dropNonAnsi(input, pos);
    return Acceptable;
}

void restrictToAnsi(QLineEdit* box) {
    if (box) {
        box->setValidator(new AnsiValidator(box));
    }
}

} // namespace zeb::ui
