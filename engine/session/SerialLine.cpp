// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "SerialLine.h"

#include "StoreLayout.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <utility>

namespace zeb::engine {

namespace {

namespace choices = layout::choices;

// A stored text and the line setting it stands for.
template <class T> using Choice = std::pair<const char*, T>;

constexpr int numberOf(std::string_view digits) {
    int number = 0;
    for (const char digit : digits) {
        number = number * 10 + (digit - '0');
    }
    return number;
}

// The stored texts of a list of numbers, each with its number.
template <size_t N>
constexpr std::array<Choice<int>, N> numbered(const std::array<const char*, N>& texts) {
    std::array<Choice<int>, N> table{};
    for (size_t i = 0; i < N; ++i) {
        table[i] = {texts[i], numberOf(texts[i])};
    }
    return table;
}

constexpr auto BAUD_RATE_NAMES = numbered(choices::BAUD_RATES);
constexpr auto DATA_BIT_NAMES = numbered(choices::DATA_BITS);
constexpr auto PARITY_NAMES = std::to_array<Choice<Parity>>({
    {choices::PARITY_NONE, Parity::None},
    {choices::PARITY_EVEN, Parity::Even},
    {choices::PARITY_ODD, Parity::Odd},
    {choices::PARITY_MARK, Parity::Mark},
    {choices::PARITY_SPACE, Parity::Space},
});
constexpr auto STOP_BIT_NAMES = std::to_array<Choice<StopBits>>({
    {choices::STOP_BITS_ONE, StopBits::One},
    {choices::STOP_BITS_ONE_AND_HALF, StopBits::OneAndHalf},
    {choices::STOP_BITS_TWO, StopBits::Two},
});
constexpr auto FLOW_CONTROL_NAMES = std::to_array<Choice<FlowControl>>({
    {choices::FLOW_NONE, FlowControl::None},
    {choices::FLOW_HARDWARE, FlowControl::Hardware},
    {choices::FLOW_XON_XOFF, FlowControl::XonXoff},
});

// The termios constants of the numbers the store holds.
constexpr auto SPEEDS = std::to_array<std::pair<int, speed_t>>({
    {110, B110},
    {300, B300},
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
});
constexpr auto CHARACTER_SIZES = std::to_array<std::pair<int, tcflag_t>>({
    {5, CS5},
    {6, CS6},
    {7, CS7},
    {8, CS8},
});

template <class T, size_t N, size_t M>
constexpr bool namesEvery(const std::array<const char*, N>& texts,
                          const std::array<Choice<T>, M>& table) {
    for (const char* text : texts) {
        if (std::none_of(table.begin(), table.end(), [text](const Choice<T>& choice) {
                return std::string_view(choice.first) == text;
            })) {
            return false;
        }
    }
    return true;
}

template <class T, size_t N, size_t M>
constexpr bool mapsEvery(const std::array<Choice<int>, N>& numbers,
                         const std::array<std::pair<int, T>, M>& table) {
    for (const Choice<int>& choice : numbers) {
        if (std::none_of(table.begin(), table.end(),
                         [&choice](const auto& row) { return row.first == choice.second; })) {
            return false;
        }
    }
    return true;
}

// Every text the store can hold has its line setting here, so no record that the dialogs wrote is
// refused by the engine.
static_assert(mapsEvery(BAUD_RATE_NAMES, SPEEDS), "a stored baud rate has no termios speed");
static_assert(mapsEvery(DATA_BIT_NAMES, CHARACTER_SIZES), "stored data bits have no CSn size");
static_assert(namesEvery(choices::PARITIES, PARITY_NAMES), "a stored parity has no setting");
static_assert(namesEvery(choices::STOP_BITS, STOP_BIT_NAMES), "stored stop bits have no setting");
static_assert(namesEvery(choices::FLOW_CONTROLS, FLOW_CONTROL_NAMES),
              "a stored flow control has no setting");

template <class T, size_t N>
Outcome<T> choose(const std::string& text, const std::array<Choice<T>, N>& table, T fallback,
                  const char* what) {
    if (text.empty()) {
        return fallback;
    }
    for (const auto& [name, value] : table) {
        if (strcasecmp(text.c_str(), name) == 0) {
            return value;
        }
    }
    return Failure{"\"" + text + "\" is not a " + what + " this engine knows."};
}

template <class T, size_t N> const char* nameOf(T value, const std::array<Choice<T>, N>& table) {
    for (const auto& [name, known] : table) {
        if (known == value) {
            return name;
        }
    }
    return "?";
}

template <class T, size_t N>
T lookUp(int number, const std::array<std::pair<int, T>, N>& table, T fallback) {
    for (const auto& [known, value] : table) {
        if (known == number) {
            return value;
        }
    }
    return fallback;
}

tcflag_t parityFlagsOf(Parity parity) {
    switch (parity) {
    case Parity::Even:
        return PARENB;
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Mark: // "stick" parity: PARODD chooses mark, its absence space
        return PARENB | CMSPAR | PARODD;
    case Parity::Space:
        return PARENB | CMSPAR;
    case Parity::None:
        break;
    }
    return 0;
}

std::string openFailure(const std::string& device, int error) {
    switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
        return "The serial port " + device + " is busy: another program is using it.";
    case EACCES:
    case EPERM:
        return "Using the serial port " + device +
               " is not permitted (the user may need to be in the group that owns it, such as "
               "dialout).";
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "The serial port " + device + " does not exist.";
    default:
        return "The serial port " + device + " cannot be opened: " + std::strerror(error) + ".";
    }
}

// The settings that the line did not keep (a pseudo-terminal, for one, always keeps 8 data bits
// and no parity), as the user chose them.
std::vector<std::string> settingsNotTaken(const termios& wanted, const termios& actual,
                                          const LineSettings& settings) {
    const auto differs = [&](tcflag_t termios::*flags, tcflag_t mask) {
        return (wanted.*flags & mask) != (actual.*flags & mask);
    };
    std::vector<std::string> missing;
    if (cfgetispeed(&wanted) != cfgetispeed(&actual) ||
        cfgetospeed(&wanted) != cfgetospeed(&actual)) {
        missing.push_back(std::to_string(settings.baud) + " baud");
    }
    if (differs(&termios::c_cflag, CSIZE)) {
        missing.push_back(std::to_string(settings.dataBits) + " data bits");
    }
    if (differs(&termios::c_cflag, PARENB | PARODD | CMSPAR)) {
        missing.push_back(std::string("parity ") + nameOf(settings.parity, PARITY_NAMES));
    }
    if (differs(&termios::c_cflag, CSTOPB)) {
        missing.push_back(std::string(nameOf(settings.stopBits, STOP_BIT_NAMES)) + " stop bits");
    }
    if (differs(&termios::c_cflag, CRTSCTS) || differs(&termios::c_iflag, IXON | IXOFF)) {
        missing.push_back(std::string("flow control ") +
                          nameOf(settings.flowControl, FLOW_CONTROL_NAMES));
    }
    return missing;
}

} // namespace

Outcome<LineSettings> parseLineSettings(const std::string& baud, const std::string& dataBits,
                                        const std::string& parity, const std::string& stopBits,
                                        const std::string& flowControl) {
    const LineSettings defaults;
    const auto rate = choose(baud, BAUD_RATE_NAMES, defaults.baud, "baud rate");
    const auto bits = choose(dataBits, DATA_BIT_NAMES, defaults.dataBits, "number of data bits");
    const auto parityChoice = choose(parity, PARITY_NAMES, defaults.parity, "parity");
    const auto stops = choose(stopBits, STOP_BIT_NAMES, defaults.stopBits, "number of stop bits");
    const auto flow = choose(flowControl, FLOW_CONTROL_NAMES, defaults.flowControl, "flow control");
    for (const std::string* problem :
         {failed(rate) ? &failureOf(rate) : nullptr, failed(bits) ? &failureOf(bits) : nullptr,
          failed(parityChoice) ? &failureOf(parityChoice) : nullptr,
          failed(stops) ? &failureOf(stops) : nullptr, failed(flow) ? &failureOf(flow) : nullptr}) {
        if (problem != nullptr) {
            return Failure{*problem};
        }
    }
    return LineSettings{std::get<int>(rate), std::get<int>(bits), std::get<Parity>(parityChoice),
                        std::get<StopBits>(stops), std::get<FlowControl>(flow)};
}

std::string describeLineSettings(const LineSettings& settings) {
    const std::string stops = nameOf(settings.stopBits, STOP_BIT_NAMES);
    return std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
           " data bits, parity " + nameOf(settings.parity, PARITY_NAMES) + ", " + stops +
           (stops == "1" ? " stop bit" : " stop bits") + ", flow control " +
           nameOf(settings.flowControl, FLOW_CONTROL_NAMES);
}

std::vector<std::string> applyLineSettings(termios& line, const LineSettings& settings) {
    std::vector<std::string> notes;
    cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    line.c_cflag |= CREAD | CLOCAL | lookUp(settings.dataBits, CHARACTER_SIZES, tcflag_t(CS8)) |
                    parityFlagsOf(settings.parity);
    if (settings.stopBits != StopBits::One) {
        line.c_cflag |= CSTOPB;
    }
    if (settings.stopBits == StopBits::OneAndHalf && settings.dataBits != 5) {
        notes.push_back("This line sends 1.5 stop bits only with 5 data bits; with " +
                        std::to_string(settings.dataBits) + " data bits it sends 2.");
    }
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.flowControl == FlowControl::XonXoff) {
        line.c_iflag |= IXON | IXOFF;
    } else if (settings.flowControl == FlowControl::Hardware) {
        line.c_cflag |= CRTSCTS;
    }
    if (settings.parity != Parity::None) {
        line.c_iflag |= INPCK; // a character with a parity error is not passed on as good
    }
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    const speed_t speed = lookUp(settings.baud, SPEEDS, speed_t(B9600));
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    return notes;
}

Outcome<UniqueFd> openSerialLine(const std::string& device, const LineSettings& settings,
                                 std::vector<std::string>& notes) {
    UniqueFd port(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port.valid()) {
        return Failure{openFailure(device, errno)};
    }
    // The lock keeps out other engines and well-behaved programs even for root, whom TIOCEXCL
    // does not stop; TIOCEXCL keeps out every other open by an ordinary user.
    if (::flock(port.get(), LOCK_EX | LOCK_NB) != 0) {
        return Failure{openFailure(device, errno)};
    }
    termios line{};
    if (::tcgetattr(port.get(), &line) != 0) {
        return Failure{"The device " + device + " is not a serial port: " + std::strerror(errno) +
                       "."};
    }
    if (::ioctl(port.get(), TIOCEXCL) != 0) {
        return Failure{openFailure(device, errno)};
    }
    auto lineNotes = applyLineSettings(line, settings);
    termios actual{};
    if (::tcsetattr(port.get(), TCSANOW, &line) != 0 || ::tcgetattr(port.get(), &actual) != 0) {
        return Failure{"The serial port " + device + " does not accept the settings " +
                       describeLineSettings(settings) + ": " + std::strerror(errno) + "."};
    }
    notes.insert(notes.end(), lineNotes.begin(), lineNotes.end());
    if (const auto missing = settingsNotTaken(line, actual, settings); !missing.empty()) {
        std::string list;
        for (const auto& setting : missing) {
            list += (list.empty() ? "" : ", ") + setting;
        }
        notes.push_back("The serial port " + device + " did not take " + list +
                        "; it goes on with what the line can do.");
    }
    return port;
}

} // namespace zeb::engine
