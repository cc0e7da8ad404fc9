#include "platform/gps_driver_session.h"

#include "platform/gps_driver_publish.h"
#include "platform/gps_driver_report.h"

#include <cstring>
#include <gps.h>
#include <string>
#include <system_error>

namespace mv {
namespace {

constexpr std::chrono::milliseconds kReconnectInterval{1000};
// How long one wait for a report may last: it bounds how soon the thread sees a stop request.
constexpr int kReportWaitMicroseconds = 200'000;
// Room for the start of a report, where gpsd puts its class.
constexpr int kReportHeadLength = 64;

class DriverLoop {
public:
    explicit DriverLoop(GpsDriverSession& session)
        : session_(session), connection_(*session.connection) {
        view_.serviceOn = connection_.IsOpen();
    }

    void Run() {
        while (!session_.stopRequested.load()) {
            if (connection_.IsOpen())
                ReadOneReport();
            else
                Reconnect();
        }
    }

private:
    void Reconnect() {
        if (session_.wake.Wait(kReconnectInterval) || session_.stopRequested.load())
            return;
        if (!connection_.Open(session_.address))
            return;
        SetView(true, false, {});
    }

    void ReadOneReport() {
        gps_data_t& data = connection_.Data();
        if (!gps_waiting(&data, kReportWaitMicroseconds))
            return;
        char head[kReportHeadLength] = {};
        const int length = gps_read(&data, head, sizeof head);
        if (length < 0) { // gpsd closed the connection, or the link failed
            connection_.Close();
            SetView(false, false, {});
            return;
        }
        if (length == 0)
            return; // only part of a report so far
        switch (ClassifyGpsdReport(head)) {
        case GpsdReportClass::Position:
            PublishGpsPosition(session_.generation, PositionFromReport(data));
            break;
        case GpsdReportClass::DeviceList: {
            std::string path;
            const bool active = ListsActiveDevice(data, path);
            SetView(true, active, std::move(path));
            break;
        }
        case GpsdReportClass::Device:
            // A device came or went. The list is what counts, and libgps reads it reliably,
            // so ask for it; a failed request shows as a failed read soon after.
            gps_send(&data, "?DEVICES;\n");
            break;
        case GpsdReportClass::Other:
            break;
        }
    }

    // Publishes the states when they changed.
    void SetView(bool serviceOn, bool deviceOn, std::string path) {
        if (serviceOn == view_.serviceOn && deviceOn == view_.deviceOn && path == devicePath_)
            return;
        view_.serviceOn = serviceOn;
        view_.deviceOn = deviceOn;
        devicePath_ = std::move(path);
        view_.devicePath = devicePath_;
        PublishGpsDeviceState(session_.generation, view_);
    }

    GpsDriverSession& session_;
    GpsdConnection& connection_;
    GpsDeviceView view_;
    std::string devicePath_;
};

void RunDriverThread(std::shared_ptr<GpsDriverSession> session) {
    DriverLoop(*session).Run();
    session->connection->Close();
    session->finished.Signal();
}

} // namespace

GpsdConnection::GpsdConnection() : data_(std::make_unique<gps_data_t>()) {}

GpsdConnection::~GpsdConnection() {
    Close();
}

bool GpsdConnection::Open(const GpsServerAddress& address) {
    Close();
    std::memset(data_.get(), 0, sizeof(gps_data_t));
    const std::string port = std::to_string(address.port);
    if (gps_open(address.host.c_str(), port.c_str(), data_.get()) != 0)
        return false;
    open_ = true;
    if (gps_stream(data_.get(), WATCH_ENABLE | WATCH_JSON, nullptr) != 0) {
        Close();
        return false;
    }
    return true;
}

void GpsdConnection::Close() {
    if (open_)
        gps_close(data_.get());
    open_ = false;
}

bool GpsDriverThread::Start(uint64_t generation, const GpsServerAddress& address,
                            std::unique_ptr<GpsdConnection> connection) {
    Stop(kStopTimeout);
    auto session = std::make_shared<GpsDriverSession>();
    session->generation = generation;
    session->address = address;
    session->connection = std::move(connection);
    // std::thread reports a failure to start only by throwing; it is turned into a status here.
    try {
        thread_ = std::thread(RunDriverThread, session);
    } catch (const std::system_error&) {
        return false;
    }
    session_ = std::move(session);
    return true;
}

bool GpsDriverThread::Stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable())
        return true;
    session_->stopRequested.store(true);
    session_->wake.Signal();
    const bool ended = session_->finished.Wait(timeout);
    if (ended)
        thread_.join();
    else
        thread_.detach();
    session_.reset();
    return ended;
}

} // namespace mv
