#include "kit/SafeFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace safefile {

QString linkRefusal(const QString &path)
{
    if (!QFileInfo(path).isSymLink())
        return {};
    return QCoreApplication::translate("safefile",
        "It is a symbolic link: nothing is written through a link, so the file it points to "
        "stays as it was.");
}

QString open(QFile &file, const QString &path, Opening opening, mode_t permissions)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW
        | (opening == Opening::Append ? O_APPEND : O_EXCL);
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags, permissions);
    if (descriptor < 0) {
        const int error = errno;
        // O_NOFOLLOW answers a link with ELOOP, O_EXCL with EEXIST.
        const QString refusal = linkRefusal(path);
        return refusal.isEmpty() ? qt_error_string(error) : refusal;
    }
    file.setFileName(path);
    if (!file.open(
            descriptor, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return file.errorString();
    }
    return {};
}

QString replace(const QString &path, const QByteArray &bytes)
{
    if (QString refusal = linkRefusal(path); !refusal.isEmpty())
        return refusal;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // QSaveFile resolves a link when it opens; one that appeared since the check above would
    // be written through, so it is refused here. A link appearing after this point is
    // replaced by the rename, not written through.
    if (QString refusal = linkRefusal(path); !refusal.isEmpty()) {
        file.cancelWriting();
        return refusal;
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace safefile
