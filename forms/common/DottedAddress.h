// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The dotted-address rule: a text without "." is a host name and passes; a text with "." must be
// four parts, each without blanks or commas, numeric (an optional sign and decimal digits) and from
// 0 to 254.
#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace zeb::ui {

bool isAcceptableHostOrAddress(const QString& text);

// What the selection dialog and the host editor say when a host box is empty or breaks the rule.
inline constexpr const char* HOST_MISSING_MESSAGE = "Please enter a hostname or IP address";
inline constexpr const char* HOST_INVALID_MESSAGE = "Please enter a valid IP address or a hostname";

// The first line control (ControlCharacters.h) the text holds, such as a line end pasted with a
// copied name; nullopt when it holds none. Such a host name would add lines to the engine's
// start-up script or cut its titles short, so it is refused wherever a host name enters ZEB.
std::optional<QChar> lineControlIn(const QString& text);

} // namespace zeb::ui
