#include "atomicfile.h"

#include <QSaveFile>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Every temporary folder's name starts so; the file inside has this name.
constexpr char ScratchPrefix[] = ".qsave";
constexpr char ScratchFile[] = "book.xlsx";

// True once the caller holds the folder's lock, or when the file system
// keeps no locks: then no save can tell its folder from a leftover, and none
// is ever removed.
bool lockFolder(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// The names our saves give their folders: the prefix alone (older builds) or
// mkdtemp's six characters after "-". Anything else beside a workbook is the
// user's.
bool isScratchName(const char* name)
{
    const size_t prefix = sizeof ScratchPrefix - 1;
    if (std::strncmp(name, ScratchPrefix, prefix) != 0)
        return false;
    const char* rest = name + prefix;
    if (*rest == '\0')
        return true;
    if (*rest != '-' || std::strlen(rest) != 7)
        return false;
    for (const char* c = rest + 1; *c; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c)))
            return false;
    }
    return true;
}

// Whether the folder holds nothing but, at most, our one regular file.
bool holdsOnlyScratchFile(int fd)
{
    const int listed = ::dup(fd);
    DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    bool ours = true;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (std::strcmp(name, ScratchFile) != 0 || ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(st.st_mode)) {
            ours = false;
            break;
        }
    }
    ::closedir(dir);
    return ours;
}

// Leftovers only: a folder another save holds is locked, and one made by
// someone else, or holding anything beside our one file, is not ours to
// remove, nor is anything in it.
void removeLeftover(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && holdsOnlyScratchFile(fd)) {
        ::unlinkat(fd, ScratchFile, 0);
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }
    ::close(fd);
}

void removeLeftovers(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (isScratchName(entry->d_name))
            removeLeftover(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
}

// Whether the name still leads to the folder open at fd: a save elsewhere
// may have taken it for a leftover and removed it between our mkdir and lock.
bool stillThere(const QByteArray& path, int fd)
{
    struct stat named, held;
    return ::lstat(path.constData(), &named) == 0 && ::fstat(fd, &held) == 0 && named.st_dev == held.st_dev
           && named.st_ino == held.st_ino;
}

} // namespace

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

// mkdtemp creates the folder or fails, and never follows a link planted at
// its name; only we can then put anything inside. The name stays short
// whatever the target's, so a 255-byte target name still saves.
ScratchFolder::ScratchFolder(const QByteArray& folder)
{
    removeLeftovers(folder);
    for (int attempt = 0; attempt < 8 && _path.isEmpty(); ++attempt) {
        QByteArray path = folder + '/' + ScratchPrefix + "-XXXXXX";
        if (!::mkdtemp(path.data()))
            return;
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            continue; // another process's clean-up took it before we could lock it
        if (fd < 0) {
            ::rmdir(path.constData());
            return;
        }
        if (lockFolder(fd) && stillThere(path, fd)) {
            _path = path;
            _fd = fd;
        } else {
            ::close(fd);
        }
    }
}

ScratchFolder::~ScratchFolder()
{
    if (!isValid())
        return;
    ::unlink(filePath().constData());
    ::rmdir(_path.constData());
    ::close(_fd);
}

QByteArray ScratchFolder::filePath() const
{
    return _path + '/' + ScratchFile;
}
