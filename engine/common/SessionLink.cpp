// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SessionLink.h"

#include "JsonLine.h"

#include <QJsonObject>

#include <array>

namespace zeb::engine {

namespace {

constexpr std::array<std::pair<LinkKind, const char*>, 5> LINK_KINDS{{
    {LinkKind::WindowTitle, "title"},
    {LinkKind::IconTitle, "icon"},
    {LinkKind::About, "about"},
    {LinkKind::Script, "script"},
    {LinkKind::TerminalTypes, "terminal-types"},
}};

} // namespace

std::string encodeLinkMessage(const LinkMessage& message) {
    for (const auto& [kind, name] : LINK_KINDS) {
        if (kind == message.kind) {
            return protocol::encodeJsonLine(
                {{"kind", name}, {"text", QString::fromStdString(message.text)}});
        }
    }
    return {};
}

std::optional<LinkMessage> decodeLinkMessage(std::string_view line) {
    const auto object = protocol::decodeJsonLine(line);
    if (!object || !object->value("text").isString()) {
        return std::nullopt;
    }
    const auto kindName = object->value("kind").toString();
    for (const auto& [kind, name] : LINK_KINDS) {
        if (kindName == QLatin1String(name)) {
            return LinkMessage{kind, object->value("text").toString().toStdString()};
        }
    }
    return std::nullopt;
}

} // namespace zeb::engine
