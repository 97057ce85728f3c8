// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The framing of every protocol line: one compact JSON object ended by a line feed. The engine's
// two halves use it for their private link as well, so one line reader serves both.
#pragma once

#include <QJsonObject>

#include <optional>
#include <string>
#include <string_view>

namespace zeb::protocol {

// The line of an object, ended by a line feed.
std::string encodeJsonLine(const QJsonObject& object);

// The object of one line (without its line feed); nothing for a line that is not a JSON object.
std::optional<QJsonObject> decodeJsonLine(std::string_view line);

} // namespace zeb::protocol
