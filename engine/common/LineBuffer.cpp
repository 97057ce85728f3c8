// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "LineBuffer.h"

namespace zeb::engine {

void LineBuffer::append(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        const auto piece = bytes.substr(0, end);
        if (!discarding_) {
            partial_.append(piece);
            if (partial_.size() > maxLineLength_) {
                partial_.clear();
                discarding_ = true;
                lines_.push_back({{}, true});
            }
        }
        if (end == std::string_view::npos) {
            return;
        }
        if (!discarding_) {
            lines_.push_back({std::move(partial_), false});
        }
        partial_.clear();
        discarding_ = false;
        bytes.remove_prefix(end + 1);
    }
}

LineBuffer::Line LineBuffer::takeLine() {
    Line line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

} // namespace zeb::engine
