// zeb: connects to the host named on the command line, or offers the connection selection dialog.
#include "modMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    // Qt sees only the program name: ZEB has no switches, so every word after it belongs to the
    // host name, even one that Qt would otherwise take for an option of its own ("-style").
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEB"));
    return zeb::Main(arguments);
}
