// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Dialog layouts are measured in twips; 15 twips make one logical pixel.
#pragma once

#include <QRect>
#include <QString>

class QWidget;

#include <utility>

namespace zeb::ui {

inline constexpr int TWIPS_PER_PIXEL = 15;

constexpr int twips(int t) {
    return t / TWIPS_PER_PIXEL;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Creates a control of type T on parent, named and placed. Arguments before the parent (a
// caption, say) are handed to T's constructor.
template <typename T, typename... CtorArgs>
T* placeControl(QWidget* parent, const char* name, QRect place, CtorArgs&&... args) {
    auto* control = new T(std::forward<CtorArgs>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(place);
    return control;
}

} // namespace zeb::ui
