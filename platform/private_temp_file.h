#pragma once
// A temporary file that only this user can reach, made afresh at a fixed path for the length of
// one operation and deleted when its owner goes away.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>

namespace mv {

class PrivateTempFile {
public:
    PrivateTempFile() = default;
    // Closes the file and deletes it, if Create made it and the path still names it.
    ~PrivateTempFile();
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;

    // Creates the file with mode 0600, never through a link. A regular file of ours already at the
    // path (left by an operation that crashed) is replaced; anything else there (a link, a pipe, a
    // folder, another user's file) is left alone and Create fails.
    // On failure errno says why.
    bool Create(const QString& path);
    // Makes the file hold exactly `bytes` and rewinds it for reading; on failure (a full folder)
    // errno says why.
    bool Replace(std::span<const uint8_t> bytes);
    // The open descriptor, positioned at the start after Replace; -1 before Create.
    int Descriptor() const { return fd_; }
    // The path Create made the file at; empty before.
    QString Path() const;

private:
    int fd_ = -1;
    QByteArray path_;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
};

} // namespace mv
