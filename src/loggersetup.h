#ifndef LOGGERSETUP_H
#define LOGGERSETUP_H

// Configures every easylogging++ logger once, from "log.conf" in the working
// directory, with the library's defaults for whatever the file leaves out.
class LoggerSetup
{
public:
    static LoggerSetup& instance();

    LoggerSetup(const LoggerSetup&) = delete;
    LoggerSetup& operator=(const LoggerSetup&) = delete;

private:
    LoggerSetup();
};

#endif // LOGGERSETUP_H
