#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/types.h>

// Files written where the operator chose, never through a symbolic link: a link planted at the
// chosen path (by anyone who can write that folder) must not redirect the write to the file it
// points at. Every function refuses such a link with linkRefusal()'s reason and writes nothing.
namespace safefile {

// The reason given when path is a symbolic link (dangling or not); empty when it is none.
QString linkRefusal(const QString &path);

enum class Opening {
    // Writes at the end; a missing file is created.
    Append,
    // Creates the file; fails when anything, a link included, is already there.
    CreateNew,
};
// Opens path for writing without following a link at its place; a file it creates gets
// `permissions` (less the umask). Empty on success, otherwise the reason.
QString open(QFile &file, const QString &path, Opening opening, mode_t permissions = 0666);

// Replaces path whole with bytes: a new file renamed into its place, so a failure leaves the
// old file as it was and a link there is never written through. Empty on success, otherwise
// the reason.
QString replace(const QString &path, const QByteArray &bytes);

} // namespace safefile
