// Qt's strict UTF-8 decoder as an oracle independent of the code under test: it refuses overlong
// forms, surrogates and codes past U+10FFFF. Unlike QString::fromUtf8 it keeps a leading
// byte-order mark, so a text and its decoding have the same characters.
#pragma once

#include <QString>
#include <QStringDecoder>

#include <optional>
#include <string_view>

inline std::optional<QString> strictUtf8(std::string_view text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    QString decoded = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return decoded;
}
