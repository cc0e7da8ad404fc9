#include "test_env.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace mv::test {

namespace {

constexpr const char* kIsolatedVariables[] = {
    "HOME",           "XDG_DATA_HOME",         "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR",
    "XDG_CACHE_HOME", "MV_LOCAL_MACHINE_STORE"};

} // namespace

IsolatedHome::IsolatedHome() {
    QDir().mkpath(ConfigHome());
    QDir().mkpath(RuntimeDir());
    QFile::setPermissions(RuntimeDir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString values[] = {Path(),       DataHome(),  ConfigHome(),
                              RuntimeDir(), CacheHome(), Path() + "/etc/local-machine.store"};
    for (size_t i = 0; i < saved_.size(); ++i) {
        saved_[i] = qgetenv(kIsolatedVariables[i]);
        qputenv(kIsolatedVariables[i], values[i].toUtf8());
    }
}

IsolatedHome::~IsolatedHome() {
    for (size_t i = 0; i < saved_.size(); ++i) {
        if (saved_[i].isNull())
            qunsetenv(kIsolatedVariables[i]);
        else
            qputenv(kIsolatedVariables[i], saved_[i]);
    }
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

std::vector<uint8_t> Utf16Bytes(std::u16string_view text, bool terminated) {
    std::vector<uint8_t> bytes;
    for (const char16_t unit : text)
        bytes.insert(bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    if (terminated)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
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

void WhenModalOpens(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
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
