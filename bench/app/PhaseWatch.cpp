// Reads regions of the screen every few milliseconds and prints a line each time one of them
// changes: "<CLOCK_REALTIME ns> <region> <lit pixels>". Reading the root window sees a window
// from the moment it is mapped, so the same watch tells when the first countdown appeared and
// when each later second turned on screen.
//
// Usage: phase_watch SECONDS POLL_MS X Y W H [X Y W H ...]

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string_view>
#include <vector>

namespace {

int64_t ClockNs(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Region
{
    int16_t x, y;
    uint16_t w, h;
    size_t hash = 0;
    bool seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 7 || (argc - 3) % 4 != 0) {
        std::fprintf(stderr, "usage: phase_watch SECONDS POLL_MS X Y W H [X Y W H ...]\n");
        return 2;
    }
    const int64_t end = ClockNs(CLOCK_MONOTONIC) + static_cast<int64_t>(std::atof(argv[1]) * 1e9);
    const auto pollNs = static_cast<int64_t>(std::atof(argv[2]) * 1e6);
    std::vector<Region> regions;
    for (int i = 3; i + 3 < argc; i += 4)
        regions.push_back(
            {static_cast<int16_t>(std::atoi(argv[i])), static_cast<int16_t>(std::atoi(argv[i + 1])),
                static_cast<uint16_t>(std::atoi(argv[i + 2])),
                static_cast<uint16_t>(std::atoi(argv[i + 3]))});

    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "phase_watch: no display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;

    // Polls on a fixed grid of the monotonic clock, so a slow read does not shift the rest.
    int64_t next = ClockNs(CLOCK_MONOTONIC);
    while (next < end) {
        for (size_t r = 0; r < regions.size(); ++r) {
            Region &g = regions[r];
            auto cookie
                = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, g.x, g.y, g.w, g.h, ~0u);
            xcb_get_image_reply_t *reply = xcb_get_image_reply(c, cookie, nullptr);
            // The instant the picture was known to hold, not when the line is printed.
            const int64_t at = ClockNs(CLOCK_REALTIME);
            if (!reply)
                continue;
            const uint8_t *data = xcb_get_image_data(reply);
            const int len = xcb_get_image_data_length(reply);
            const std::string_view bytes(
                reinterpret_cast<const char *>(data), static_cast<size_t>(len));
            const size_t hash = std::hash<std::string_view> {}(bytes);
            if (!g.seen || hash != g.hash) {
                int lit = 0;
                for (int i = 0; i + 3 < len; i += 4)
                    lit += data[i] > 0x80 || data[i + 1] > 0x80 || data[i + 2] > 0x80;
                std::printf("%lld %zu %d\n", static_cast<long long>(at), r, lit);
                std::fflush(stdout);
                g.hash = hash;
                g.seen = true;
            }
            std::free(reply);
        }
        next += pollNs;
        const int64_t now = ClockNs(CLOCK_MONOTONIC);
        if (next < now)
            next = now;
        const timespec until {static_cast<time_t>(next / 1000000000), next % 1000000000};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    }
    xcb_disconnect(c);
    return 0;
}
