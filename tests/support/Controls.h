// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// control<T>: a dialog's control by objectName; a missing one ends the test naming it, not a crash.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QWidget>
#include <QtTest/QTest>

template <typename T> T* control(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) {
        qFatal("no control %s of the expected kind", name);
    }
    return found;
}

inline void Press(const QWidget& dialog, const char* button) {
    QTest::mouseClick(control<QAbstractButton>(dialog, button), Qt::LeftButton);
}

inline QStringList Entries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i) {
        entries.append(box->itemText(i));
    }
    return entries;
}
