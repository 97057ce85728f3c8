// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The host's bytes on their way to libtelnet, read just deeply enough to find the subnegotiations
// (IAC SB <option> ... IAC SE). Everything outside them passes as it comes; a subnegotiation is
// held back until its IAC SE and passed on whole only when its option is in force (agreed on
// either side) and it is no longer than SUBNEGOTIATION_LIMIT. Any other, and one cut short by a
// command other than IAC SE, is dropped whole: nothing of it reaches the terminal, the trace or
// libtelnet's option handling.
//
// libtelnet cannot be told this: version 0.21 acts on a subnegotiation whether or not its option
// was agreed (IAC SB COMPRESS2 IAC SE starts inflating all that follows; a terminal-type request is
// answered before the option is), has no flag to stop it, and past its 16 KiB subnegotiation
// buffer it warns and hands the rest of the subnegotiation to the application as data.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace zeb::engine {

class SubnegotiationFilter {
public:
    // Far more than any option ZEB agrees to needs (a terminal-type request is one byte), and well
    // below libtelnet's 16 KiB, so libtelnet never sees a subnegotiation overflow. Counted as
    // received, an escaped IAC as two bytes.
    static constexpr size_t SUBNEGOTIATION_LIMIT = 1024;

    // `pass` takes the bytes libtelnet may read, in order. `inForce` tells whether an option is
    // agreed; it is asked at the end of each subnegotiation, after all that came before it has gone
    // to `pass`, so an agreement sent just before counts.
    SubnegotiationFilter(std::function<void(std::string_view)> pass,
                         std::function<bool(unsigned char option)> inForce)
        : pass_(std::move(pass)), inForce_(std::move(inForce)) {}

    void feed(std::string_view bytes);

private:
    enum class State {
        Data,
        Command,              // after IAC
        Option,               // after IAC WILL, WONT, DO or DONT
        SubnegotiationOption, // after IAC SB
        Subnegotiation,
        SubnegotiationCommand, // after IAC inside a subnegotiation
    };

    void read(unsigned char byte);
    void keep(unsigned char byte);
    void endSubnegotiation();
    void passOn();

    std::function<void(std::string_view)> pass_;
    std::function<bool(unsigned char)> inForce_;
    State state_ = State::Data;
    std::string passing_;        // read, not yet passed on
    std::string subnegotiation_; // the one being read, as received from its IAC SB
    bool tooLong_ = false;
};

} // namespace zeb::engine
