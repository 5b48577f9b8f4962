// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time of the window program against a bare Qt window of the same
// size, in alternating runs: from starting the process to its window being
// mapped by the display, and to the last drawing into it in the first
// 300 ms (its first complete picture). Not a test: run it by hand under a
// display, e.g.
//     xvfb-run -a build/tests/bench/bench_startup [runs [window-program]]
// The window program is this build's tavlo unless another is named.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Times {
    double mapped = -1;
    double painted = -1;
};

// Watches new top-level windows on the display: their mapping, and every
// drawing into them (Damage events), without asking anything of the program.
class Display {
public:
    Display()
        : m_c(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(m_c))
            return;
        const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_c, &xcb_damage_id);
        if (!damage || !damage->present)
            return;
        m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);
        m_ok = true;
    }
    ~Display() { xcb_disconnect(m_c); }
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    bool ok() const { return m_ok && !xcb_connection_has_error(m_c); }

    Times run(const std::string &program)
    {
        settle();
        Times times;
        const double start = now();
        const pid_t pid = fork();
        if (pid == 0) {
            execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        xcb_window_t window = 0;
        while (now() - start < (times.mapped < 0 ? GiveUpMs : times.mapped + SampleMs)) {
            xcb_generic_event_t *event =
                next(start + (times.mapped < 0 ? GiveUpMs : times.mapped + SampleMs));
            if (!event)
                continue;
            const double at = now() - start;
            const int type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                // Watched from its creation, so that no drawing is missed.
                xcb_damage_create(m_c, xcb_generate_id(m_c),
                                  reinterpret_cast<xcb_create_notify_event_t *>(event)->window,
                                  XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
                xcb_flush(m_c);
            } else if (type == XCB_MAP_NOTIFY && times.mapped < 0) {
                window = reinterpret_cast<xcb_map_notify_event_t *>(event)->window;
                times.mapped = at;
            } else if (type == m_damageEvent && window != 0 &&
                       reinterpret_cast<xcb_damage_notify_event_t *>(event)->drawable == window) {
                times.painted = at;
            }
            free(event);
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return times;
    }

private:
    static constexpr double SampleMs = 300; // less than a text cursor's blink
    static constexpr double GiveUpMs = 10000;

    // The next event, or nullptr once the time (since the clock's epoch) is up.
    xcb_generic_event_t *next(double until)
    {
        while (true) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
                return event;
            const double left = until - now();
            if (left <= 0)
                return nullptr;
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left) + 1);
        }
    }

    // The previous program's last events are read and dropped.
    void settle()
    {
        usleep(50000);
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
            free(event);
    }

    xcb_connection_t *m_c = nullptr;
    int m_damageEvent = -1;
    bool m_ok = false;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 21;
    Display display;
    if (!display.ok()) {
        std::fputs("no display with the Damage extension: run it under one, e.g. with "
                   "xvfb-run -a\n",
                   stderr);
        return 1;
    }
    const std::string programs[] = {TAVLO_BARE_WINDOW, argc > 2 ? argv[2] : TAVLO_WINDOW};
    // Qt warns at every start without a runtime folder; give them one.
    std::string runtime = "/tmp/bench_startup-XXXXXX";
    const bool ownRuntime = !getenv("XDG_RUNTIME_DIR") && mkdtemp(runtime.data());
    if (ownRuntime)
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::vector<Times> results[2];
    for (const std::string &program : programs)
        display.run(program); // libraries and fonts into the cache
    for (int run = 0; run < runs; ++run)
        for (int k = 0; k < 2; ++k)
            results[k].push_back(display.run(programs[k]));
    if (ownRuntime)
        rmdir(runtime.c_str());
    double mapped[2];
    double painted[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<double> m;
        std::vector<double> p;
        for (const Times &t : results[k]) {
            if (t.mapped < 0 || t.painted < 0) {
                std::fprintf(stderr, "%s showed no window\n", programs[k].c_str());
                return 1;
            }
            m.push_back(t.mapped);
            p.push_back(t.painted);
        }
        mapped[k] = median(m);
        painted[k] = median(p);
    }
    std::printf("process start to window, median of %d runs:\n", runs);
    std::printf("                    mapped          painted\n");
    std::printf("  bare Qt window  %7.1f ms       %7.1f ms\n", mapped[0], painted[0]);
    std::printf("  tavlo           %7.1f ms (%.2f) %7.1f ms (%.2f)\n", mapped[1],
                mapped[1] / mapped[0], painted[1], painted[1] / painted[0]);
    return 0;
}
