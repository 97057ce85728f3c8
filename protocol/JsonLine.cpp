// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "JsonLine.h"

#include <QJsonDocument>

namespace zeb::protocol {

std::string encodeJsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + '\n';
}

std::optional<QJsonObject> decodeJsonLine(std::string_view line) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(
        QByteArray(line.data(), static_cast<qsizetype>(line.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

} // namespace zeb::protocol
