// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The fitted-font memory reading whatever its cache file holds. Oracles: a font remembered over
// the file is the one read back, whatever lines stood there (one with the same key and another
// font included), and the file written keeps at most 32 lines, each ended.
#include "FontFitMemory.h"
#include "FuzzCheck.h"
#include "TempFolder.h"

#include <QGuiApplication>
#include <algorithm>

namespace {

// The cache file, in a folder of the run's own; QFont needs an application, made once.
std::string cacheFile() {
    static const TempFolder folder;
    static const bool ready = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CACHE_HOME", folder.path().c_str());
        static int argc = 1;
        static char name[] = "fuzz_fitted_fonts";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv); // lives as long as the run
        return std::filesystem::create_directory(folder.path() / "zeb");
    }();
    ZEB_FUZZ_CHECK(ready);
    return folder.file("zeb/fitted-fonts");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = cacheFile();
    writeBytes(file, std::string(reinterpret_cast<const char*>(data), size));
    const QByteArray key(64, 'a'); // the corpus holds lines of this key and of others
    zeb::ui::rememberedFont(key);
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    font.setStretch(QFont::SemiCondensed);
    zeb::ui::rememberFont(key, font);
    ZEB_FUZZ_CHECK(zeb::ui::rememberedFont(key) == font);
    const std::string written = readBytes(file);
    ZEB_FUZZ_CHECK(written.ends_with('\n') &&
                   std::count(written.begin(), written.end(), '\n') <= 32);
    return 0;
}
