#include "Schedule.h"

#include <cstdint>

namespace quorvane {

namespace {

bool IsControlOrBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string TrimControls(const std::string &s, size_t begin, size_t end)
{
    while (begin < end && IsControlOrBlank(s[begin]))
        ++begin;
    while (end > begin && IsControlOrBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

// Reads one side of a line from left to right. Only the space character separates items.
class DateTimeReader
{
public:
    DateTimeReader(const std::string &text, int currentYear)
        : s(text)
        , n(text.size())
        , year(currentYear)
    { }

    TDateTime Read()
    {
        double date = 0;
        if (ReadDatePart(date)) {
            if (p == n)
                return date;
            double time = 0;
            if (!ReadTimePart(time))
                return 0;
            return date >= 0 ? date + time : date - time;
        }
        p = 0;
        double time = 0;
        if (ReadTimePart(time) && p == n)
            return time;
        return 0;
    }

private:
    void SkipBlanks()
    {
        while (p < n && s[p] == ' ')
            ++p;
    }

    // Digits are taken while the value is below 1000, so a number ends after its fourth
    // significant digit and a fifth digit starts the next item.
    bool Number(int &value, int &length)
    {
        const size_t start = p;
        SkipBlanks();
        value = 0;
        length = 0;
        while (p < n && s[p] >= '0' && s[p] <= '9' && value < 1000) {
            value = value * 10 + (s[p] - '0');
            ++length;
            ++p;
        }
        if (length == 0) {
            p = start;
            return false;
        }
        return true;
    }

    bool Separator(char c)
    {
        const size_t start = p;
        SkipBlanks();
        if (p < n && s[p] == c) {
            ++p;
            return true;
        }
        p = start;
        return false;
    }

    // 0 none, 1 am, 2 pm. Letters right after the marker do not stop the match.
    int Marker()
    {
        const size_t start = p;
        SkipBlanks();
        if (p + 1 < n && (s[p + 1] == 'm' || s[p + 1] == 'M')) {
            const char c = s[p];
            if (c == 'a' || c == 'A' || c == 'p' || c == 'P') {
                p += 2;
                return c == 'a' || c == 'A' ? 1 : 2;
            }
        }
        p = start;
        return 0;
    }

    bool ReadDatePart(double &value)
    {
        int month, day, y, length;
        if (!Number(month, length) || !Separator('/') || !Number(day, length))
            return false;
        y = year;
        if (Separator('/')) {
            if (!Number(y, length))
                return false;
            if (length <= 2)
                y += 100 * (year / 100);
        }
        Separator('/');
        SkipBlanks();
        if (!IsValidDate(y, month, day))
            return false;
        value = static_cast<double>(DaysFromCivil(y, month, day));
        return true;
    }

    bool ReadTimePart(double &value)
    {
        int marker = Marker();
        if (marker != 0)
            SkipBlanks();
        int hour, minute = 0, second = 0, length;
        if (!Number(hour, length))
            return false;
        if (Separator(':')) {
            if (!Number(minute, length))
                return false;
            if (Separator(':') && !Number(second, length))
                return false;
        }
        if (marker == 0)
            marker = Marker();
        if (marker != 0) {
            if (hour < 1 || hour > 12)
                return false;
            hour %= 12;
            if (marker == 2)
                hour += 12;
        }
        SkipBlanks();
        if (hour > 23 || minute > 59 || second > 59)
            return false;
        value = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0) / 86400000.0;
        return true;
    }

    const std::string &s;
    const size_t n;
    const int year;
    size_t p = 0;
};

} // namespace

std::vector<std::string> SplitScheduleLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t end = text.find('\0');
    if (end == std::string::npos)
        end = text.size();
    size_t start = 0;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text, start, i - start);
        if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        lines.emplace_back(text, start, end - start);
    return lines;
}

TDateTime ParseScheduleDateTime(const std::string &text, int currentYear)
{
    return DateTimeReader(text, currentYear).Read();
}

void ParseSchedule(const std::vector<std::string> &lines, TSchedule &sessions, int currentYear)
{
    sessions.clear();
    for (const std::string &line : lines) {
        const size_t hash = line.find('#');
        const std::string body
            = TrimControls(line, 0, hash == std::string::npos ? line.size() : hash);
        const size_t dash = body.find('-');
        if (body.empty() || dash == std::string::npos)
            continue;
        const double open = ParseScheduleDateTime(TrimControls(body, 0, dash), currentYear);
        const double close
            = ParseScheduleDateTime(TrimControls(body, dash + 1, body.size()), currentYear);
        if (open == 0 || close == 0 || open >= close)
            continue;
        if (!sessions.empty() && sessions.back().Close > open)
            continue;
        sessions.push_back({open, close});
    }
}

} // namespace quorvane
