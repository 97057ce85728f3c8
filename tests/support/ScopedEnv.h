// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// An environment variable set (or, with a null value, removed) for one scope, then put back.
#pragma once

#include <QByteArray>
#include <QtGlobal>

struct ScopedEnv {
    const char* name;
    QByteArray previous = qgetenv(name); // null when unset
    ScopedEnv(const char* variable, const QByteArray& value) : name(variable) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { previous.isNull() ? qunsetenv(name) : qputenv(name, previous); }
};
