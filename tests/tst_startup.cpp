#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

// Starts the real executable in an empty folder, waits for its start-up log
// lines, then ends it. Never waits longer than the deadline.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void logsAndWritesConfigInWorkingDirectory();
    void logConfNamesAnotherFile();
    void logConfKeepsDebugLinesOffTheTerminal();

private:
    static QByteArray waitForLine(const QString& logPath, const QByteArray& line, QProcess& process);
};

QByteArray TestStartup::waitForLine(const QString& logPath, const QByteArray& line, QProcess& process)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray content;
    while (timer.elapsed() < 30000 && process.state() != QProcess::NotRunning) {
        QFile file(logPath);
        if (file.open(QIODevice::ReadOnly))
            content = file.readAll();
        if (content.contains(line))
            break;
        QTest::qWait(50);
    }
    return content;
}

static void startProgram(QProcess& process, const QString& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // A known user, and no host in the environment (as in most shells): the
    // log must still name the machine.
    env.insert("USER", "quarnel-tester");
    env.remove("HOSTNAME");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(QUARNEL_EXECUTABLE), QStringList());
    QVERIFY(process.waitForStarted(10000));
}

static void stopProgram(QProcess& process)
{
    process.kill();
    process.waitForFinished(10000);
}

void TestStartup::logsAndWritesConfigInWorkingDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess process;
    startProgram(process, dir.path());
    const QByteArray log = waitForLine(dir.filePath("myeasylog.log"), "version:1.0.4.0", process);
    stopProgram(process);

    const int mainAt = log.indexOf("main...");
    const int versionAt = log.indexOf("version:1.0.4.0");
    QVERIFY2(mainAt >= 0, log.constData());
    QVERIFY2(versionAt > mainAt, log.constData());
    // The library's DEBUG format: date and time, level, logger, user@host,
    // function, source location, message.
    const QRegularExpression mainLine(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d,\\d{3} DEBUG \\[default\\] \\[quarnel-tester@%1\\] "
                       "\\[int qMain\\(int, char\\*\\*\\)\\] \\[\\S*src/main\\.cpp:\\d+\\] main\\.\\.\\.$")
            .arg(QRegularExpression::escape(QSysInfo::machineHostName())),
        QRegularExpression::MultilineOption);
    QVERIFY2(mainLine.match(QString::fromUtf8(log)).hasMatch(), log.constData());
    // Without a log.conf there is nothing to complain about on the terminal.
    const QByteArray terminal = process.readAll();
    QVERIFY2(terminal.contains("main..."), terminal.constData());
    QVERIFY2(!terminal.contains("EASYLOGGING++"), terminal.constData());

    QFile config(dir.filePath("config.json"));
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(config.readAll()).object().value("InstrumentCoefficient").toDouble(), 1.0);
}

void TestStartup::logConfNamesAnotherFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile conf(dir.filePath("log.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("* GLOBAL:\n   FILENAME = \"other.log\"\n   FORMAT = \"%level|%msg\"\n");
    conf.close();

    QProcess process;
    startProgram(process, dir.path());
    const QByteArray log = waitForLine(dir.filePath("other.log"), "version:1.0.4.0", process);
    stopProgram(process);

    QVERIFY2(log.contains("DEBUG|main...\n") && log.contains("DEBUG|version:1.0.4.0\n"), log.constData());
    QVERIFY(!QFile::exists(dir.filePath("myeasylog.log")));
}

// A setting given to one level alone (the log.conf that scripts/run.sh
// writes) holds against the defaults of the others: the terminal stays quiet
// and the log file is written as without the file.
void TestStartup::logConfKeepsDebugLinesOffTheTerminal()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile conf(dir.filePath("log.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("* DEBUG:\n    TO_STANDARD_OUTPUT = false\n");
    conf.close();

    QProcess process;
    startProgram(process, dir.path());
    const QByteArray log = waitForLine(dir.filePath("myeasylog.log"), "version:1.0.4.0", process);
    stopProgram(process);

    QVERIFY2(log.contains("] main...\n") && log.contains("DEBUG [default]"), log.constData());
    const QByteArray terminal = process.readAll();
    QVERIFY2(!terminal.contains("DEBUG"), terminal.constData());
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
