#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "localcustomplot.h"
#include "plotitemregistry.h"
#include "windowtesthelpers.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace AnalysisTest;

namespace {

QVector<double> numbersOf(const QString& text)
{
    QVector<double> numbers;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("-?\\d+\\.\\d+")).globalMatch(text);
    while (it.hasNext())
        numbers << it.next().captured(0).toDouble();
    return numbers;
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void failedReadWarns_data();
    void failedReadWarns();
    void readsUnderWay();
    void eachWorkbookDrawnOnce();
    void analysisLabels_data();
    void analysisLabels();
    void peakEnthalpyPerSampleMass();
    void glassTransitionStep_data();
    void glassTransitionStep();
    void confirmUndoCancel_data();
    void confirmUndoCancel();
    void runInProgressRecordsNothing();
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

void TestAnalysis::failedReadWarns_data()
{
    QTest::addColumn<QString>("fixture"); // a kind of tests/support/xlsxfixture.py; empty: no zip at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("no workbook") << "" << QStringLiteral("该文件不是 Excel 工作簿（.xlsx），或已损坏。");
    QTest::newRow("damaged") << "crc" << QStringLiteral("文件已损坏，或内容无法识别。");
    QTest::newRow("too large") << "bomb-blanks" << QStringLiteral("文件内容太大，超出了程序能读取的上限。");
    QTest::newRow("too many cells") << "bomb-cells" << QStringLiteral("工作表的单元格太多，超出了程序能读取的上限。");
    QTest::newRow("rows past the limit")
        << "beyond-row" << QStringLiteral("工作表的行或列超出了表格的上限（1048576 行、16384 列），或单元格位置无法识别。");
    QTest::newRow("a chart sheet active") << "chart-active" << QStringLiteral("打开文件时显示的工作表不是数据表（例如是图表），无法读取。");
    QTest::newRow("its active sheet missing")
        << "no-active-sheet" << QStringLiteral("文件中记录的打开时显示的工作表不存在，文件可能已损坏。");
    QTest::newRow("a password to open")
        << "password" << QStringLiteral("文件已加密（设置了打开密码），或是旧版 Excel 97-2003（.xls）格式的文件，"
                                        "无法读取。请在 Excel 中取消密码或另存为 .xlsx 后再打开。");
}

// The one line of the warning stays as it is; why goes under it.
void TestAnalysis::failedReadWarns()
{
    QFETCH(QString, fixture);
    QFETCH(QString, reason);
    const QString path = _dir.filePath("broken.xlsx");
    QFile file(path);
    if (fixture.isEmpty()) {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("PK\x03\x04 no zip");
        file.close();
    } else {
        QCOMPARE(QProcess::execute(QUARNEL_PYTHON, {QUARNEL_SOURCE_DIR "/tests/support/xlsxfixture.py", fixture, path}),
                 0);
    }
    const QString appendedTo = XlsxHandler::_currentFilePath;
    QVERIFY(loadWorkbook(_widget, path));
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().title, QStringLiteral("warnning"));
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("File parse error."));
    QCOMPARE(_dialogs->boxes.first().informativeText, reason);
    QVERIFY(Global::_curveFileDataVtr.isEmpty());
    QVERIFY(curves(_plot).isEmpty());
    QVERIFY(_widget->openedFilePaths().isEmpty());
    QCOMPARE(XlsxHandler::_currentFilePath, appendedTo);
    // Mended, the same file opens.
    QVERIFY(file.remove());
    QCOMPARE(workbook("broken.xlsx", {curve(peak)}), path);
    QVERIFY(loadWorkbook(_widget, path));
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(Global::_curveFileDataVtr.size(), 1);
    QCOMPARE(curves(_plot).size(), 1);
}

// A workbook asked for twice before its read ends is drawn once; one whose
// read is still under way when the workspace is cleared is not drawn at all,
// nor kept for a later append, and is read again when asked for at once.
void TestAnalysis::readsUnderWay()
{
    const QString a = workbook("a.xlsx", {curve(peak)});
    _widget->slotRecvAnalysisFileName(a);
    _widget->slotRecvAnalysisFileName(a);
    QVERIFY(waitForWorkbooks(_widget));
    QCOMPARE(curves(_plot).size(), 1);
    QCOMPARE(Global::_curveFileDataVtr.size(), 1);

    const QString b = workbook("b.xlsx", {curve(step)});
    _widget->slotRecvAnalysisFileName(b);
    _widget->clearData(CentralWidget::ClearExperimentData);
    QVERIFY(waitForWorkbooks(_widget));
    QVERIFY(Global::_curveFileDataVtr.isEmpty());
    QVERIFY(curves(_plot).isEmpty());
    QCOMPARE(XlsxHandler::_currentFilePath, a);

    _widget->slotRecvAnalysisFileName(b);
    _widget->clearData(CentralWidget::ClearExperimentData);
    QVERIFY(loadWorkbook(_widget, b));
    QCOMPARE(curves(_plot).size(), 1);
    QCOMPARE(XlsxHandler::_currentFilePath, b);
    QVERIFY(_dialogs->boxes.isEmpty());
}

// Three workbooks of one, two and one stages: one curve per stage, and the
// first workbook keeps its stored label and the one applied to it before the
// others were loaded. Its curve can still be analysed, and switching the
// abscissa keeps one copy of everything.
void TestAnalysis::eachWorkbookDrawnOnce()
{
    QVERIFY(loadWorkbook(_widget, workbook("a.xlsx", {curve(peak)}, {{"a.xlsx", 1, 80.3, 0.0}})));
    _widget->setAnalysisMode(CentralWidget::NumericalLabel);
    applyAt(60.2, 0.0);
    _widget->slotAnalysisSettingConfirm();
    QVERIFY(loadWorkbook(_widget, workbook("b.xlsx", {curve(step), curve(line, 50, 140.0f)})));
    QVERIFY(loadWorkbook(_widget, workbook("c.xlsx", {curve(step)})));
    QStringList names;
    for (QCPCurve* c : curves(_plot))
        names << c->objectName();
    QCOMPARE(names, (QStringList{"a.xlsx", "b.xlsx", "b.xlsx", "c.xlsx"}));
    // peak(60) = 1 + 5 × (22 - 20)/20 (see peak()).
    const QStringList aLabels{"数值：\n80.000℃,6.000", "数值：\n60.000℃,1.500"};
    QCOMPARE(labelTexts(_plot), aLabels);

    _plot->deselectAll();
    QCPCurve* a = curves(_plot).first();
    a->setSelection(QCPDataSelection(a->data()->dataRange()));
    _widget->slotSelectionChangedByUser();
    _widget->setAnalysisMode(CentralWidget::NumericalLabel);
    applyAt(90.4, 0.0);
    // peak(90) = 1 + 5 × (22 - 10)/20.
    QCOMPARE(labelTexts(_plot), aLabels + QStringList{"数值：\n90.000℃,4.000"});
    QCOMPARE(PlotItemRegistry::texts().last()->objectName(), QStringLiteral("temporary___a.xlsx"));

    _widget->switchAxisQuantity();
    QCOMPARE(Global::_timeAxisFlag, 1);
    QCOMPARE(curves(_plot).size(), 4);
    QCOMPARE(curves(_plot).first()->data()->at(0)->key, double(0.1f));
    // Temperature bounds on the run time: sample T sits at (T - 29) × 0.1 min.
    QCOMPARE(labelTexts(_plot),
             (QStringList{"数值：\n5.100 min,6.000", "数值：\n3.100 min,1.500", "数值：\n6.100 min,4.000"}));
    // The label not yet confirmed is still open to "撤销".
    _widget->slotAnalysisSettingUndo();
    QCOMPARE(labelTexts(_plot).size(), 2);
    QCOMPARE(Global::_analysisOperationVtr.size(), 1);

    _widget->switchAxisQuantity();
    QCOMPARE(labelTexts(_plot), aLabels);
}

// Expected figures by hand from the shape of peak(): it leaves the 1 mW
// baseline at 58 ℃, is flat at 6 mW from 78 to 82 ℃ and returns at 102 ℃;
// the enthalpy is 120 mW·℃ × 8.177 / 2 mg. On the time axis sample T sits at
// (T - 29) × 0.1 min.
void TestAnalysis::analysisLabels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("timeAxis");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPointF>("target");

    const QString peakText = "峰的综合信息：\n焓值：490.620 J/g \n峰值：78.000℃ \n起始点：58.000℃ \n终止点：102.000℃";
    const QString peakTimeText =
        "峰的综合信息：\n焓值：490.6200 J/g \n峰值：4.900min \n起始点：2.900min \n终止点：7.300min";
    QTest::newRow("numerical label") << 1 << 0 << 80.3 << 0.0 << "数值：\n80.000℃,6.000" << QPointF(80, 6);
    QTest::newRow("start point") << 2 << 0 << 40.0 << 120.0 << "外推起始点：\n58.000℃" << QPointF(58, 1);
    QTest::newRow("stop point") << 3 << 0 << 40.0 << 120.0 << "外推终止点：\n102.000℃" << QPointF(102, 1);
    QTest::newRow("peak synthesis") << 4 << 0 << 40.0 << 120.0 << peakText << QPointF(78, 6);
    QTest::newRow("onset") << 6 << 0 << 40.0 << 120.0 << "82.000" << QPointF(82, 6);
    QTest::newRow("endset") << 7 << 0 << 40.0 << 120.0 << "78.000" << QPointF(78, 6);
    QTest::newRow("time: peak synthesis") << 4 << 1 << 1.1 << 9.1 << peakTimeText << QPointF(4.9, 6);
}

void TestAnalysis::analysisLabels()
{
    QFETCH(int, mode);
    QFETCH(int, timeAxis);
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(QString, text);
    QFETCH(QPointF, target);

    Global::_timeAxisFlag = timeAxis;
    QVERIFY(loadWorkbook(_widget, workbook("peak.xlsx", {curve(peak)})));
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
    // The bounds are recorded on the abscissa they were set on.
    QCOMPARE(recorded.x1, x1);
    QCOMPARE(recorded.x2, x2);
    QCOMPARE(recorded.timeAxis, bool(timeAxis));
}

// 120 mW·℃ × 8.177 = 981.240 per mg (see analysisLabels); a mass that is
// missing, not a finite number or not positive counts as 1 mg.
void TestAnalysis::peakEnthalpyPerSampleMass()
{
    for (const QString mass : {"", "-2", "nan"}) {
        const QString path = _dir.filePath("mass" + mass + ".xlsx");
        QVERIFY(writeWorkbook(path, {curve(peak)}, mass));
        QVERIFY(loadWorkbook(_widget, path));
        _widget->setAnalysisMode(CentralWidget::PeakSynthesisAnalysis);
        applyAt(40.0, 120.0);
        QVERIFY2(labelTexts(_plot).last().contains("焓值：981.240 J/g"), qPrintable(mass));
    }
}

// Hand figures for step(): the baselines fitted left of 60 ℃ and right of
// 100 ℃ are 1 and 3 mW; a tangent of slope 0.1 within 0.1 µW of the rise
// meets them at 70 and 90 ℃ within 0.001 ℃; Tg is the sample at 2 mW, 80 ℃.
void TestAnalysis::glassTransitionStep_data()
{
    QTest::addColumn<bool>("hasStep");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addColumn<QString>("unit");
    QTest::newRow("temperature") << true << QVector<double>{70.0, 80.0, 90.0} << "℃";
    QTest::newRow("no inflection: nothing drawn, a box says so") << false << QVector<double>{} << "";
}

void TestAnalysis::glassTransitionStep()
{
    QFETCH(bool, hasStep);
    QFETCH(QVector<double>, expected);
    QFETCH(QString, unit);
    QVERIFY(loadWorkbook(_widget, workbook("step.xlsx", {curve(hasStep ? step : line)})));
    _widget->setAnalysisMode(CentralWidget::GlassTransition);
    applyAt(60.0, 100.0);
    if (!hasStep) {
        QCOMPARE(PlotItemRegistry::graphs().size() + PlotItemRegistry::texts().size(), 0);
        QCOMPARE(_dialogs->boxes.size(), 1);
        QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("所选区域内未找到玻璃化转变。"));
        QVERIFY(Global::_analysisOperationVtr.isEmpty());
        return;
    }

    // Two baseline stubs 10 ℃ long from the picked samples, then the tangent.
    QCOMPARE(PlotItemRegistry::graphs().size(), 3);
    auto* first = static_cast<QCPGraph*>(PlotItemRegistry::graphs().at(0));
    auto* second = static_cast<QCPGraph*>(PlotItemRegistry::graphs().at(1));
    QCOMPARE(first->data()->at(0)->key, 60.0);
    QCOMPARE(first->data()->at(1)->key, 70.0);
    QCOMPARE(second->data()->at(0)->key, 90.0);
    QCOMPARE(second->data()->at(1)->key, 100.0);
    const QStringList texts = labelTexts(_plot);
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().startsWith("T1：") && texts.first().contains("\nTg：") && texts.first().contains("\nT2："),
             qPrintable(texts.first()));
    QCOMPARE(texts.first().count(unit), 3);
    const QVector<double> numbers = numbersOf(texts.first());
    QCOMPARE(numbers.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(qAbs(numbers.at(i) - expected.at(i)) < 0.0015, qPrintable(texts.first()));
}

// "撤销" and "取消" take back only what was applied since the last "确定".
// "A"/"B" apply at two line pairs, "moveB" moves the right line only.
void TestAnalysis::confirmUndoCancel_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QVector<double>>("rightLines");
    QTest::addColumn<int>("confirmedItems");
    QTest::addColumn<int>("temporaryItems");
    QTest::addColumn<bool>("analysisGoesOn");
    QTest::newRow("confirm") << QStringList{"A", "confirm"} << QVector<double>{120.0} << 2 << 0 << false;
    QTest::newRow("confirm after moving") << QStringList{"A", "moveB", "confirm"} << QVector<double>{120.0, 110.0}
                                          << 2 << 2 << false;
    QTest::newRow("undo") << QStringList{"A", "undo"} << QVector<double>{} << 0 << 0 << true;
    QTest::newRow("cancel") << QStringList{"A", "cancel"} << QVector<double>{} << 0 << 0 << false;
    QTest::newRow("confirm, new analysis, cancel") << QStringList{"A", "confirm", "mode", "cancel"}
                                                   << QVector<double>{120.0} << 2 << 0 << false;
    QTest::newRow("confirm, undo twice") << QStringList{"A", "confirm", "mode", "undo", "undo"}
                                         << QVector<double>{120.0} << 2 << 0 << true;
    QTest::newRow("confirm, apply, cancel") << QStringList{"A", "confirm", "mode", "B", "cancel"}
                                            << QVector<double>{120.0} << 2 << 0 << false;
    QTest::newRow("confirm, apply, confirm") << QStringList{"A", "confirm", "mode", "B", "confirm"}
                                             << QVector<double>{120.0, 110.0} << 4 << 0 << false;
}

void TestAnalysis::confirmUndoCancel()
{
    QFETCH(QStringList, steps);
    QFETCH(QVector<double>, rightLines);
    QFETCH(int, confirmedItems);
    QFETCH(int, temporaryItems);
    QFETCH(bool, analysisGoesOn);
    QVERIFY(loadWorkbook(_widget, workbook("peak.xlsx", {curve(peak)})));
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
// The live curve is drawn and analysed against temperature even while the
// abscissa flag says run time, so the label reads a temperature.
void TestAnalysis::runInProgressRecordsNothing()
{
    Global::_timeAxisFlag = 1;
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
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n80.000℃,6.000"});
    QCOMPARE(PlotItemRegistry::texts().first()->objectName(), QStringLiteral("temporary___experiment"));
    QVERIFY(Global::_analysisOperationVtr.isEmpty());
}

// A workbook without stages has no curve to analyse; its operations fit no
// stage and must not label another workbook's curve.
void TestAnalysis::storedOperationsOfAStagelessWorkbookDrawNothing()
{
    QVERIFY(loadWorkbook(_widget, workbook("peak.xlsx", {curve(peak)})));
    QVERIFY(loadWorkbook(_widget, workbook("empty.xlsx", {}, {{"x", 1, 80.3, 0.0}})));
    QCOMPARE(Global::_curveFileDataVtr.size(), 2);
    QVERIFY(Global::_curveFileDataVtr.last().analysisOperations.isEmpty());
    QVERIFY(labelTexts(_plot).isEmpty());
}

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
