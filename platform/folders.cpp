#include "platform/folders.h"

#include "platform/file_write.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

namespace {

QString HomeFolder() {
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QDir::homePath() : QString::fromLocal8Bit(home);
}

QString XdgFolder(const char* variable, const char* fallbackUnderHome) {
    const QString value = QString::fromLocal8Bit(qgetenv(variable));
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return HomeFolder() + QLatin1Char('/') + QLatin1String(fallbackUnderHome);
}

// A directory owned by us that nobody else may enter. When it isn't, errno says why.
bool IsPrivateDirectory(const QString& path) {
    struct stat info {};
    if (lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    if (info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

} // namespace

QString UserDataHome() {
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

QString UserConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

bool PrivateRuntimeFolder(QString& folder, QString* whyNot) {
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && IsPrivateDirectory(runtime)) {
        folder = QDir::cleanPath(runtime) + QLatin1Char('/');
        return true;
    }
    // No usable runtime folder (a session without a login manager, CI as root): a private folder
    // of our own under the cache folder, created with mode 0700 and checked after creation.
    const QString cache = XdgFolder("XDG_CACHE_HOME", ".cache");
    const QString own = cache + QStringLiteral("/TEV-runtime-") + QString::number(geteuid());
    int error = 0;
    const bool made = MakePrivateFolderPath(own, &error);
    folder = own + QLatin1Char('/');
    if (made && IsPrivateDirectory(own))
        return true;
    if (whyNot != nullptr) {
        *whyNot = (runtime.isEmpty() ? QStringLiteral("XDG_RUNTIME_DIR is not set")
                                     : QStringLiteral("XDG_RUNTIME_DIR (%1) is not a folder of "
                                                      "this user closed to others")
                                           .arg(runtime)) +
                  QStringLiteral("; ") + own + QStringLiteral(": ") +
                  (made ? QStringLiteral("not a folder of this user closed to others")
                        : SystemErrorText(error));
    }
    errno = made ? EACCES : error;
    return false;
}

QString InstalledDataFolder() {
    const QString binDir = QCoreApplication::instance() != nullptr
                               ? QCoreApplication::applicationDirPath()
                               : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return QDir::cleanPath(binDir + QStringLiteral("/../") + QStringLiteral(MV_DATA_SUBDIR)) +
           QLatin1Char('/');
}

PathAttributes ReadPathAttributes(const QString& path) {
    PathAttributes attributes;
    struct stat info {};
    if (path.isEmpty() || stat(QFile::encodeName(path).constData(), &info) != 0)
        return attributes;
    attributes.exists = true;
    attributes.directory = S_ISDIR(info.st_mode);
    attributes.hidden = QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
    return attributes;
}

} // namespace mv
