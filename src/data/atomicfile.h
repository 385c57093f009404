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

// A private folder in folder (the target's, so the final rename stays on one
// file system and is atomic) that holds a save's new file until it is renamed
// into place. Removed, with that file, when it goes.
//
// A save killed midway leaves its folder behind. Each running save holds an
// exclusive lock on its folder, which the system releases however the process
// ends; a new one first removes the folders in its folder that no save holds.
class ScratchFolder
{
public:
    explicit ScratchFolder(const QByteArray& folder);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool isValid() const { return !_path.isEmpty(); }
    // The one file the folder is for.
    QByteArray filePath() const;

private:
    QByteArray _path;
    int _fd = -1;
};

#endif // ATOMICFILE_H
