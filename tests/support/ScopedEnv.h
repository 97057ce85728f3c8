// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// An environment variable set (or, with a null value, removed) for one scope, then put back.
#pragma once

#include <QByteArray>

struct ScopedEnv {
    const char* name;
    QByteArray previous = qgetenv(name); // null when unset
    ScopedEnv(const char* variable, const QByteArray& value) : name(variable) { set(value); }
    ~ScopedEnv() { set(previous); }
    void set(const QByteArray& to) const { to.isNull() ? qunsetenv(name) : qputenv(name, to); }
};
