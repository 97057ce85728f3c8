// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "FontFitMemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zeb::ui {

namespace {

// Enough for each dialog under several screens and font settings; a longer file would only hold
// settings left behind.
constexpr qsizetype KEPT_LINES = 32;
// Far more than KEPT_LINES lines take; of a larger file, which ZEB did not write, only this much
// is read.
constexpr qint64 LARGEST_READ = 64 * 1024;

// Empty when the system names no cache folder: then nothing is read or written.
QString memoryPath() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/zeb/fitted-fonts");
}

QList<QByteArray> rememberedLines() {
    QFile file(memoryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(LARGEST_READ).split('\n');
}

// How a dialog's line begins: its layout key and a space, then comes the font.
QByteArray lineStart(const QByteArray& layoutKey) {
    return layoutKey + ' ';
}

// The font of a line that begins with `layoutKey`'s start.
std::optional<QFont> fontOfLine(const QByteArray& line, const QByteArray& layoutKey) {
    const QByteArray start = lineStart(layoutKey);
    if (!line.startsWith(start)) {
        return std::nullopt;
    }
    QFont font;
    if (!font.fromString(QString::fromUtf8(line.mid(start.size())))) {
        return std::nullopt;
    }
    return font;
}

} // namespace

std::optional<QFont> rememberedFont(const QByteArray& layoutKey) {
    for (const QByteArray& line : rememberedLines()) {
        if (std::optional<QFont> font = fontOfLine(line, layoutKey)) {
            return font;
        }
    }
    return std::nullopt;
}

void rememberFont(const QByteArray& layoutKey, const QFont& font) {
    const QByteArray start = lineStart(layoutKey);
    QByteArray text = start + font.toString().toUtf8() + '\n';
    qsizetype kept = 1;
    for (const QByteArray& line : rememberedLines()) {
        if (kept < KEPT_LINES && !line.isEmpty() && !line.startsWith(start)) {
            text += line + '\n';
            ++kept;
        }
    }
    const QString path = memoryPath();
    QSaveFile file(path);
    if (!path.isEmpty() && QDir().mkpath(QFileInfo(path).path()) &&
        file.open(QIODevice::WriteOnly)) {
        file.write(text);
        file.commit();
    }
}

} // namespace zeb::ui
