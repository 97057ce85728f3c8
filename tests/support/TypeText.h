// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// typeText: one key per character, unlike QTest::keyClicks also beyond Latin-1 (and for "😀").
#pragma once

#include <QString>
#include <QtTest/QTest>

inline void typeText(QWidget* widget, const QString& text) {
    for (const char32_t character : text.toUcs4()) {
        const Qt::Key code =
            character < 0x80 ? Qt::Key(QChar(character).toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, code, QString::fromUcs4(&character, 1),
                            Qt::NoModifier);
    }
}
