// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// A value or the reason it could not be had. Every layer reports a failure as a text for a person
// (a reply's "error", a line on the terminal, an ERROR: line of zeb-reg), so one failure type
// carries that text, and the line of a file where the failure lies when there is one. An action
// that gives nothing back returns Outcome<Done>: done, or why not.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <variant>

namespace zeb {

struct Failure {
    std::string message;
    std::size_t line = 0; // 1-based line of the file the message is about; 0 when none
};

template <class T> using Outcome = std::variant<T, Failure>;

// The value of an action that succeeded and has nothing to tell: unlike a bool, it cannot be read
// as a second answer beside the failure.
struct Done {};

template <class T> bool failed(const Outcome<T>& outcome) {
    return std::holds_alternative<Failure>(outcome);
}

template <class T> const std::string& failureOf(const Outcome<T>& outcome) {
    return std::get<Failure>(outcome).message;
}

} // namespace zeb
