// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// What the font fitting found last time, so that the next showing of the same dialog can try that
// font first: each font a dialog tries costs a font engine, shaping tables and glyphs at a new
// size, the largest part of a dialog's opening, and the answer stays the same from one start to the
// next while the dialog, its texts and the user's fonts do.
//
// A hint and nothing more: a font remembered is used only once it is seen to fit, and the search
// that found it runs again once the dialog is on the screen (FitToLayout.cpp). The file may be
// missing, unreadable, damaged or written by another ZEB at the same moment; none of that is an
// error anyone hears of, it only makes the next opening as slow as the first.
//
// Kept in `$XDG_CACHE_HOME/zeb/fitted-fonts` (`~/.cache/zeb/fitted-fonts`): one line a dialog, its
// layout key (64 hexadecimal digits) and the font as QFont::toString gives it, the newest first.
#pragma once

#include <QByteArray>
#include <QFont>
#include <optional>

namespace zeb::ui {

// The font remembered under `layoutKey`, if any that Qt can read.
std::optional<QFont> rememberedFont(const QByteArray& layoutKey);

// Remembers `font` under `layoutKey`, replacing what was there; a few dozen keys are kept, the
// least recently written dropped. Writes the whole file anew and renames it over the old one, so a
// reader never sees half of it.
void rememberFont(const QByteArray& layoutKey, const QFont& font);

} // namespace zeb::ui
