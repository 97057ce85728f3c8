// The dotted-address rule: a text without "." is a host name and passes; a text with "." must be
// four parts, each without blanks or commas, numeric (an optional sign and decimal digits) and from
// 0 to 254.
#pragma once

#include <QString>

namespace zeb::ui {

bool IsAcceptableHostOrAddress(const QString& text);

} // namespace zeb::ui
