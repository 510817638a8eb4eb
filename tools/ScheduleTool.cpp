#include "ScheduleTool.h"

#include "AtomicFile.h"
#include "Calendar.h"
#include "MarketCalendar.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <ostream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr int kMaxYears = 200;

struct BadInput : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

int ParseYear(const std::string &text, const char *what)
{
    if (text.empty() || text.size() > 4
        || text.find_first_not_of("0123456789") != std::string::npos)
        throw BadInput(std::string(what) + " must be a year from 1 to 9999, not \"" + text + "\"");
    const int year = std::stoi(text);
    if (year < 1)
        throw BadInput(std::string(what) + " must be a year from 1 to 9999, not \"" + text + "\"");
    return year;
}

int64_t ParseDate(const std::string &text)
{
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-'
        || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3
        || text.find_first_not_of("0123456789-") != std::string::npos || !IsValidDate(y, m, d))
        throw BadInput("\"" + text + "\" is not a date of the form YYYY-MM-DD");
    return DaysFromCivil(y, m, d);
}

std::string IsoDate(int64_t day)
{
    const CivilDate c = CivilFromDays(day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.Year, c.Month, c.Day);
    return buf;
}

std::string UsDate(int64_t day)
{
    const CivilDate c = CivilFromDays(day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.Month, c.Day, c.Year);
    return buf;
}

bool IsWeekend(int64_t day)
{
    const int w = DayOfWeek(day);
    return w == 0 || w == 6;
}

std::string Generate(const std::vector<std::string> &args)
{
    if (args.size() < 2)
        throw BadInput("usage: quorvane-schedule FROM_YEAR TO_YEAR [--closed YYYY-MM-DD]... "
                       "[--early YYYY-MM-DD]... [-o FILE]");
    const int from = ParseYear(args[0], "FROM_YEAR");
    const int to = ParseYear(args[1], "TO_YEAR");
    if (from > to)
        throw BadInput("FROM_YEAR " + args[0] + " is after TO_YEAR " + args[1]);
    if (to - from + 1 > kMaxYears)
        throw BadInput("the span " + args[0] + " to " + args[1] + " is longer than "
            + std::to_string(kMaxYears) + " years");

    const int64_t first = DaysFromCivil(from, 1, 1);
    const int64_t last = DaysFromCivil(to, 12, 31);
    std::map<int64_t, MarketHoliday> special;
    std::string command = "quorvane-schedule " + args[0] + " " + args[1];
    std::vector<std::pair<int64_t, MarketHoliday::Kind>> oneOffs;
    for (size_t i = 2; i < args.size(); i += 2) {
        const std::string &flag = args[i];
        if (flag != "--closed" && flag != "--early")
            throw BadInput("unknown argument \"" + flag + "\"");
        if (i + 1 >= args.size())
            throw BadInput(flag + " needs a date YYYY-MM-DD");
        const int64_t day = ParseDate(args[i + 1]);
        if (day < first || day > last)
            throw BadInput(args[i + 1] + " lies outside " + args[0] + " to " + args[1]);
        if (IsWeekend(day))
            throw BadInput(args[i + 1] + " is a weekend day, when the market is closed anyway");
        oneOffs.push_back(
            {day, flag == "--closed" ? MarketHoliday::Closed : MarketHoliday::EarlyClose});
        command += " " + flag + " " + args[i + 1];
    }

    for (int year = from; year <= to; ++year)
        for (MarketHoliday &h : ExchangeHolidays(year))
            special[h.Day] = h;
    // One-off closures (days of mourning and the like) override the rules of that day.
    for (const auto &[day, kind] : oneOffs)
        special[day] = {
            day, kind, kind == MarketHoliday::Closed ? "special closure" : "special early close"};

    std::string text;
    text.reserve(static_cast<size_t>(last - first + 1) * 44 + 256);
    text += "# US stock market regular trading sessions, US Eastern time.\n";
    text += "# Made from the exchange's holiday rules by: " + command + "\n";
    for (int64_t day = first; day <= last; ++day) {
        const auto it = special.find(day);
        if (it != special.end()) {
            const MarketHoliday &h = it->second;
            text += "# " + IsoDate(day)
                + (h.Type == MarketHoliday::Closed ? " closed: " : " early close: ") + h.Name
                + "\n";
            if (h.Type == MarketHoliday::Closed)
                continue;
        }
        if (IsWeekend(day))
            continue;
        const std::string date = UsDate(day);
        const bool early = it != special.end();
        text += date + " 9:30 am - " + date + (early ? " 1:00 pm\n" : " 4:00 pm\n");
    }
    return text;
}

// "-o FILE" taken out of args; empty when absent.
std::string OutputFile(std::vector<std::string> &args)
{
    std::string file;
    for (size_t i = 0; i < args.size();) {
        if (args[i] != "-o") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty())
            throw BadInput("-o needs a file name");
        if (!file.empty())
            throw BadInput("-o is given twice");
        file = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
            args.begin() + static_cast<std::ptrdiff_t>(i + 2));
    }
    return file;
}

// The whole text goes to a new file beside path, which then takes path's place in one step: the
// bar never reads half a calendar, and a failure leaves the old one as it was.
std::string WriteCalendar(const std::string &path, const std::string &text)
{
    std::string target;
    if (!LinkTarget(path, target))
        return std::strerror(ELOOP);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old
    {
    };
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? old.st_mode & 07777 : 0666 & ~mask;
    return ReplaceFile(target, text, mode) ? "" : std::strerror(errno);
}

} // namespace

int RunScheduleTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    std::string text, file;
    try {
        std::vector<std::string> rest = args;
        file = OutputFile(rest);
        text = Generate(rest);
    } catch (const BadInput &e) {
        err << "quorvane-schedule: " << e.what() << "\n";
        return 2;
    }
    if (!file.empty()) {
        const std::string failure = WriteCalendar(file, text);
        if (failure.empty())
            return 0;
        err << "quorvane-schedule: cannot write " << file << ": " << failure << "\n";
        return 1;
    }
    out << text;
    out.flush();
    return out ? 0 : 1;
}

} // namespace quorvane
