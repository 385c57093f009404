#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "curvesmoother.h"
#include "degreeofcrystallinityform.h"
#include "eventhandler.h"
#include "filesizelimit.h"
#include "instrumentcoefficientform.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "plotitemregistry.h"
#include "serialport.h"
#include "specificheatcomparisonmethodform.h"
#include "windowtesthelpers.h"
#include "workbook.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>

using namespace AnalysisTest;

namespace {

QRectF boxOf(QCPItemText* text)
{
    return QRectF(text->topLeft->pixelPosition(), text->bottomRight->pixelPosition()).normalized();
}

// Whether a box of this size fits inside area with 8 px to spare from its
// edges and from every one of boxes.
bool roomFor(const QSizeF& size, const QRectF& area, const QVector<QRectF>& boxes)
{
    const QRectF corners = area.adjusted(8, 8, -8 - size.width(), -8 - size.height());
    for (double y = corners.top(); y <= corners.bottom(); ++y) {
        for (double x = corners.left(); x <= corners.right(); ++x) {
            const QRectF box(QPointF(x, y), size);
            if (std::none_of(boxes.cbegin(), boxes.cend(),
                             [&box](const QRectF& other) { return other.adjusted(-8, -8, 8, 8).intersects(box); }))
                return true;
        }
    }
    return false;
}

bool crosses(const QLineF& segment, const QRectF& box)
{
    if (box.contains(segment.p1()) || box.contains(segment.p2()))
        return true;
    const QLineF edges[] = {{box.topLeft(), box.topRight()}, {box.topRight(), box.bottomRight()},
                            {box.bottomRight(), box.bottomLeft()}, {box.bottomLeft(), box.topLeft()}};
    return std::any_of(std::begin(edges), std::end(edges), [&segment](const QLineF& edge) {
        return segment.intersects(edge, nullptr) == QLineF::BoundedIntersection;
    });
}

} // namespace

// Workbooks opened from the file tree of the real main window, then removed.
class TestAnalysisRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noRecordKeepsARemovedCurve_data();
    void noRecordKeepsARemovedCurve();
    void specificHeatForgetsClearedWorkbooks();
    void calculationTextsWholeAndApart();
    void storedAnalysesComeBackOnTheirStage();
    void analysesKeepTheirStageOverAnAxisSwitch();
    void timeAxisRegionsOverAHold();
    void undoTakesBackWhatItRemoves();
    void failedResultsShowNoNumber_data();
    void failedResultsShowNoNumber();
    void refusedApplyAgainOnTheRightCurve();
    void glassTransitionLinesOnTheTimeAxis();
    void coolingPeak_data();
    void coolingPeak();
    void liveRunEnthalpyPerGram();
    void liveRunAnalysedOnItsLaterStage();
    void heatThenCoolRunAnalysedOnItsHeatingStage_data();
    void heatThenCoolRunAnalysedOnItsHeatingStage();
    void meltingPointsInThePeaksOwnDirection_data();
    void meltingPointsInThePeaksOwnDirection();
    void calibrationUsesTheCoefficientInForce();
    void sameLinesApplyToAnotherAnalysisOrCurve();
    void labelsStayInsideThePlot();
    void labelsHideNothing();
    void labelAfterAPanCrossesNoArrow();
    void labelsApartOnASmallPlot();
    void boundsFollowTheLines();
    void loadedRangesCoverAllStages();
    void liveRangeWidensUntilTheUserMovesIt();
    void savedWorkbookIsWhatThePlotShows_data();
    void savedWorkbookIsWhatThePlotShows();
    void inPlaceSaveKeepsTheWorkbook_data();
    void inPlaceSaveKeepsTheWorkbook();
    void replacedWorkbookSavedOnlyUnderANewName_data();
    void replacedWorkbookSavedOnlyUnderANewName();
    void undrawnStoredAnalysesKept();
    void failedSaveSaysWhy_data();
    void failedSaveSaysWhy();
    void sameNameAndNothingToSaveRefused();

private:
    void trigger(const char* action) { _window->findChild<QAction*>(QLatin1String(action))->trigger(); }
    void click(const char* button) { QTest::mouseClick(_window->findChild<QPushButton*>(button), Qt::LeftButton); }
    void openSample(const QString& fileName);
    void analyse(const char* action, double x1, double x2 = 0.0, const char* button = "pushButtonConfirm");
    QStringList saveClearAndReload();
    void openFromTree(const QString& folder, const QString& fileName);
    void selectCurve(QCPCurve* curve);
    void contextMenu(const QString& text);
    int fixedTexts() const { return itemNames(_plot).count(QStringLiteral("fixed")); }
    void verifyNoStaleCurve();
    void sendLivePoints(int stage, const QVector<Global::ExperimentData>& points);
    void save(const QString& path);
    void smooth(QCPCurve* curve);
    QString setUpSave(const QString& scenario);
    QStringList labelsOf(const QString& curveName) const;
    void verifyLabelsReadable(const QVector<Global::ExperimentData>& curve);
    QVector<QCPCurve*> chooseSpecificHeatRoles();
    QWidget* openSpecificHeat();
    QStringList specificHeatFiles() const;

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
    CentralWidget* _central = nullptr;
    LocalCustomPlot* _plot = nullptr;
};

// The data folders are fixed at start-up next to the working folder.
void TestAnalysisRoad::initTestCase()
{
    for (const QString& folder : {Global::SampleDataFolderPath, Global::BaseLineFolderPath,
                                  Global::AnalysisStateFolderPath}) {
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
    }
}

void TestAnalysisRoad::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_timeAxisFlag = 0;
    Global::_smoothnessFlag = false;
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    Global::_savedAnalysisOperationVtr.clear();
    Global::clearCurveExperimentData();
    Global::_experimentInfo = Global::ExperimentInfo();
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 1.0);
    Global::_enthalpyCoefficientEnableFlag = false;
    _window->resize(1200, 800);
    _window->show();
    QVERIFY(QTest::qWaitForWindowExposed(_window.get()));
    _central = _window->findChild<CentralWidget*>();
    _plot = _central->plot();
}

void TestAnalysisRoad::cleanup()
{
    _dialogs->answers = {QMessageBox::Yes};
    _window.reset();
    _dialogs.reset();
    for (const QString& folder : {Global::SampleDataFolderPath, Global::AnalysisStateFolderPath}) {
        QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }
}

void TestAnalysisRoad::openFromTree(const QString& folder, const QString& fileName)
{
    auto* tree = _window->findChild<LeftWidget*>()->findChild<QTreeWidget*>();
    const QList<QTreeWidgetItem*> found = tree->findItems(fileName, Qt::MatchExactly | Qt::MatchRecursive);
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItem* candidate : found) {
        if (candidate->parent() && candidate->parent()->text(0) == folder)
            item = candidate;
    }
    QVERIFY2(item, qPrintable(folder + "/" + fileName));
    tree->scrollToItem(item);
    const QPoint centre = tree->visualItemRect(item).center();
    QVERIFY(tree->viewport()->rect().contains(centre));
    // An item view takes a double-click only on the index the press began on.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QVERIFY(waitForWorkbooks(_window->findChild<CentralWidget*>()));
}

// A workbook of samples/ copied into the sample-data folder and opened.
void TestAnalysisRoad::openSample(const QString& fileName)
{
    QVERIFY(QFile::copy(QStringLiteral(QUARNEL_SOURCE_DIR "/samples/") + fileName,
                        Global::SampleDataFolderPath + "/" + fileName));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", fileName);
}

// An analysis chosen from its menu on the selected curve, the lines set to x1
// and x2, applied and then answered with button (none: left open).
void TestAnalysisRoad::analyse(const char* action, double x1, double x2, const char* button)
{
    trigger(action);
    setLineKey(_central->line1(), x1);
    setLineKey(_central->line2(), x2);
    click("pushButtonApply");
    if (button)
        click(button);
}

// "保存数据" into the analysis-state folder, "清除数据", and the saved copy
// opened again; returns the labels shown before the save.
QStringList TestAnalysisRoad::saveClearAndReload()
{
    const QStringList before = labelTexts(_plot);
    _dialogs->fileNames = QStringList{Global::AnalysisStateFolderPath + "/saved.xlsx"};
    trigger("actionSaveData");
    trigger("actionClearAllData");
    if (!labelTexts(_plot).isEmpty())
        qWarning("labels left after clearing");
    openFromTree("分析状态", "saved.xlsx");
    return before;
}

void TestAnalysisRoad::selectCurve(QCPCurve* curve)
{
    _plot->deselectAll();
    curve->setSelection(QCPDataSelection(curve->data()->dataRange()));
    emit _plot->selectionChangedByUser();
}

// The entry in the curve's context menu or in its "比热项" submenu.
void TestAnalysisRoad::contextMenu(const QString& text)
{
    QList<QAction*> entries = _central->eventHandler()->contextMenu()->actions();
    while (!entries.isEmpty()) {
        QAction* action = entries.takeFirst();
        if (action->text() == text) {
            action->trigger();
            return;
        }
        if (action->menu())
            entries += action->menu()->actions();
    }
    QFAIL(qPrintable("no context menu entry " + text));
}

// Every curve pointer of the workspace and of the shared records is null or
// names a curve still on the plot.
void TestAnalysisRoad::verifyNoStaleCurve()
{
    const QList<QCPCurve*> onPlot = curves(_plot);
    auto valid = [&onPlot](QCPCurve* curve) { return !curve || onPlot.contains(curve); };
    QVERIFY(valid(_central->currentCurve()));
    QVERIFY(valid(_central->liveCurve()));
    for (const Global::CurveExperimentData& record : qAsConst(Global::_experimentDataVtr))
        QVERIFY(valid(record.curve));
    for (const Global::CurveFileData& file : qAsConst(Global::_curveFileDataVtr)) {
        for (const Global::PhaseTotalInfo& phase : file.phases)
            QVERIFY2(valid(phase.curve), qPrintable(file.fileName));
    }
}

void TestAnalysisRoad::noRecordKeepsARemovedCurve_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("context menu delete") << "delete";
    QTest::newRow("clear all data") << "clear";
    QTest::newRow("axis switch") << "axis";
    QTest::newRow("smoothing") << "smooth";
}

// Two workbooks on the plot, the specific-heat roles on a.xlsx's stages and
// b.xlsx; then a.xlsx's baseline curve leaves the plot one way or another.
// New curves drawn afterwards may reuse its address: no record may take them
// for the removed one.
void TestAnalysisRoad::noRecordKeepsARemovedCurve()
{
    QFETCH(QString, how);
    const QVector<QCPCurve*> roleCurves = chooseSpecificHeatRoles();
    QWidget* form = openSpecificHeat();
    _window->findChild<QLineEdit*>("LineEditTemperature")->setText("60");
    QTest::mouseClick(form->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    QCOMPARE(fixedTexts(), 1);
    form->hide();

    selectCurve(roleCurves[0]);
    if (how == "delete")
        contextMenu("删除当前曲线");
    else if (how == "clear")
        trigger("actionClearAllData");
    else if (how == "axis")
        trigger("actionYAxis");
    else
        trigger("actionSmoothness3");
    QTRY_VERIFY(!_window->findChild<CurveSmoother*>()->isRunning());
    verifyNoStaleCurve();

    openFromTree("样品数据", "a.xlsx");
    verifyNoStaleCurve();
    const int before = fixedTexts();
    openSpecificHeat();
    QTest::mouseClick(form->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    QCOMPARE(fixedTexts(), before);
    form->hide();
}

// Two workbooks on the plot, the specific-heat roles on a.xlsx's stages
// (line(), peak()) and b.xlsx (step()); returns the three curves.
QVector<QCPCurve*> TestAnalysisRoad::chooseSpecificHeatRoles()
{
    if (!writeWorkbook(Global::SampleDataFolderPath + "/a.xlsx", {curve(line), curve(peak)})
        || !writeWorkbook(Global::SampleDataFolderPath + "/b.xlsx", {curve(step)}))
        return {};
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "a.xlsx");
    openFromTree("样品数据", "b.xlsx");
    const Global::CurveFileData& a = Global::_curveFileDataVtr.at(0);
    const QVector<QCPCurve*> roleCurves{a.phases.at(0).curve, a.phases.at(1).curve,
                                        Global::_curveFileDataVtr.at(1).phases.at(0).curve};
    const QString roles[] = {"基线", "标样", "样品"};
    for (int i = 0; i < 3; ++i) {
        selectCurve(roleCurves[i]);
        contextMenu(roles[i]);
    }
    return roleCurves;
}

QWidget* TestAnalysisRoad::openSpecificHeat()
{
    trigger("actionSpecificHeatCompMethod");
    return _window->findChild<SpecificHeatComparisonMethodForm*>();
}

// The file name shown for the baseline, the standard and the sample.
QStringList TestAnalysisRoad::specificHeatFiles() const
{
    QStringList names;
    for (const QLineEdit* edit : _window->findChild<QGroupBox*>("groupBoxDataFile")->findChildren<QLineEdit*>())
        names << edit->text();
    return names;
}

// "清除数据" takes the three workbooks off the plot: the dialog names none
// of them any more, and "计算" says which curves it lacks.
void TestAnalysisRoad::specificHeatForgetsClearedWorkbooks()
{
    chooseSpecificHeatRoles();
    QWidget* form = openSpecificHeat();
    QCOMPARE(specificHeatFiles(), (QStringList{"a.xlsx", "a.xlsx", "b.xlsx"}));
    form->hide();
    trigger("actionClearAllData");
    openSpecificHeat();
    QCOMPARE(specificHeatFiles(), (QStringList{"", "", ""}));
    QTest::mouseClick(form->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("缺少基线、标样、样品曲线，请在曲线右键菜单“比热项”中选择。"));
    QCOMPARE(fixedTexts(), 0);
    form->hide();
}

// A label, then "比热比较法" at 100 ℃ and "结晶度" twice: every text whole
// inside the axis rectangle ("100.000℃..." with its first digit) and none
// over another.
void TestAnalysisRoad::calculationTextsWholeAndApart()
{
    chooseSpecificHeatRoles();
    analyse("actionNumericalLabel", 80.0);
    QWidget* heat = openSpecificHeat();
    heat->findChild<QLineEdit*>("LineEditTemperature")->setText("100");
    QTest::mouseClick(heat->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    heat->hide();
    trigger("actionDegreeOfCrystallinity");
    auto* crystallinity = _window->findChild<DegreeOfCrystallinityForm*>();
    const char* fields[] = {"LineEditEnthalpyOfCrystallization", "LineEditEnthalpyOfColdCrystallization",
                            "LineEditTheoreticalEnthalpy"};
    const QStringList enthalpies{"50", "10", "140"};
    for (int i = 0; i < 3; ++i)
        crystallinity->findChild<QLineEdit*>(fields[i])->setText(enthalpies.at(i));
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(crystallinity->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    crystallinity->hide();

    _plot->replot(QCustomPlot::rpImmediateRefresh);
    const QRectF area = _plot->axisRect()->rect();
    QVector<QRectF> boxes;
    QStringList fixed;
    for (int i = 0; i < _plot->itemCount(); ++i) {
        auto* text = qobject_cast<QCPItemText*>(_plot->item(i));
        if (!text)
            continue;
        const QRectF box = boxOf(text);
        QVERIFY2(area.contains(box), qPrintable(text->text()));
        for (const QRectF& other : qAsConst(boxes))
            QVERIFY2(!other.intersects(box), qPrintable(text->text()));
        boxes << box;
        if (text->objectName() == "fixed")
            fixed << text->text();
    }
    QCOMPARE(boxes.size(), 4);
    QCOMPARE(fixed.size(), 3);
    QVERIFY2(fixed.first().startsWith("100.000℃比热容= "), qPrintable(fixed.first()));
}

// Stage 1 of two-stage.xlsx heats to 120 ℃; its analyses come back on it,
// not on stage 2, whose first sample is at 120.1 ℃. The label's figures are
// the sample at 99.8 ℃ as the workbook holds it.
void TestAnalysisRoad::storedAnalysesComeBackOnTheirStage()
{
    openSample("two-stage.xlsx");
    selectCurve(Global::_curveFileDataVtr.first().phases.first().curve);
    analyse("actionNumericalLabel", 99.8);
    analyse("actionPeakSynthesisAnalysis", 60.0, 110.0);
    const QStringList before = saveClearAndReload();
    QCOMPARE(before.first(), QStringLiteral("数值：\n99.800℃,0.139"));
    QVERIFY2(!before.last().contains("0.000℃"), qPrintable(before.last()));
    QCOMPARE(labelTexts(_plot), before);
}

// Stage 1 heats from 30 to 130 ℃, stage 2 cools back over the same
// temperatures: T = 130 - i at 20 + 0.1 i min, signal 2 + 0.01 T mW, so the
// label at 60 ℃ reads 2.600 at 27.000 min on stage 2 (stage 1 reads 1.500 at
// 60 ℃, 3.100 min). Both abscissa switches keep it on stage 2.
void TestAnalysisRoad::analysesKeepTheirStageOverAnAxisSwitch()
{
    const auto rising = [](double t) { return 2.0 + 0.01 * t; };
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/hc.xlsx", {curve(peak), coolingCurve(rising)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "hc.xlsx");
    selectCurve(Global::_curveFileDataVtr.first().phases.at(1).curve);
    analyse("actionNumericalLabel", 60.0);
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n60.000℃,2.600"});
    trigger("actionYAxis");
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n27.000 min,2.600"});
    trigger("actionYAxis");
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n60.000℃,2.600"});
}

// Stage 1 holds at 120 ℃ from 4.74 to 6.74 min. On the time axis each line
// marks its own sample of the hold (signals read from the workbook), a peak
// over the hold reports run times within it and no enthalpy (every sample
// reads 120 ℃, so there is no area against temperature), and the analyses
// come back to the same labels.
void TestAnalysisRoad::timeAxisRegionsOverAHold()
{
    trigger("actionYAxis");
    openSample("two-stage.xlsx");
    selectCurve(Global::_curveFileDataVtr.first().phases.first().curve);
    for (double t : {5.5, 6.0, 6.5})
        analyse("actionNumericalLabel", t);
    analyse("actionPeakSynthesisAnalysis", 4.9, 6.0);
    const QStringList labels = labelTexts(_plot);
    QCOMPARE(labels.mid(0, 3), (QStringList{"数值：\n5.500 min,0.146", "数值：\n6.000 min,0.153",
                                            "数值：\n6.500 min,0.150"}));
    const QRegularExpression times(QStringLiteral("峰值：(.*)min \n起始点：(.*)min \n终止点：(.*)min"));
    const QRegularExpressionMatch match = times.match(labels.last());
    QVERIFY2(match.hasMatch(), qPrintable(labels.last()));
    QVERIFY2(labels.last().contains("焓值：-- J/g"), qPrintable(labels.last()));
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(match.captured(i).toDouble() >= 4.9 && match.captured(i).toDouble() <= 6.0, qPrintable(labels.last()));

    QCOMPARE(saveClearAndReload(), labels);
    QCOMPARE(labelTexts(_plot), labels);
    Global::CurveFileData saved;
    QCOMPARE(XlsxHandler::readFile(Global::AnalysisStateFolderPath + "/saved.xlsx", saved), 0);
    QCOMPARE(saved.analysisOperations.size(), 4);
    QCOMPARE(saved.analysisOperations.first().x1, 5.5);
    QVERIFY(saved.analysisOperations.last().timeAxis);
}

// A workbook with a stored label; two applies, "撤销", a third apply and
// "确定": the plot and the saved copy hold the stored label and the third.
// The labels read peak() at 80, 60, 70 and 90 ℃ (see analysistesthelpers.h).
void TestAnalysisRoad::undoTakesBackWhatItRemoves()
{
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/p.xlsx", {curve(peak)}, "2", {{"p.xlsx", 1, 80.3, 0.0}}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "p.xlsx");
    analyse("actionNumericalLabel", 60.0, 0.0, nullptr);
    setLineKey(_central->line1(), 70.0);
    click("pushButtonApply");
    QCOMPARE(labelTexts(_plot).size(), 3);
    click("pushButtonUndo");
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n80.000℃,6.000"});
    setLineKey(_central->line1(), 90.0);
    click("pushButtonApply");
    click("pushButtonConfirm");
    const QStringList shown{"数值：\n80.000℃,6.000", "数值：\n90.000℃,4.000"};
    QCOMPARE(saveClearAndReload(), shown);
    QCOMPARE(labelTexts(_plot), shown);
}

void TestAnalysisRoad::failedResultsShowNoNumber_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("graphs");
    QTest::addColumn<QString>("box");
    const QString noGlassTransition = QStringLiteral("所选区域内未找到玻璃化转变。");
    // curve() spans 30 to 130 ℃.
    QTest::newRow("region beside the curve") << "actionPeakSynthesisAnalysis" << false << 5.0 << 25.0 << QStringList()
                                             << 0 << "曲线选择错误.";
    QTest::newRow("onset with no positive signal") << "actionOnsetTemperaturePoint" << true << 40.0 << 120.0
                                                   << QStringList{"--"} << 0 << "";
    // On a straight line every flank segment runs along the baseline.
    QTest::newRow("start point of a straight line") << "actionStartPoint" << false << 40.0 << 120.0
                                                    << QStringList{"外推起始点：\n--℃"} << 0 << "";
    QTest::newRow("stop point of a straight line") << "actionStopPoint" << false << 40.0 << 120.0
                                                   << QStringList{"外推终止点：\n--℃"} << 0 << "";
    // A straight line has no inflection point, and the first sample has no
    // earlier ones to fit a baseline on: no glass transition, and no stubs
    // that would pass for one.
    QTest::newRow("glass transition of a straight line") << "actionGlassTransition" << false << 40.0 << 120.0
                                                         << QStringList() << 0 << noGlassTransition;
    QTest::newRow("glass transition from the first sample") << "actionGlassTransition" << false << 30.0 << 100.0
                                                            << QStringList() << 0 << noGlassTransition;
}

void TestAnalysisRoad::failedResultsShowNoNumber()
{
    QFETCH(QString, action);
    QFETCH(bool, negative);
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(QStringList, labels);
    QFETCH(int, graphs);
    QFETCH(QString, box);
    const auto negativeLine = [](double t) { return -line(t); };
    const QString fileName = QStringLiteral("f.xlsx");
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/" + fileName, {negative ? curve(negativeLine) : curve(line)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", fileName);
    analyse(qPrintable(action), x1, x2, nullptr);
    QCOMPARE(labelTexts(_plot), labels);
    QCOMPARE(_plot->graphCount(), graphs);
    QCOMPARE(_dialogs->boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(_dialogs->boxes.first().title, QStringLiteral("warnning"));
        QCOMPARE(_dialogs->boxes.first().text, box);
        QCOMPARE(_dialogs->boxes.first().informativeText, QString());
        QVERIFY(Global::_analysisOperationVtr.isEmpty());
    }
}

// The label line at 80 ℃ lies beside b.xlsx (200 to 300 ℃), drawn last and
// so selected: refused. With a.xlsx selected, "应用" at the same line draws
// the label peak() gives at 80 ℃ (see analysistesthelpers.h).
void TestAnalysisRoad::refusedApplyAgainOnTheRightCurve()
{
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/a.xlsx", {curve(peak)}));
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/b.xlsx", {curve(peak, 101, 200.0f)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "a.xlsx");
    openFromTree("样品数据", "b.xlsx");
    analyse("actionNumericalLabel", 80.0, 0.0, nullptr);
    QCOMPARE(_dialogs->boxes.size(), 1);
    selectCurve(Global::_curveFileDataVtr.first().phases.first().curve);
    click("pushButtonApply");
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n80.000℃,6.000"});
}

// step() on the time axis, sample T at (T - 29) × 0.1 min: the lines at 60
// and 100 ℃ (3.1 and 7.1 min), baselines reaching 10 ℃ on (4.1 and 6.1
// min), the tangent from T1 at 70 ℃ to T2 at 90 ℃ and Tg at 80 ℃ (see
// step()).
void TestAnalysisRoad::glassTransitionLinesOnTheTimeAxis()
{
    trigger("actionYAxis");
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/g.xlsx", {curve(step)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "g.xlsx");
    analyse("actionGlassTransition", 3.1, 7.1);
    QCOMPARE(labelTexts(_plot), QStringList{"T1：4.100 min\nTg：5.100 min\nT2：6.100 min"});
    // A graph keeps its points in key order.
    const QVector<QPair<double, double>> spans{{3.1, 4.1}, {6.1, 7.1}, {4.1, 6.1}};
    QCOMPARE(_plot->graphCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QCPGraph* graph = _plot->graph(i);
        QVERIFY(qAbs(graph->data()->at(0)->key - spans.at(i).first) < 1e-3);
        QVERIFY(qAbs(graph->data()->at(1)->key - spans.at(i).second) < 1e-3);
    }
}

void TestAnalysisRoad::coolingPeak_data()
{
    QTest::addColumn<bool>("onTime");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<QStringList>("labels");
    // The region from 21 min (120 ℃) to 29 min (50 ℃) encloses the same
    // 120 mW·℃ as on heating, so 120 × 8.177 / 2 mg J/g; the peak's top begins
    // at 82 ℃ (24.8 min), its flanks meet the baseline at 102 ℃ (22.8 min)
    // and 58 ℃ (27.2 min).
    QTest::newRow("run time") << true << 21.0 << 29.0
                              << QStringList{"峰的综合信息：\n焓值：490.6200 J/g \n峰值：24.800min \n起始点：22.800min "
                                             "\n终止点：27.200min"};
    // The region routines look samples up in rising temperature.
    QTest::newRow("temperature, refused") << false << 50.0 << 120.0 << QStringList();
}

// peak() measured while cooling.
void TestAnalysisRoad::coolingPeak()
{
    QFETCH(bool, onTime);
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(QStringList, labels);
    if (onTime)
        trigger("actionYAxis");
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/c.xlsx", {coolingCurve(peak)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "c.xlsx");
    analyse("actionPeakSynthesisAnalysis", x1, x2, nullptr);
    QCOMPARE(labelTexts(_plot), labels);
    QCOMPARE(_dialogs->boxTitles(), labels.isEmpty() ? QStringList{"warnning"} : QStringList());
}

// The mass comes from the experiment settings (2 mg): 120 mW·℃ × 8.177 / 2
// (see peak() in analysistesthelpers.h).
void TestAnalysisRoad::liveRunEnthalpyPerGram()
{
    trigger("actionNew");
    _window->findChild<QLineEdit*>("sampleWeightLineEdit")->setText("2");
    _window->findChild<QLineEdit*>("phase_1_scan_rate")->setText("10");
    click("pushButton_deliverData");
    QCOMPARE(Global::_experimentInfo.sampleWeight, QStringLiteral("2"));
    _dialogs->boxes.clear();

    Global::_globalMode = Global::Experiment;
    sendLivePoints(1, curve(peak));
    selectCurve(_central->liveCurve());
    analyse("actionPeakSynthesisAnalysis", 40.0, 120.0, nullptr);
    QCOMPARE(labelTexts(_plot),
             QStringList{"峰的综合信息：\n焓值：490.620 J/g \n峰值：78.000℃ \n起始点：58.000℃ \n终止点：102.000℃"});
}

// The instrument opens a stage record, then sends the stage's points.
void TestAnalysisRoad::sendLivePoints(int stage, const QVector<Global::ExperimentData>& points)
{
    Global::openStageRecord(stage);
    for (const Global::ExperimentData& d : points) {
        CommonData record;
        record.runStatus = 1;
        record.stage = stage;
        record.runTime = d.runTime;
        record.sampleTemp = d.temperature;
        record.dsc = d.dsc;
        emit SerialPort::instance()->sigSendCommonData(record);
    }
}

// A finished run of two stages on its one curve, 30 to 130 ℃ and 131 to
// 231 ℃, both on line(): the label at 200 ℃ reads 1 + 0.25 × 200. A peak
// from 100 to 200 ℃ takes samples of both stages and is refused, saying so.
void TestAnalysisRoad::liveRunAnalysedOnItsLaterStage()
{
    Global::_globalMode = Global::Experiment;
    sendLivePoints(1, curve(line));
    sendLivePoints(2, curve(line, 101, 131.0f));
    Global::_globalMode = Global::Analysis;
    selectCurve(_central->liveCurve());
    analyse("actionNumericalLabel", 200.0, 0.0, nullptr);
    QCOMPARE(labelTexts(_plot), QStringList{"数值：\n200.000℃,51.000"});
    analyse("actionPeakSynthesisAnalysis", 100.0, 200.0, nullptr);
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("曲线选择错误."));
    QCOMPARE(_dialogs->boxes.first().informativeText,
             QStringLiteral("所选区域跨越了本次实验的多个阶段，请将两条线放在同一阶段的曲线范围内。"));
}

void TestAnalysisRoad::heatThenCoolRunAnalysedOnItsHeatingStage_data()
{
    QTest::addColumn<float>("coolTo");
    QTest::addColumn<float>("coolStep");
    QTest::newRow("cools to 50 ℃") << 50.0f << 1.0f;
    QTest::newRow("cools below the first temperature") << 20.0f << 1.0f;
    QTest::newRow("cools at 0.5 ℃ per sample") << 50.0f << 0.5f;
}

// A finished run of 2 mg heats 30 → 170 ℃ over step() and a peak 5 mW high
// from 140 over 150 to 160 ℃, one sample per degree, then cools back at a
// flat 0.5 mW; the heating stage is taken even where cooling more slowly put
// twice as many samples in the region. By hand: the peak's area over
// its 3 mW chord is 20 × 5 / 2 = 50 mW·℃, 50 × 8.177 / 2 = 204.425 J/g; its
// straight flanks meet the chord at 140 and 160 ℃; within 1 % of its 8 mW
// lies its top only. T1 and T2 were computed in Python (float32 samples) as
// the central-difference tangent at 72 ℃ meeting the baselines 1 and 3 mW.
void TestAnalysisRoad::heatThenCoolRunAnalysedOnItsHeatingStage()
{
    QFETCH(float, coolTo);
    QFETCH(float, coolStep);
    const auto heating = [](double t) { return step(t) + 5.0 * std::max(0.0, 1.0 - std::fabs(t - 150.0) / 10.0); };
    QVector<Global::ExperimentData> cooling;
    for (float t = 170.0f; t >= coolTo; t -= coolStep)
        cooling.append(Global::ExperimentData{15.0f + 0.1f * float(cooling.size()), 0.0f, t, 0.5f});
    Global::_experimentInfo.sampleWeight = QStringLiteral("2");
    Global::_globalMode = Global::Experiment;
    sendLivePoints(1, curve(heating, 141));
    sendLivePoints(2, cooling);
    Global::_globalMode = Global::Analysis;
    selectCurve(_central->liveCurve());
    for (const char* action : {"actionPeakSynthesisAnalysis", "actionStartPoint", "actionStopPoint",
                               "actionOnsetTemperaturePoint", "actionEndsetTemperaturePoint"})
        analyse(action, 130.2, 167.8);
    analyse("actionNumericalLabel", 150.0);
    analyse("actionGlassTransition", 60.0, 100.0);
    const QStringList expected{"峰的综合信息：\n焓值：204.425 J/g \n峰值：150.000℃ \n起始点：140.000℃ \n终止点：160.000℃",
                               "外推起始点：\n140.000℃",
                               "外推终止点：\n160.000℃",
                               "150.000",
                               "150.000",
                               "数值：\n150.000℃,8.000",
                               "T1：69.999℃\nTg：80.000℃\nT2：89.999℃"};
    QCOMPARE(saveClearAndReload(), expected);
    QCOMPARE(labelTexts(_plot), expected);
}

void TestAnalysisRoad::meltingPointsInThePeaksOwnDirection_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<bool>("down");
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<QStringList>("labels");
    // peak() tops out at 6 mW from 78 to 82 ℃, 77 and 83 ℃ read 5.75 (see
    // analysistesthelpers.h): 初熔点 reads the top's last sample and 终熔点
    // its first, as they always have.
    QTest::newRow("upward") << QString() << false << 40.0 << 120.0 << QStringList{"82.000", "78.000"};
    // 8 - peak(): the baseline at 7 mW, the bottom at 2 mW from 78 to 82 ℃;
    // within 1 % of 2 mW lies the bottom only.
    QTest::newRow("downward") << QString() << true << 40.0 << 120.0 << QStringList{"82.000", "78.000"};
    // The workbook's signal read in Python (float32): its minimum, -11.654 mW
    // at 156.6 ℃, is the only sample within 0.117 mW of it.
    QTest::newRow("indium") << "indium.xlsx" << true << 140.0 << 170.0 << QStringList{"156.600", "156.600"};
}

void TestAnalysisRoad::meltingPointsInThePeaksOwnDirection()
{
    QFETCH(QString, sample);
    QFETCH(bool, down);
    QFETCH(double, x1);
    QFETCH(double, x2);
    QFETCH(QStringList, labels);
    if (sample.isEmpty()) {
        const auto dip = [](double t) { return 8.0 - peak(t); };
        QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/m.xlsx", {down ? curve(dip) : curve(peak)}));
        _window->findChild<LeftWidget*>()->refreshTree();
        openFromTree("样品数据", "m.xlsx");
    } else {
        openSample(sample);
    }
    analyse("actionOnsetTemperaturePoint", x1, x2);
    analyse("actionEndsetTemperaturePoint", x1, x2);
    QCOMPARE(labelTexts(_plot), labels);
}

// K = 0.731 is put in force once the window stands, so "仪器系数" must read
// it when opened. Indium between 140 and 170 ℃ then reads 28.461 J/g; 28.42
// (its theoretical enthalpy) against 28.461 gives 0.731 × 28.42 / 28.461 =
// 0.72994697 however often "计算" is pressed, and indium then reads 28.420
// J/g (Python, float32, with the enthalpy taken as the peak analysis takes
// it from the workbook's samples).
void TestAnalysisRoad::calibrationUsesTheCoefficientInForce()
{
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 0.731f);
    openSample("indium.xlsx");
    analyse("actionPeakSynthesisAnalysis", 140.0, 170.0);
    QVERIFY2(labelTexts(_plot).last().contains("焓值：28.461 J/g"), qPrintable(labelTexts(_plot).last()));
    trigger("actionInstrumentParameter");
    auto* form = _window->findChild<InstrumentCoefficientForm*>();
    auto* coefficient = form->findChild<QLineEdit*>("LineEditCoefficient");
    QCOMPARE(coefficient->text(), QStringLiteral("0.731"));
    QTest::keyClicks(form->findChild<QLineEdit*>("LineEditTheory"), "28.42");
    QTest::keyClicks(form->findChild<QLineEdit*>("LineEditActualMeasurement"), "28.461");
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(form->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    QCOMPARE(coefficient->text(), QStringLiteral("0.730"));
    QFile config(Global::ConfigFilePath);
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(config.readAll()).object().value("InstrumentCoefficient").toDouble(),
             0.7299469709396362);
    config.remove();
    form->hide();
    analyse("actionPeakSynthesisAnalysis", 140.0, 170.0);
    QVERIFY2(labelTexts(_plot).last().contains("焓值：28.420 J/g"), qPrintable(labelTexts(_plot).last()));
    QVERIFY(_dialogs->boxes.isEmpty());
}

// The same lines give another analysis and another curve their own result:
// 起始点 then 终止点 on a.xlsx, then 终止点 on b.xlsx once selected and on
// c.xlsx once drawn. peak()'s flanks meet its baseline at 58 and 102 ℃ (see
// analysistesthelpers.h).
void TestAnalysisRoad::sameLinesApplyToAnotherAnalysisOrCurve()
{
    for (const char* name : {"/a.xlsx", "/b.xlsx", "/c.xlsx"})
        QVERIFY(writeWorkbook(Global::SampleDataFolderPath + name, {curve(peak)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "a.xlsx");
    openFromTree("样品数据", "b.xlsx");
    selectCurve(Global::_curveFileDataVtr.first().phases.first().curve);
    analyse("actionStartPoint", 40.0, 120.0, nullptr);
    analyse("actionStopPoint", 40.0, 120.0, nullptr);
    selectCurve(Global::_curveFileDataVtr.last().phases.first().curve);
    click("pushButtonApply");
    openFromTree("样品数据", "c.xlsx");
    click("pushButtonApply");
    const QString stop = QStringLiteral("外推终止点：\n102.000℃");
    QCOMPARE(labelTexts(_plot), (QStringList{"外推起始点：\n58.000℃", stop, stop, stop}));
    QCOMPARE(Global::_analysisOperationVtr.size(), 4);
}

// The indium peak near the right edge of the x range: its label would stand a
// tick step right of the peak, beyond the edge.
void TestAnalysisRoad::labelsStayInsideThePlot()
{
    openSample("indium.xlsx");
    _central->slotSetAxisSettings({100.0, 165.0, -15.0, 3.0, 0.0, 1.0});
    analyse("actionPeakSynthesisAnalysis", 150.0, 162.0);
    QCOMPARE(labelTexts(_plot).size(), 1);
    _plot->replot(QCustomPlot::rpImmediateRefresh);
    auto* label = qobject_cast<QCPItemText*>(PlotItemRegistry::texts().first());
    const QRectF box(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
    const QRectF area = _plot->axisRect()->rect();
    QVERIFY2(area.contains(box), qPrintable(QString("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    // Nothing of the text is cut, in whatever font stands in for Arial: the box
    // is as wide as the widest line at least (trailing blanks take no room).
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line.trimmed()));
    QVERIFY2(box.width() >= widest, qPrintable(QString("%1 < %2").arg(box.width()).arg(widest)));
}

// Every result label whole in the axis rectangle and over no other one nor
// over any line of its curve; its arrow (the item drawn after it) ends on the
// point its text names (the nearest sample, 0.2 ℃ apart in indium) and
// leaves the label from an edge, not through its text.
void TestAnalysisRoad::verifyLabelsReadable(const QVector<Global::ExperimentData>& curve)
{
    _plot->replot(QCustomPlot::rpImmediateRefresh);
    const QRectF area = _plot->axisRect()->rect();
    QVector<QRectF> boxes;
    for (int i = 0; i + 1 < _plot->itemCount(); ++i) {
        auto* label = qobject_cast<QCPItemText*>(_plot->item(i));
        auto* arrow = qobject_cast<QCPItemLine*>(_plot->item(i + 1));
        if (!label || !arrow)
            continue;
        const QRectF box = boxOf(label);
        QVERIFY2(area.contains(box), qPrintable(label->text()));
        for (const QRectF& other : qAsConst(boxes))
            QVERIFY2(!other.intersects(box), qPrintable(label->text()));
        boxes << box;
        const QLineF shaft(arrow->start->pixelPosition(), arrow->end->pixelPosition());
        QVERIFY2(!crosses(QLineF(shaft.pointAt(0.02), shaft.p2()), box), qPrintable(label->text()));
        const QRegularExpression temperature(QStringLiteral("([0-9.]+)℃"));
        bool named = false;
        for (auto m = temperature.globalMatch(label->text()); m.hasNext();)
            named = qAbs(m.next().captured(1).toDouble() - arrow->end->key()) <= 0.1 || named;
        QVERIFY2(named, qPrintable(label->text()));
        for (int j = 1; j < curve.size(); ++j) {
            const QLineF piece(_plot->xAxis->coordToPixel(curve.at(j - 1).temperature),
                               _plot->yAxis->coordToPixel(curve.at(j - 1).dsc),
                               _plot->xAxis->coordToPixel(curve.at(j).temperature),
                               _plot->yAxis->coordToPixel(curve.at(j).dsc));
            QVERIFY2(!crosses(piece, box), qPrintable(label->text()));
        }
    }
    QCOMPARE(boxes.size(), 3);
}

// The peak of indium, then its extrapolated start and end points, three
// labels about one spot; the same after a save and a reload, and once the
// analysis panel opening narrows the plot.
void TestAnalysisRoad::labelsHideNothing()
{
    openSample("indium.xlsx");
    analyse("actionPeakSynthesisAnalysis", 145.0, 168.0);
    analyse("actionStartPoint", 145.5, 168.0);
    analyse("actionStopPoint", 146.0, 168.0);
    verifyLabelsReadable(Global::_curveFileDataVtr.first().phases.first().data);
    saveClearAndReload();
    verifyLabelsReadable(Global::_curveFileDataVtr.first().phases.first().data);
    const int wide = _plot->width();
    trigger("actionNumericalLabel");
    QTRY_VERIFY(_plot->width() < wide);
    verifyLabelsReadable(Global::_curveFileDataVtr.first().phases.first().data);
}

// A flat curve, the x range 20 to 180 ℃ and a label at 100 ℃, which stands
// above its point (beside it, it would cover the curve). The range moved on by
// 60 ℃, its arrow runs down from it to the point, now left of it, past the
// place above 118 ℃: a label there goes below its point instead.
void TestAnalysisRoad::labelAfterAPanCrossesNoArrow()
{
    const auto flat = [](double) { return 1.0; };
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/l.xlsx", {curve(flat)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "l.xlsx");
    const int wide = _plot->width();
    trigger("actionNumericalLabel");
    QTRY_VERIFY(_plot->width() < wide);
    _central->slotSetAxisSettings({20.0, 180.0, -10.0, 10.0, 0.0, 1.0});
    setLineKey(_central->line1(), 100.0);
    click("pushButtonApply");
    _central->slotSetAxisSettings({80.0, 240.0, -10.0, 10.0, 0.0, 1.0});
    setLineKey(_central->line1(), 118.0);
    click("pushButtonApply");
    _plot->replot(QCustomPlot::rpImmediateRefresh);
    QCOMPARE(labelTexts(_plot).size(), 2);
    for (int i = 0; i < _plot->itemCount(); ++i) {
        auto* label = qobject_cast<QCPItemText*>(_plot->item(i));
        for (int j = 0; label && j < _plot->itemCount(); ++j) {
            auto* arrow = qobject_cast<QCPItemLine*>(_plot->item(j));
            if (arrow && j != i + 1)
                QVERIFY2(!crosses(QLineF(arrow->start->pixelPosition(), arrow->end->pixelPosition()), boxOf(label)),
                         qPrintable(label->text()));
        }
    }
}

// Six labels about indium's peak in a window of 800 × 500 reloaded, then the
// analysis panel narrows the plot to under 200 pixels: a label at 155 ℃ finds
// no free place beside its point, yet the rectangle has room for it.
void TestAnalysisRoad::labelsApartOnASmallPlot()
{
    _window->resize(800, 500);
    openSample("indium.xlsx");
    analyse("actionPeakSynthesisAnalysis", 145.0, 168.0);
    analyse("actionOnsetTemperaturePoint", 140.0, 170.0);
    analyse("actionEndsetTemperaturePoint", 140.0, 170.0);
    analyse("actionStartPoint", 145.5, 168.0);
    analyse("actionStopPoint", 146.0, 168.0);
    saveClearAndReload();
    const int wide = _plot->width();
    trigger("actionNumericalLabel");
    QTRY_VERIFY(_plot->width() < wide);
    setLineKey(_central->line1(), 155.0);
    click("pushButtonApply");
    _plot->replot(QCustomPlot::rpImmediateRefresh);
    QVector<QRectF> boxes;
    for (int i = 0; i < _plot->itemCount(); ++i) {
        if (auto* label = qobject_cast<QCPItemText*>(_plot->item(i))) {
            const QRectF area = _plot->axisRect()->rect();
            QVERIFY2(area.contains(boxOf(label)), qPrintable(label->text()));
            // With the fonts of some machines the texts fill the plot; where
            // room is left, a label takes it.
            if (roomFor(boxOf(label).size(), area, boxes)) {
                for (const QRectF& other : qAsConst(boxes))
                    QVERIFY2(!other.intersects(boxOf(label)), qPrintable(label->text()));
            }
            boxes << boxOf(label);
        }
    }
    QCOMPARE(boxes.size(), 6);
}

// 左边界 and 右边界 read the keys of the lines (two decimals) when a new
// analysis places them, while one is dragged, and when "Y轴" puts them on the
// run-time range; a value typed in moves no line.
void TestAnalysisRoad::boundsFollowTheLines()
{
    openSample("two-stage.xlsx");
    auto* left = _window->findChild<QDoubleSpinBox*>("leftBoundSpinBox");
    auto* right = _window->findChild<QDoubleSpinBox*>("rightBoundSpinBox");
    const auto verifyShown = [&]() {
        const QCPRange range = _plot->xAxis->range();
        for (const auto& pair : {qMakePair(left, _central->line1()), qMakePair(right, _central->line2())}) {
            const double key = pair.second->point1->key();
            QVERIFY(range.contains(key));
            QVERIFY2(qAbs(pair.first->value() - key) < 0.006, qPrintable(QString::number(key)));
        }
    };
    trigger("actionPeakSynthesisAnalysis");
    verifyShown();
    const int x = qRound(_plot->xAxis->coordToPixel(_central->line1()->point1->key()));
    const int y = _plot->height() / 2;
    for (const auto& step : {qMakePair(QEvent::MouseButtonPress, x), qMakePair(QEvent::MouseMove, x + 37),
                             qMakePair(QEvent::MouseButtonRelease, x + 37)}) {
        QMouseEvent event(step.first, QPoint(step.second, y), Qt::LeftButton,
                          step.first == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(_plot, &event);
    }
    QCOMPARE(qRound(_plot->xAxis->coordToPixel(_central->line1()->point1->key())), x + 37);
    verifyShown();
    trigger("actionStartPoint");
    verifyShown();
    trigger("actionYAxis");
    verifyShown();
    const double key = _central->line1()->point1->key();
    left->selectAll();
    QTest::keyClicks(left, "3.5");
    QTest::keyClick(left, Qt::Key_Enter);
    QCOMPARE(_central->line1()->point1->key(), key);
}

// two-stage.xlsx heats from 25.4 to 120 ℃ and holds (stage 1), then on to
// 200 ℃ over a peak down to -11.567 mW (stage 2). Its ranges take in both
// stages with a fifth of each span either side; by openpyxl and numpy
// float32: -9.520 to 234.920 ℃ (or -3.124 to 18.884 min), -13.919 to 2.545 mW.
void TestAnalysisRoad::loadedRangesCoverAllStages()
{
    openSample("two-stage.xlsx");
    const auto verifyRange = [](const QCPAxis* axis, double lower, double upper) {
        QVERIFY2(qAbs(axis->range().lower - lower) < 1e-3 && qAbs(axis->range().upper - upper) < 1e-3,
                 qPrintable(QString("%1 %2").arg(axis->range().lower).arg(axis->range().upper)));
    };
    verifyRange(_plot->xAxis, -9.520, 234.920);
    verifyRange(_plot->yAxis, -13.919, 2.545);
    trigger("actionYAxis");
    verifyRange(_plot->xAxis, -3.124, 18.884);
    verifyRange(_plot->yAxis, -13.919, 2.545);
}

// A run starts with the signal range -5 to 5 mW: a point at -11.6 mW moves
// its lower end to -11.6 - (5 + 11.6) / 5 = -14.92, a point inside it
// narrows nothing, and once the user zooms, a point at -30 mW stays off.
void TestAnalysisRoad::liveRangeWidensUntilTheUserMovesIt()
{
    emit SerialPort::instance()->sigAxisModify(170.0f);
    Global::_globalMode = Global::Experiment;
    const auto send = [this](float dsc) {
        Global::ExperimentData d{1.0f, 0.0f, 150.0f, dsc};
        sendLivePoints(1, {d});
    };
    send(-11.6f);
    send(0.5f);
    QVERIFY(qAbs(_plot->yAxis->range().lower + 14.92) < 1e-4);
    QCOMPARE(_plot->yAxis->range().upper, 5.0);
    const QPointF centre = _plot->axisRect()->rect().center();
    QWheelEvent wheel(centre, _plot->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(_plot, &wheel);
    const QCPRange zoomed = _plot->yAxis->range();
    QVERIFY(zoomed.size() < 5.0 + 14.92);
    send(-30.0f);
    QCOMPARE(_plot->yAxis->range(), zoomed);
}

void TestAnalysisRoad::save(const QString& path)
{
    _dialogs->fileNames = QStringList{path};
    trigger("actionSaveData");
}

void TestAnalysisRoad::smooth(QCPCurve* curve)
{
    selectCurve(curve);
    trigger("actionSmoothness3");
    QTRY_VERIFY(!_window->findChild<CurveSmoother*>()->isRunning());
}

// Texts of the result labels of one curve, in drawing order.
QStringList TestAnalysisRoad::labelsOf(const QString& curveName) const
{
    QStringList texts;
    for (int i = 0; i < _plot->itemCount(); ++i) {
        auto* text = qobject_cast<QCPItemText*>(_plot->item(i));
        if (text && PlotItemRegistry::belongsToCurve(text, curveName))
            texts << text->text();
    }
    return texts;
}

namespace {

// The signal of each stage of a curve as the workspace holds it: a loaded
// workbook's stages, or the run's records.
QVector<QVector<float>> signalsOf(const QString& curveName)
{
    QVector<QVector<float>> dsc;
    const auto add = [&dsc](const QVector<Global::ExperimentData>& points) {
        dsc.append(QVector<float>());
        for (const Global::ExperimentData& d : points)
            dsc.last().append(d.dsc);
    };
    for (const Global::CurveExperimentData& record : qAsConst(Global::_experimentDataVtr)) {
        if (curveName == Global::ExperimentKey)
            add(record.data);
    }
    for (const Global::CurveFileData& file : qAsConst(Global::_curveFileDataVtr)) {
        for (const Global::PhaseTotalInfo& stage : file.phases) {
            if (file.fileName == curveName)
                add(stage.data);
        }
    }
    return dsc;
}

} // namespace

// The workbooks: a peak(), b line(), c step(); hc heats over peak() and cools
// over 2 + 0.01 T; s has peak() and step() from 140 ℃ with a stored label at
// 80 ℃ on its first stage. Returns the curve the save is expected to write.
QString TestAnalysisRoad::setUpSave(const QString& scenario)
{
    const QString folder = Global::SampleDataFolderPath + "/";
    const auto rising = [](double t) { return 2.0 + 0.01 * t; };
    if (!writeWorkbook(folder + "a.xlsx", {curve(peak)}) || !writeWorkbook(folder + "b.xlsx", {curve(line)})
        || !writeWorkbook(folder + "c.xlsx", {curve(step)})
        || !writeWorkbook(folder + "hc.xlsx", {curve(peak), coolingCurve(rising)})
        || !writeWorkbook(folder + "s.xlsx", {curve(peak), curve(step, 101, 140.0f)}, "2", {{"", 1, 80.0, 0.0}}))
        return QString();
    _window->findChild<LeftWidget*>()->refreshTree();
    const auto stageCurve = [](int file, int stage) {
        return Global::_curveFileDataVtr.at(file).phases.at(stage).curve;
    };
    if (scenario == "hc" || scenario == "two-stage") {
        scenario == "hc" ? openFromTree("样品数据", "hc.xlsx") : openSample("two-stage.xlsx");
        selectCurve(stageCurve(0, 1));
        if (scenario == "two-stage") {
            analyse("actionPeakSynthesisAnalysis", 119.5, 125.0);
            return "two-stage.xlsx";
        }
        analyse("actionNumericalLabel", 60.0);
        // The same line again is applied only after "撤销" forgets the last.
        selectCurve(stageCurve(0, 0));
        analyse("actionNumericalLabel", 60.0, 0.0, "pushButtonUndo");
        click("pushButtonApply");
        click("pushButtonConfirm");
        return "hc.xlsx";
    }
    if (scenario == "s") {
        openFromTree("样品数据", "s.xlsx");
        smooth(stageCurve(0, 1));
        return "s.xlsx";
    }
    if (scenario == "run") {
        Global::_globalMode = Global::Experiment;
        sendLivePoints(1, curve(line));
        Global::_globalMode = Global::Analysis;
    }
    openFromTree("样品数据", "a.xlsx");
    if (scenario == "undo") {
        analyse("actionNumericalLabel", 80.0, 0.0, nullptr);
        save(folder + "a.xlsx");
        click("pushButtonUndo");
        click("pushButtonCancel");
        return "a.xlsx";
    }
    if (scenario != "run")
        openFromTree("样品数据", "b.xlsx");
    if (scenario == "b smoothed" || scenario == "b smoothed, deleted")
        smooth(stageCurve(1, 0));
    if (scenario == "b deleted" || scenario == "b smoothed, deleted") {
        selectCurve(stageCurve(1, 0));
        if (scenario == "b deleted")
            analyse("actionNumericalLabel", 80.0);
        contextMenu("删除当前曲线");
    }
    if (scenario == "b smoothed, deleted") {
        openFromTree("样品数据", "c.xlsx");
        selectCurve(Global::_curveFileDataVtr.last().phases.first().curve);
        analyse("actionNumericalLabel", 80.0);
        return "c.xlsx";
    }
    selectCurve(stageCurve(0, 0));
    if (scenario != "b deleted")
        analyse("actionNumericalLabel", 80.0);
    if (scenario == "run") {
        smooth(_central->liveCurve());
        return Global::ExperimentKey;
    }
    return scenario == "b smoothed" ? "b.xlsx" : "a.xlsx";
}

void TestAnalysisRoad::savedWorkbookIsWhatThePlotShows_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("inPlace");
    QTest::addColumn<int>("labels");         // of the saved curve, shown before the save
    QTest::addColumn<QVector<int>>("stages"); // of the saved analyses, from 0
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("the first of two workbooks analysed") << "a and b" << false << 1 << QVector<int>{0} << QStringList();
    QTest::newRow("the same, saved over it") << "a and b" << true << 1 << QVector<int>{0} << QStringList();
    QTest::newRow("the workbook read last deleted") << "b deleted" << false << 0 << QVector<int>() << QStringList();
    QTest::newRow("one temperature on heating and cooling") << "hc" << true << 2 << QVector<int>{1, 0}
                                                           << QStringList();
    QTest::newRow("peak on the later stage, near the hold") << "two-stage" << false << 1 << QVector<int>{1}
                                                            << QStringList();
    QTest::newRow("one smoothed, the other analysed")
        << "b smoothed" << false << 0 << QVector<int>() << QStringList{"本次保存了 b.xlsx，a.xlsx 上的分析未保存。"};
    QTest::newRow("the run smoothed, a workbook analysed")
        << "run" << false << 0 << QVector<int>() << QStringList{"本次保存了 实验数据，a.xlsx 上的分析未保存。"};
    QTest::newRow("a stage smoothed, a stored label on the other") << "s" << false << 1 << QVector<int>{0}
                                                                   << QStringList();
    QTest::newRow("the smoothed one deleted, another analysed") << "b smoothed, deleted" << false << 1
                                                                << QVector<int>{0} << QStringList();
    QTest::newRow("undone after a save over it") << "undo" << true << 0 << QVector<int>() << QStringList();
}

// "保存数据", "清除数据" and the saved workbook opened again: it holds the
// points of the curve worked on last as the plot shows them (smoothed or
// not), and its labels come back as they were, each on its stage.
void TestAnalysisRoad::savedWorkbookIsWhatThePlotShows()
{
    QFETCH(QString, scenario);
    QFETCH(bool, inPlace);
    QFETCH(int, labels);
    QFETCH(QVector<int>, stages);
    QFETCH(QStringList, boxes);
    const QString name = setUpSave(scenario);
    QVERIFY(!name.isEmpty());
    const QStringList shown = labelsOf(name);
    QCOMPARE(shown.size(), labels);
    const QVector<QVector<float>> dsc = signalsOf(name);
    const QString folder = inPlace ? Global::SampleDataFolderPath : Global::AnalysisStateFolderPath;
    const QString fileName = inPlace ? name : QStringLiteral("saved.xlsx");
    _dialogs->boxes.clear();
    save(folder + "/" + fileName);
    QStringList texts;
    for (const MessageBox::Request& box : qAsConst(_dialogs->boxes))
        texts << box.text;
    QCOMPARE(texts, boxes);

    trigger("actionClearAllData");
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree(inPlace ? "样品数据" : "分析状态", fileName);
    QCOMPARE(labelTexts(_plot), shown);
    QCOMPARE(Global::_curveFileDataVtr.size(), 1);
    QCOMPARE(signalsOf(fileName), dsc);
    QVector<int> savedStages;
    for (const AnalysisOperation& op : qAsConst(Global::_curveFileDataVtr.first().analysisOperations))
        savedStages << op.stage;
    QCOMPARE(savedStages, stages);
}

namespace {

// A workbook edited in openpyxl, as a user may do between two analyses, then
// by hand where openpyxl would not write it (LibreOffice does).
const char* const EditWorkbookScript = R"(
import sys, zipfile, openpyxl
from openpyxl.comments import Comment
from openpyxl.styles import PatternFill
path, edit = sys.argv[1:]
book = openpyxl.load_workbook(path)
sheet = book.active
if edit == "sheet":
    book.create_sheet("notes")["A1"] = "remarks"
elif edit == "formula":
    sheet["C2"] = "=B3*2"
elif edit == "long":
    sheet["G10"] = "long"
elif edit == "digits":
    sheet["G3"] = 0.5
elif edit == "title":
    sheet.title = "Messdaten"
elif edit == "area":
    sheet.print_area = "A1:E20"
elif edit in ("remark", "annotated"):
    sheet["A2025"] = "checked"
if edit == "annotated":
    sheet["G2"].comment = Comment("weighed twice", "lab")
    sheet["B2"].fill = PatternFill("solid", fgColor="FFFF00")
book.save(path)
by_hand = {"long": ("<t>long</t>", "<t>" + "x" * 40000 + "</t>"),
           "long name": ("<t>PET</t>", "<t>" + "x" * 40000 + "</t>"),
           "digits": ('<c r="G3" t="n"><v>0.5</v>', '<c r="G3" t="n"><v>0.30000000000000004</v>'),
           "sparkline": ("</worksheet>", '<extLst><ext uri="{05C60535-1F16-4fd2-B633-F4F36F0B64E0}" '
                         'xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main">'
                         '<x14:sparklineGroups xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main">'
                         '<x14:sparklineGroup><x14:sparklines><x14:sparkline><xm:f>Sheet1!D16:D40</xm:f>'
                         '<xm:sqref>G16</xm:sqref></x14:sparkline></x14:sparklines></x14:sparklineGroup>'
                         '</x14:sparklineGroups></ext></extLst></worksheet>')}
if edit in by_hand:
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    sheet_part = "xl/worksheets/sheet1.xml"
    parts[sheet_part] = parts[sheet_part].decode().replace(*by_hand[edit]).encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for n, data in parts.items():
            z.writestr(n, data)
)";

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sheetTitleByOpenpyxl(const QString& path)
{
    QProcess python;
    python.start(QUARNEL_PYTHON, {"-c", "import sys, openpyxl; print(openpyxl.load_workbook(sys.argv[1]).active.title)",
                                  path});
    python.waitForFinished(60000);
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}

} // namespace

void TestAnalysisRoad::inPlaceSaveKeepsTheWorkbook_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("smoothed");
    QTest::addColumn<QString>("refusal");
    const QString hint = QStringLiteral("，保存到原文件会丢失这些内容。请另存为其他文件名。");
    const QString annotated = QStringLiteral("该文件含有批注、单元格格式（如填充颜色、字体、列宽或合并单元格）") + hint;
    QTest::newRow("another sheet") << "sheet" << false << QStringLiteral("该文件含有多个工作表") + hint;
    QTest::newRow("a formula") << "formula" << false << QStringLiteral("该文件含有公式") + hint;
    QTest::newRow("a remark far below the data") << "remark" << false << QString();
    QTest::newRow("a remark far below, smoothed") << "remark" << true << QString();
    QTest::newRow("a note, a remark and a fill") << "annotated" << false << annotated;
    QTest::newRow("a note, a remark and a fill, smoothed") << "annotated" << true << annotated;
    QTest::newRow("ours as written, smoothed") << "" << true << QString();
    QTest::newRow("a text longer than a cell holds")
        << "long" << false << QStringLiteral("该文件含有超过 32767 个字符的长文字（超出 Excel 单元格的上限）") + hint;
    QTest::newRow("a number of 17 digits")
        << "digits" << false << QStringLiteral("该文件含有需要 17 位有效数字的数值（重写后会被舍入）") + hint;
    QTest::newRow("a print area") << "area" << false << QStringLiteral("该文件含有定义的名称或打印区域") + hint;
    QTest::newRow("a sparkline") << "sparkline" << false
                                 << QStringLiteral("该文件含有图片、图表、迷你图、超链接或数据验证等对象") + hint;
    QTest::newRow("its own sheet name") << "title" << false << QString();
}

// Saving over a workbook keeps what the file held: one holding what the
// writer cannot keep is refused with the reason, untouched, and saved under
// another name instead; a remark below the data and the sheet's name stay,
// smoothed or not, and the analyses go where the reader looks. The label
// reads peak() at 80 ℃ (see analysistesthelpers.h) unless the curve was
// smoothed.
void TestAnalysisRoad::inPlaceSaveKeepsTheWorkbook()
{
    QFETCH(QString, edit);
    QFETCH(bool, smoothed);
    QFETCH(QString, refusal);
    const QString file = Global::SampleDataFolderPath + "/e.xlsx";
    QVERIFY(writeWorkbook(file, {curve(peak)}));
    if (!edit.isEmpty()) {
        QProcess python;
        python.setProcessChannelMode(QProcess::ForwardedChannels);
        python.start(QUARNEL_PYTHON, {"-c", EditWorkbookScript, file, edit});
        QVERIFY(python.waitForFinished(60000));
        QCOMPARE(python.exitCode(), 0);
    }
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "e.xlsx");
    if (smoothed)
        smooth(Global::_curveFileDataVtr.first().phases.first().curve);
    analyse("actionNumericalLabel", 80.0);
    const QStringList shown = labelTexts(_plot);
    const QVector<QVector<float>> dsc = signalsOf("e.xlsx");
    const QByteArray before = contentsOf(file);
    save(file);
    QString reloaded = "e.xlsx";
    if (!refusal.isEmpty()) {
        QCOMPARE(_dialogs->boxes.size(), 1);
        QCOMPARE(_dialogs->boxes.first().text, "Save experiment file failed: " + file);
        QCOMPARE(_dialogs->boxes.first().informativeText, refusal);
        QCOMPARE(contentsOf(file), before);
        save(Global::AnalysisStateFolderPath + "/saved.xlsx");
        reloaded = "saved.xlsx";
    }
    QCOMPARE(_dialogs->boxes.size(), refusal.isEmpty() ? 0 : 1);
    trigger("actionClearAllData");
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree(refusal.isEmpty() ? "样品数据" : "分析状态", reloaded);
    QCOMPARE(labelTexts(_plot), smoothed ? shown : QStringList{"数值：\n80.000℃,6.000"});
    QCOMPARE(signalsOf(reloaded), dsc);
    Workbook book;
    QVERIFY(book.load(file));
    QCOMPARE(book.cellAt(2025, 1).toString(), edit == "remark" || edit == "annotated" ? "checked" : QString());
    QCOMPARE(sheetTitleByOpenpyxl(file), edit == "title" ? "Messdaten" : "Sheet1");
}

void TestAnalysisRoad::replacedWorkbookSavedOnlyUnderANewName_data()
{
    QTest::addColumn<bool>("smoothed");
    QTest::newRow("smoothed") << true;
    QTest::newRow("analysed") << false;
}

// Another run of 3,000 points was saved over the workbook after it was read:
// the save over it is refused and leaves that run as it is; under a new name
// the workbook is written as loaded, with its analyses.
void TestAnalysisRoad::replacedWorkbookSavedOnlyUnderANewName()
{
    QFETCH(bool, smoothed);
    const QString file = Global::SampleDataFolderPath + "/r.xlsx";
    QVERIFY(writeWorkbook(file, {curve(peak)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "r.xlsx");
    if (smoothed)
        smooth(Global::_curveFileDataVtr.first().phases.first().curve);
    analyse("actionNumericalLabel", 80.0);
    const QStringList shown = labelTexts(_plot);
    const QVector<QVector<float>> dsc = signalsOf("r.xlsx");
    QVERIFY(writeWorkbook(file, {curve(line, 3000)}));
    const QByteArray replaced = contentsOf(file);

    save(file);
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().text, "Save experiment file failed: " + file);
    QCOMPARE(_dialogs->boxes.first().informativeText,
             QStringLiteral("原文件在打开之后已被修改或替换（例如又有一次保存写到了这个文件），"
                            "保存到原文件会覆盖这些改动。请另存为其他文件名。"));
    QCOMPARE(contentsOf(file), replaced);
    save(Global::AnalysisStateFolderPath + "/new.xlsx");
    QCOMPARE(_dialogs->boxes.size(), 1);
    trigger("actionClearAllData");
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("分析状态", "new.xlsx");
    QCOMPARE(labelTexts(_plot), shown);
    QCOMPARE(signalsOf("new.xlsx"), dsc);
}

namespace {

// openpyxl's view of the analysis block after the stage blocks: per row its
// five cells.
const char* const OperationRowsScript = R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
row = 9
for _ in range(ws.cell(8, 2).value):
    row += 7 + ws.cell(row + 6, 2).value
for r in range(row + 1, row + 1 + ws.cell(row, 2).value):
    print(*(ws.cell(r, c).value for c in range(1, 6)))
)";

QStringList operationRowsByOpenpyxl(const QString& path)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(QUARNEL_PYTHON, {"-c", OperationRowsScript, path});
    python.waitForFinished(60000);
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

// A finished run saved with a peak across its two stages and a label beyond
// both: neither can be drawn again, the status bar says so, and a save over
// the workbook writes both rows back as they were, after the analyses on the
// plot.
void TestAnalysisRoad::undrawnStoredAnalysesKept()
{
    const QString file = Global::SampleDataFolderPath + "/u.xlsx";
    QVERIFY(writeWorkbook(file, {curve(peak), curve(step, 101, 140.0f)}, "2",
                          {{"", 4, 120.0, 150.0}, {"", 1, 500.0, 500.0}}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "u.xlsx");
    QCOMPARE(_window->statusBar()->currentMessage(),
             QStringLiteral("u.xlsx 中有 2 个已保存的分析无法在曲线上显示，保存时将原样保留。"));
    QVERIFY(labelTexts(_plot).isEmpty());
    selectCurve(Global::_curveFileDataVtr.first().phases.first().curve);
    analyse("actionNumericalLabel", 80.0);
    save(file);
    QVERIFY(_dialogs->boxes.isEmpty());
    QCOMPARE(operationRowsByOpenpyxl(file), QStringList({"NumericalLabel 80 0 None 1",
                                                         "PeakSynthesisAnalysis 120 150 None None",
                                                         "NumericalLabel 500 500 None None"}));
}

void TestAnalysisRoad::failedSaveSaysWhy_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full") << "full.xlsx" << QStringLiteral("写入文件时出错，磁盘可能已满。");
    QTest::newRow("no such folder") << "gone/t.xlsx" << QStringLiteral("保存的文件夹不存在。");
    QTest::newRow("read-only file") << "locked.xlsx"
                                    << QStringLiteral("原有的同名文件是只读的（或不是普通文件），不能覆盖。");
    QTest::newRow("a sample name longer than a cell holds")
        << "long.xlsx" << QStringLiteral("有单元格中的文字超过了 Excel 单元格的上限（32767 个字符），无法写入。");
}

// A save that fails says why under its one line; the analysis stays on the
// plot for another try.
void TestAnalysisRoad::failedSaveSaysWhy()
{
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QString path = Global::AnalysisStateFolderPath + "/" + target;
    const QString source = Global::SampleDataFolderPath + "/f.xlsx";
    QVERIFY(writeWorkbook(source, {curve(peak)}));
    if (target == "long.xlsx")
        QCOMPARE(QProcess::execute(QUARNEL_PYTHON, {"-c", EditWorkbookScript, source, "long name"}), 0);
    if (target == "locked.xlsx") {
        QVERIFY(writeWorkbook(path, {curve(line)}));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    }
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "f.xlsx");
    analyse("actionNumericalLabel", 80.0);
    {
        std::unique_ptr<FileSizeLimit> full(target == "full.xlsx" ? new FileSizeLimit(1) : nullptr);
        save(path);
    }
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().text, "Save experiment file failed: " + path);
    QCOMPARE(_dialogs->boxes.first().informativeText, reason);
    QCOMPARE(labelTexts(_plot).size(), 1);
}

// Curves and analyses go by file name: a second x.xlsx from another folder is
// refused. After a clear, "保存数据" has nothing to write and says so.
void TestAnalysisRoad::sameNameAndNothingToSaveRefused()
{
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/x.xlsx", {curve(peak)}));
    QVERIFY(writeWorkbook(Global::AnalysisStateFolderPath + "/x.xlsx", {curve(line)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "x.xlsx");
    analyse("actionNumericalLabel", 80.0);
    openFromTree("分析状态", "x.xlsx");
    QCOMPARE(_dialogs->boxes.size(), 1);
    QCOMPARE(_dialogs->boxes.first().text, QStringLiteral("已打开同名文件 x.xlsx，请先删除它的曲线。"));
    QCOMPARE(Global::_curveFileDataVtr.size(), 1);
    QCOMPARE(curves(_plot).size(), 1);
    QCOMPARE(labelTexts(_plot).size(), 1);

    trigger("actionClearAllData");
    save(Global::AnalysisStateFolderPath + "/empty.xlsx");
    QCOMPARE(_dialogs->boxes.size(), 2);
    QCOMPARE(_dialogs->boxes.last().text, QStringLiteral("没有可保存的数据。"));
    QVERIFY(_dialogs->saveRequests.isEmpty());
    QVERIFY(!QFile::exists(Global::AnalysisStateFolderPath + "/empty.xlsx"));
}

QTEST_MAIN(TestAnalysisRoad)
#include "tst_analysisroad.moc"
