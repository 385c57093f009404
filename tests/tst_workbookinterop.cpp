#include "global.h"
#include "workbook.h"
#include "xlsxhandler.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// openpyxl is the independent reader and writer here; the fixture script
// builds workbooks with it and dumps ours cell by cell.
static const QString Fixture = QStringLiteral(QUARNEL_SOURCE_DIR "/tests/support/xlsxfixture.py");

static QString runFixture(const QStringList& arguments)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PYTHONIOENCODING", "utf-8");
    python.setProcessEnvironment(env);
    python.start(QUARNEL_PYTHON, QStringList{Fixture} + arguments);
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QString();
    return QString::fromUtf8(python.readAllStandardOutput()).append(QLatin1String("")); // ran: never null
}

class TestWorkbookInterop : public QObject
{
    Q_OBJECT

private slots:
    void ourWorkbookInOpenpyxl();
    void spreadsheetWorkbookReads();
    void malformedInputs_data();
    void malformedInputs();
    void nonFiniteNumbersReadAsZero();

private:
    QTemporaryDir _dir;
};

void TestWorkbookInterop::ourWorkbookInOpenpyxl()
{
    PhaseInfoData phase{1, 150.0f, 0.1f, 3, 0};
    Global::_experimentInfo = {"样品A", "", "", "", 0, {phase}};
    Global::_experimentDataVtr = {{nullptr, "1", {{0.1f, 0.0f, 30.3f, -0.7f}, {0.6f, 0.25f, 31.3f, 1.5f}}}};
    Global::_analysisOperationVtr = {{"experiment", 2, 12.25, 13.5}, {"experiment", 4, 100.0, 150.0}};
    const QString file = _dir.filePath("ours.xlsx");
    QVERIFY(XlsxHandler::writeExperimentFile(file));

    // row column type value, as openpyxl sees them; every cell of the sheet
    // is listed, so a stray or missing cell shows.
    const QStringList expected = {
        "title Sheet1", "1 1 s 文件数据信息", "2 1 s 样品名称：", "2 2 s 样品A", "3 1 s 样品质量：", "3 2 s 1", "3 3 s mg",
        "4 1 s 坩埚质量：", "4 2 n 0", "4 3 s mg", "5 1 s 实验人员：", "5 2 s experimentor", "6 1 s 实验日期：",
        "6 2 s 20250101", "7 1 s 测量类型：", "7 2 s 样品", "8 1 s 阶段数量：", "8 2 n 1", "9 1 s #",
        "9 2 s Time/min", "9 3 s Temp/℃", "9 4 s Voltage/mW", "9 5 s Time/min", "10 1 s 阶段索引：", "10 2 n 1",
        "11 1 s 截止温度：", "11 2 n 150", "11 3 s ℃", "12 1 s 升温速率：", "12 2 n 0.1f", "12 3 s ℃/min",
        "13 1 s 恒温时间：", "13 2 n 3", "13 3 s min", "14 1 s 气氛：", "14 2 s NC", "15 1 s 数据个数：", "15 2 n 2",
        "16 1 n 0", "16 2 n 0.1f", "16 3 n 30.3f", "16 4 n -0.7f", "16 5 n 0", "17 1 n 1", "17 2 n 0.6f",
        "17 3 n 31.3f", "17 4 n 1.5", "17 5 n 0.25", "18 1 s AnalysisOperationCount", "18 2 n 2",
        "19 1 s StartPoint", "19 2 n 12.25", "19 3 n 13.5", "20 1 s PeakSynthesisAnalysis", "20 2 n 100",
        "20 3 n 150"};
    const QStringList lines = runFixture({"dump", file}).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString& want = expected.at(i);
        // A float cell holds the float widened to double: it must come back
        // as exactly that double, and so as the same float.
        if (want.endsWith('f')) {
            const QStringList parts = lines.at(i).split(' ');
            QCOMPARE(parts.mid(0, 3), want.split(' ').mid(0, 3));
            QCOMPARE(parts.at(3).toDouble(), double(want.split(' ').at(3).chopped(1).toFloat()));
            continue;
        }
        QCOMPARE(lines.at(i), want);
    }
}

void TestWorkbookInterop::spreadsheetWorkbookReads()
{
    const QString file = _dir.filePath("typed.xlsx");
    QVERIFY(!runFixture({"spreadsheet", file}).isNull());
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), 0);
    QCOMPARE(data.info.sampleName, QString("PE-1"));
    QCOMPARE(data.info.sampleWeight, QString("5.2"));
    QCOMPARE(data.info.user, QString("李工"));
    QCOMPARE(data.info.dateTime, QString("2025-03-04 10:20"));
    QCOMPARE(data.info.phaseCount, 2);
    QCOMPARE(data.phases.size(), 2);
    const Global::PhaseTotalInfo& a = data.phases.at(0);
    QCOMPARE(a.phase.cutoffTemp, 200.5f);
    QCOMPARE(a.phase.scanRate, 10.0f);
    QCOMPARE(a.phase.atmosphere, quint32(N2));
    QCOMPARE(a.data.size(), 3);
    QCOMPARE(a.data.at(0).runTime, 0.1f);
    QCOMPARE(a.data.at(2).dsc, -1.0f); // typed as text "-1"
    QCOMPARE(a.data.at(2).constantTempTime, 0.5f);
    const Global::PhaseTotalInfo& b = data.phases.at(1);
    QCOMPARE(b.phaseIndex, 2);
    QCOMPARE(b.phase.scanRate, 0.1f);
    QCOMPARE(b.phase.constantTempTime, quint16(70000 - 65536));
    QCOMPARE(b.phase.atmosphere, quint32(7));
    QCOMPARE(b.data.size(), 1);
    QCOMPARE(b.data.at(0).temperature, 199.125f);
    QCOMPARE(data.analysisOperations.size(), 2); // "Unknown" is left out
    QCOMPARE(data.analysisOperations.at(0).mode, 4);
    QCOMPARE(data.analysisOperations.at(0).x2, 150.5);
    QCOMPARE(data.analysisOperations.at(1).mode, 1);
    QCOMPARE(data.analysisOperations.at(1).name, QString("typed.xlsx"));
}

void TestWorkbookInterop::malformedInputs_data()
{
    QTest::addColumn<QString>("fixture"); // fixture kind, or a damage of our own workbook
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("stages");

    QTest::newRow("not a zip") << "!text" << 3 << 0;
    QTest::newRow("empty file") << "!empty" << 3 << 0;
    QTest::newRow("truncated zip") << "!truncated" << 3 << 0;
    QTest::newRow("zip without worksheet") << "no-worksheet" << 3 << 0;
    QTest::newRow("chart sheet active") << "chart-active" << 3 << 0;
    QTest::newRow("absolute part names, inline strings") << "openpyxl" << 3 << 0;
    QTest::newRow("cell in the far corner") << "far-corner" << 3 << 0;
    QTest::newRow("character reference past U+10FFFF") << "char-ref" << 3 << 0;
    QTest::newRow("text where numbers belong") << "text-numbers" << 0 << 0;
    QTest::newRow("huge counts") << "huge-counts" << 0 << 1;
}

void TestWorkbookInterop::malformedInputs()
{
    QFETCH(QString, fixture);
    QFETCH(int, result);
    QFETCH(int, stages);
    const QString file = _dir.filePath(QString("bad-%1.xlsx").arg(QTest::currentDataTag()));
    if (fixture.startsWith('!')) {
        QVERIFY(XlsxHandler::writeExperimentFile(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QByteArray whole = f.readAll();
        f.resize(0);
        if (fixture == "!text")
            f.write("PK not really a workbook");
        else if (fixture == "!truncated")
            f.write(whole.left(whole.size() * 2 / 3));
    } else {
        QVERIFY(!runFixture({fixture, file}).isNull());
    }
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), result);
    QCOMPARE(data.phases.size(), stages);
}

void TestWorkbookInterop::nonFiniteNumbersReadAsZero()
{
    const QString file = _dir.filePath("non-finite.xlsx");
    QVERIFY(!runFixture({"non-finite", file}).isNull());
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), 0);
    const Global::PhaseTotalInfo& a = data.phases.at(0);
    QCOMPARE(a.phase.cutoffTemp, 0.0f);
    // The first point's run time reads as 0, so the point is passed over.
    QCOMPARE(a.data.size(), 2);
    QCOMPARE(a.data.at(0).runTime, 0.2f);
    QCOMPARE(a.data.at(0).temperature, 0.0f);
    QCOMPARE(a.data.at(1).temperature, 32.75f);
}

QTEST_GUILESS_MAIN(TestWorkbookInterop)
#include "tst_workbookinterop.moc"
