#include "nmea_sentences.h"

#include <chrono>
#include <cstdio>

namespace mv::feeder {
namespace {

// A fixed position: the fix changes, the place does not.
constexpr std::string_view kLatitude = "4807.038,N";
constexpr std::string_view kLongitude = "01131.000,E";

struct UtcFields {
    char time[16]; // hhmmss.00
    char date[16]; // ddmmyy
};

UtcFields FormatUtc(int64_t unixSecond) {
    using namespace std::chrono;
    const sys_seconds moment{seconds(unixSecond)};
    const sys_days day = floor<days>(moment);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> clock{moment - day};
    UtcFields fields{};
    std::snprintf(fields.time, sizeof fields.time, "%02d%02d%02d.00", int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    std::snprintf(fields.date, sizeof fields.date, "%02u%02u%02d", unsigned(ymd.day()),
                  unsigned(ymd.month()), int(ymd.year()) % 100);
    return fields;
}

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts)
        text += part;
    return text;
}

} // namespace

std::optional<FixKind> ParseFixKind(std::string_view name) {
    if (name == "none")
        return FixKind::None;
    if (name == "2d")
        return FixKind::TwoD;
    if (name == "3d")
        return FixKind::ThreeD;
    if (name == "dgps")
        return FixKind::Differential;
    return std::nullopt;
}

std::string NmeaSentence(std::string_view body) {
    unsigned checksum = 0;
    for (char c : body)
        checksum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
    return Join({"$", body, tail});
}

std::string CycleSentences(int64_t unixSecond, FixKind fix) {
    const UtcFields utc = FormatUtc(unixSecond);
    if (fix == FixKind::None)
        return NmeaSentence(Join({"GPRMC,", utc.time, ",V,,,,,,,", utc.date, ",,,N"})) +
               NmeaSentence(Join({"GPGGA,", utc.time, ",,,,,0,00,99.99,,,,,,"})) +
               NmeaSentence("GPGSA,A,1,,,,,,,,,,,,,99.99,99.99,99.99");

    const bool differential = fix == FixKind::Differential;
    const bool withAltitude = fix != FixKind::TwoD;
    const std::string_view mode = differential ? "D" : "A";
    const std::string_view quality = differential ? "2" : "1";
    const std::string_view altitude = withAltitude ? "545.4,M,46.9,M" : ",M,,M";
    const std::string_view gsaMode = withAltitude ? "3" : "2";
    return NmeaSentence(Join({"GPRMC,", utc.time, ",A,", kLatitude, ",", kLongitude, ",0.0,0.0,",
                              utc.date, ",,,", mode})) +
           NmeaSentence(Join({"GPGGA,", utc.time, ",", kLatitude, ",", kLongitude, ",", quality,
                              ",08,0.9,", altitude, ",,"})) +
           NmeaSentence(Join({"GPGSA,A,", gsaMode, ",04,05,09,12,24,25,29,31,,,,,1.8,0.9,1.5"}));
}

} // namespace mv::feeder
