// The page view's zoom steps, in percent.
#pragma once

#include <algorithm>
#include <array>

namespace vyn {

inline constexpr int kStandardZoom = 100;
inline constexpr std::array kZoomSteps{50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

// The step after percent (direction 1), before it (-1), or the standard size (0). A
// percent between steps moves to the next step that way; the ends stay.
inline int NextZoom(int percent, int direction) {
    if (direction == 0) return kStandardZoom;
    if (direction > 0) {
        const auto it = std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), percent);
        return it == kZoomSteps.end() ? kZoomSteps.back() : *it;
    }
    const auto it = std::lower_bound(kZoomSteps.begin(), kZoomSteps.end(), percent);
    return it == kZoomSteps.begin() ? kZoomSteps.front() : *(it - 1);
}

// A stored percent brought to the nearest step at or below it; the standard size for
// anything unreadable or out of range.
inline int ValidZoom(int percent) {
    if (percent < kZoomSteps.front() || percent > kZoomSteps.back()) return kStandardZoom;
    return *(std::upper_bound(kZoomSteps.begin(), kZoomSteps.end(), percent) - 1);
}

}  // namespace vyn
