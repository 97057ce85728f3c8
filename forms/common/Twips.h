// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Dialog layouts are measured in twips; 15 twips make one logical pixel. Controls are created at
// their twips places by the builders of ControlBuilders.h.
#pragma once

#include <QRect>

namespace zeb::ui {

inline constexpr int TWIPS_PER_PIXEL = 15;

constexpr int twips(int t) {
    return t / TWIPS_PER_PIXEL;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace zeb::ui
