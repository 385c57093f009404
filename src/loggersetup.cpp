#include "loggersetup.h"

#include <easylogging++.h>

#include <QFileInfo>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const char* const LogConfPath = "log.conf";
// The library's own DEBUG format. Its defaults fill every level from the
// general format before this one, so it is given here again.
const char* const DebugFormat = "%datetime %level [%logger] [%user@%host] [%func] [%loc] %msg";

// On Unix %user and %host come from USER and HOSTNAME, read when the loggers
// are configured; shells seldom export HOSTNAME, and a service may lack USER.
void provideUserAndHost()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("HOSTNAME"))
        qputenv("HOSTNAME", QSysInfo::machineHostName().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("USER")) {
        if (const passwd* entry = getpwuid(getuid()))
            qputenv("USER", entry->pw_name);
    }
#endif
}

} // namespace

LoggerSetup& LoggerSetup::instance()
{
    static LoggerSetup setup;
    return setup;
}

// The file is handed to the library only when there is one to read: asked
// for a missing file, it reports an assertion failure on the terminal.
// Whatever the file gives stays; the library's defaults fill the rest.
LoggerSetup::LoggerSetup()
{
    provideUserAndHost();
    el::Configurations configurations;
    const QFileInfo file(QString::fromLatin1(LogConfPath));
    if (file.isFile() && file.isReadable())
        configurations.parseFromFile(LogConfPath);
    const bool fileGivesDebugFormat = configurations.get(el::Level::Debug, el::ConfigurationType::Format) != nullptr;
    configurations.setRemainingToDefault();
    if (!fileGivesDebugFormat)
        configurations.set(el::Level::Debug, el::ConfigurationType::Format, DebugFormat);
    el::Loggers::reconfigureAllLoggers(configurations);
}
