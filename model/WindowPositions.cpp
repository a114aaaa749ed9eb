#include "model/WindowPositions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <sstream>

namespace Model {
namespace {

// A decimal field, clamped to the 32-bit range; false when it holds no digit.
bool ParseField(const std::string& field, int& out) {
    const char* begin = field.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin) {
        return false;
    }
    out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    return true;
}

}  // namespace

std::vector<WindowPlacement> ParsePositionFile(const std::string& text) {
    const std::string head = text.substr(0, 256);
    const bool single = std::count(head.begin(), head.end(), '\n') < 2;

    std::vector<WindowPlacement> windows;
    std::set<int> ids;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && windows.size() < kMaxCalendarWindows) {
        std::vector<int> fields;
        std::istringstream fs(line);
        std::string field;
        while (std::getline(fs, field, ',') && fields.size() < 6) {
            int value = 0;
            if (!ParseField(field, value)) {
                break;
            }
            fields.push_back(value);
        }
        if (fields.size() < 4 || !ids.insert(fields[0]).second) {
            continue;
        }
        WindowPlacement w;
        w.id = fields[0];
        w.x = fields[1];
        w.y = fields[2];
        w.monthOffset = single ? 0 : fields[3];
        if (fields.size() >= 6) {
            w.width = fields[4];
            w.height = fields[5];
        }
        windows.push_back(w);
    }
    return windows;
}

std::string FormatPositionFile(const std::vector<WindowPlacement>& windows) {
    std::string out;
    for (const WindowPlacement& w : windows) {
        out += std::to_string(w.id) + "," + std::to_string(w.x) + "," + std::to_string(w.y) + "," +
               std::to_string(w.monthOffset) + "," + std::to_string(w.width) + "," +
               std::to_string(w.height) + "\n";
    }
    return out;
}

void KeepOnScreen(WindowPlacement& w, const ScreenRect& screen) {
    // 64-bit sums: the stored values may be anything.
    const long long x = w.x, y = w.y, width = w.width, height = w.height;
    if (x + 10 < screen.left) {
        w.x = screen.left;
    } else if (x + width >= static_cast<long long>(screen.right) + 10) {
        w.x = static_cast<int>(std::clamp<long long>(screen.right - width, INT_MIN, INT_MAX));
    }
    if (y < static_cast<long long>(screen.top) + 10) {
        w.y = screen.top;
    } else if (y + height + 10 > screen.bottom) {
        w.y = static_cast<int>(std::clamp<long long>(screen.bottom - height, INT_MIN, INT_MAX));
    }
}

void NewWindowPosition(bool windowsExist, int cursorX, int cursorY, const ScreenRect& screen,
                       int& x, int& y) {
    if (windowsExist) {
        x = cursorX - 10;
        y = cursorY - 10;
    } else {
        x = screen.right - 320;
        y = 10;
    }
}

void AlignWindows(std::vector<AlignItem>& items, int width, int height) {
    std::vector<int> column(items.size(), -1);
    std::vector<int> row(items.size(), -1);
    for (int round = 1; round <= 99; ++round) {
        bool anyX = false, anyY = false;
        int minX = INT_MAX, minY = INT_MAX;
        for (size_t i = 0; i < items.size(); ++i) {
            if (column[i] < 0) {
                anyX = true;
                minX = std::min(minX, items[i].x);
            }
            if (row[i] < 0) {
                anyY = true;
                minY = std::min(minY, items[i].y);
            }
        }
        if (!anyX && !anyY) {
            break;
        }
        for (size_t i = 0; i < items.size(); ++i) {
            if (anyX && column[i] < 0 && items[i].x >= minX &&
                static_cast<long long>(items[i].x) <= static_cast<long long>(minX) + width) {
                items[i].x = minX;
                column[i] = round;
            }
            if (anyY && row[i] < 0 && items[i].y >= minY &&
                static_cast<long long>(items[i].y) <= static_cast<long long>(minY) + height) {
                items[i].y = minY;
                row[i] = round;
            }
        }
    }
}

}  // namespace Model
