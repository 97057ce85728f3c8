#include "SerialLine.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <utility>

namespace zeb::engine {

namespace {

// The baud rates of the choice list, each with its termios speed.
struct BaudRate {
    int rate;
    speed_t speed;
};
constexpr BaudRate kDefaultBaudRate{9600, B9600};
constexpr std::array<std::pair<const char*, BaudRate>, 9> kBaudRates{{
    {"110", {110, B110}},
    {"300", {300, B300}},
    {"1200", {1200, B1200}},
    {"2400", {2400, B2400}},
    {"4800", {4800, B4800}},
    {"9600", kDefaultBaudRate},
    {"19200", {19200, B19200}},
    {"38400", {38400, B38400}},
    {"57600", {57600, B57600}},
}};

template <class T, size_t N>
Outcome<T> choose(const std::string& text, const std::array<std::pair<const char*, T>, N>& choices,
                  T fallback, const char* what) {
    if (text.empty()) {
        return fallback;
    }
    for (const auto& [name, value] : choices) {
        if (strcasecmp(text.c_str(), name) == 0) {
            return value;
        }
    }
    return Failure{"\"" + text + "\" is not a " + what + " this engine knows."};
}

constexpr std::array<std::pair<const char*, int>, 4> kDataBitNames{{
    {"5", 5},
    {"6", 6},
    {"7", 7},
    {"8", 8},
}};
constexpr std::array<std::pair<const char*, Parity>, 5> kParityNames{{
    {"None", Parity::None},
    {"Even", Parity::Even},
    {"Odd", Parity::Odd},
    {"Mark", Parity::Mark},
    {"Space", Parity::Space},
}};
constexpr std::array<std::pair<const char*, StopBits>, 3> kStopBitNames{{
    {"1", StopBits::One},
    {"1.5", StopBits::OneAndHalf},
    {"2", StopBits::Two},
}};
constexpr std::array<std::pair<const char*, FlowControl>, 3> kFlowControlNames{{
    {"None", FlowControl::None},
    {"Hardware", FlowControl::Hardware},
    {"Xon / Xoff", FlowControl::XonXoff},
}};

template <class T, size_t N>
const char* nameOf(T value, const std::array<std::pair<const char*, T>, N>& choices) {
    for (const auto& [name, known] : choices) {
        if (known == value) {
            return name;
        }
    }
    return "?";
}

speed_t speedOf(int baud) {
    for (const auto& [name, known] : kBaudRates) {
        if (known.rate == baud) {
            return known.speed;
        }
    }
    return kDefaultBaudRate.speed;
}

tcflag_t characterSizeOf(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
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
        missing.push_back(std::string("parity ") + nameOf(settings.parity, kParityNames));
    }
    if (differs(&termios::c_cflag, CSTOPB)) {
        missing.push_back(std::string(nameOf(settings.stopBits, kStopBitNames)) + " stop bits");
    }
    if (differs(&termios::c_cflag, CRTSCTS) || differs(&termios::c_iflag, IXON | IXOFF)) {
        missing.push_back(std::string("flow control ") +
                          nameOf(settings.flowControl, kFlowControlNames));
    }
    return missing;
}

} // namespace

Outcome<LineSettings> parseLineSettings(const std::string& baud, const std::string& dataBits,
                                        const std::string& parity, const std::string& stopBits,
                                        const std::string& flowControl) {
    const auto rate = choose(baud, kBaudRates, kDefaultBaudRate, "baud rate");
    const auto bits = choose(dataBits, kDataBitNames, 8, "number of data bits");
    const auto parityChoice = choose(parity, kParityNames, Parity::None, "parity");
    const auto stops = choose(stopBits, kStopBitNames, StopBits::One, "number of stop bits");
    const auto flow = choose(flowControl, kFlowControlNames, FlowControl::None, "flow control");
    for (const std::string* problem :
         {failed(rate) ? &failureOf(rate) : nullptr, failed(bits) ? &failureOf(bits) : nullptr,
          failed(parityChoice) ? &failureOf(parityChoice) : nullptr,
          failed(stops) ? &failureOf(stops) : nullptr, failed(flow) ? &failureOf(flow) : nullptr}) {
        if (problem != nullptr) {
            return Failure{*problem};
        }
    }
    return LineSettings{std::get<BaudRate>(rate).rate, std::get<int>(bits),
                        std::get<Parity>(parityChoice), std::get<StopBits>(stops),
                        std::get<FlowControl>(flow)};
}

std::string describeLineSettings(const LineSettings& settings) {
    const std::string stops = nameOf(settings.stopBits, kStopBitNames);
    return std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
           " data bits, parity " + nameOf(settings.parity, kParityNames) + ", " + stops +
           (stops == "1" ? " stop bit" : " stop bits") + ", flow control " +
           nameOf(settings.flowControl, kFlowControlNames);
}

std::vector<std::string> applyLineSettings(termios& line, const LineSettings& settings) {
    std::vector<std::string> notes;
    cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    line.c_cflag |=
        CREAD | CLOCAL | characterSizeOf(settings.dataBits) | parityFlagsOf(settings.parity);
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
    cfsetispeed(&line, speedOf(settings.baud));
    cfsetospeed(&line, speedOf(settings.baud));
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
