// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SubnegotiationFilter.h"

#include <libtelnet.h>

namespace zeb::engine {

namespace {

bool isNegotiation(unsigned char command) {
    return command == TELNET_WILL || command == TELNET_WONT || command == TELNET_DO ||
           command == TELNET_DONT;
}

} // namespace

void SubnegotiationFilter::feed(std::string_view bytes) {
    for (const char byte : bytes) {
        read(static_cast<unsigned char>(byte));
    }
    passOn();
}

void SubnegotiationFilter::read(unsigned char byte) {
    switch (state_) {
    case State::Data:
        if (byte == TELNET_IAC) {
            state_ = State::Command; // passed on with the byte after it, unless that begins an SB
        } else {
            passing_ += static_cast<char>(byte);
        }
        break;
    case State::Command:
        if (byte == TELNET_SB) {
            state_ = State::SubnegotiationOption;
        } else {
            passing_ += static_cast<char>(TELNET_IAC);
            passing_ += static_cast<char>(byte);
            state_ = isNegotiation(byte) ? State::Option : State::Data;
        }
        break;
    case State::Option: // any byte, IAC too, names the option
        passing_ += static_cast<char>(byte);
        state_ = State::Data;
        break;
    case State::SubnegotiationOption:
        subnegotiation_ = {static_cast<char>(TELNET_IAC), static_cast<char>(TELNET_SB),
                           static_cast<char>(byte)};
        tooLong_ = false;
        state_ = State::Subnegotiation;
        break;
    case State::Subnegotiation:
        if (byte == TELNET_IAC) {
            state_ = State::SubnegotiationCommand;
        } else {
            keep(byte);
        }
        break;
    case State::SubnegotiationCommand:
        if (byte == TELNET_IAC) {
            keep(TELNET_IAC);
            keep(TELNET_IAC);
            state_ = State::Subnegotiation;
        } else if (byte == TELNET_SE) {
            endSubnegotiation();
            state_ = State::Data;
        } else { // cut short: dropped, and the command read as one
            state_ = State::Command;
            read(byte);
        }
        break;
    }
}

void SubnegotiationFilter::keep(unsigned char byte) {
    if (subnegotiation_.size() < SUBNEGOTIATION_LIMIT + 3) { // after IAC SB <option>
        subnegotiation_ += static_cast<char>(byte);
    } else {
        tooLong_ = true;
    }
}

void SubnegotiationFilter::endSubnegotiation() {
    if (tooLong_) {
        return;
    }
    passOn(); // what came before may have agreed to the option
    if (inForce_(static_cast<unsigned char>(subnegotiation_[2]))) {
        subnegotiation_ += static_cast<char>(TELNET_IAC);
        subnegotiation_ += static_cast<char>(TELNET_SE);
        pass_(subnegotiation_);
    }
}

void SubnegotiationFilter::passOn() {
    if (!passing_.empty()) {
        pass_(passing_);
        passing_.clear();
    }
}

} // namespace zeb::engine
