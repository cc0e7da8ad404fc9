#pragma once
// The GPS session: the reader while connected, the last fix and receiver state it reported, and
// the GPS time they give. Each report is announced on the thread of a context object.

#include "gps/gps_reader.h"
#include "platform/calendar.h"
#include "platform/gps_records.h"
#include "platform/utc_time.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QObject;

namespace mv {

// What the clock shows now.
struct GpsTimeNow {
    bool usable = false; // the face shows GPS time
    UtcTime utc{};       // the fix time, when usable
    // The GPS time in local time when usable, else the device's local time (all zeros when even
    // that can't be read).
    CalendarTime local;
};

// The records as the session holds them.
struct GpsRecords {
    GpsReceiverState receiver;
    GpsFix fix;
    uint32_t fixTick = 0; // ReadTickCount() when the fix arrived: its age counts from then
};

// GPS time is usable only while connected, with gpsd and its device on, from a fix that carries
// its time and arrived at most kMaximumPositionAgeMs before nowTick, so a receiver that falls
// silent gives way to the device time. Nothing else about the fix is consulted.
GpsTimeNow EvaluateGpsTime(bool connected, const GpsRecords& records, uint32_t nowTick);

class GpsSession {
public:
    // `onReport` runs on the thread of `context` after each report, once the records hold it;
    // it is dropped when `context` is gone first.
    GpsSession(QObject* context, std::function<void()> onReport);
    ~GpsSession();
    GpsSession(const GpsSession&) = delete;
    GpsSession& operator=(const GpsSession&) = delete;

    // Clears the records and opens the reader; true when it is open (or was already).
    bool Connect();
    // Stops the worker (at most 5000 ms; one that overstays keeps what it uses until it ends).
    void Disconnect();
    bool Connected() const { return reader_ != nullptr; }

    GpsTimeNow TimeNow() const;
    GpsRecords Records() const;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<GpsListener> listener_;
    std::unique_ptr<GpsReader> reader_;
};

// What a failed Connect tells the user.
QString GpsDeviceNotFoundText();

} // namespace mv
