#include "platform/delete_file.h"

#include <QFile>
#include <unistd.h>

namespace mv {

bool DeleteFile(const QString& path) {
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

} // namespace mv
