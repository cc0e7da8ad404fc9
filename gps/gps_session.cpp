#include "gps/gps_session.h"

#include "platform/device_clock.h"

#include <QMetaObject>
#include <QObject>
#include <mutex>

namespace mv {

// Shared by the session and its listener, so a worker that outlives the session still finds it.
struct GpsSession::Shared {
    Shared(QObject* reportContext, std::function<void()> reportCall)
        : context(reportContext), onReport(std::move(reportCall)) {}

    mutable std::mutex lock;
    GpsRecords records; // under lock
    QObject* const context;
    const std::function<void()> onReport;

    void Announce(const std::shared_ptr<Shared>& self) const {
        // Queued after leaving the lock, so whoever is told finds the whole record.
        QMetaObject::invokeMethod(
            context, [self] { self->onReport(); }, Qt::QueuedConnection);
    }
};

namespace {

class SessionListener final : public GpsListener {
public:
    explicit SessionListener(std::shared_ptr<GpsSession::Shared> shared)
        : shared_(std::move(shared)) {}

    void OnFix(const GpsFix& fix) override {
        {
            const std::lock_guard guard(shared_->lock);
            shared_->records.fix = fix;
            shared_->records.fixTick = ReadTickCount();
        }
        shared_->Announce(shared_);
    }

    void OnReceiverState(const GpsReceiverState& state) override {
        {
            const std::lock_guard guard(shared_->lock);
            shared_->records.receiver = state;
        }
        shared_->Announce(shared_);
    }

private:
    const std::shared_ptr<GpsSession::Shared> shared_;
};

} // namespace

GpsTimeNow EvaluateGpsTime(bool connected, const GpsRecords& records, uint32_t nowTick) {
    GpsTimeNow now;
    const uint32_t age = nowTick - records.fixTick; // wraps harmlessly
    const bool current = connected && records.receiver.serviceOn && records.receiver.deviceOn &&
                         records.fix.kind != GpsFixKind::None && records.fix.utc.has_value() &&
                         age <= kMaximumPositionAgeMs;
    if (current) {
        if (const std::optional<CalendarTime> local = LocalCalendarOf(*records.fix.utc)) {
            now.usable = true;
            now.utc = *records.fix.utc;
            now.local = *local;
            return now;
        }
    }
    now.local = DeviceLocalTimeOrZero();
    return now;
}

GpsSession::GpsSession(QObject* context, std::function<void()> onReport)
    : shared_(std::make_shared<Shared>(context, std::move(onReport))) {}

GpsSession::~GpsSession() {
    Disconnect();
}

bool GpsSession::Connect() {
    if (Connected())
        return true;
    {
        const std::lock_guard guard(shared_->lock);
        shared_->records = GpsRecords{};
    }
    listener_ = std::make_unique<SessionListener>(shared_);
    reader_ = std::make_unique<GpsReader>();
    if (reader_->Open(listener_.get()) < 0) {
        reader_.reset();
        listener_.reset();
        return false;
    }
    return true;
}

void GpsSession::Disconnect() {
    if (reader_ != nullptr && reader_->Close() == kReaderWorkerStillRunning) {
        // The worker that did not stop in time still calls the listener; it must outlive it.
        (void)listener_.release();
    }
    reader_.reset();
    listener_.reset();
}

GpsTimeNow GpsSession::TimeNow() const {
    const std::lock_guard guard(shared_->lock);
    return EvaluateGpsTime(Connected(), shared_->records, ReadTickCount());
}

GpsRecords GpsSession::Records() const {
    const std::lock_guard guard(shared_->lock);
    return shared_->records;
}

QString GpsDeviceNotFoundText() {
    return QStringLiteral("Could not find GPS device.\n\nPlease verify your system GPS settings.");
}

} // namespace mv
