#include "global.h"
#include "workbook.h"
#include "xlsxhandler.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <xlsxwriter.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

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
    void openpyxlWorkbookReads();
    void sameRecordAsOurs_data();
    void sameRecordAsOurs();
    void malformedInputs_data();
    void malformedInputs();
    void outOfRangeNumbers();
    void numbersCorrectlyRounded();
    void floatsWrittenShortest();

private:
    QTemporaryDir _dir;
};

void TestWorkbookInterop::ourWorkbookInOpenpyxl()
{
    PhaseInfoData phase{1, 150.0f, 0.1f, 3, 0};
    Global::_experimentInfo = {"样品A", "", "", "", 0, {phase}};
    Global::_experimentDataVtr = {{nullptr, "1", {{0.1f, 0.0f, 30.3f, -0.7f}, {0.6f, 0.25f, 31.3f, 1.5f}}}};
    Global::_analysisOperationVtr = {{"experiment", 2, 30.25, 31.5}, {"experiment", 4, 100.0, 150.0}};
    const QString file = _dir.filePath("ours.xlsx");
    QVERIFY(XlsxHandler::writeExperimentFile(file));

    // row column type value, as openpyxl sees them; every cell of the sheet
    // is listed, so a stray or missing cell shows.
    const QStringList expected = {
        "title Sheet1", "1 1 s 文件数据信息", "2 1 s 样品名称：", "2 2 s 样品A", "3 1 s 样品质量：", "3 2 s 1", "3 3 s mg",
        "4 1 s 坩埚质量：", "4 2 n 0", "4 3 s mg", "5 1 s 实验人员：", "5 2 s experimentor", "6 1 s 实验日期：",
        "6 2 s 20250101", "7 1 s 测量类型：", "7 2 s 样品", "8 1 s 阶段数量：", "8 2 n 1", "9 1 s #",
        "9 2 s Time/min", "9 3 s Temp/℃", "9 4 s Voltage/mW", "9 5 s Time/min", "10 1 s 阶段索引：", "10 2 n 1",
        "11 1 s 截止温度：", "11 2 n 150", "11 3 s ℃", "12 1 s 升温速率：", "12 2 n 0.1", "12 3 s ℃/min",
        "13 1 s 恒温时间：", "13 2 n 3", "13 3 s min", "14 1 s 气氛：", "14 2 s NC", "15 1 s 数据个数：", "15 2 n 2",
        "16 1 n 0", "16 2 n 0.1", "16 3 n 30.3", "16 4 n -0.7", "16 5 n 0", "17 1 n 1", "17 2 n 0.6",
        "17 3 n 31.3", "17 4 n 1.5", "17 5 n 0.25", "18 1 s AnalysisOperationCount", "18 2 n 2",
        "19 1 s StartPoint", "19 2 n 30.25", "19 3 n 31.5", "19 5 n 1", "20 1 s PeakSynthesisAnalysis",
        "20 2 n 100", "20 3 n 150"};
    // Float cells hold the shortest decimal that reads back as the float
    // (0.1f as 0.1, not 0.100000001490116), so openpyxl shows that decimal.
    QCOMPARE(runFixture({"dump", file}).split('\n', Qt::SkipEmptyParts), expected);
}

// openpyxl's own output: inline strings, parts named by absolute path.
void TestWorkbookInterop::openpyxlWorkbookReads()
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
    QCOMPARE(float(a.phase.cutoffTemp), 200.5f);
    QCOMPARE(float(a.phase.scanRate), 10.0f);
    QCOMPARE(a.phase.atmosphere, quint32(N2));
    QCOMPARE(a.data.size(), 3);
    QCOMPARE(a.data.at(0).runTime, 0.1f);
    QCOMPARE(a.data.at(2).dsc, -1.0f); // typed as text "-1"
    QCOMPARE(a.data.at(2).constantTempTime, 0.5f);
    const Global::PhaseTotalInfo& b = data.phases.at(1);
    QCOMPARE(b.phaseIndex, 2);
    QCOMPARE(float(b.phase.scanRate), 0.1f);
    QCOMPARE(quint16(b.phase.constantTempTime), quint16(70000 - 65536));
    QCOMPARE(b.phase.atmosphere, quint32(7));
    QCOMPARE(b.data.size(), 1);
    QCOMPARE(b.data.at(0).temperature, 199.125f);
    QCOMPARE(data.analysisOperations.size(), 2); // "Unknown" is left out
    QCOMPARE(data.analysisOperations.at(0).mode, 4);
    QCOMPARE(data.analysisOperations.at(0).x2, 32.75);
    QCOMPARE(data.analysisOperations.at(0).stage, 0); // found by its bounds
    QCOMPARE(data.analysisOperations.at(1).mode, 1);
    QCOMPARE(data.analysisOperations.at(1).stage, 1); // named in column E
    QCOMPARE(data.analysisOperations.at(1).name, QString("typed.xlsx"));
}

// Our own workbook, copied by independent writers: each reads back into the
// record ours gives.
void TestWorkbookInterop::sameRecordAsOurs_data()
{
    QTest::addColumn<QString>("writer");
    QTest::newRow("openpyxl, inline strings and absolute part names") << "copy";
    QTest::newRow("spreadsheet program: shared strings with rich and phonetic runs, cached formula text, "
                  "boolean, rows and cells without references") << "program";
    QTest::newRow("libxlsxwriter constant_memory, inline strings") << "constant_memory";
    QTest::newRow("a part name holding \"&\", escaped in its relationship") << "ampersand";
}

static bool writeConstantMemory(const QString& ours, const QString& out)
{
    Workbook source;
    if (!source.load(ours))
        return false;
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(out).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    for (int r = 1; r <= source.lastRow(); ++r) {
        for (int c = 1; c <= source.lastColumn(); ++c) {
            const QVariant v = source.cellAt(r, c);
            if (v.type() == QVariant::String)
                worksheet_write_string(sheet, lxw_row_t(r - 1), lxw_col_t(c - 1), v.toString().toUtf8().constData(), nullptr);
            else if (v.isValid())
                worksheet_write_number(sheet, lxw_row_t(r - 1), lxw_col_t(c - 1), v.toDouble(), nullptr);
        }
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

void TestWorkbookInterop::sameRecordAsOurs()
{
    QFETCH(QString, writer);
    Global::_experimentInfo = {"样品A", "5.2", "2025-03-04 10:20", "李工", 0,
                               {PhaseInfoData{1, 200.5f, 10.0f, 5, 1}, PhaseInfoData{0, 0.0f, 0.0f, 0, 0},
                                PhaseInfoData{1, 25.0f, 0.1f, 3, 2}}};
    Global::_experimentDataVtr = {{nullptr, "1", {{0.1f, 0.0f, 30.3f, -0.7f}, {0.6f, 0.25f, 31.3f, 1.5f}}},
                                  {nullptr, "1", {}},
                                  {nullptr, "1", {{1.5f, 0.5f, 199.125f, 2.5f}, {2.0f, 1.0f, 198.0f, 1e-5f}}}};
    Global::_analysisOperationVtr = {{"experiment", 2, 30.0, 31.5}, {"experiment", 4, 197.0, 200.0}};
    const QString ours = _dir.filePath("ours-record.xlsx");
    const QString theirs = _dir.filePath(writer + ".xlsx");
    QVERIFY(XlsxHandler::writeExperimentFile(ours));
    if (writer == "constant_memory")
        QVERIFY(writeConstantMemory(ours, theirs));
    else
        QVERIFY(!runFixture({writer, ours, theirs}).isNull());

    Global::CurveFileData want, got;
    QCOMPARE(XlsxHandler::readFile(ours, want), 0);
    QCOMPARE(XlsxHandler::readFile(theirs, got), 0);
    QCOMPARE(got.info.sampleName, want.info.sampleName);
    QCOMPARE(got.info.sampleWeight, want.info.sampleWeight);
    QCOMPARE(got.info.user, want.info.user);
    QCOMPARE(got.info.dateTime, want.info.dateTime);
    QCOMPARE(got.info.phaseCount, 2);
    QCOMPARE(got.phases.size(), want.phases.size());
    for (int i = 0; i < want.phases.size(); ++i) {
        const Global::PhaseTotalInfo& a = got.phases.at(i);
        const Global::PhaseTotalInfo& b = want.phases.at(i);
        QCOMPARE(float(a.phase.cutoffTemp), float(b.phase.cutoffTemp));
        QCOMPARE(float(a.phase.scanRate), float(b.phase.scanRate));
        QCOMPARE(quint16(a.phase.constantTempTime), quint16(b.phase.constantTempTime));
        QCOMPARE(a.phase.atmosphere, b.phase.atmosphere);
        QCOMPARE(a.data.size(), 2);
        for (int j = 0; j < a.data.size(); ++j) {
            QCOMPARE(a.data.at(j).runTime, b.data.at(j).runTime);
            QCOMPARE(a.data.at(j).constantTempTime, b.data.at(j).constantTempTime);
            QCOMPARE(a.data.at(j).temperature, b.data.at(j).temperature);
            QCOMPARE(a.data.at(j).dsc, b.data.at(j).dsc);
        }
    }
    QCOMPARE(got.analysisOperations.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(got.analysisOperations.at(i).mode, want.analysisOperations.at(i).mode);
        QCOMPARE(got.analysisOperations.at(i).x1, want.analysisOperations.at(i).x1);
        QCOMPARE(got.analysisOperations.at(i).x2, want.analysisOperations.at(i).x2);
        QCOMPARE(got.analysisOperations.at(i).stage, i);
    }
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
    QTest::newRow("character reference past U+10FFFF") << "char-ref" << 3 << 0;
    QTest::newRow("stored entry altered (checksum)") << "crc" << 3 << 0;
    QTest::newRow("sheet shorter than its size claims") << "size-smaller" << 3 << 0;
    QTest::newRow("sheet claiming 4 GB") << "size-larger" << 3 << 0;
    QTest::newRow("DTD with nested entities") << "dtd" << 3 << 0;
    QTest::newRow("reference beyond row 1048576") << "beyond-row" << 3 << 0;
    QTest::newRow("reference beyond column XFD") << "beyond-column" << 3 << 0;
    QTest::newRow("workbook part without root element") << "no-root-workbook" << 3 << 0;
    QTest::newRow("relationships part without root element") << "no-root-rels" << 3 << 0;
    QTest::newRow("part ending inside an attribute holding &") << "amp-attribute" << 3 << 0;
    QTest::newRow("zip bomb: ten million cells") << "bomb-cells" << 3 << 0;
    QTest::newRow("zip bomb: 1 GB of blanks in 1 MB") << "bomb-blanks" << 3 << 0;
    QTest::newRow("cell in the far corner") << "far-corner" << 0 << 2;
    QTest::newRow("text where numbers belong") << "text-numbers" << 0 << 0;
    QTest::newRow("huge counts") << "huge-counts" << 0 << 1;
}

static long peakMegabytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
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
    // Nothing of the parser's complaints reaches stderr.
    QTemporaryFile errors;
    QVERIFY(errors.open());
    std::fflush(stderr);
    const int savedStderr = dup(2);
    dup2(errors.handle(), 2);
    Workbook book;
    const bool loaded = book.load(file);
    std::fflush(stderr);
    dup2(savedStderr, 2);
    close(savedStderr);
    QCOMPARE(loaded, result == 0);
    QCOMPARE(errors.readAll(), QByteArray());
    // A load keeps at most about 200 MB (cells and texts), whatever the zip claims.
    QVERIFY2(peakMegabytes() < 600, qPrintable(QString::number(peakMegabytes())));

    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), result);
    QCOMPARE(data.phases.size(), stages);
}

void TestWorkbookInterop::outOfRangeNumbers()
{
    const QString file = _dir.filePath("non-finite.xlsx");
    QVERIFY(!runFixture({"non-finite", file}).isNull());
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), 0);
    const Global::PhaseTotalInfo& a = data.phases.at(0);
    QCOMPARE(float(a.phase.cutoffTemp), 0.0f); // "NaN"
    // The first point's run time ("nan") reads as 0, so the point is passed over.
    QCOMPARE(a.data.size(), 2);
    QCOMPARE(a.data.at(0).runTime, 0.2f);
    QCOMPARE(a.data.at(0).temperature, 0.0f); // "INF"
    // 1e39 and -1e400 lie beyond the float range: they saturate.
    QCOMPARE(a.data.at(0).dsc, FLT_MAX);
    QCOMPARE(a.data.at(0).constantTempTime, -FLT_MAX);
    QCOMPARE(a.data.at(1).temperature, 32.75f);
}

// Number texts as writers put them, each compared with glibc's strtod, which
// rounds correctly: hard cases by hand, and random decimals of 1 to 25 digits
// with exponents across the whole range.
void TestWorkbookInterop::numbersCorrectlyRounded()
{
    QStringList texts = {"0.1", "9007199254740993", "2.2250738585072011e-308", "1.7976931348623157e308",
                         "4.9e-324", "2.4703282292062328e-324", "0.30000000000000004", "123456789012345678901234567",
                         "-0", "1E+2", "7.038531e-26", "89255.0e-22", "0.000000000000000000000000000001",
                         "1.00000000000000011102230246251565404236316680908203125"};
    QRandomGenerator random(20250101);
    for (int i = 0; i < 50000; ++i) {
        QString digits;
        const int count = 1 + random.bounded(25);
        for (int d = 0; d < count; ++d)
            digits += QChar('0' + random.bounded(10));
        const int point = random.bounded(count + 1);
        QString text = (random.bounded(2) ? "-" : "") + digits.left(point) + "." + digits.mid(point);
        if (text.endsWith('.') || text.startsWith('.') || text.startsWith("-."))
            text.replace('.', "");
        if (random.bounded(3) == 0)
            text += QString("e%1").arg(random.bounded(-330, 310));
        texts << text;
    }
    QTemporaryFile list;
    QVERIFY(list.open());
    list.write(texts.join('\n').toLatin1());
    list.flush();
    const QString file = _dir.filePath("numbers.xlsx");
    QVERIFY(!runFixture({"numbers", list.fileName(), file}).isNull());

    Workbook book;
    QVERIFY(book.load(file));
    for (int i = 0; i < texts.size(); ++i) {
        const QByteArray text = texts.at(i).toLatin1();
        double want = std::strtod(text.constData(), nullptr);
        if (std::isinf(want)) // beyond the double range: saturates
            want = std::copysign(DBL_MAX, want);
        const double got = book.cellAt(i + 1, 1).toDouble();
        QVERIFY2(std::memcmp(&got, &want, sizeof got) == 0, text.constData());
    }
}

// Each float is stored as the double nearest its shortest decimal wherever
// the file's 16-digit print of some double reads back as that double
// (0.6666667 as 0.6666666999999999). The floats, the texts the file must
// hold and the values openpyxl must read come from the fixture, which works
// them out with Python's exact decimals: temperatures of a run and random
// bit patterns.
void TestWorkbookInterop::floatsWrittenShortest()
{
    const QStringList cases = runFixture({"float-cases"}).split('\n', Qt::SkipEmptyParts);
    QVERIFY(cases.size() > 1000);
    QCOMPARE(cases.first(), QString("3f2aaaab 0.6666666999999999 0.6666667"));
    QCOMPARE(cases.at(1), QString("17899286 8.890404999999999E-25 8.890405e-25"));
    QVector<float> floats;
    Workbook book;
    for (const QString& line : cases) {
        const quint32 bits = line.section(' ', 0, 0).toUInt(nullptr, 16);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        floats << f;
        book.write(floats.size(), 1, f);
    }
    const QString file = _dir.filePath("floats.xlsx");
    QVERIFY(book.saveAs(file));

    const QStringList texts = runFixture({"values", file}).split('\n', Qt::SkipEmptyParts);
    const QStringList read = runFixture({"dump", file}).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(texts.size(), cases.size());
    QCOMPARE(read.size(), cases.size() + 1); // and the sheet's title
    Workbook back;
    QVERIFY(back.load(file));
    for (int i = 0; i < cases.size(); ++i) {
        const QString& expected = cases.at(i);
        QCOMPARE(texts.at(i).section(' ', 1), expected.section(' ', 1, 1));
        // Python's repr reads back as exactly its number (openpyxl gives 92 for "92").
        QCOMPARE(read.at(i + 1).section(' ', 3).toDouble(), expected.section(' ', 2).toDouble());
        QCOMPARE(float(back.numberAt(i + 1, 1)), floats.at(i));
    }
}

QTEST_GUILESS_MAIN(TestWorkbookInterop)
#include "tst_workbookinterop.moc"
