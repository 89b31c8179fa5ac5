#include "ScriptTypes.h"

#include <chrono>
#include <ctime>

namespace kalmora {
namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr double UnixEpochDays = 25569.0;

std::tm LocalNow(double& fraction) {
    auto now = std::chrono::system_clock::now();
    auto seconds = std::chrono::system_clock::to_time_t(now);
    auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() % 1000000;
    std::tm local{};
    localtime_r(&seconds, &local);
    fraction = static_cast<double>(micros) / 1e6;
    return local;
}

double DaysOf(const std::tm& local) {
    using namespace std::chrono;
    auto days = sys_days{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                         day{static_cast<unsigned>(local.tm_mday)}};
    return static_cast<double>(days.time_since_epoch().count()) + UnixEpochDays;
}

} // namespace

TDateTime DateToday() {
    double fraction = 0;
    return DaysOf(LocalNow(fraction));
}

TDateTime DateTimeNow() {
    double fraction = 0;
    std::tm local = LocalNow(fraction);
    double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
    return DaysOf(local) + seconds / 86400.0;
}

} // namespace kalmora
