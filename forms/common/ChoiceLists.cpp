// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

#include "ChoiceLists.h"

#include "CRegKey.h"
#include "StoreLayout.h"

#include <QComboBox>
#include <span>

namespace zeb::ui {

namespace {

// The store's vocabulary, offered exactly as it is stored.
void fillFixed(QComboBox* box, std::span<const char* const> entries) {
    if (!box) {
        return;
    }
    box->clear();
    for (const char* entry : entries) {
        box->addItem(QString::fromLatin1(entry));
    }
    box->setCurrentIndex(-1);
}

// Text and 32-bit numbers name a port; any other type leaves nothing to show, so it is skipped
// rather than repeating the previous port's name.
bool namesPort(reg::Dword dataType) {
    return dataType == reg::REG_SZ || dataType == reg::REG_DWORD;
}

} // namespace

void FillBaudRates(QComboBox* box) {
    fillFixed(box, layout::choices::BAUD_RATES);
}

void FillDataBits(QComboBox* box) {
    fillFixed(box, layout::choices::DATA_BITS);
}

void FillEmulations(QComboBox* box) {
    fillFixed(box, layout::choices::EMULATIONS);
}

void FillFlowControls(QComboBox* box) {
    fillFixed(box, layout::choices::FLOW_CONTROLS);
}

void FillParities(QComboBox* box) {
    fillFixed(box, layout::choices::PARITIES);
}

void FillStopBits(QComboBox* box) {
    fillFixed(box, layout::choices::STOP_BITS);
}

void FillSerialPorts(QComboBox* box) {
    if (!box) {
        return;
    }
    box->clear();
    reg::CRegKey key;
    // A map that cannot be opened needs no check of its own: the first EnumValue fails, which
    // leaves the box empty.
    key.OpenKey(reg::HKEY_LOCAL_MACHINE, layout::SERIAL_DEVICE_MAP_KEY, reg::KEY_READ);
    reg::RegValue port = std::string();
    for (reg::Dword index = 0;; ++index) {
        std::string deviceName;
        reg::Dword dataType = reg::REG_SZ;
        if (key.EnumValue(index, deviceName, dataType, port) != reg::ERROR_SUCCESS) {
            break;
        }
        if (namesPort(dataType)) {
            box->addItem(QString::fromStdString(reg::textOf(port)));
        }
    }
    key.CloseKey();
    box->setCurrentIndex(-1);
}

} // namespace zeb::ui
