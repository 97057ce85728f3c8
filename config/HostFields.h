// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The host record as the host editor shows and stores it: one row for each value that a
// transport's frame holds. The editor (frmHost.cpp) builds, tab-orders, fills, presets, loads and
// saves the fields from these rows alone, in their order, so a new value of a record is a new row
// here (beside its name in StoreLayout.h and, for a fixed list, its Fill function).
//
// Two values of every record are not rows: Transport is the choice between the option buttons and
// so decides which rows are written, and TraceFile is typed in the Tracing frame behind its check
// box. The record's name names its key and is no value at all.
#pragma once

#include "ChoiceLists.h"
#include "StoreLayout.h"

#include <cstddef>
#include <string_view>

class QComboBox;

namespace zeb::config {

// The two kinds of record; each field belongs to one, whose frame shows it and whose save writes
// it.
enum class Transport { Serial, Telnet };

// The Transport value that stands for each kind.
constexpr const char* storedTransport(Transport transport) {
    return transport == Transport::Serial ? layout::TRANSPORT_SERIAL : layout::TRANSPORT_TELNET;
}

// The most characters a text box takes as typed. With one byte a character (AnsiValidator.h),
// every entry fits the store's 64-byte reads; a longer stored text is still shown whole.
inline constexpr int TEXT_LIMIT = 32;
inline constexpr int PORT_LIMIT = 4;

// How a field takes its text: picked from a drop-down list (never typed) that `fill` fills, or
// typed into a text box of at most `limit` characters, Windows-1252 only or digits only.
struct Entry {
    void (*fill)(QComboBox*) = nullptr;
    int limit = 0;
    bool digitsOnly = false;
};
constexpr Entry pickedFrom(void (*fill)(QComboBox*)) {
    return {fill};
}
constexpr Entry typedText(int limit) {
    return {nullptr, limit};
}
constexpr Entry typedDigits(int limit) {
    return {nullptr, limit, true};
}

// What a field shows before a record is loaded, and keeps where the record has no readable value:
// nothing, a fixed text (a list's entry is selected by its exact text), or the emulation the
// editor's caller proposes (Display's sDefaultTTY).
struct Preset {
    enum class From { Nothing, Text, CallersEmulation } from = From::Nothing;
    const char* text = nullptr;
};
inline constexpr Preset NO_PRESET{};
inline constexpr Preset CALLERS_EMULATION{Preset::From::CallersEmulation};
constexpr Preset presetText(const char* text) {
    return {Preset::From::Text, text};
}

// A field's place in its frame, in twips: the label at (LABEL_LEFT, top), the control beside it
// at (CONTROL_LEFT, top - CONTROL_RISE), both FIELD_HEIGHT high.
struct Place {
    int top;
    int labelWidth;
    int controlWidth;
};
inline constexpr int LABEL_LEFT = 300;
inline constexpr int CONTROL_LEFT = 2160;
inline constexpr int CONTROL_RISE = 60;
inline constexpr int FIELD_HEIGHT = 315;

struct HostField {
    Transport transport;
    const char* value;   // its name under Hosts\<name>
    const char* control; // the control's objectName: cbo... a drop-down list, txt... a text box
    const char* label;   // the label's objectName; the label is the control's buddy
    const char* caption; // the label's text; '&' marks the access key that leads to the control
    Place place;
    Entry entry;
    Preset preset;
};

// In frame order (top to bottom), which is also the tab order and the order of the reads and of
// the writes. A list's entries are stored as they stand; a text box's text is stored trimmed of
// spaces.
inline constexpr HostField HOST_FIELDS[] = {
    {Transport::Serial, layout::TTY, "cboSerialEmulation", "lblSerialEmulation",
     "Terminal &emulation:", Place(420, 1695, 2235), pickedFrom(ui::FillEmulations),
     CALLERS_EMULATION},
    {Transport::Serial, layout::PORT, "cboSerialPort", "lblSerialPort",
     "Communications &port:", Place(840, 1695, 2235), pickedFrom(ui::FillSerialPorts), NO_PRESET},
    {Transport::Serial, layout::DATA_BITS, "cboSerialBits", "lblSerialBits",
     "&Data bits:", Place(1260, 1695, 2235), pickedFrom(ui::FillDataBits),
     presetText(layout::choices::DATA_BITS_EIGHT)},
    {Transport::Serial, layout::BAUD, "cboSerialBaud", "lblSerialBaud",
     "&Baud rate:", Place(1680, 1695, 2235), pickedFrom(ui::FillBaudRates),
     presetText(layout::choices::BAUD_9600)},
    {Transport::Serial, layout::PARITY, "cboSerialParity", "lblSerialParity",
     "&Parity:", Place(2100, 1695, 2235), pickedFrom(ui::FillParities),
     presetText(layout::choices::PARITY_NONE)},
    {Transport::Serial, layout::STOP_BITS, "cboSerialStop", "lblSerialStop",
     "St&op bits:", Place(2520, 1695, 2235), pickedFrom(ui::FillStopBits),
     presetText(layout::choices::STOP_BITS_ONE)},
    {Transport::Serial, layout::FLOW_CONTROL, "cboSerialFlow", "lblSerialFlow",
     "F&low control:", Place(2940, 1695, 2235), pickedFrom(ui::FillFlowControls),
     presetText(layout::choices::FLOW_HARDWARE)},
    {Transport::Telnet, layout::TTY, "cboTelnetEmulation", "lblTelnetEmulation",
     "Terminal emulation:", Place(420, 1695, 2235), pickedFrom(ui::FillEmulations),
     CALLERS_EMULATION},
    {Transport::Telnet, layout::ADDRESS, "txtTelnetIP", "lblTelnetlIP",
     "&Hostname or IP address:", Place(840, 1815, 2235), typedText(TEXT_LIMIT), NO_PRESET},
    {Transport::Telnet, layout::PORT, "txtTelnetPort", "lblTelnetPort", "&Port:",
     Place(1260, 1755, 915), typedDigits(PORT_LIMIT), presetText(layout::TELNET_STANDARD_PORT)}};

// The row of a record kind's value, found while compiling: a pair that is no row does not compile.
consteval std::size_t fieldIndex(Transport transport, std::string_view value) {
    std::size_t index = 0;
    while (HOST_FIELDS[index].transport != transport || value != HOST_FIELDS[index].value) {
        ++index; // reading past the table's end is no constant expression
    }
    return index;
}

// The fields the editor's own code reaches: the emulation that follows the chosen transport, and
// those the entry checks examine.
inline constexpr std::size_t SERIAL_EMULATION = fieldIndex(Transport::Serial, layout::TTY);
inline constexpr std::size_t SERIAL_PORT = fieldIndex(Transport::Serial, layout::PORT);
inline constexpr std::size_t TELNET_EMULATION = fieldIndex(Transport::Telnet, layout::TTY);
inline constexpr std::size_t TELNET_ADDRESS = fieldIndex(Transport::Telnet, layout::ADDRESS);
inline constexpr std::size_t TELNET_PORT = fieldIndex(Transport::Telnet, layout::PORT);

} // namespace zeb::config
