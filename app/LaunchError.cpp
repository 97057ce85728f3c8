// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "LaunchError.h"

#include "MessageBox.h"

namespace zeb {

QString launchFailureText(const LaunchError& error) {
    return QStringLiteral("Error %1 (0x%2)\n\n%3")
        .arg(error.status)
        .arg(static_cast<std::uint32_t>(error.status), 8, 16, QLatin1Char('0'))
        .arg(error.description);
}

int reportLaunchFailure(const LaunchError& error) {
    ui::showMessage(launchFailureText(error), ui::MsgIcon::Critical, ui::MsgButtons::Ok);
    return 1;
}

} // namespace zeb
