// A value or the reason it could not be had. Every layer reports a failure as a text for a person
// (a reply's "error", a line on the terminal, an ERROR: line of zeb-reg), so one failure type
// carries just that text.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace zeb {

struct Failure {
    std::string message;
};

template <class T> using Outcome = std::variant<T, Failure>;

template <class T> bool failed(const Outcome<T>& outcome) {
    return std::holds_alternative<Failure>(outcome);
}

template <class T> const std::string& failureOf(const Outcome<T>& outcome) {
    return std::get<Failure>(outcome).message;
}

} // namespace zeb
