// xping: how long a program's event loop keeps it from answering, as its window manager would
// see it. Sends _NET_WM_PING to a window over and over, one at a time, and times each answer
// (a client that takes part answers by sending the ping back to the root window from its event
// loop, so an answer is late by as long as a handler runs).
//
//   xping WINDOW [PERIOD_MS]
//   xping WINDOW once
//
// Runs until it gets SIGTERM or SIGINT, then prints "pings N longest MS" on stdout, counting a
// ping still unanswered at the end as answered then. With "once" it sends a single ping and
// ends when it is answered (status 0), or after ten seconds (status 1): since a client handles
// its events in order, the answer also means that everything sent to it before has been dealt
// with. Exit status 2 on bad use or no display.
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

std::atomic<bool> gStop{false};

void stop(int)
{
    gStop = true;
}

xcb_atom_t intern(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: xping WINDOW [PERIOD_MS]\n");
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const bool once = argc == 3 && std::strcmp(argv[2], "once") == 0;
    const int period = argc == 3 && !once ? std::atoi(argv[2]) : 10;

    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "xping: no X display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t protocols = intern(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = intern(c, "_NET_WM_PING");
    // Qt sends its answers to the root window for the clients that listen to its structure
    // (and to the window manager).
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);

    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);

    long pings = 0;
    double longest = 0;
    // Apart from the serials of any other xping watching the same window.
    uint32_t serial = once ? 0x80000000u + static_cast<uint32_t>(getpid()) : 0;
    const auto started = std::chrono::steady_clock::now();
    while (!gStop) {
        ++serial;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = ping;
        event.data.data32[1] = serial;
        event.data.data32[2] = window;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<char *>(&event));
        xcb_flush(c);
        const auto sent = std::chrono::steady_clock::now();

        bool answered = false;
        while (!answered && !gStop) {
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&fd, 1, 5);
            while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
                if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    const auto *m = reinterpret_cast<xcb_client_message_event_t *>(e);
                    answered |= m->type == protocols && m->data.data32[0] == ping &&
                                m->data.data32[1] == serial;
                }
                std::free(e);
            }
            if (once && msSince(started) > 10'000) {
                xcb_disconnect(c);
                return 1;
            }
            if (xcb_connection_has_error(c)) {
                std::fprintf(stderr, "xping: lost the X display\n");
                return 2;
            }
        }
        const double ms = msSince(sent);
        longest = ms > longest ? ms : longest;
        // The slow answers, with the wall-clock time they were asked at, for the log.
        if (ms >= 50) {
            const auto asked = std::chrono::system_clock::now() -
                               std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                   std::chrono::duration<double, std::milli>(ms));
            std::fprintf(stderr, "xping: asked at %.3f, answered after %.1f ms\n",
                         std::chrono::duration<double>(asked.time_since_epoch()).count(), ms);
        }
        ++pings;
        if (once)
            gStop = true;
        while (!gStop && msSince(sent) < period) {
            pollfd none{-1, 0, 0};
            poll(&none, 0, 1);
        }
    }
    std::printf("pings %ld longest %.1f\n", pings, longest);
    xcb_disconnect(c);
    return 0;
}
