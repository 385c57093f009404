#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "curvesmoother.h"
#include "eventhandler.h"
#include "leftwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace AnalysisTest;

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

private:
    void trigger(const char* action) { _window->findChild<QAction*>(QLatin1String(action))->trigger(); }
    void openFromTree(const QString& folder, const QString& fileName);
    void selectCurve(QCPCurve* curve);
    void contextMenu(const QString& text);
    int fixedTexts() const { return itemNames(_plot).count(QStringLiteral("fixed")); }
    void verifyNoStaleCurve();

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
    Global::clearCurveExperimentData();
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
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/a.xlsx", {curve(line), curve(peak)}));
    QVERIFY(writeWorkbook(Global::SampleDataFolderPath + "/b.xlsx", {curve(step)}));
    _window->findChild<LeftWidget*>()->refreshTree();
    openFromTree("样品数据", "a.xlsx");
    openFromTree("样品数据", "b.xlsx");
    QCOMPARE(Global::_curveFileDataVtr.size(), 2);
    const Global::CurveFileData& a = Global::_curveFileDataVtr.at(0);
    const QString roles[] = {"基线", "标样", "样品"};
    QCPCurve* roleCurves[] = {a.phases.at(0).curve, a.phases.at(1).curve, Global::_curveFileDataVtr.at(1).phases.at(0).curve};
    for (int i = 0; i < 3; ++i) {
        selectCurve(roleCurves[i]);
        contextMenu(roles[i]);
    }
    trigger("actionSpecificHeatCompMethod");
    auto* form = _window->findChild<QLineEdit*>("LineEditTemperature")->window();
    _window->findChild<QLineEdit*>("LineEditTemperature")->setText("60");
    QTest::mouseClick(_window->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
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
    trigger("actionSpecificHeatCompMethod");
    QTest::mouseClick(_window->findChild<QPushButton*>("pushButtonCalculate"), Qt::LeftButton);
    QCOMPARE(fixedTexts(), before);
    form->hide();
}

QTEST_MAIN(TestAnalysisRoad)
#include "tst_analysisroad.moc"
