#pragma once
// Gives each test its own empty home: HOME, the XDG folders and the local-machine store point into
// a fresh temporary directory, so tests never read or write the developer's real settings, skins
// or store.

#include "platform/message_box.h"

#include <QString>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class QDialog;

namespace mv::test {

class IsolatedHome {
public:
    Q_DISABLE_COPY_MOVE(IsolatedHome)
    IsolatedHome();
    ~IsolatedHome();

    QString Path() const { return dir_.path(); }
    QString DataHome() const { return dir_.path() + "/data"; }
    QString ConfigHome() const { return dir_.path() + "/config"; }
    QString RuntimeDir() const { return dir_.path() + "/runtime"; }
    QString CacheHome() const { return dir_.path() + "/cache"; }

private:
    QTemporaryDir dir_;
    std::array<QByteArray, 6> saved_;
};

// Reads a whole file; empty when it can't be read.
QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);
// Little-endian UTF-16, as the store keeps strings, with a terminator unless told otherwise.
std::vector<uint8_t> Utf16Bytes(std::u16string_view text, bool terminated = true);

// Processes Qt's events until `condition` holds; false when `timeoutMs` passed first.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// While the next modal dialog runs, `act` gets it (called once it is up).
void WhenModalOpens(std::function<void(QDialog*)> act);

// While it lives, every message box is answered with `answer` and kept in `boxes` instead of
// being shown.
class RecordedMessageBoxes {
public:
    Q_DISABLE_COPY_MOVE(RecordedMessageBoxes)
    explicit RecordedMessageBoxes(DialogResult answer = DialogResult::Ok);
    ~RecordedMessageBoxes();

    DialogResult answer;
    std::vector<MessageBoxRequest> boxes;
};

} // namespace mv::test
