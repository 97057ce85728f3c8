// control<T>: a dialog's control found by its objectName. A missing control, or one of another
// kind, ends the test program with the name it looked for: a null pointer handed on would only
// crash the test later, far from the cause.
#pragma once

#include <QWidget>

template <typename T> T* control(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) {
        qFatal("no control %s of the expected kind", name);
    }
    return found;
}
