// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "DottedAddress.h"

#include "ControlCharacters.h"

#include <QStringList>
#include <algorithm>

namespace zeb::ui {

namespace {

constexpr int HIGHEST_PART = 254; // 255 is refused, as it always was

bool isDecimalDigits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
}

// One part of a dotted address: an optional sign and decimal digits, worth 0 to 254.
bool isAddressPart(QStringView part) {
    const bool negative = part.startsWith(u'-');
    if (negative || part.startsWith(u'+')) {
        part = part.mid(1);
    }
    if (!isDecimalDigits(part)) {
        return false; // also refuses blanks and commas
    }
    while (part.startsWith(u'0')) { // "0" becomes "", which converts to 0 all the same
        part = part.mid(1);
    }
    // Three digits at most after the leading zeros, so the conversion cannot overflow.
    if (part.size() > 3) {
        return false;
    }
    const int value = part.toInt();
    return negative ? value == 0 : value <= HIGHEST_PART;
}

} // namespace

bool isAcceptableHostOrAddress(const QString& text) {
    if (!text.contains(QLatin1Char('.'))) {
        return true; // a host name: not examined further
    }
    const QStringList parts = text.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), [](const QString& part) {
               return isAddressPart(part);
           });
}

std::optional<QChar> lineControlIn(const QString& text) {
    const auto found = std::find_if(text.begin(), text.end(),
                                    [](QChar ch) { return isLineControl(ch.unicode()); });
    return found == text.end() ? std::nullopt : std::optional<QChar>(*found);
}

} // namespace zeb::ui
