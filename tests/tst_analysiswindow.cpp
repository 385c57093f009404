#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include "workbook.h"

#include <QAction>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace AnalysisTest;

class TestAnalysisWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savedOperationsRerunAfterReload();
    void thousandStoredAnalysesDrawnAndCleared();
    void clearedLabelsNotPlacedAgain();
    void loadLeavesNothing_data();
    void loadLeavesNothing();
    void abscissaSwitchDrawnInSlices_data();
    void abscissaSwitchDrawnInSlices();
    void stageRemovalDrawnInSlices_data();
    void stageRemovalDrawnInSlices();

private:
    QPushButton* button(const char* name) { return _window->findChild<QPushButton*>(QLatin1String(name)); }
    void choose(const char* action);

    QTemporaryDir _dir;
    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<MainWindow> _window;
    CentralWidget* _central = nullptr;
};

void TestAnalysisWindow::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_timeAxisFlag = 0;
    Global::_smoothnessFlag = false;
    Global::_configMap.insert(Global::InstrumentCoefficientKey, 1.0);
    Global::_curveFileDataVtr.clear();
    Global::_analysisOperationVtr.clear();
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _window->show();
    _central = _window->findChild<CentralWidget*>();
}

void TestAnalysisWindow::cleanup()
{
    _dialogs->answers = {QMessageBox::Yes};
    _window.reset();
    _dialogs.reset();
}

// Chooses an analysis from its menu and sets the lines to 40 and 120 ℃.
void TestAnalysisWindow::choose(const char* action)
{
    _window->findChild<QAction*>(QLatin1String(action))->trigger();
    setLineKey(_central->line1(), 40.0);
    setLineKey(_central->line2(), 120.0);
}

// Through the panel's buttons; "保存数据" in the analysis mode appends the
// confirmed analyses to the workbook read last, and loading the saved copy
// draws their labels again.
void TestAnalysisWindow::savedOperationsRerunAfterReload()
{
    const QString path = _dir.filePath("peak.xlsx");
    QVERIFY(writeWorkbook(path, {curve(peak)}, QStringLiteral("2"), {{"x", 1, 80.3, 0.0}}));
    QVERIFY(loadWorkbook(_central, path));
    QCOMPARE(labelTexts(_central->plot()), QStringList{"数值：\n80.000℃,6.000"});
    choose("actionPeakSynthesisAnalysis");
    for (const char* name : {"pushButtonApply", "pushButtonUndo", "pushButtonApply", "pushButtonConfirm"})
        QTest::mouseClick(button(name), Qt::LeftButton);
    QVERIFY(!button("pushButtonApply")->isVisible());

    const QString saved = _dir.filePath("analysed.xlsx");
    _dialogs->fileNames = QStringList{saved};
    _window->findChild<QAction*>("actionSaveData")->trigger();
    QVERIFY(QFile::exists(saved));

    _window->findChild<QAction*>("actionClearAllData")->trigger();
    QVERIFY(curves(_central->plot()).isEmpty());
    QVERIFY(loadWorkbook(_central, saved));
    const QString peakText = "峰的综合信息：\n焓值：490.620 J/g \n峰值：78.000℃ \n起始点：58.000℃ \n终止点：102.000℃";
    QCOMPARE(labelTexts(_central->plot()), (QStringList{"数值：\n80.000℃,6.000", peakText}));
    QCOMPARE(Global::_curveFileDataVtr.first().analysisOperations.size(), 2);
    QVERIFY(Global::_analysisOperationVtr.isEmpty());
    QVERIFY(_dialogs->boxes.isEmpty());
}

namespace {

// A thousand numerical labels, ten after each sample of curve(peak) from 30
// to 129 ℃, at 0.05 to 0.5 ℃ past it: each shows that sample (at 0.5 the
// first of the two equally near) and its signal peak(t). Every signal is a
// multiple of 0.25 mW, so the texts are exact (by hand from the peak's
// definition). The lines differ, as a save writes an analysis only once.
// On the run time each shows the time of its sample, the (sample - 29)th at
// 0.1 min each (by hand from curve()).
QVector<AnalysisOperation> thousandLabels(QStringList* texts = nullptr, QStringList* timeTexts = nullptr)
{
    QVector<AnalysisOperation> operations;
    for (int i = 0; i < 1000; ++i) {
        const int sample = 30 + i / 10;
        operations.append({"x", 1, sample + 0.05 * (i % 10 + 1), 0.0});
        if (texts)
            *texts << QStringLiteral("数值：\n%1.000℃,%2").arg(sample).arg(peak(sample), 0, 'f', 3);
        if (timeTexts)
            *timeTexts << QStringLiteral("数值：\n%1 min,%2")
                              .arg(0.1 * (sample - 29), 0, 'f', 3)
                              .arg(peak(sample), 0, 'f', 3);
    }
    return operations;
}

int largestChannelDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max(
                {largest, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

QPushButton* cancelButton(QWidget* window)
{
    for (auto* dialog : window->findChildren<QProgressDialog*>()) {
        if (dialog->windowTitle() == QStringLiteral("打开"))
            return dialog->findChild<QPushButton*>();
    }
    return nullptr;
}

} // namespace

// Drawn a part at a time, every stored label reaches the plot in stored
// order and the window shows them all, and "清除数据" leaves nothing but the
// two boundary lines.
void TestAnalysisWindow::thousandStoredAnalysesDrawnAndCleared()
{
    const QString path = _dir.filePath("thousand.xlsx");
    QStringList texts;
    QVERIFY(writeWorkbook(path, {curve(peak, 101)}, QStringLiteral("2"), thousandLabels(&texts)));
    QVERIFY(loadWorkbook(_central, path));
    QCOMPARE(labelTexts(_central->plot()), texts);
    QCOMPARE(_central->plot()->itemCount(), 2 + 2 * 1000); // the lines, then a label and its arrow each
    // The window shows every part as a full replot paints it; text edges
    // blend a little differently over a transparent part than over the plot.
    const QImage shown = _central->plot()->grab().toImage();
    _central->plot()->replot(QCustomPlot::rpImmediateRefresh);
    const int difference = largestChannelDifference(shown, _central->plot()->grab().toImage());
    QVERIFY2(difference < 128, qPrintable(QString::number(difference)));

    _window->findChild<QAction*>("actionClearAllData")->trigger();
    QCOMPARE(_central->plot()->plottableCount(), 0);
    QCOMPARE(_central->plot()->itemCount(), 2);
    QVERIFY(itemNames(_central->plot()).isEmpty());
    QVERIFY(_dialogs->boxes.isEmpty());
}

// Cleared results are destroyed a slice at a time; a resize of the plot
// meanwhile (the analysis panel closing with "清除数据") leaves them where
// they are instead of placing each one again.
void TestAnalysisWindow::clearedLabelsNotPlacedAgain()
{
    const QString path = _dir.filePath("thousand.xlsx");
    QVERIFY(writeWorkbook(path, {curve(peak, 101)}, QStringLiteral("2"), thousandLabels()));
    QVERIFY(loadWorkbook(_central, path));
    QPointer<QCPItemText> label;
    for (int i = 0; i < _central->plot()->itemCount() && !label; ++i)
        label = qobject_cast<QCPItemText*>(_central->plot()->item(i));
    QVERIFY(label);
    const QPointF place = label->position->coords();

    _window->findChild<QAction*>("actionClearAllData")->trigger();
    _central->resize(_central->width() - 200, _central->height());
    QVERIFY(label);
    QCOMPARE(label->position->coords(), place);
}

void TestAnalysisWindow::loadLeavesNothing_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("box");
    QTest::newRow("cancelled while read") << "read" << QString();
    QTest::newRow("cancelled while drawn") << "drawn" << QString();
    QTest::newRow("more analyses than the bound")
        << "bound" << QStringLiteral("文件中保存的分析有 10001 项，超过了程序能打开的上限 10000 项。");
}

// A load cancelled in its busy dialog, or refused, leaves the workspace as
// it was: no record, no curve, no label, the same axes; the same workbook
// loads when opened again.
void TestAnalysisWindow::loadLeavesNothing()
{
    QFETCH(QString, when);
    QFETCH(QString, box);
    const QString path = _dir.filePath("many.xlsx");
    QVERIFY(writeWorkbook(path, {curve(peak, 101)}, QStringLiteral("2"), thousandLabels()));
    {
        // A row of an unknown analysis after the labels, one no curve shows;
        // far down, it makes 10,001 analysis rows to read.
        auto book = XlsxHandler::openXlsxFile(path);
        QVERIFY(book);
        const int countRow = 9 + 7 + 101;
        const int rows = when == "bound" ? 10001 : 1001;
        book->write(countRow, 2, rows);
        book->write(countRow + rows, 1, QStringLiteral("Unknown"));
        QVERIFY(book->saveAs(path));
    }
    const QString status = _window->statusBar()->currentMessage();
    const QString xLabel = _central->plot()->xAxis->label();
    const QCPRange xRange = _central->plot()->xAxis->range();
    QTimer watch;
    bool cancelled = false;
    connect(&watch, &QTimer::timeout, this, [&]() {
        if (!cancelled && !labelTexts(_central->plot()).isEmpty()) {
            cancelled = true;
            cancelButton(_window.get())->click();
        }
    });
    if (when == "drawn")
        watch.start(0);
    _central->slotRecvAnalysisFileName(path);
    if (when == "read") {
        QVERIFY(_central->workbookLoader()->isRunning());
        cancelButton(_window.get())->click();
    }
    QVERIFY(waitForWorkbooks(_central));

    QCOMPARE(cancelled, when == "drawn");
    QVERIFY(Global::_curveFileDataVtr.isEmpty());
    QVERIFY(_central->openedFilePaths().isEmpty());
    QCOMPARE(_central->plot()->plottableCount(), 0);
    QCOMPARE(_central->plot()->itemCount(), 2);
    QCOMPARE(_central->plot()->xAxis->label(), xLabel);
    QCOMPARE(_central->plot()->xAxis->range(), xRange);
    QCOMPARE(_dialogs->boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QCOMPARE(_dialogs->boxes.first().informativeText, box);
    QCOMPARE(_window->statusBar()->currentMessage(), status);
    if (when == "bound")
        return;
    QVERIFY(loadWorkbook(_central, path));
    QCOMPARE(labelTexts(_central->plot()).size(), 1000);
    QCOMPARE(_window->statusBar()->currentMessage(),
             QStringLiteral("many.xlsx 中有 1 个已保存的分析无法在曲线上显示，保存时将原样保留。"));
}

void TestAnalysisWindow::abscissaSwitchDrawnInSlices_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("nothing") << QString();
    QTest::newRow("cleared") << "clear";
    QTest::newRow("switched back") << "switch";
    QTest::newRow("another workbook opened") << "open";
    QTest::newRow("window closed") << "close";
}

// "Y轴" draws a thousand results again a slice at a time while the curve
// commands wait. What comes between two slices all the same (the end-of-run
// question's clear, a call from elsewhere, the window closing) leaves one
// consistent plot: no result of a dropped redraw turns up afterwards, and
// none is drawn twice.
void TestAnalysisWindow::abscissaSwitchDrawnInSlices()
{
    QFETCH(QString, meanwhile);
    const QString path = _dir.filePath("thousand.xlsx");
    const QString other = _dir.filePath("other.xlsx");
    QStringList texts, timeTexts;
    QVERIFY(writeWorkbook(path, {curve(peak, 101)}, QStringLiteral("2"), thousandLabels(&texts, &timeTexts)));
    QVERIFY(writeWorkbook(other, {curve(peak)}, QStringLiteral("2"), {{"x", 1, 80.3, 0.0}}));
    QVERIFY(loadWorkbook(_central, path));
    QAction* yAxis = _window->findChild<QAction*>("actionYAxis");
    yAxis->trigger();
    QVERIFY(_central->resultDrawer()->isRunning());
    QVERIFY(!yAxis->isEnabled());
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&]() {
        if (labelTexts(_central->plot()).isEmpty())
            return;
        watch.stop();
        if (meanwhile == "clear")
            _central->clearAllData();
        else if (meanwhile == "switch")
            _central->switchAxisQuantity();
        else if (meanwhile == "open")
            _central->slotRecvAnalysisFileName(other);
        else if (meanwhile == "close")
            _window.reset();
    });
    watch.start(0);
    QVERIFY(QTest::qWaitFor([&]() { return !watch.isActive(); }, 30000));
    if (meanwhile == "close") {
        QTest::qWait(100);
        return;
    }
    QVERIFY(waitForWorkbooks(_central));
    QVERIFY(yAxis->isEnabled());
    // The other workbook's label at 80.3 ℃ shows sample 80, the 51st.
    QStringList expected = meanwhile == "clear"    ? QStringList()
                           : meanwhile == "switch" ? texts
                           : meanwhile == "open"   ? timeTexts + QStringList{"数值：\n5.100 min,6.000"}
                                                   : timeTexts;
    QStringList drawn = labelTexts(_central->plot());
    // The other workbook's label goes in between the slices.
    if (meanwhile == "open") {
        drawn.sort();
        expected.sort();
    }
    QCOMPARE(drawn, expected);
    QCOMPARE(_central->plot()->itemCount(), 2 + 2 * expected.size());
}

void TestAnalysisWindow::stageRemovalDrawnInSlices_data()
{
    QTest::addColumn<bool>("clearedMeanwhile");
    QTest::newRow("drawn") << false;
    QTest::newRow("cleared meanwhile") << true;
}

// A stage's curve leaves the plot with its results (as smoothing replaces
// it); the 200 results of the other stage, two after each sample from 140 to
// 239 ℃ on the flat 1 mW after the peak, are drawn again a slice at a time.
void TestAnalysisWindow::stageRemovalDrawnInSlices()
{
    QFETCH(bool, clearedMeanwhile);
    const QString path = _dir.filePath("stages.xlsx");
    QVector<AnalysisOperation> operations{{"x", 1, 80.3, 0.0}};
    QStringList texts;
    for (int i = 0; i < 200; ++i) {
        operations.append({"x", 1, 140 + i / 2 + 0.1 + 0.2 * (i % 2), 0.0});
        texts << QStringLiteral("数值：\n%1.000℃,1.000").arg(140 + i / 2);
    }
    QVERIFY(writeWorkbook(path, {curve(peak), curve(peak, 101, 140.0f)}, QStringLiteral("2"), operations));
    QVERIFY(loadWorkbook(_central, path));
    QCOMPARE(labelTexts(_central->plot()).size(), 201);
    _central->removeCurveWithResults(curves(_central->plot()).first());
    QVERIFY(_central->resultDrawer()->isRunning());
    if (clearedMeanwhile) {
        QVERIFY(QTest::qWaitFor([&]() { return !labelTexts(_central->plot()).isEmpty(); }, 30000));
        _central->clearAllData();
    }
    QVERIFY(waitForWorkbooks(_central));
    QCOMPARE(labelTexts(_central->plot()), clearedMeanwhile ? QStringList() : texts);
    QCOMPARE(curves(_central->plot()).size(), clearedMeanwhile ? 0 : 1);
}

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"
