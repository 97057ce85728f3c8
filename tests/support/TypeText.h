// typeText: types any text into a widget one key at a time, as a keyboard with that character on
// it would. QTest::keyClicks only knows Latin-1; this also types characters such as "Ω" or "中"
// (a character outside the Basic Multilingual Plane arrives as one key with both halves).
#pragma once

#include <QString>
#include <QtTest/QTest>

inline void typeText(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString key = text.mid(i, length);
        const Qt::Key code = key.size() == 1 && key.at(0).unicode() < 0x80
                                 ? Qt::Key(key.at(0).toUpper().unicode())
                                 : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, code, key, Qt::NoModifier);
        i += length - 1;
    }
}
