#include "atomicfile.h"

#include <QSaveFile>

#include <cstdlib>

#include <sys/stat.h>

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    // Write and flush are checked before commit(): Qt 5.15's commit() reports
    // success after a failed flush (a file-size limit of one byte left a
    // one-byte file in place of the old one).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (errorString)
            *errorString = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return false;
    }
    return true;
}

QByteArray replacementTarget(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    const QByteArray target(resolved);
    std::free(resolved);
    return target;
}
