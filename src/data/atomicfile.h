#ifndef ATOMICFILE_H
#define ATOMICFILE_H

#include <QByteArray>
#include <QString>

// Writes the whole of bytes to path, or nothing: the bytes go to a file beside
// it that replaces the old one only when every byte reached the disk. On
// failure the old file is left as it was and errorString (when given) says why.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorString = nullptr);

// The file a save to path replaces: path itself or, when path is a symbolic
// link, the file its links lead to, so that the link stays a link. Empty when
// a link leads to no file.
QByteArray replacementTarget(const QByteArray& path);

#endif // ATOMICFILE_H
