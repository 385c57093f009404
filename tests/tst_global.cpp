#include "global.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <unistd.h>

// Child mode: print the paths as this process saw them at start-up, then
// change directory and print them again.
static int printPaths()
{
    std::printf("%s\n%s\n", qPrintable(Global::SampleDataFolderPath), qPrintable(Global::ConfigFilePath));
    if (chdir("/") != 0)
        return 2;
    std::printf("%s\n%s\n", qPrintable(Global::SampleDataFolderPath), qPrintable(Global::ConfigFilePath));
    return 0;
}

class TestGlobal : public QObject
{
    Q_OBJECT

private slots:
    void pathsFollowStartDirectoryOnly();
    void clearCurveExperimentData();
    void isZeroIsStrict_data();
    void isZeroIsStrict();
    void doubleToStringHasThreeDecimals_data();
    void doubleToStringHasThreeDecimals();
    void analysisNamesInModeOrder();
    void phaseInfoIsPacked();
};

void TestGlobal::pathsFollowStartDirectoryOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess child;
    child.setWorkingDirectory(dir.path());
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--print-paths")});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QString cwd = QDir(dir.path()).canonicalPath();
    QCOMPARE(lines.at(0), cwd + "/../experiment_data/sample_data");
    QCOMPARE(lines.at(1), cwd + "/config.json");
    QCOMPARE(lines.at(2), lines.at(0));
    QCOMPARE(lines.at(3), lines.at(1));
}

void TestGlobal::clearCurveExperimentData()
{
    Global::clearCurveExperimentData();
    QVERIFY(Global::_currentCurveExperimentDataPtr == nullptr);
    QCOMPARE(Global::_currentPhaseIndex, -1);

    Global::CurveExperimentData record;
    record.name = QStringLiteral("indium");
    record.data.append({1.0f, 0.0f, 150.0f, 2.5f});
    Global::_experimentDataVtr.append(record);
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();
    Global::_currentPhaseIndex = 3;

    Global::clearCurveExperimentData();
    QVERIFY(Global::_experimentDataVtr.isEmpty());
    QVERIFY(Global::_currentCurveExperimentDataPtr == nullptr);
    QCOMPARE(Global::_currentPhaseIndex, -1);
}

void TestGlobal::isZeroIsStrict_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("zero");
    QTest::newRow("zero") << 0.0 << true;
    QTest::newRow("at epsilon") << 1e-9 << false;
    QTest::newRow("negative below") << -5e-10 << true;
    QTest::newRow("negative at") << -1e-9 << false;
}

void TestGlobal::isZeroIsStrict()
{
    QFETCH(double, value);
    QFETCH(bool, zero);
    QCOMPARE(Global::isZero(value, 1e-9), zero);
}

void TestGlobal::doubleToStringHasThreeDecimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("2.5") << 2.5 << "2.500";
    QTest::newRow("rounds") << 1234.56789 << "1234.568";
    QTest::newRow("negative") << -0.0004 << "-0.000";
    QTest::newRow("large, no exponent") << 1.0e7 << "10000000.000";
}

void TestGlobal::doubleToStringHasThreeDecimals()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Global::doubleToString(value), text);
}

void TestGlobal::analysisNamesInModeOrder()
{
    const QStringList expected = {"NumericalLabel", "StartPoint", "StopPoint", "PeakSynthesisAnalysis",
                                  "GlassTransition", "OnsetTemperaturePoint", "EndsetTemperaturePoint"};
    QCOMPARE(Global::AnalysisOperationNames, expected);
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QCOMPARE(Global::_defaultConfigMap.value("InstrumentCoefficient").userType(), int(QMetaType::Float));
}

void TestGlobal::phaseInfoIsPacked()
{
    QCOMPARE(sizeof(PhaseInfoData), size_t(15));
    QCOMPARE(offsetof(PhaseInfoData, cutoffTemp), size_t(1));
    QCOMPARE(offsetof(PhaseInfoData, scanRate), size_t(5));
    QCOMPARE(offsetof(PhaseInfoData, constantTempTime), size_t(9));
    QCOMPARE(offsetof(PhaseInfoData, atmosphere), size_t(11));
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--print-paths") == 0)
        return printPaths();
    QCoreApplication app(argc, argv);
    TestGlobal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_global.moc"
