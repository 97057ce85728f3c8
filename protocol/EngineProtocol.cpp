// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "EngineProtocol.h"

#include "JsonLine.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace zeb::protocol {

namespace {

QByteArray bytesOf(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

Argument argumentOf(const QJsonValue& value) {
    if (value.isString()) {
        return value.toString().toStdString();
    }
    if (value.isDouble()) {
        return value.toDouble();
    }
    return OtherJson{};
}

// The id when the object carries a whole number that fits; 0 otherwise.
std::int64_t idOf(const QJsonObject& object) {
    const double id = object.value("id").toDouble(0);
    return std::trunc(id) == id && std::fabs(id) < 9.0e15 ? static_cast<std::int64_t>(id) : 0;
}

template <typename Integer> std::optional<Integer> wholeOf(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    // The bound above is 2^(bits-1) itself, exclusive: the largest value as a double may round up
    // to it, and converting that would overflow.
    const double lowest = static_cast<double>(std::numeric_limits<Integer>::min());
    if (std::trunc(number) != number || number < lowest || number >= -lowest) {
        return std::nullopt;
    }
    return static_cast<Integer>(number);
}

QByteArray compact(const QJsonDocument& document) {
    return document.toJson(QJsonDocument::Compact);
}

} // namespace

std::string formatRequest(std::int64_t id, std::string_view call, const QJsonArray& args) {
    const QByteArray callJson =
        compact(QJsonDocument(QJsonArray{QString::fromUtf8(bytesOf(call))})).mid(1).chopped(1);
    QByteArray line = QByteArrayLiteral("{\"id\":") + QByteArray::number(qint64(id)) +
                      ",\"call\":" + callJson + ",\"args\":" + compact(QJsonDocument(args)) + "}\n";
    // Compact JSON holds character 127 only inside strings, where its escape means the same.
    return line.replace(TEXT_END, "\\u007f").toStdString();
}

Request parseRequest(std::string_view line) {
    Request request;
    const auto object = decodeJsonLine(line);
    if (!object) {
        request.malformed = "The request is not a JSON object.";
        return request;
    }
    request.id = idOf(*object);
    if (request.id <= 0) {
        request.malformed = "The request has no valid \"id\".";
    } else if (!object->value("call").isString()) {
        request.malformed = "The request names no \"call\".";
    } else if (!object->value("args").isArray() && !object->value("args").isUndefined()) {
        request.malformed = "The request's \"args\" is not a list.";
    }
    request.call = object->value("call").toString().toStdString();
    for (const auto& value : object->value("args").toArray()) {
        request.args.push_back(argumentOf(value));
    }
    return request;
}

std::string formatReply(const Reply& reply) {
    QJsonObject object{{"id", static_cast<double>(reply.id)}, {"status", reply.status}};
    if (reply.result) {
        object.insert("result", *reply.result);
    }
    if (reply.status < 0) {
        object.insert("error", QString::fromStdString(reply.error));
    }
    return encodeJsonLine(object);
}

std::optional<Reply> parseReply(std::string_view line) {
    const auto object = decodeJsonLine(line);
    if (!object) {
        return std::nullopt;
    }
    const auto id = wholeOf<std::int64_t>(object->value("id"));
    const auto status = wholeOf<std::int32_t>(object->value("status"));
    if (!id || !status) {
        return std::nullopt;
    }
    const auto result = wholeOf<std::int16_t>(object->value("result"));
    return Reply{*id, *status, result ? std::optional<int>(*result) : std::nullopt,
                 object->value("error").toString().toStdString()};
}

} // namespace zeb::protocol
