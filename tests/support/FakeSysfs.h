// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// FakeSysfs: a throw-away sysfs tree, so a test decides which serial ports the device map reports.
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <string>

class FakeSysfs {
public:
    // A tty with a driver. ttyS ports also need a known UART type, else they count as unused slots.
    void addPort(const QString& name, int uartType = 4) {
        const QString tty = dir_.path() + QStringLiteral("/class/tty/") + name;
        QDir().mkpath(tty + QStringLiteral("/device/driver"));
        std::ofstream((tty + QStringLiteral("/type")).toStdString()) << uartType << '\n';
    }

    std::string root() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};
