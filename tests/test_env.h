#pragma once
// Gives each test its own empty home: HOME and the XDG folders point into a fresh temporary
// directory, so tests never read or write the developer's real settings, skins or store.

#include "platform/message_box.h"

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <vector>

namespace mv::test {

class IsolatedHome {
public:
    IsolatedHome();
    ~IsolatedHome();
    IsolatedHome(const IsolatedHome&) = delete;
    IsolatedHome& operator=(const IsolatedHome&) = delete;

    QString Path() const { return dir_.path(); }
    QString DataHome() const { return dir_.path() + "/data"; }
    QString ConfigHome() const { return dir_.path() + "/config"; }
    QString RuntimeDir() const { return dir_.path() + "/runtime"; }
    QString CacheHome() const { return dir_.path() + "/cache"; }

private:
    QTemporaryDir dir_;
    QByteArray savedHome_, savedData_, savedConfig_, savedRuntime_, savedCache_;
};

// Reads a whole file; empty when it can't be read.
QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);

// Processes Qt's events until `condition` holds; false when `timeoutMs` passed first.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// While it lives, every message box is answered with `answer` and kept in `boxes` instead of
// being shown.
class RecordedMessageBoxes {
public:
    explicit RecordedMessageBoxes(DialogResult answer = DialogResult::Ok);
    ~RecordedMessageBoxes();
    RecordedMessageBoxes(const RecordedMessageBoxes&) = delete;
    RecordedMessageBoxes& operator=(const RecordedMessageBoxes&) = delete;

    DialogResult answer;
    std::vector<MessageBoxRequest> boxes;
};

} // namespace mv::test
