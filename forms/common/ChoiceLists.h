// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The fixed lists offered in drop-down boxes, and the machine's serial ports. The fixed lists show
// the texts of layout::choices (StoreLayout.h), which the store holds. Each clears the box, then
// appends its entries in order, and leaves no entry selected (the box shows an empty text until the
// caller selects one); none reports a failure.
#pragma once

class QComboBox;

namespace zeb::ui {

void FillBaudRates(QComboBox* box);
void FillDataBits(QComboBox* box);
void FillEmulations(QComboBox* box);
void FillFlowControls(QComboBox* box);
void FillParities(QComboBox* box);
void FillStopBits(QComboBox* box);
// The data (port name) of each value of the serial device map, in enumeration order; stops at the
// first value that cannot be read.
void FillSerialPorts(QComboBox* box);

} // namespace zeb::ui
