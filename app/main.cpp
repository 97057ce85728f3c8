// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// zeb: connects to the host named on the command line, or offers the connection selection dialog.
#include "StartupWarmUp.h"
#include "modMain.h"

#include <QApplication>
#include <QList>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// Qt ends a program whose display cannot be opened with warnings, a fatal message (with a hint to
// reinstall) and an abort that dumps core. While Qt opens the display its messages are held back:
// when it fails, ZEB says what is wrong instead and ends with status 1; when it succeeds, the held
// messages go out as they would have.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;
QtMessageHandler qtHandler = nullptr;

void holdOrReportMissingDisplay(QtMsgType type, const QMessageLogContext& context,
                                const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages.append({type, QByteArray(context.category), text});
        return;
    }
    std::fprintf(stderr,
                 "zeb: no display could be opened (DISPLAY=\"%s\", WAYLAND_DISPLAY=\"%s\"). ZEB "
                 "shows its dialogs and messages on a graphical display: start it from a "
                 "graphical session.\n",
                 qgetenv("DISPLAY").constData(), qgetenv("WAYLAND_DISPLAY").constData());
    std::fflush(stderr);
    std::_Exit(1);
}

void holdQtMessages() {
    qtHandler = qInstallMessageHandler(holdOrReportMissingDisplay);
}

void releaseQtMessages() {
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage& message : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qtHandler(message.type, context, message.text);
    }
    heldMessages.clear();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    // Help and version need no display, so they are answered before Qt opens one.
    if (const QString information = zeb::commandLineInformation(arguments); !information.isNull()) {
        std::fputs(information.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Qt sees only the program name: ZEB has no switches, so every word after it belongs to the
    // host name, even one that Qt would otherwise take for an option of its own ("-style"). A
    // program started without even its name still gives Qt one.
    char fallbackName[] = "zeb";
    char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;
    // Without a host name the selection dialog follows: what it needs first is readied meanwhile.
    std::optional<zeb::StartupWarmUp> warmUp;
    if (zeb::commandLineHost(arguments).isEmpty()) {
        warmUp.emplace();
    }
    holdQtMessages();
    QApplication app(qtArgc, qtArgv);
    releaseQtMessages();
    warmUp.reset(); // the store is this thread's from here on
    QApplication::setApplicationName(QStringLiteral("ZEB"));
    return zeb::Main(arguments);
}
