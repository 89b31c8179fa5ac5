#pragma once

// Value kinds the script vocabulary shares with the product interfaces.

#include <cmath>
#include <cstdint>

namespace kalmora {

// Days since 30 December 1899, the time of day as the fraction.
using TDateTime = double;

// Fixed point with four decimals, counted in ten-thousandths.
struct TCurrency {
    std::int64_t Units = 0;

    static constexpr TCurrency FromUnits(std::int64_t units) noexcept { return TCurrency{units}; }
    // Rounded to the nearest ten-thousandth, halves to even.
    static TCurrency FromDouble(double value) noexcept {
        return TCurrency{static_cast<std::int64_t>(std::nearbyint(value * 10000.0))};
    }
    double ToDouble() const noexcept { return static_cast<double>(Units) / 10000.0; }
    friend constexpr bool operator==(TCurrency a, TCurrency b) noexcept { return a.Units == b.Units; }
};

// Today at midnight and the current date and time, both in local time.
TDateTime DateToday();
TDateTime DateTimeNow();

} // namespace kalmora
