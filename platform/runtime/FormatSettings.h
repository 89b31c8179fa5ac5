#pragma once

// The program's own number and date format settings, read from the user's locale (LANG / LC_*) without ever
// switching the C library's global locale, so that number parsing elsewhere keeps the "C" rules.

#include <array>
#include <ctime>
#include <string>

namespace kalmora {

struct TFormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator;
    std::string ShortDateFormat = "%m/%d/%y"; // strftime form of the locale's short date
    std::string LongTimeFormat = "%H:%M:%S";  // strftime form of the locale's long time
    std::array<std::string, 7> ShortDayNames; // Sunday first
    std::array<std::string, 7> LongDayNames;
    std::array<std::string, 12> ShortMonthNames;
    std::array<std::string, 12> LongMonthNames;
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string CurrencyString;  // the local currency symbol
    bool CurrencyBefore = true;  // the symbol precedes the amount
    bool CurrencySpaced = false; // a blank between symbol and amount
    int CurrencyDecimals = 2;
};

// The process-wide settings. Before LoadUserFormatSettings runs they hold the "C" locale's values.
const TFormatSettings& FormatSettings();

// Reads the user's locale into the process-wide settings. Runs on the main thread at start-up, before other
// threads exist. An unknown or uninstalled locale leaves the "C" values.
void LoadUserFormatSettings();

// The settings of a named locale ("" = the user's locale from the environment); "C" values when unknown.
TFormatSettings ReadFormatSettings(const char* localeName);

// Local date and time in the short date and long time format, separated by a blank.
std::string FormatLocalDateTime(std::time_t when, const TFormatSettings& settings = FormatSettings());

} // namespace kalmora
