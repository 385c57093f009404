#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "windowtesthelpers.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace AnalysisTest;

namespace {

// "T1：70.001℃\nTg：80.000℃\nT2：89.999℃" -> 70.001, 80, 89.999
QVector<double> numbersOf(const QString& text)
{
    QVector<double> numbers;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("-?\\d+\\.\\d+")).globalMatch(text);
    while (it.hasNext())
        numbers << it.next().captured(0).toDouble();
    return numbers;
}

// The sample measured nearest run time t in curve(): sample T sits at
// (T - 29) × 0.1 min, from 30 to 130 ℃.
double temperatureAtTime(double t)
{
    return qBound(30, 29 + qRound(t * 10.0), 130);
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadDrawsEveryStage();
    void failedReadWarns_data();
    void failedReadWarns();
    void secondLoadRedrawsAndSwitchLeavesOneCopy();
    void analysisLabels_data();
    void analysisLabels();
    void peakEnthalpyPerSampleMass_data();
    void peakEnthalpyPerSampleMass();
    void glassTransitionStep_data();
    void glassTransitionStep();
    void zeroSignalNumericalLabelWarns();
    void applyTwiceWithoutMovingOnce();
    void confirmUndoCancel_data();
    void confirmUndoCancel();
    void runInProgressRecordsNothing_data();
    void runInProgressRecordsNothing();
    void storedOperationsRerunOnLoad();
    void storedOperationsOfAStagelessWorkbookDrawNothing();

private:
    QString workbook(const QString& name, const QVector<QVector<Global::ExperimentData>>& stages,
                     const QVector<AnalysisOperation>& operations = {});
    void applyAt(double x1, double x2);

    QTemporaryDir _dir;
    CentralWidget* _widget = nullptr;
    QCustomPlot* _plot = nullptr;
    std::unique_ptr<DialogAnswers> _dialogs;
};

void TestAnalysis::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_timeAxisFlag = 0;
    Global::_timeAxisAnalysisPCTModeFlag = false;
    Global::_enthalpyCoefficientEnableFlag = false;
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 1.0);
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    Global::clearCurveExperimentData();
    _dialogs = std::make_unique<DialogAnswers>();
    _widget = new CentralWidget;
    _widget->resize(800, 600);
    _plot = _widget->plot();
}

void TestAnalysis::cleanup()
{
    delete _widget;
    _widget = nullptr;
    _dialogs.reset();
    QCOMPARE(PlotItemRegistry::texts().size() + PlotItemRegistry::arrows().size() + PlotItemRegistry::graphs().size(),
             0);
}

QString TestAnalysis::workbook(const QString& name, const QVector<QVector<Global::ExperimentData>>& stages,
                               const QVector<AnalysisOperation>& operations)
{
    const QString path = _dir.filePath(name);
    if (!writeWorkbook(path, stages, QStringLiteral("2"), operations))
        qFatal("workbook not written");
    return path;
}

void TestAnalysis::applyAt(double x1, double x2)
{
    setLineKey(_widget->line1(), x1);
    setLineKey(_widget->line2(), x2);
    _widget->slotAnalysisSettingApply();
}

// Loading the same path twice reads and draws it once.
void TestAnalysis::loadDrawsEveryStage()
{
    const QString path = workbook("three.xlsx", {curve(line, 10), curve(peak, 20), curve(step, 50, 100.0f)});
    _widget->slotRecvAnalysisFileName(path);
    _widget->slotRecvAnalysisFileName(path);

    QCOMPARE(Global::_curveFileDataVtr.size(), 1);
    QCOMPARE(_widget->openedFilePaths(), QVector<QString>{path});
    const QList<QCPCurve*> drawn = curves(_plot);
    QCOMPARE(drawn.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(Global::_curveFileDataVtr.first().phases.at(i).curve, drawn.at(i));
    QCOMPARE(drawn.at(1)->data()->size(), 20);
    QCOMPARE(drawn.at(1)->data()->at(19)->key, 49.0);
    QCOMPARE(_widget->currentCurve(), drawn.at(2));
    // Third stage: 100 to 149 ℃, widened by a fifth of the 49 ℃ span.
    QCOMPARE(_plot->xAxis->range().lower, double(float(100.0 - 0.2 * 49.0)));
    QCOMPARE(_plot->xAxis->range().upper, double(float(149.0 + 0.2 * 49.0)));
    QVERIFY(_dialogs->boxes.isEmpty());
}

void TestAnalysis::failedReadWarns_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing file") << "absent.xlsx" << QByteArray();
    QTest::newRow("other suffix") << "run.csv" << QByteArray("1,2,3\n");
    QTest::newRow("not a workbook") << "broken.xlsx" << QByteArray("PK\x03\x04 no zip");
}

void TestAnalysis::failedReadWarns()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = _dir.filePath(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    _widget->slotRecvAnalysisFileName(path);
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().title, QStringLiteral("warnning"));
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("File parse error."));
    QVERIFY(Global::_curveFileDataVtr.isEmpty());
    QVERIFY(curves(_plot).isEmpty());
    // The failed path is not read again.
    _widget->slotRecvAnalysisFileName(path);
    QCOMPARE(_dialogs->boxes.size(), 1);
}

void TestAnalysis::secondLoadRedrawsAndSwitchLeavesOneCopy()
{
    _widget->slotRecvAnalysisFileName(workbook("a.xlsx", {curve(peak)}, {{"a.xlsx", 1, 80.3, 0.0}}));
    _widget->slotRecvAnalysisFileName(workbook("b.xlsx", {curve(step)}));
    QStringList names;
    for (QCPCurve* c : curves(_plot))
        names << c->objectName();
    QCOMPARE(names, (QStringList{"a.xlsx", "a.xlsx", "b.xlsx"}));
    QCOMPARE(labelTexts(_plot).size(), 2);

    _widget->switchAxisQuantity();
    QCOMPARE(Global::_timeAxisFlag, 1);
    const QList<QCPCurve*> drawn = curves(_plot);
    QCOMPARE(drawn.size(), 2);
    QCOMPARE(drawn.first()->data()->at(0)->key, double(0.1f));
    // The stored region is in temperatures: the label stays on the 80 ℃
    // sample, at its run time.
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n5.100 min,6.000"});

    _widget->switchAxisQuantity();
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n80.000℃,6.000"});
}

// Expected figures by hand from the shape of peak(): it leaves the 1 mW
// baseline at 58 ℃, is flat at 6 mW from 78 to 82 ℃ and returns at 102 ℃;
// the enthalpy is 120 mW·℃ × 8.177 / 2 mg. On the time axis sample T sits at
// (T - 29) × 0.1 min.
void TestAnalysis::analysisLabels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("timeAxis");
    QTest::addColumn<bool>("timeText");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPointF>("target");

    const QString peakText = "峰的综合信息：\n焓值：490.620 J/g \n峰值：78.000℃ \n起始点：58.000℃ \n终止点：102.000℃";
    const QString peakTimeText =
        "峰的综合信息：\n焓值：490.6200 J/g \n峰值：4.900min \n起始点：2.900min \n终止点：7.300min";
    QTest::newRow("numerical label") << 1 << 0 << false << 80.3 << 0.0 << "数值：\n80.000℃,6.000" << QPointF(80, 6);
    QTest::newRow("start point") << 2 << 0 << false << 40.0 << 120.0 << "外推起始点：\n58.000℃" << QPointF(58, 1);
    QTest::newRow("stop point") << 3 << 0 << false << 40.0 << 120.0 << "外推终止点：\n102.000℃" << QPointF(102, 1);
    QTest::newRow("peak synthesis") << 4 << 0 << false << 40.0 << 120.0 << peakText << QPointF(78, 6);
    QTest::newRow("peak synthesis, time text") << 4 << 0 << true << 40.0 << 120.0 << peakTimeText << QPointF(78, 6);
    QTest::newRow("onset") << 6 << 0 << false << 40.0 << 120.0 << "82.000" << QPointF(82, 6);
    QTest::newRow("endset") << 7 << 0 << false << 40.0 << 120.0 << "78.000" << QPointF(78, 6);
    QTest::newRow("time: numerical label") << 1 << 1 << false << 5.13 << 0.0 << "数值：\n5.100 min,6.000"
                                           << QPointF(5.1, 6);
    QTest::newRow("time: start point") << 2 << 1 << false << 1.1 << 9.1 << "外推起始点：\n2.900 min"
                                       << QPointF(2.9, 1);
    QTest::newRow("time: stop point") << 3 << 1 << false << 1.1 << 9.1 << "外推终止点：\n7.300 min"
                                      << QPointF(7.3, 1);
    QTest::newRow("time: peak synthesis") << 4 << 1 << false << 1.1 << 9.1 << peakTimeText << QPointF(4.9, 6);
    QTest::newRow("time: onset") << 6 << 1 << false << 1.1 << 9.1 << "5.300" << QPointF(5.3, 6);
    QTest::newRow("time: endset") << 7 << 1 << false << 1.1 << 9.1 << "4.900" << QPointF(4.9, 6);
}

void TestAnalysis::analysisLabels()
{
    QFETCH(int, mode);
    QFETCH(int, timeAxis);
    QFETCH(bool, timeText);
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(QString, text);
    QFETCH(QPointF, target);

    Global::_timeAxisFlag = timeAxis;
    Global::_timeAxisAnalysisPCTModeFlag = timeText;
    _widget->slotRecvAnalysisFileName(workbook("peak.xlsx", {curve(peak)}));
    _widget->setAnalysisMode(static_cast<CentralWidget::AnalysisMode>(mode));
    applyAt(x1, x2);

    QCOMPARE(labelTexts(_plot), QStringList{text});
    QCOMPARE(PlotItemRegistry::arrows().size(), 1);
    auto* arrow = static_cast<QCPItemLine*>(PlotItemRegistry::arrows().first());
    QVERIFY(qAbs(arrow->end->coords().x() - target.x()) < 1e-5);
    QVERIFY(qAbs(arrow->end->coords().y() - target.y()) < 1e-5);
    QCOMPARE(Global::_analysisOperationVtr.size(), 1);
    const AnalysisOperation recorded = Global::_analysisOperationVtr.first();
    QCOMPARE(recorded.mode, mode);
    // The region is recorded in sample temperatures on either abscissa.
    QCOMPARE(recorded.x1, timeAxis ? temperatureAtTime(x1) : x1);
    QCOMPARE(recorded.x2, timeAxis ? temperatureAtTime(x2) : x2);
}

// 120 mW·℃ × 8.177 = 981.240 per mg (see analysisLabels); a mass that is
// missing, not a finite number or not positive counts as 1 mg.
void TestAnalysis::peakEnthalpyPerSampleMass_data()
{
    QTest::addColumn<QString>("mass");
    QTest::addColumn<QString>("enthalpy");
    QTest::newRow("2 mg") << "2" << "490.620";
    QTest::newRow("missing") << "" << "981.240";
    QTest::newRow("negative") << "-2" << "981.240";
    QTest::newRow("nan") << "nan" << "981.240";
    QTest::newRow("inf") << "inf" << "981.240";
}

void TestAnalysis::peakEnthalpyPerSampleMass()
{
    QFETCH(QString, mass);
    QFETCH(QString, enthalpy);
    const QString path = _dir.filePath("mass.xlsx");
    QVERIFY(writeWorkbook(path, {curve(peak)}, mass));
    _widget->slotRecvAnalysisFileName(path);
    _widget->setAnalysisMode(CentralWidget::PeakSynthesisAnalysis);
    applyAt(40.0, 120.0);
    const QStringList texts = labelTexts(_plot);
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().contains("焓值：" + enthalpy + " J/g"), qPrintable(texts.first()));
}

// Hand figures for step(): the baselines fitted left of 60 ℃ and right of
// 100 ℃ are 1 and 3 mW; a tangent of slope 0.1 within 0.1 µW of the rise
// meets them at 70 and 90 ℃ within 0.001 ℃; Tg is the sample at 2 mW, 80 ℃.
// On the time axis sample T sits at (T - 29) × 0.1 min.
void TestAnalysis::glassTransitionStep_data()
{
    QTest::addColumn<bool>("hasStep");
    QTest::addColumn<int>("timeAxis");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addColumn<QString>("unit");
    QTest::newRow("temperature") << true << 0 << QVector<double>{70.0, 80.0, 90.0} << "℃";
    QTest::newRow("run time") << true << 1 << QVector<double>{4.1, 5.1, 6.1} << " min";
    QTest::newRow("no inflection: baselines only") << false << 0 << QVector<double>{} << "";
}

void TestAnalysis::glassTransitionStep()
{
    QFETCH(bool, hasStep);
    QFETCH(int, timeAxis);
    QFETCH(QVector<double>, expected);
    QFETCH(QString, unit);
    Global::_timeAxisFlag = timeAxis;
    _widget->slotRecvAnalysisFileName(workbook("step.xlsx", {curve(hasStep ? step : line)}));
    _widget->setAnalysisMode(CentralWidget::GlassTransition);
    if (timeAxis == 1)
        applyAt(3.1, 7.1);
    else
        applyAt(60.0, 100.0);

    // Two baseline stubs 10 ℃ long from the picked samples, then the tangent.
    QCOMPARE(PlotItemRegistry::graphs().size(), hasStep ? 3 : 2);
    auto* first = static_cast<QCPGraph*>(PlotItemRegistry::graphs().at(0));
    auto* second = static_cast<QCPGraph*>(PlotItemRegistry::graphs().at(1));
    QCOMPARE(first->data()->at(0)->key, 60.0);
    QCOMPARE(first->data()->at(1)->key, 70.0);
    QCOMPARE(second->data()->at(0)->key, 90.0);
    QCOMPARE(second->data()->at(1)->key, 100.0);
    const QStringList texts = labelTexts(_plot);
    if (!hasStep) {
        QVERIFY(texts.isEmpty());
        return;
    }
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().startsWith("T1：") && texts.first().contains("\nTg：") && texts.first().contains("\nT2："),
             qPrintable(texts.first()));
    QCOMPARE(texts.first().count(unit), 3);
    const QVector<double> numbers = numbersOf(texts.first());
    QCOMPARE(numbers.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(qAbs(numbers.at(i) - expected.at(i)) < 0.0015, qPrintable(texts.first()));
}

void TestAnalysis::zeroSignalNumericalLabelWarns()
{
    _widget->slotRecvAnalysisFileName(workbook("zero.xlsx", {curve([](double t) { return t < 50 ? 0.0 : 1.0; })}));
    _widget->setAnalysisMode(CentralWidget::NumericalLabel);
    applyAt(40.0, 0.0);
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().title, QStringLiteral("warnning"));
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("曲线选择错误."));
    QVERIFY(labelTexts(_plot).isEmpty());
}

// A second apply without moving the lines records nothing more, even after an undo.
void TestAnalysis::applyTwiceWithoutMovingOnce()
{
    _widget->slotRecvAnalysisFileName(workbook("peak.xlsx", {curve(peak)}));
    _widget->setAnalysisMode(CentralWidget::StartPoint);
    applyAt(40.0, 120.0);
    for (int round = 0; round < 2; ++round) {
        _widget->slotAnalysisSettingApply();
        QCOMPARE(labelTexts(_plot).size(), 1);
        QCOMPARE(Global::_analysisOperationVtr.size(), 1);
        _widget->slotAnalysisSettingUndo();
        QVERIFY(labelTexts(_plot).isEmpty());
        QVERIFY(Global::_analysisOperationVtr.isEmpty());
    }
}

// "撤销" and "取消" take back only what an apply recorded since the last
// "确定"; a confirmed analysis must still reach the next save. Steps: "A" and
// "B" apply at two line pairs, "moveB" moves the right line without applying,
// "mode" chooses a new analysis. Labels count text and arrow.
void TestAnalysis::confirmUndoCancel_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QVector<double>>("rightLines");
    QTest::addColumn<int>("confirmedItems");
    QTest::addColumn<int>("temporaryItems");
    QTest::addColumn<bool>("analysisGoesOn");
    QTest::newRow("confirm") << QStringList{"A", "confirm"} << QVector<double>{120.0} << 2 << 0 << false;
    // "确定" re-applies after the lines moved; that result stays temporary.
    QTest::newRow("confirm after moving") << QStringList{"A", "moveB", "confirm"} << QVector<double>{120.0, 110.0}
                                          << 2 << 2 << false;
    QTest::newRow("undo") << QStringList{"A", "undo"} << QVector<double>{} << 0 << 0 << true;
    QTest::newRow("cancel") << QStringList{"A", "cancel"} << QVector<double>{} << 0 << 0 << false;
    QTest::newRow("confirm, new analysis, cancel") << QStringList{"A", "confirm", "mode", "cancel"}
                                                   << QVector<double>{120.0} << 2 << 0 << false;
    QTest::newRow("confirm, new analysis, undo") << QStringList{"A", "confirm", "mode", "undo"}
                                                 << QVector<double>{120.0} << 2 << 0 << true;
    QTest::newRow("confirm, undo twice") << QStringList{"A", "confirm", "mode", "undo", "undo"}
                                         << QVector<double>{120.0} << 2 << 0 << true;
    QTest::newRow("confirm, apply, cancel") << QStringList{"A", "confirm", "mode", "B", "cancel"}
                                            << QVector<double>{120.0} << 2 << 0 << false;
    QTest::newRow("confirm, apply, confirm") << QStringList{"A", "confirm", "mode", "B", "confirm"}
                                             << QVector<double>{120.0, 110.0} << 4 << 0 << false;
    QTest::newRow("confirm after moving, then cancel") << QStringList{"A", "moveB", "confirm", "mode", "cancel"}
                                                       << QVector<double>{120.0} << 2 << 0 << false;
}

void TestAnalysis::confirmUndoCancel()
{
    QFETCH(QStringList, steps);
    QFETCH(QVector<double>, rightLines);
    QFETCH(int, confirmedItems);
    QFETCH(int, temporaryItems);
    QFETCH(bool, analysisGoesOn);
    _widget->slotRecvAnalysisFileName(workbook("peak.xlsx", {curve(peak)}));
    _widget->setAnalysisMode(CentralWidget::StopPoint);
    for (const QString& step : steps) {
        if (step == "A")
            applyAt(40.0, 120.0);
        else if (step == "B")
            applyAt(40.0, 110.0);
        else if (step == "moveB")
            setLineKey(_widget->line2(), 110.0);
        else if (step == "mode")
            _widget->setAnalysisMode(CentralWidget::StartPoint);
        else if (step == "confirm")
            _widget->slotAnalysisSettingConfirm();
        else if (step == "undo")
            _widget->slotAnalysisSettingUndo();
        else
            _widget->slotAnalysisSettingCancel();
    }
    QVector<double> recorded;
    for (const AnalysisOperation& operation : qAsConst(Global::_analysisOperationVtr))
        recorded << operation.x2;
    QCOMPARE(recorded, rightLines);
    const QStringList names = itemNames(_plot);
    QCOMPARE(names.count("confirm___peak.xlsx"), confirmedItems);
    QCOMPARE(names.count("temporary___peak.xlsx"), temporaryItems);
    QCOMPARE(names.size(), confirmedItems + temporaryItems);
    QCOMPARE(_widget->analysisMode() != CentralWidget::NoAnalysis, analysisGoesOn);
    QCOMPARE(_widget->line2()->visible(), analysisGoesOn);
    QCOMPARE(curves(_plot).size(), 1);
}

// A run in progress: results are drawn on the live curve but not recorded.
// The live curve is drawn against temperature even while the abscissa is the
// run time, so the lines mark temperatures; the 80 ℃ sample is at 5.1 min.
void TestAnalysis::runInProgressRecordsNothing_data()
{
    QTest::addColumn<int>("timeAxis");
    QTest::addColumn<QString>("text");
    QTest::newRow("temperature") << 0 << "数值：\n80.000℃,6.000";
    QTest::newRow("run time") << 1 << "数值：\n5.100 min,6.000";
}

void TestAnalysis::runInProgressRecordsNothing()
{
    QFETCH(int, timeAxis);
    QFETCH(QString, text);
    Global::_timeAxisFlag = timeAxis;
    Global::_globalMode = Global::Experiment;
    Global::_experimentDataVtr.append(Global::CurveExperimentData());
    Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();
    for (const Global::ExperimentData& d : curve(peak)) {
        CommonData record;
        record.runTime = d.runTime;
        record.sampleTemp = d.temperature;
        record.dsc = d.dsc;
        _widget->slotRecvCommonData(record);
    }
    _widget->setAnalysisMode(CentralWidget::NumericalLabel);
    applyAt(80.3, 0.0);
    QCOMPARE(labelTexts(_plot), QStringList{text});
    QCOMPARE(PlotItemRegistry::texts().first()->objectName(), QStringLiteral("temporary___experiment"));
    QVERIFY(Global::_analysisOperationVtr.isEmpty());
}

void TestAnalysis::storedOperationsRerunOnLoad()
{
    const QVector<AnalysisOperation> stored = {{"x", 1, 80.3, 0.0}, {"x", 3, 40.0, 120.0}};
    _widget->slotRecvAnalysisFileName(workbook("stored.xlsx", {curve(line), curve(peak)}, stored));
    QCOMPARE(labelTexts(_plot), (QStringList{"数值：\n80.000℃,6.000", "外推终止点：\n102.000℃"}));
    QCOMPARE(itemNames(_plot), QStringList(QVector<QString>(4, "temporary___stored.xlsx").toList()));
    // Re-runs record nothing; a later undo takes their labels back.
    QVERIFY(Global::_analysisOperationVtr.isEmpty());
    _widget->setAnalysisMode(CentralWidget::StartPoint);
    _widget->slotAnalysisSettingUndo();
    QVERIFY(labelTexts(_plot).isEmpty());
}

// A workbook without stages has no curve to analyse; its operations must not
// label another workbook's curve.
void TestAnalysis::storedOperationsOfAStagelessWorkbookDrawNothing()
{
    _widget->slotRecvAnalysisFileName(workbook("peak.xlsx", {curve(peak)}));
    _widget->slotRecvAnalysisFileName(workbook("empty.xlsx", {}, {{"x", 1, 80.3, 0.0}}));
    QCOMPARE(Global::_curveFileDataVtr.size(), 2);
    QCOMPARE(Global::_curveFileDataVtr.last().analysisOperations.size(), 1);
    QVERIFY(labelTexts(_plot).isEmpty());
}

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
