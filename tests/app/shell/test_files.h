#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Whole-file helpers for tests working on real files in temporary folders.
inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

inline QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
