// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How long the configuration dialog takes to list a large store: 10,000 host records, listed when
// the dialog opens and listed again after a removal, in a store file and in memory.
//
// Measured through the dialog's public faces only: load() is everything Display does before it
// shows the dialog (the host list is nearly all of it), and a confirmed Remove deletes one record
// and rebuilds the whole list.
#include "CRegKey.h"
#include "MessageBox.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "frmConfig.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

using namespace zeb::reg;
namespace layout = zeb::layout;

namespace {

constexpr int RECORDS = 10000;
constexpr int RUNS = 5;

Status WriteRecord(int number) {
    const std::string name = "host" + std::to_string(number);
    const bool serial = number % 2 == 0;
    CRegKey list;
    Status status = list.Create(HKEY_LOCAL_MACHINE, layout::HOSTLIST_KEY, 0, WRITER_ACCESS);
    status |= list.SetValue(std::string(layout::HOSTLIST_MARK), name);
    list.CloseKey();
    CRegKey host;
    status |= host.Create(HKEY_LOCAL_MACHINE, layout::hostKeyPath(name), 0, WRITER_ACCESS);
    status |=
        host.SetValue(std::string(serial ? layout::TRANSPORT_SERIAL : layout::TRANSPORT_TELNET),
                      layout::TRANSPORT);
    status |= host.SetValue(std::string("AM75G"), layout::TTY);
    status |= host.SetValue(std::string(serial ? "/dev/ttyS0" : "23"), layout::PORT);
    if (!serial) {
        status |= host.SetValue("10.0." + std::to_string(number / 250) + "." +
                                    std::to_string(number % 250),
                                layout::ADDRESS);
    }
    host.CloseKey();
    return status;
}

bool Populate() {
    const Status status = backend().runAtomically([] {
        for (int number = 0; number < RECORDS; ++number) {
            if (const Status failed = WriteRecord(number)) {
                return failed;
            }
        }
        return ERROR_SUCCESS;
    });
    return status == ERROR_SUCCESS;
}

// Milliseconds on the clock and of processor time: on a busy machine the two differ widely.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing Measure(const std::function<void()>& work) {
    const std::clock_t startCpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    return {elapsed.count(),
            1000.0 * static_cast<double>(std::clock() - startCpu) / CLOCKS_PER_SEC};
}

void Report(const char* what, const std::vector<Timing>& times) {
    const auto median = [&](double Timing::*field) {
        std::vector<double> values;
        for (const Timing& time : times) {
            values.push_back(time.*field);
        }
        std::sort(values.begin(), values.end());
        return std::pair{values.front(), values[values.size() / 2]};
    };
    const auto [wallMin, wallMedian] = median(&Timing::wall);
    const auto [cpuMin, cpuMedian] = median(&Timing::cpu);
    std::printf("%-42s clock min %6.1f median %6.1f ms; processor min %6.1f median %6.1f ms\n",
                what, wallMin, wallMedian, cpuMin, cpuMedian);
}

// Lists the records of the installed store RUNS times; false when the dialog listed a wrong count.
bool MeasureStore(const char* store) {
    if (!Populate()) {
        std::fprintf(stderr, "could not write the %d records\n", RECORDS);
        return false;
    }
    std::vector<Timing> opening;
    std::vector<Timing> rebuild;
    for (int run = 0; run < RUNS; ++run) {
        frmConfig dialog;
        opening.push_back(Measure([&] { dialog.load(); }));
        auto* list = dialog.findChild<QTreeWidget*>("lstHosts");
        if (list->topLevelItemCount() != RECORDS) {
            std::fprintf(stderr, "listed %d of %d records\n", list->topLevelItemCount(), RECORDS);
            return false;
        }
        // Remove acts from the Hosts page only; its buttons are disabled while it is hidden.
        dialog.findChild<QTabWidget*>("tabMain")->setCurrentIndex(1);
        auto* remove = dialog.findChild<QPushButton*>("cmdRemove");
        rebuild.push_back(Measure([&] { remove->click(); }));
        if (list->topLevelItemCount() != RECORDS - 1) {
            std::fprintf(stderr, "Remove did not remove one record\n");
            return false;
        }
        // The first row, host<run>, was removed; it comes back at the end of the enumeration, so
        // every run lists the same count and the next run removes host<run + 1>.
        WriteRecord(run);
    }
    std::printf("host list of %d stored records, %s, %d runs\n", RECORDS, store, RUNS);
    Report("  opening: load (settings + full list)", opening);
    Report("  Remove: two deletes + full rebuild", rebuild);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    zeb::ui::setMessageAnswerer(
        [](const zeb::ui::MessageRequest&) { return zeb::ui::MsgAnswer::Yes; });

    // The store file is what ZEB uses; the in-memory store shows how much of that is the dialog.
    QTemporaryDir folder;
    installBackend(std::make_unique<SqliteRegistry>(folder.filePath("registry.db").toStdString()));
    const bool fileListed = MeasureStore("store file");
    installBackend(std::make_unique<SqliteRegistry>(":memory:"));
    const bool memoryListed = MeasureStore("in-memory store");
    return fileListed && memoryListed ? 0 : 1;
}
