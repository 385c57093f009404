#include "global.h"
#include "workbook.h"
#include "xlsxhandler.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Cells as "A1" style keys, so expected layouts read like the sheet.
static QVariant cell(const Workbook& book, const QString& ref)
{
    const int row = ref.mid(1).toInt();
    return book.cellAt(row, ref.at(0).unicode() - 'A' + 1);
}

static PhaseInfoData stage(quint8 enabled, float cutoff = 0, float rate = 0, quint16 hold = 0, quint32 atm = 0)
{
    PhaseInfoData p;
    p.enabled = enabled;
    p.cutoffTemp = cutoff;
    p.scanRate = rate;
    p.constantTempTime = hold;
    p.atmosphere = atm;
    return p;
}

static Global::CurveExperimentData record(int points, float firstTime = 0.5f)
{
    Global::CurveExperimentData r;
    for (int j = 0; j < points; ++j)
        r.data.append({firstTime + 0.5f * j, 0.25f * j, 30.1f + j, -1.3f * j});
    return r;
}

class TestXlsxHandler : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void blocksFollowEnabledStages_data();
    void blocksFollowEnabledStages();
    void recordsWithoutEnabledStageAreKept_data();
    void recordsWithoutEnabledStageAreKept();
    void failedSaveKeepsExistingWorkbook();
    void nonFiniteNumbersLeftOut();
    void runReadsBack();
    void readFileResults_data();
    void readFileResults();
    void readerEdgeCases();
    void appendAfterTheStages();
    void appendReplacesTheBlock();
    void appendToVanishedFileWritesFromMemory();
    void smoothnessWritesTheSmoothedWorkbook();
    void saveCases_data();
    void saveCases();
    void eachAnalysisTakenOnce_data();
    void eachAnalysisTakenOnce();
    void noSaveOfMoreAnalysesThanAReadTakes();
    void leftoversOfKilledSavesRemoved();

private:
    QString path(const QString& name) const { return _dir.filePath(name); }
    std::unique_ptr<Workbook> reopen(const QString& file) const;

    QTemporaryDir _dir;
};

void TestXlsxHandler::init()
{
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_experimentDataVtr.clear();
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    Global::_savedAnalysisOperationVtr.clear();
    Global::_smoothnessFlag = false;
}

// Read as the workspace loads a workbook, so that a save can choose it.
static bool load(const QString& file)
{
    Global::CurveFileData data;
    if (XlsxHandler::readFile(file, data) != 0)
        return false;
    Global::_curveFileDataVtr.append(data);
    return true;
}

std::unique_ptr<Workbook> TestXlsxHandler::reopen(const QString& file) const
{
    std::unique_ptr<Workbook> book(new Workbook);
    if (!book->load(file))
        qWarning() << book->errorString();
    return book;
}

void TestXlsxHandler::blocksFollowEnabledStages_data()
{
    QTest::addColumn<QVector<quint8>>("enabled");
    QTest::addColumn<QVector<int>>("points");
    QTest::addColumn<QVector<int>>("blockRows");    // start row of each block
    QTest::addColumn<QVector<int>>("phaseIndexes"); // its "阶段索引："
    QTest::addColumn<int>("lastRow");

    QTest::newRow("stages 1 and 3 enabled") << QVector<quint8>{1, 0, 1} << QVector<int>{2, 0, 4}
                                            << QVector<int>{9, 18} << QVector<int>{1, 3} << 28;
    QTest::newRow("no enabled stage") << QVector<quint8>{0, 0} << QVector<int>{} << QVector<int>{}
                                      << QVector<int>{} << 8;
    QTest::newRow("0-point stage then 1 point") << QVector<quint8>{1, 1} << QVector<int>{0, 1}
                                               << QVector<int>{9, 16} << QVector<int>{1, 2} << 23;
}

void TestXlsxHandler::blocksFollowEnabledStages()
{
    QFETCH(QVector<quint8>, enabled);
    QFETCH(QVector<int>, points);
    QFETCH(QVector<int>, blockRows);
    QFETCH(QVector<int>, phaseIndexes);
    QFETCH(int, lastRow);
    for (quint8 e : enabled)
        Global::_experimentInfo.phases.append(stage(e));
    for (int n : points)
        Global::_experimentDataVtr.append(record(n, 1.0f + Global::_experimentDataVtr.size() * 10));
    QVERIFY(XlsxHandler::writeExperimentFile(path("stages.xlsx")));

    const auto book = reopen(path("stages.xlsx"));
    QCOMPARE(book->cellAt(8, 2).toInt(), blockRows.size());
    for (int b = 0; b < blockRows.size(); ++b) {
        const int r = blockRows.at(b);
        QCOMPARE(book->cellAt(r, 1).toString(), XlsxLabels::Number);
        QCOMPARE(book->cellAt(r + 1, 2).toInt(), phaseIndexes.at(b));
        const int n = points.at(phaseIndexes.at(b) - 1);
        QCOMPARE(book->cellAt(r + 6, 2).toInt(), n);
        if (n > 0) // the first point of record k starts at 1 + 10k
            QCOMPARE(book->cellAt(r + 7, 2).toDouble(), 1.0 + 10 * (phaseIndexes.at(b) - 1));
    }
    QCOMPARE(book->lastRow(), lastRow);
}

void TestXlsxHandler::recordsWithoutEnabledStageAreKept_data()
{
    QTest::addColumn<QVector<quint8>>("enabled");
    QTest::addColumn<int>("records");
    QTest::addColumn<QVector<int>>("phaseIndexes");

    QTest::newRow("no stage table") << QVector<quint8>{} << 2 << QVector<int>{1, 2};
    QTest::newRow("extra stage record") << QVector<quint8>{1} << 2 << QVector<int>{1, 2};
    QTest::newRow("record of a disabled stage") << QVector<quint8>{0, 1} << 2 << QVector<int>{2, 1};
}

void TestXlsxHandler::recordsWithoutEnabledStageAreKept()
{
    QFETCH(QVector<quint8>, enabled);
    QFETCH(int, records);
    QFETCH(QVector<int>, phaseIndexes);
    for (quint8 e : enabled)
        Global::_experimentInfo.phases.append(stage(e, 99.0f, 5.0f, 3, 2));
    for (int k = 0; k < records; ++k)
        Global::_experimentDataVtr.append(record(3));
    QVERIFY(XlsxHandler::writeExperimentFile(path("kept.xlsx")));

    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("kept.xlsx"), data), 0);
    QCOMPARE(data.info.phaseCount, phaseIndexes.size());
    QCOMPARE(data.phases.size(), phaseIndexes.size());
    const auto book = reopen(path("kept.xlsx"));
    for (int b = 0; b < phaseIndexes.size(); ++b) {
        QCOMPARE(data.phases.at(b).data.size(), 3);
        QCOMPARE(book->cellAt(9 + 10 * b + 1, 2).toInt(), phaseIndexes.at(b));
    }
    // A record no enabled stage took carries no settings of its own.
    QCOMPARE(float(data.phases.last().phase.cutoffTemp), 0.0f);
    QCOMPARE(data.phases.last().phase.atmosphere, quint32(NC));
}

void TestXlsxHandler::failedSaveKeepsExistingWorkbook()
{
    Global::_experimentInfo.phases = {stage(1)};
    Global::_experimentDataVtr = {record(2)};
    QVERIFY(XlsxHandler::writeExperimentFile(path("keep.xlsx")));
    const QByteArray before = [this] { QFile f(path("keep.xlsx")); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    // A cell text past the format's 32767 characters makes the writer fail.
    Global::_experimentInfo.sampleName = QString(40000, 'x');
    QVERIFY(!XlsxHandler::writeExperimentFile(path("keep.xlsx")));
    QFile after(path("keep.xlsx"));
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
    QCOMPARE(QDir(_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).filter(
                 QRegularExpression("^\\.")),
             QStringList());

    Global::_experimentInfo.sampleName.clear();
    QVERIFY(!XlsxHandler::writeExperimentFile(path("no-such-folder/run.xlsx")));
}

void TestXlsxHandler::nonFiniteNumbersLeftOut()
{
    // A damaged frame can put NaN or infinity into a run; the file must stay
    // one that spreadsheet programs open, so those cells stay empty.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Global::_experimentInfo.phases = {stage(1, inf, nan)};
    Global::_experimentDataVtr = {{nullptr, "1", {{1.0f, 0.0f, -inf, nan}, {2.0f, 0.0f, 30.0f, 1.5f}}}};
    QVERIFY(XlsxHandler::writeExperimentFile(path("nan.xlsx")));

    const auto book = reopen(path("nan.xlsx"));
    for (const char* ref : {"B11", "B12", "C16", "D16"})
        QVERIFY2(!cell(*book, ref).isValid(), ref);
    QCOMPARE(cell(*book, "B16"), QVariant(1.0));
    QCOMPARE(cell(*book, "D17"), QVariant(1.5));
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("nan.xlsx"), data), 0);
    QCOMPARE(data.phases.first().data.size(), 2);
    QCOMPARE(data.phases.first().data.first().temperature, 0.0f);
}

void TestXlsxHandler::runReadsBack()
{
    Global::_experimentInfo = {"PE", "5.2", "2025-03-04", "李工", 0, {stage(1, 200.0f, 10.0f, 7, 2)}};
    Global::_experimentDataVtr = {record(4, 0.0f)}; // run time 0.0 of the first point: not read
    Global::_analysisOperationVtr = {{"experiment", 7, 31.5, 33.0}};
    QVERIFY(XlsxHandler::writeExperimentFile(path("a.xlsx")));

    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("a.xlsx"), data), 0);
    QCOMPARE(data.fileName, QString("a.xlsx"));
    QCOMPARE(XlsxHandler::_currentFilePath, path("a.xlsx"));
    QCOMPARE(data.info.sampleName, QString("PE"));
    QCOMPARE(data.info.sampleWeight, QString("5.2"));
    QCOMPARE(data.info.user, QString("李工"));
    QCOMPARE(data.info.dateTime, QString("2025-03-04"));
    QCOMPARE(data.phases.size(), 1);
    const Global::PhaseTotalInfo& s = data.phases.first();
    QCOMPARE(s.phaseIndex, 1);
    QCOMPARE(s.phase.enabled, quint8(1));
    QCOMPARE(float(s.phase.scanRate), 10.0f);
    QCOMPARE(quint16(s.phase.constantTempTime), quint16(7));
    QCOMPARE(s.phase.atmosphere, quint32(2));
    QCOMPARE(s.data.size(), 3);
    for (int j = 0; j < 3; ++j) {
        const Global::ExperimentData& want = Global::_experimentDataVtr.first().data.at(j + 1);
        QCOMPARE(s.data.at(j).runTime, want.runTime);
        QCOMPARE(s.data.at(j).temperature, want.temperature);
        QCOMPARE(s.data.at(j).dsc, want.dsc);
        QCOMPARE(s.data.at(j).constantTempTime, want.constantTempTime);
    }
    QCOMPARE(data.analysisOperations.size(), 1);
    QCOMPARE(data.analysisOperations.first().name, QString("a.xlsx"));
    QCOMPARE(data.analysisOperations.first().mode, 7);
    QCOMPARE(data.analysisOperations.first().x2, 33.0);
    QCOMPARE(data.analysisOperations.first().stage, 0);
}

void TestXlsxHandler::readFileResults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("create");
    QTest::addColumn<int>("result");

    QTest::newRow("upper-case suffix") << "run.XLSX" << true << 0;
    QTest::newRow("xls suffix") << "run.xls" << true << 2;
    QTest::newRow("missing") << "gone.xlsx" << false << 1;
}

void TestXlsxHandler::readFileResults()
{
    QFETCH(QString, name);
    QFETCH(bool, create);
    QFETCH(int, result);
    if (create)
        QVERIFY(XlsxHandler::writeExperimentFile(path(name)));
    XlsxHandler::_currentFilePath = "remembered";
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path(name), data), result);
    QCOMPARE(XlsxHandler::_currentFilePath, result == 0 ? path(name) : QString("remembered"));
    QCOMPARE(data.fileName, result == 0 ? name : QString());
}

void TestXlsxHandler::readerEdgeCases()
{
    Workbook book;
    book.write(8, 2, 2);
    book.write(13, 2, 70000);     // a hold time past u16
    book.write(15, 2, 4);
    const double times[] = {0.0, 1.5, 0.0, 2.5};
    for (int j = 0; j < 4; ++j)
        book.write(16 + j, 2, times[j]);
    book.write(21, 2, 3); // second block, "阶段索引：" 3, no points
    book.write(26, 2, 0);
    book.write(27, 2, 2000000000); // far more operations than rows
    book.write(28, 1, QStringLiteral("GlassTransition"));
    book.write(29, 1, QStringLiteral("glasstransition")); // no such name: left out
    QVERIFY(book.saveAs(path("edge.xlsx")));

    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("edge.xlsx"), data), 0);
    QCOMPARE(data.phases.size(), 2);
    QCOMPARE(quint16(data.phases.at(0).phase.constantTempTime), quint16(4464));
    QCOMPARE(data.phases.at(0).data.size(), 2);
    QCOMPARE(data.phases.at(0).data.at(1).runTime, 2.5f);
    QCOMPARE(data.phases.at(1).phaseIndex, 2);
    QCOMPARE(data.phases.at(1).data.size(), 0);
    QCOMPARE(data.analysisOperations.size(), 1);
    QCOMPARE(data.analysisOperations.first().mode, 5);
}

// The reader looks for the analyses right after the stage blocks, whatever
// stands further down.
void TestXlsxHandler::appendAfterTheStages()
{
    Workbook source;
    source.write(8, 2, 0);
    source.write(57, 1, 1.0);
    QVERIFY(source.saveAs(path("src.xlsx")));
    QVERIFY(load(path("src.xlsx")));

    QVERIFY(XlsxHandler::appendAnalysisOperation(path("same.xlsx")));
    QCOMPARE(reopen(path("same.xlsx"))->lastRow(), 57);

    Global::_analysisOperationVtr = {{"other.xlsx", 2, 1, 1}, {"src.xlsx", 3, 4.0, 5.0}};
    QVERIFY(XlsxHandler::appendAnalysisOperation(path("out.xlsx")));
    const auto book = reopen(path("out.xlsx"));
    QCOMPARE(cell(*book, "A57"), QVariant(1.0));
    QCOMPARE(cell(*book, "A9").toString(), XlsxLabels::AnalysisOperationCount);
    QCOMPARE(cell(*book, "B9"), QVariant(1.0));
    QCOMPARE(cell(*book, "A10").toString(), QString("StopPoint"));
    QCOMPARE(book->lastRow(), 57);
}

void TestXlsxHandler::appendReplacesTheBlock()
{
    Global::_experimentInfo.phases = {stage(1)};
    Global::_experimentDataVtr = {record(2)};
    Global::_analysisOperationVtr = {{"experiment", 4, 30.0, 31.5}};
    QVERIFY(XlsxHandler::writeExperimentFile(path("b.xlsx")));
    QVERIFY(load(path("b.xlsx")));

    // The last one has the stored one's bounds as run times: another analysis.
    Global::_analysisOperationVtr = {{"b.xlsx", 6, 30.1, 31.1, false, 0},
                                     {"b.xlsx", 2, 30.5, 31.0, false, 0},
                                     {"b.xlsx", 4, 30.0, 31.5, true, 0}};
    QVERIFY(XlsxHandler::appendAnalysisOperation(path("b.xlsx")));
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("b.xlsx"), data), 0);
    QCOMPARE(data.analysisOperations.size(), 4);
    QCOMPARE(data.analysisOperations.at(0).mode, 4);
    QCOMPARE(data.analysisOperations.at(1).mode, 6);
    QCOMPARE(data.analysisOperations.at(2).x1, 30.5);
    QVERIFY(data.analysisOperations.at(3).timeAxis);
}

// A new name needs nothing of the file the workbook was read from.
void TestXlsxHandler::appendToVanishedFileWritesFromMemory()
{
    Global::_experimentInfo.phases = {stage(1)};
    Global::_experimentDataVtr = {record(2)};
    QVERIFY(XlsxHandler::writeExperimentFile(path("v.xlsx")));
    QVERIFY(load(path("v.xlsx")));
    QVERIFY(QFile::remove(path("v.xlsx")));
    QVERIFY(XlsxHandler::appendAnalysisOperation(path("v2.xlsx")));
    QVERIFY(!QFile::exists(path("v.xlsx")));
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("v2.xlsx"), data), 0);
    QCOMPARE(data.phases.size(), 1);
    QCOMPARE(data.phases.first().data.size(), 2);
}

// The workbook smoothed last, with its stored analyses and those applied to
// it since, each on its stage block.
void TestXlsxHandler::smoothnessWritesTheSmoothedWorkbook()
{
    QVERIFY(!XlsxHandler::writeSmoothnessFile(path("none.xlsx")));
    QVERIFY(!QFile::exists(path("none.xlsx")));

    Global::CurveFileData first;
    first.fileName = "first.xlsx";
    first.info.sampleName = "first";
    Global::PhaseTotalInfo s;
    s.phase = stage(1, 50.0f);
    s.data = record(2).data;
    first.phases = {s, s};
    first.analysisOperations = {{"first.xlsx", 1, 30.1, 30.1, false, 1}};
    Global::CurveFileData second = first;
    first.smoothed = true;
    second.fileName = "second.xlsx";
    second.info.sampleName = "second";
    Global::_curveFileDataVtr = {first, second};
    Global::_smoothnessFlag = true;
    Global::_smoothedCurveName = "first.xlsx";
    Global::_analysisOperationVtr = {{"first.xlsx", 5, 30.0, 31.5, false, 0},
                                     {"second.xlsx", 1, 30.1, 30.1, false, 0}};
    QVERIFY(XlsxHandler::writeSmoothnessFile(path("smooth.xlsx")));

    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(path("smooth.xlsx"), data), 0);
    QCOMPARE(data.info.sampleName, QString("first"));
    QCOMPARE(data.phases.size(), 2);
    QCOMPARE(float(data.phases.at(1).phase.cutoffTemp), 50.0f);
    QCOMPARE(data.analysisOperations.size(), 2);
    QCOMPARE(data.analysisOperations.at(0).mode, 1);
    QCOMPARE(data.analysisOperations.at(0).stage, 1);
    QCOMPARE(data.analysisOperations.at(1).mode, 5);
    QCOMPARE(data.analysisOperations.at(1).stage, 0);
}

// Saving analyses back into a loaded workbook, and what may stand in the way.
void TestXlsxHandler::saveCases_data()
{
    QTest::addColumn<int>("nameBytes");       // of the workbook's file name
    QTest::addColumn<bool>("plantLink");      // a dangling link at the temporary folder's name
    QTest::addColumn<bool>("failedLoad");     // a damaged workbook refused after ours was read
    QTest::addColumn<bool>("replaceSource");  // another run saved over ours after it was read
    QTest::addColumn<bool>("readOnly");       // ours marked 0444
    QTest::addColumn<int>("appends");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("operationsInFile");

    QTest::newRow("append once") << 6 << false << false << false << false << 1 << true << 1;
    QTest::newRow("appended twice, held once") << 6 << false << false << false << false << 2 << true << 1;
    QTest::newRow("failed load, then save") << 6 << false << true << false << false << 1 << true << 1;
    QTest::newRow("source replaced since read") << 6 << false << false << true << false << 1 << false << 0;
    QTest::newRow("250-byte name") << 250 << false << false << false << false << 2 << true << 1;
    QTest::newRow("planted link at the temporary name") << 6 << true << false << false << false << 1 << true << 1;
    QTest::newRow("read-only target") << 6 << false << false << false << true << 1 << false << 0;
}

void TestXlsxHandler::saveCases()
{
    QFETCH(int, nameBytes);
    QFETCH(bool, plantLink);
    QFETCH(bool, failedLoad);
    QFETCH(bool, replaceSource);
    QFETCH(bool, readOnly);
    QFETCH(int, appends);
    QFETCH(bool, saved);
    QFETCH(int, operationsInFile);
    QTemporaryDir dir, outside;
    const QString name = QString(nameBytes - 5, 'x') + ".xlsx";
    const QString file = dir.filePath(name);
    const QString escaped = outside.filePath("escaped.xlsx");
    if (plantLink)
        QVERIFY(QFile::link(escaped, dir.filePath(".qsave")));
    Global::_experimentInfo.phases = {stage(1, 120.0f)};
    Global::_experimentDataVtr = {record(3)};
    QVERIFY(XlsxHandler::writeExperimentFile(file));
    QVERIFY(load(file));
    if (failedLoad) {
        QFile bad(dir.filePath("bad.xlsx"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("PK\x03\x04 damaged");
        bad.close();
        Global::CurveFileData refused;
        QCOMPARE(XlsxHandler::readFile(bad.fileName(), refused), 3);
        QCOMPARE(XlsxHandler::_currentFilePath, file);
    }
    if (replaceSource) {
        Global::_experimentDataVtr = {record(5, 7.0f)};
        QVERIFY(XlsxHandler::writeExperimentFile(file));
    }
    if (readOnly)
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const QByteArray before = [&file] { QFile f(file); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    Global::_analysisOperationVtr = {{name, 4, 100.0, 150.5, false, 0}, {"other.xlsx", 1, 1.0, 1.0}};
    for (int i = 0; i < appends; ++i)
        QCOMPARE(XlsxHandler::appendAnalysisOperation(file), saved);
    if (!saved) {
        QFile after(file);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(file, data), 0);
    QCOMPARE(data.analysisOperations.size(), operationsInFile);
    QCOMPARE(data.phases.first().data.size(), replaceSource ? 5 : 3);
    QVERIFY(!QFileInfo::exists(escaped));
    QCOMPARE(QFileInfo(dir.filePath(".qsave")).isSymLink(), plantLink);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
             1 + (plantLink ? 1 : 0) + (failedLoad ? 1 : 0));
}

// A save killed midway leaves its temporary folder; the next save in that
// folder removes it. Kept: the folder of a save still running (it holds the
// folder's lock, as this test does here), a link at such a name, and a folder
// holding anything else than the one file a save puts there.
void TestXlsxHandler::leftoversOfKilledSavesRemoved()
{
    QTemporaryDir dir, outside;
    QDir folder(dir.path());
    // .qsave_backup is a name of the user's, not of a save.
    for (const char* name : {".qsave", ".qsave-k1ll3d", ".qsave-runnin", ".qsave-notes", ".qsave_backup"})
        QVERIFY(folder.mkdir(name));
    for (const char* file : {".qsave/book.xlsx", ".qsave-k1ll3d/book.xlsx", ".qsave-runnin/book.xlsx",
                             ".qsave-notes/notes.txt", ".qsave-notes/book.xlsx", ".qsave_backup/book.xlsx"})
        QVERIFY(QFile(dir.filePath(file)).open(QIODevice::WriteOnly));
    QVERIFY(QFile(outside.filePath("book.xlsx")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(outside.path(), dir.filePath(".qsave-linked")));
    const int running = ::open(QFile::encodeName(dir.filePath(".qsave-runnin")).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(running >= 0 && ::flock(running, LOCK_EX | LOCK_NB) == 0);

    Global::_experimentInfo.phases = {stage(1)};
    Global::_experimentDataVtr = {record(2)};
    const bool saved = XlsxHandler::writeExperimentFile(dir.filePath("run.xlsx"));
    ::close(running);
    QVERIFY(saved);
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{".qsave-linked", ".qsave-notes", ".qsave-runnin", ".qsave_backup", "run.xlsx"}));
    for (const char* kept : {".qsave-runnin/book.xlsx", ".qsave-notes/book.xlsx", ".qsave_backup/book.xlsx"})
        QVERIFY2(QFile::exists(dir.filePath(kept)), kept);
    QVERIFY(QFile::exists(outside.filePath("book.xlsx")));
}

QTEST_GUILESS_MAIN(TestXlsxHandler)
// A stored analysis and the same one applied again, its bounds read back
// through 16 digits and so one bit apart, are one analysis for a save; one
// on another stage, or with a bound 1e-12 away, is another.
void TestXlsxHandler::eachAnalysisTakenOnce_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("applied");
    QTest::addColumn<int>("stage");
    QTest::addColumn<int>("taken");
    QTest::newRow("same") << 100.1 << 100.1 << 1 << 1;
    QTest::newRow("one bit above") << 100.1 << std::nextafter(100.1, 200.0) << 1 << 1;
    QTest::newRow("one bit below, negative") << -35.2 << std::nextafter(-35.2, -50.0) << 1 << 1;
    QTest::newRow("zero") << 0.0 << -0.0 << 1 << 1;
    QTest::newRow("apart") << 100.1 << 100.1 + 1e-12 << 1 << 2;
    QTest::newRow("another stage") << 100.1 << 100.1 << 2 << 2;
}

void TestXlsxHandler::eachAnalysisTakenOnce()
{
    QFETCH(double, x1);
    QFETCH(double, applied);
    QFETCH(int, stage);
    QFETCH(int, taken);
    Global::CurveFileData file;
    file.fileName = "a.xlsx";
    file.analysisOperations = {{"a.xlsx", 4, x1, 150.5, false, 1}, {"a.xlsx", 1, 60.0, 60.0, false, 1}};
    Global::_curveFileDataVtr = {file};
    Global::_analysisOperationVtr = {{"a.xlsx", 4, applied, 150.5, false, stage}};
    const XlsxHandler::Snapshot snapshot = XlsxHandler::Snapshot::take();
    QCOMPARE(snapshot.workbookOperations.size(), taken + 1);

    XlsxHandler::keepSaved(snapshot, snapshot.workbookOperations);
    XlsxHandler::keepSaved(snapshot, snapshot.workbookOperations);
    QCOMPARE(Global::_savedAnalysisOperationVtr.size(), taken + 1);
    QVERIFY(XlsxHandler::unsavedCurves(snapshot.workbookOperations).isEmpty());
}

// The reader refuses a workbook of more than 10,000 analyses, so no save
// writes one: 10,000 are saved and read back, 10,001 leave no file.
void TestXlsxHandler::noSaveOfMoreAnalysesThanAReadTakes()
{
    QTemporaryDir dir;
    Global::_experimentInfo.phases = {stage(1, 120.0f)};
    Global::_experimentDataVtr = {record(3)};
    for (int count : {10000, 10001}) {
        const QString file = dir.filePath(QString::number(count) + ".xlsx");
        XlsxHandler::Snapshot snapshot = XlsxHandler::Snapshot::take();
        snapshot.runOperations.fill({Global::ExperimentKey, 1, 0.75, 0.75, false, 0}, count);
        QCOMPARE(XlsxHandler::writeExperimentFile(file, snapshot), count == 10000);
        QCOMPARE(QFile::exists(file), count == 10000);
        QCOMPARE(snapshot.reason.contains("10001"), count == 10001);
    }
    Global::CurveFileData data;
    QCOMPARE(XlsxHandler::readFile(dir.filePath("10000.xlsx"), data), 0);
    QCOMPARE(data.analysisOperations.size(), 10000);
}

#include "tst_xlsxhandler.moc"
