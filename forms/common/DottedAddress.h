// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The dotted-address rule: a text without "." is a host name and passes; a text with "." must be
// four parts, each without blanks or commas, numeric (an optional sign and decimal digits) and from
// 0 to 254.
#pragma once

#include <QString>

namespace zeb::ui {

bool isAcceptableHostOrAddress(const QString& text);

// A control character: a code below 32, or 127. holdsControlCharacter is true when the text holds
// one, such as a line end pasted with a copied name. Such a host name would add lines to the
// engine's start-up script or cut its titles short, so it is refused wherever a host name enters
// ZEB.
bool isControlCharacter(QChar ch);
bool holdsControlCharacter(const QString& text);

} // namespace zeb::ui
