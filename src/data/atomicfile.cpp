#include "atomicfile.h"

#include <QSaveFile>

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
