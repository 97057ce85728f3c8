// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "CommandWords.h"

namespace zeb::protocol {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string unterminatedQuoteMessage(std::string_view text) {
    return "The command line has an unterminated double quote: " + std::string(text);
}

} // namespace

Outcome<std::vector<std::string>> splitCommandWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (isBlank(c) && !quoted) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        return Failure{unterminatedQuoteMessage(text)};
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace zeb::protocol
