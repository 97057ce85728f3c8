// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// How close ZEB's dialogs come to the floor: floor_dialog, the least Qt 6 dialog, built beside
// zeb. Timed: zeb started to its selection dialog with 2, 10,000 and 100,000 host records, and a
// click on the selection dialog's link to the configuration dialog with 10,000 and 100,000. The
// store is filled as an administrator fills it, by zeb-reg import (ten values a record).
//
// Measured from outside, with nothing added to zeb: a private X server (Xvfb) reports on its root
// window each window it maps, and the clock runs from the action (spawning the program, sending
// the click) to the MapNotify of the dialog's window. Every round takes each case once, the floor
// included, so that the load of a shared machine falls on all of them alike; the ratio of each
// case's median to the floor's median is set against its goal. The click is sent once zeb has
// gone idle after showing its dialog, as a person's would be. `bench_dialogs ROUNDS` sets the
// number of rounds (11 unless told).
#include "bench_app_support.h"
#include "bench_host_list.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* FLOOR_TITLE = "Floor dialog";
constexpr const char* SELECT_TITLE = "Orvane Terminal Emulator";
constexpr const char* CONFIG_TITLE = "Orvane Terminal Emulator Configuration Utility";
// A point on the first line of the selection dialog's link, in pixels: the frame at (120, 120)
// twips and the link at (180, 1440) within it.
constexpr int LINK_X = (120 + 180) / 15 + 40;
constexpr int LINK_Y = (120 + 1440) / 15 + 8;

struct Case {
    const char* what;
    int records;
    double goal; // the highest ratio to the floor allowed (none for the floor itself)
    std::vector<double> times{};
};

// Settings with typed names permitted, and `records` host records, imported into a new store.
bool FillStore(const std::string& store, const fs::path& folder, int records) {
    if (!bench::ImportHostList(store, folder, records)) {
        return false;
    }
    zeb::reg::SqliteRegistry backend(store);
    std::istringstream in;
    std::ostringstream out;
    zeb::regtool::Console console{in, out, out, false};
    const std::string settings = std::string("HKLM\\") + zeb::layout::SETTINGS_KEY;
    return zeb::regtool::runZebReg(backend,
                                   {"add", settings, "/v", zeb::layout::ENABLE_NR, "/d",
                                    zeb::layout::ENABLE_NR_YES, "/f"},
                                   console) == 0;
}

bool HasTitle(Display* display, Window window, const char* title) {
    char* name = nullptr;
    const bool same =
        XFetchName(display, window, &name) != 0 && name != nullptr && std::strcmp(name, title) == 0;
    XFree(name);
    return same;
}

// Milliseconds from `start` until the X server maps a window titled `title` (0 when none came
// within 60 seconds); `mapped` is that window.
double WaitForMap(Display* display, const char* title, Clock::time_point start, Window& mapped) {
    const auto deadline = start + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && HasTitle(display, event.xmap.window, title)) {
                mapped = event.xmap.window;
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            }
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 100);
    }
    return 0;
}

// The processor time the process has used, in clock ticks.
long long ProcessorTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name (which may hold blanks) end with ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long user = 0;
    long long system = 0;
    for (int number = 3; fields >> field && number <= 15; ++number) {
        user = number == 14 ? std::stoll(field) : user;
        system = number == 15 ? std::stoll(field) : system;
    }
    return user + system;
}

// Waits until the process has used no processor time for two spells of 50 ms running.
void WaitUntilIdle(pid_t pid) {
    long long before = ProcessorTicks(pid);
    for (int quiet = 0; quiet < 2;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long long now = ProcessorTicks(pid);
        quiet = now == before ? quiet + 1 : 0;
        before = now;
    }
}

// A left click at (x, y) of the window, as the X server would deliver a person's.
void Click(Display* display, Window window, int x, int y) {
    XEvent event{};
    XButtonEvent& button = event.xbutton;
    button.display = display;
    button.window = window;
    button.root = DefaultRootWindow(display);
    button.time = CurrentTime;
    button.x = x;
    button.y = y;
    button.same_screen = True;
    button.button = Button1;
    button.type = ButtonPress;
    XSendEvent(display, window, True, ButtonPressMask, &event);
    button.type = ButtonRelease;
    button.state = Button1Mask;
    XSendEvent(display, window, True, ButtonReleaseMask, &event);
    XFlush(display);
}

// Runs `program`, records the time to its dialog in `started` and, when given, the time from a
// click on the link to the configuration dialog in `viaLink`. False when a dialog never came.
bool RunOnce(Display* display, const std::string& program, const char* title, Case& started,
             Case* viaLink, const char* argument = nullptr) {
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (bench::SpawnQuietly(&pid, program, argv) != 0) {
        return false;
    }
    Window dialog = 0;
    const double toDialog = WaitForMap(display, title, start, dialog);
    double toConfig = 0;
    if (toDialog > 0 && viaLink != nullptr) {
        WaitUntilIdle(pid);
        const auto click = Clock::now();
        Click(display, dialog, LINK_X, LINK_Y);
        toConfig = WaitForMap(display, CONFIG_TITLE, click, dialog);
        viaLink->times.push_back(toConfig);
    }
    started.times.push_back(toDialog);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return toDialog > 0 && (viaLink == nullptr || toConfig > 0);
}

std::string LoadAverage() {
    std::ifstream load("/proc/loadavg");
    std::string one, five, fifteen;
    load >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

} // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const fs::path here = fs::canonical("/proc/self/exe").parent_path();
    const std::string zeb = (here / "zeb").string();
    const std::string floor = (here / "floor_dialog").string();
    const bench::PrivateXServer server;
    Display* display = server.display().empty() ? nullptr : XOpenDisplay(server.display().c_str());
    if (display == nullptr) {
        std::printf(
            "bench_dialogs: no private X server (Xvfb, make deps-test); nothing measured\n");
        return 0;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    const fs::path folder =
        fs::temp_directory_path() / ("zeb-bench-dialogs-" + std::to_string(getpid()));
    fs::create_directories(folder);
    // The floor, zeb started at each size, then the clicks at the two larger sizes.
    std::vector<Case> cases = {{"floor: least Qt 6 dialog shown", 0, 0},
                               {"zeb start to selection dialog", 2, 1.15},
                               {"zeb start to selection dialog", 10000, 1.3},
                               {"zeb start to selection dialog", 100000, 1.5},
                               {"link click to configuration dialog", 10000, 1.5},
                               {"link click to configuration dialog", 100000, 3.0},
                               {"for reference: empty window, no text", 0, 0}};
    const int sizes[] = {2, 10000, 100000};
    std::vector<std::string> stores;
    for (const int records : sizes) {
        stores.push_back((folder / ("registry-" + std::to_string(records) + ".db")).string());
        if (!FillStore(stores.back(), folder, records)) {
            std::printf("bench_dialogs: the import of %d records failed\n", records);
            return 1;
        }
    }
    const std::string loadBefore = LoadAverage();
    // One run of each program: the runs in order, the first the floor, then zeb at each size,
    // then the floor without its text.
    constexpr int PROGRAMS = 5;
    const auto runProgram = [&](int which) {
        if (which == 0) {
            return RunOnce(display, floor, FLOOR_TITLE, cases[0], nullptr);
        }
        if (which == 4) {
            return RunOnce(display, floor, FLOOR_TITLE, cases[6], nullptr, "--empty");
        }
        setenv("ZEB_REGISTRY", stores[which - 1].c_str(), 1);
        return RunOnce(display, zeb, SELECT_TITLE, cases[which],
                       which > 1 ? &cases[which + 2] : nullptr);
    };
    for (int which = 0; which < PROGRAMS; ++which) { // warms the file caches; not counted
        runProgram(which);
    }
    for (Case& each : cases) {
        each.times.clear();
    }
    for (int round = 0; round < rounds; ++round) {
        for (int step = 0; step < PROGRAMS; ++step) { // a different program leads each round
            if (!runProgram((round + step) % PROGRAMS)) {
                std::printf("bench_dialogs: a dialog did not appear\n");
                return 1;
            }
        }
    }
    const double floorMedian = bench::Median(cases[0].times);
    std::printf("dialog shown (X server MapNotify), %d interleaved rounds; load average %s before, "
                "%s after\n",
                rounds, loadBefore.c_str(), LoadAverage().c_str());
    bool met = true;
    for (const Case& each : cases) {
        const double ratio = bench::Median(each.times) / floorMedian;
        const auto [least, most] = std::minmax_element(each.times.begin(), each.times.end());
        const bool reached = each.goal == 0 || ratio <= each.goal;
        std::printf("  %-36s %6d records: median %7.1f ms (min %7.1f, max %7.1f), ratio %5.2f",
                    each.what, each.records, bench::Median(each.times), *least, *most, ratio);
        if (each.goal > 0) {
            std::printf(" (goal <= %.2f)%s", each.goal, reached ? "" : "  NOT MET");
        }
        std::printf("\n");
        met = met && reached;
    }
    std::printf("%s\n", met ? "every goal met" : "some goal not met");
    XCloseDisplay(display);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
