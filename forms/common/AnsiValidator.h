// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Text boxes whose text goes into the store accept only characters that Windows-1252 can represent
// (one byte each), so a 32-character entry always fits the store's 63-byte reads.
#pragma once

#include <QValidator>

class QLineEdit;

namespace zeb::ui {

class AnsiValidator final : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Installs an AnsiValidator on the box (typing and pasting are both filtered).
void restrictToAnsi(QLineEdit* box);

} // namespace zeb::ui
