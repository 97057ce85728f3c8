#include "ChoiceLists.h"

#include "CRegKey.h"
#include "StoreLayout.h"

#include <QComboBox>
#include <initializer_list>

namespace zeb::ui {

namespace {

// These texts are stored exactly as offered, so they are the store's vocabulary too.
void fillFixed(QComboBox* box, std::initializer_list<const char*> entries) {
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
    fillFixed(box, {"110", "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600"});
}

void FillDataBits(QComboBox* box) {
    fillFixed(box, {"5", "6", "7", "8"});
}

void FillEmulations(QComboBox* box) {
    fillFixed(box, {"AM65", "AM65G", "AM75", "AM75G"});
}

void FillFlowControls(QComboBox* box) {
    fillFixed(box, {"Hardware", "Xon / Xoff", "None"});
}

void FillParities(QComboBox* box) {
    fillFixed(box, {"Even", "Odd", "None", "Mark", "Space"});
}

void FillStopBits(QComboBox* box) {
    fillFixed(box, {"1", "1.5", "2"});
}

void FillSerialPorts(QComboBox* box) {
    if (!box) {
        return;
    }
    box->clear();
    reg::CRegKey key;
    // Not tested: a map that cannot be opened makes the first EnumValue fail, leaving the box
    // empty.
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
