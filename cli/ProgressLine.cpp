// Formatting the progress line and its numbers.
#include "cli/ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kBarCells = 20;

/// k and n of a "Step k/n" caption; false for any other caption.
bool ParseStep(const std::string& step, int& k, int& n)
{
    return std::sscanf(step.c_str(), "Step %d/%d", &k, &n) == 2 && n > 0 && k >= 1 && k <= n;
}

} // namespace

std::string FormatClock(double seconds)
{
    const auto total = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    char text[32];
    if (total >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

std::string FormatBytes(uint64_t bytes)
{
    char text[32];
    if (bytes < 1000) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
        return text;
    }
    static const char* const kUnits[] = { "kB", "MB", "GB", "TB", "PB" };
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    std::snprintf(text, sizeof text,
        value < 10        ? "%.2f %s"
            : value < 100 ? "%.1f %s"
                          : "%.0f %s",
        value, kUnits[unit]);
    return text;
}

double JobFraction(const std::string& step, int32_t position, int32_t max)
{
    const double within = max > 0 ? std::clamp(double(position) / double(max), 0.0, 1.0) : 0.0;
    int k = 0;
    int n = 0;
    if (!ParseStep(step, k, n)) {
        return within;
    }
    return (k - 1 + within) / n;
}

std::string FormatProgressLine(const TProgressState& state, int columns)
{
    const double fraction = std::clamp(state.Fraction, 0.0, 1.0);
    const int percent = static_cast<int>(fraction * 100);
    const int filled = static_cast<int>(fraction * kBarCells);
    std::string line(1, '[');
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(kBarCells - filled), '-');
    line += ']';
    char number[16];
    std::snprintf(number, sizeof number, " %3d%%", percent);
    line += number;
    std::string subject = state.Subject;
    if (state.Count > 1) {
        subject += " (" + std::to_string(state.Index) + "/" + std::to_string(state.Count) + ")";
    }
    std::string timing = FormatClock(state.Elapsed);
    if (fraction >= 0.01 && fraction < 1.0 && state.Elapsed >= 1.0) {
        const double left = state.Elapsed * (1.0 - fraction) / fraction;
        timing += ", " + FormatClock(left) + " left";
    }
    if (state.Elapsed >= 1.0 && state.InputBytes > 0) {
        const double rate = double(state.InputBytes) * fraction / state.Elapsed;
        timing += ", " + FormatBytes(static_cast<uint64_t>(rate)) + "/s";
    }
    std::string tail = "  " + timing;
    if (!state.Step.empty()) {
        tail += "  " + state.Step;
    }
    // The file name gives way first: it is shortened from its start, keeping its end.
    const int room = columns - static_cast<int>(line.size() + tail.size()) - 2;
    if (room >= 8 && !subject.empty()) {
        if (static_cast<int>(subject.size()) > room) {
            subject = "..." + subject.substr(subject.size() - static_cast<size_t>(room - 3));
        }
        line += "  " + subject;
    }
    line += tail;
    if (columns > 0 && static_cast<int>(line.size()) > columns) {
        line.resize(static_cast<size_t>(columns));
    }
    return line;
}
