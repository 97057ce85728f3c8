// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// Collects bytes read from a pipe or socket and hands them back as whole lines (without the line
// feed). A line longer than the limit is not kept: it is reported once as overlong and skipped up
// to its line feed, so a peer that never ends a line cannot make the engine grow without bound.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace zeb::engine {

class LineBuffer {
public:
    explicit LineBuffer(size_t maxLineLength) : maxLineLength_(maxLineLength) {}

    void append(std::string_view bytes);

    struct Line {
        std::string text;
        bool overlong = false;
    };
    bool hasLine() const { return !lines_.empty(); }
    Line takeLine();

private:
    size_t maxLineLength_;
    std::string partial_;
    bool discarding_ = false;
    std::deque<Line> lines_;
};

} // namespace zeb::engine
