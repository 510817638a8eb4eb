#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace quorvane {

// What the options dialog's controls hold, one member per control and named after it: check
// states, field texts as typed (single-byte), one check state per alarm list item in list order.
// The initial values are a freshly built dialog's, before its creation handler ticks any alarm.
struct TOptionValues
{
    static constexpr size_t AlarmItems = 10;
    // The default server host, for the initial field and "Default".
    static constexpr const char *DefaultServer = "pool.ntp.org";
    // The check lists' items; the number before the first blank names each item's key.
    static constexpr const char *OpeningItems[AlarmItems] = {"0 minutes before opening (opened)",
        "1 minute before opening", "2 minutes before opening", "3 minutes before opening",
        "5 minutes before opening", "10 minutes before opening", "15 minutes before opening",
        "20 minutes before opening", "30 minutes before opening", "60 minutes before opening"};
    static constexpr const char *ClosingItems[AlarmItems] = {"0 minutes before closing (closed)",
        "1 minute before closing", "2 minutes before closing", "3 minutes before closing",
        "5 minutes before closing", "10 minutes before closing", "15 minutes before closing",
        "20 minutes before closing", "30 minutes before closing", "60 minutes before closing"};

    bool cb1 = true;
    std::string Edit1 = DefaultServer;
    std::string ed1 = "123";
    std::array<bool, AlarmItems> clb1 {};
    std::array<bool, AlarmItems> clb2 {};
    bool cb2 = false;
    std::string ed3 = "15";
    std::string ed4 = "60";
    bool cb3 = true;
    std::string ed5 = "50";
    bool cb4 = false;
};

} // namespace quorvane
