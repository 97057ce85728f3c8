#include "modMain.h"

#include "LaunchError.h"
#include "frmSelect.h"
#include "modLibrary.h"
#include "modZEB.h"

namespace zeb {

QString CommandLineHost(const QStringList& arguments) {
    return ui::TrimSpaces(arguments.mid(1).join(u' '));
}

int Main(const QStringList& arguments) {
    const QString sHost = CommandLineHost(arguments);
    if (sHost.isEmpty()) {
        frmSelect form;
        form.Display();
        return form.ExitStatus();
    }
    try {
        LaunchEngine(sHost);
    } catch (const LaunchError& error) {
        return ReportLaunchFailure(error);
    }
    return 0;
}

} // namespace zeb
