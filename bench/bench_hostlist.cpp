// How long the configuration dialog takes to list a large store: 10,000 host records in a store
// file, listed when the dialog opens and listed again after a removal.
//
// Measured through the dialog's public faces only: Load() is everything Display does before it
// shows the dialog (the host list is nearly all of it), and a confirmed Remove deletes one record
// and rebuilds the whole list.
#include "CRegKey.h"
#include "MessageBox.h"
#include "SqliteRegistry.h"
#include "StoreLayout.h"
#include "frmConfig.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    status |= host.Create(HKEY_LOCAL_MACHINE, std::string(layout::HOSTS_KEY) + "\\" + name, 0,
                          WRITER_ACCESS);
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

double Milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-46s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", what, times.front(),
                times[times.size() / 2], times.back());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir folder;
    installBackend(std::make_unique<SqliteRegistry>(folder.filePath("registry.db").toStdString()));
    if (!Populate()) {
        std::fprintf(stderr, "could not write the %d records\n", RECORDS);
        return 1;
    }
    zeb::ui::setMessageAnswerer(
        [](const zeb::ui::MessageRequest&) { return zeb::ui::MsgAnswer::Yes; });

    std::vector<double> opening;
    std::vector<double> rebuild;
    int rows = 0;
    for (int run = 0; run < RUNS; ++run) {
        frmConfig dialog;
        opening.push_back(Milliseconds([&] { dialog.Load(); }));
        rows = dialog.findChild<QTreeWidget*>("lstHosts")->topLevelItemCount();
        auto* remove = dialog.findChild<QPushButton*>("cmdRemove");
        rebuild.push_back(Milliseconds([&] { remove->click(); }));
        // The first row, host<run>, was removed; it comes back at the end of the enumeration, so
        // every run lists the same count and the next run removes host<run + 1>.
        WriteRecord(run);
    }
    std::printf("host list of %d stored records (store file, %d runs)\n", rows, RUNS);
    Report("opening: Load (settings + full list)", opening);
    Report("Remove: two deletes + full rebuild", rebuild);
    return rows == RECORDS ? 0 : 1;
}
