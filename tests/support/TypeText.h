// typeText: types any text into a widget one key at a time, as a keyboard with that character on
// it would. QTest::keyClicks only knows Latin-1; this also types characters such as "Ω" or "中"
// (a character outside the Basic Multilingual Plane arrives as one key with both halves).
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
