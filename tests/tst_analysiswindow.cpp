#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace AnalysisTest;

class TestAnalysisWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savedOperationsRerunAfterReload();

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

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"
