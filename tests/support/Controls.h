// control<T>: a dialog's control by objectName. A missing one, or one of another kind, ends the
// test program naming it, rather than crash the test later, far from the cause.
#pragma once

#include <QWidget>

template <typename T> T* control(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) {
        qFatal("no control %s of the expected kind", name);
    }
    return found;
}
