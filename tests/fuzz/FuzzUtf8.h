// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Qt's strict UTF-8 decoder, independent of the code under test: it refuses overlong forms,
// surrogates and codes past U+10FFFF, and keeps a leading byte-order mark as a character.
#pragma once

#include <QString>
#include <QStringDecoder>

#include <optional>
#include <string_view>

inline std::optional<QString> strictUtf8(std::string_view text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    QString decoded = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return decoder.hasError() ? std::nullopt : std::optional(std::move(decoded));
}
