// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "modMain.h"

#include "LaunchError.h"
#include "RegistryBackend.h"
#include "frmSelect.h"
#include "modLibrary.h"
#include "modZEB.h"

namespace zeb {

namespace {

QString usageText() {
    return QStringLiteral(
               "Usage: zeb [HOST]\n"
               "Starts a connection of the Orvane terminal emulator.\n"
               "\n"
               "  zeb            shows the connection selection dialog\n"
               "  zeb HOST       connects to HOST at once; all the words after zeb, joined by\n"
               "                 spaces, are one host name\n"
               "  zeb --help     prints this text (also -h)\n"
               "  zeb --version  prints the version\n"
               "\n"
               "Reads:\n"
               "  ./ZEB.INI                 the engine's initialization file, in the current "
               "folder\n"
               "  PELNA, PELNAFILE          one must be set when ./ZEB.INI is absent\n"
               "  ZEB_REGISTRY              the store file (in use: %1)\n"
               "  XDG_CONFIG_HOME           the folder of the default store file\n"
               "  DISPLAY, WAYLAND_DISPLAY  the display the dialogs appear on\n"
               "\n"
               "Exit status: 0 when the engine was launched, the dialog was closed or the user\n"
               "was asked to set PELNA; 1 when the launch failed or no display could be opened.\n"
               "See zeb(1).\n")
        .arg(QString::fromStdString(reg::platformStoreLocation()));
}

} // namespace

QString commandLineHost(const QStringList& arguments) {
    return ui::trimSpaces(arguments.mid(1).join(u' '));
}

QString commandLineInformation(const QStringList& arguments) {
    const QString sWords = commandLineHost(arguments);
    if (sWords == u"--help" || sWords == u"-h") {
        return usageText();
    }
    if (sWords == u"--version") {
        return QStringLiteral("ZEB %1\n%2\n")
            .arg(QLatin1String(VERSION_TEXT), QLatin1String(COPYRIGHT_NOTICE));
    }
    return {};
}

int Main(const QStringList& arguments) {
    const QString sHost = commandLineHost(arguments);
    if (sHost.isEmpty()) {
        frmSelect form;
        form.Display();
        return form.exitStatus();
    }
    try {
        LaunchEngine(sHost);
    } catch (const LaunchError& error) {
        return reportLaunchFailure(error);
    }
    return 0;
}

} // namespace zeb
