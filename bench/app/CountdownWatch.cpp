// Watches one region of a window from outside and prints a line each time its pixels change:
// "<ms since the CLOCK_MONOTONIC instant given> <non-background pixels>". The network benchmark
// reads these lines to tell when the countdown first showed and how long it stood still.
//
// Usage: countdown_watch WINDOW X Y W H SECONDS START_NS

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string_view>

namespace {

int64_t MonotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 8) {
        std::fprintf(stderr, "usage: countdown_watch WINDOW X Y W H SECONDS START_NS\n");
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const auto x = static_cast<int16_t>(std::atoi(argv[2]));
    const auto y = static_cast<int16_t>(std::atoi(argv[3]));
    const auto w = static_cast<uint16_t>(std::atoi(argv[4]));
    const auto h = static_cast<uint16_t>(std::atoi(argv[5]));
    const int64_t end = MonotonicNs() + static_cast<int64_t>(std::atof(argv[6]) * 1e9);
    const int64_t start = std::strtoll(argv[7], nullptr, 10);

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "countdown_watch: no display\n");
        return 1;
    }
    size_t last = 0;
    bool first = true;
    while (MonotonicNs() < end) {
        auto cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, x, y, w, h, ~0u);
        xcb_get_image_reply_t *reply = xcb_get_image_reply(c, cookie, nullptr);
        if (reply) {
            const uint8_t *data = xcb_get_image_data(reply);
            const int len = xcb_get_image_data_length(reply);
            const std::string_view bytes(
                reinterpret_cast<const char *>(data), static_cast<size_t>(len));
            // Pixels brighter than the bar's dark background are text.
            int lit = 0;
            for (int i = 0; i + 3 < len; i += 4)
                lit += data[i] > 0x80 || data[i + 1] > 0x80 || data[i + 2] > 0x80;
            const size_t hash = std::hash<std::string_view> {}(bytes);
            if (first || hash != last) {
                std::printf("%.1f %d\n", static_cast<double>(MonotonicNs() - start) / 1e6, lit);
                std::fflush(stdout);
                last = hash;
                first = false;
            }
            std::free(reply);
        }
        const timespec pause {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    xcb_disconnect(c);
    return 0;
}
