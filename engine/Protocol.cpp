#include "Protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cmath>

namespace zeb::engine {

namespace {

QByteArray bytesOf(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string lineOf(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + '\n';
}

std::optional<QJsonObject> objectOf(std::string_view line) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(bytesOf(line), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
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

constexpr std::array<std::pair<LinkKind, const char*>, 5> kLinkKinds{{
    {LinkKind::WindowTitle, "title"},
    {LinkKind::IconTitle, "icon"},
    {LinkKind::About, "about"},
    {LinkKind::Script, "script"},
    {LinkKind::TerminalTypes, "terminal-types"},
}};

} // namespace

Request parseRequest(std::string_view line) {
    Request request;
    const auto object = objectOf(line);
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
    return lineOf(object);
}

std::string encodeLinkMessage(const LinkMessage& message) {
    for (const auto& [kind, name] : kLinkKinds) {
        if (kind == message.kind) {
            return lineOf({{"kind", name}, {"text", QString::fromStdString(message.text)}});
        }
    }
    return {};
}

std::optional<LinkMessage> decodeLinkMessage(std::string_view line) {
    const auto object = objectOf(line);
    if (!object || !object->value("text").isString()) {
        return std::nullopt;
    }
    const auto kindName = object->value("kind").toString();
    for (const auto& [kind, name] : kLinkKinds) {
        if (kindName == QLatin1String(name)) {
            return LinkMessage{kind, object->value("text").toString().toStdString()};
        }
    }
    return std::nullopt;
}

} // namespace zeb::engine
