#include "confighandler.h"
#include "global.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// Runs in an empty working folder of its own, where config.json lives.
class TestConfigHandler : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileIsCreatedWithDefault();
    void writerNarrowsThroughFloat();
    void unusableCoefficientLoadsZero_data();
    void unusableCoefficientLoadsZero();
    void malformedJsonLeavesMapWithoutCoefficient();
    void extraMembersAreDropped();
    void unopenableFileChangesNothing();

private:
    static void writeFile(const QByteArray& bytes);
    static QJsonObject readFile();
};

void TestConfigHandler::writeFile(const QByteArray& bytes)
{
    QFile file(Global::ConfigFilePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QJsonObject TestConfigHandler::readFile()
{
    QFile file(Global::ConfigFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void TestConfigHandler::init()
{
    QFile::remove(Global::ConfigFilePath);
    Global::_configMap.clear();
}

void TestConfigHandler::missingFileIsCreatedWithDefault()
{
    ConfigHandler::reader();
    QVERIFY(QFile::exists(Global::ConfigFilePath));
    QCOMPARE(readFile().value("InstrumentCoefficient").toDouble(), 1.0);
    QCOMPARE(readFile().keys(), QStringList{"InstrumentCoefficient"});
    QCOMPARE(Global::_configMap.value("InstrumentCoefficient").toDouble(), 1.0);
}

void TestConfigHandler::writerNarrowsThroughFloat()
{
    Global::_configMap.insert("InstrumentCoefficient", 1.1);
    ConfigHandler::writer(true);
    QFile file(Global::ConfigFilePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("1.100000023841858"));

    Global::_configMap.clear();
    ConfigHandler::reader();
    QCOMPARE(Global::_configMap.value("InstrumentCoefficient").toDouble(), double(1.1f));
}

void TestConfigHandler::unusableCoefficientLoadsZero_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("string") << QByteArray(R"({"InstrumentCoefficient": "1.5"})");
    QTest::newRow("missing member") << QByteArray(R"({"Other": 2})");
    QTest::newRow("array document") << QByteArray(R"([1, 2])");
}

void TestConfigHandler::unusableCoefficientLoadsZero()
{
    QFETCH(QByteArray, content);
    writeFile(content);
    Global::_configMap.insert("InstrumentCoefficient", 5.0);
    ConfigHandler::reader();
    QVERIFY(Global::_configMap.contains("InstrumentCoefficient"));
    QCOMPARE(Global::_configMap.value("InstrumentCoefficient").toDouble(), 0.0);
}

void TestConfigHandler::malformedJsonLeavesMapWithoutCoefficient()
{
    writeFile("{\"InstrumentCoefficient\": 1.5");
    ConfigHandler::reader();
    QVERIFY(!Global::_configMap.contains("InstrumentCoefficient"));
    ConfigHandler::writer(true);
    QCOMPARE(readFile().value("InstrumentCoefficient").toDouble(-1.0), 0.0);
}

void TestConfigHandler::extraMembersAreDropped()
{
    writeFile(R"({"InstrumentCoefficient": 2.5, "Comment": "lab 3"})");
    ConfigHandler::reader();
    QCOMPARE(Global::_configMap.value("InstrumentCoefficient").toDouble(), 2.5);
    ConfigHandler::writer(true);
    QCOMPARE(readFile().keys(), QStringList{"InstrumentCoefficient"});
    QCOMPARE(readFile().value("InstrumentCoefficient").toDouble(), 2.5);
}

void TestConfigHandler::unopenableFileChangesNothing()
{
    // A folder where the file should be: neither write nor read can open it.
    QVERIFY(QDir().mkpath(Global::ConfigFilePath));
    Global::_configMap.insert("InstrumentCoefficient", 7.0);
    ConfigHandler::writer(true);
    ConfigHandler::reader();
    QVERIFY(QDir().rmdir(Global::ConfigFilePath));
    QCOMPARE(Global::_configMap.value("InstrumentCoefficient").toDouble(), 7.0);
}

QTEST_GUILESS_MAIN(TestConfigHandler)
#include "tst_confighandler.moc"
