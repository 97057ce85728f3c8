// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The fitted-font memory reading whatever its cache file holds. Oracles: a font remembered over
// the file is the one read back, whatever lines stood there (one with the same key and another
// font included), and the file written keeps at most 32 lines, each ended.
#include "FontFitMemory.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

// The cache file, in a folder of the run's own; QFont needs an application, made once.
QString cacheFile() {
    static QTemporaryDir folder;
    static const bool ready = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder.path()));
        static int argc = 1;
        static char name[] = "fuzz_fitted_fonts";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv); // lives as long as the run
        return QDir().mkpath(folder.path() + QStringLiteral("/zeb"));
    }();
    ZEB_FUZZ_CHECK(ready);
    return folder.path() + QStringLiteral("/zeb/fitted-fonts");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QFile file(cacheFile());
    ZEB_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const QByteArray key(64, 'a'); // the corpus holds lines of this key and of others
    zeb::ui::rememberedFont(key);
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    font.setStretch(QFont::SemiCondensed);
    zeb::ui::rememberFont(key, font);
    ZEB_FUZZ_CHECK(zeb::ui::rememberedFont(key) == font);
    ZEB_FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    ZEB_FUZZ_CHECK(written.endsWith('\n') && written.count('\n') <= 32);
    return 0;
}
