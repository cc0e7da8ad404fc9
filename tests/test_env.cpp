#include "test_env.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <cstdlib>

namespace mv::test {

namespace {

QByteArray Save(const char* name) {
    return qgetenv(name);
}

void Restore(const char* name, const QByteArray& value) {
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace

IsolatedHome::IsolatedHome()
    : savedHome_(Save("HOME")), savedData_(Save("XDG_DATA_HOME")),
      savedConfig_(Save("XDG_CONFIG_HOME")), savedRuntime_(Save("XDG_RUNTIME_DIR")),
      savedCache_(Save("XDG_CACHE_HOME")) {
    QDir().mkpath(ConfigHome());
    QDir().mkpath(RuntimeDir());
    QFile::setPermissions(RuntimeDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", dir_.path().toUtf8());
    qputenv("XDG_DATA_HOME", DataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", ConfigHome().toUtf8());
    qputenv("XDG_RUNTIME_DIR", RuntimeDir().toUtf8());
    qputenv("XDG_CACHE_HOME", CacheHome().toUtf8());
}

IsolatedHome::~IsolatedHome() {
    Restore("HOME", savedHome_);
    Restore("XDG_DATA_HOME", savedData_);
    Restore("XDG_CONFIG_HOME", savedConfig_);
    Restore("XDG_RUNTIME_DIR", savedRuntime_);
    Restore("XDG_CACHE_HOME", savedCache_);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

RecordedMessageBoxes::RecordedMessageBoxes(DialogResult answer) : answer(answer) {
    SetMessageBoxResponder([this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        return this->answer;
    });
}

RecordedMessageBoxes::~RecordedMessageBoxes() {
    SetMessageBoxResponder({});
}

} // namespace mv::test
