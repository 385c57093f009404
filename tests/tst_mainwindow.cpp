#include "centralwidget.h"
#include "global.h"
#include "leftwidget.h"
#include "mainwindow.h"
#include "serialport.h"
#include "windowtesthelpers.h"
#include "xlsxhandler.h"

#include <QAction>
#include <QDockWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <qcustomplot.h>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void toolBarAndDocks();
    void closeQuestion_data();
    void closeQuestion();
    void stopOutsideRunDoesNothing();
    void stopWithPortClosedWarnsAndOffersSave();
    void endOfRunNoClears();
    void startWithPortClosedChangesNothing();
    void connectWithoutInstrumentWarns();
    void failedSaveWarnsAndKeepsRun();
    void savedRunByMode_data();
    void savedRunByMode();
    void livePointsArriveDuringSave();
    void saveThroughLinks();
    void runTooLongForOneSheet();

private:
    QAction* action(const char* name) { return _window->findChild<QAction*>(QLatin1String(name)); }
    void putRunPoint(float runTime = 0.5f, double temperature = 30.0);

    std::unique_ptr<MainWindow> _window;
    std::unique_ptr<DialogAnswers> _dialogs;
};

void TestMainWindow::init()
{
    Global::_globalMode = Global::Analysis;
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::_curveFileDataVtr.clear();
    _dialogs = std::make_unique<DialogAnswers>();
    _window = std::make_unique<MainWindow>();
    _window->show();
}

void TestMainWindow::cleanup()
{
    _dialogs->answers = {QMessageBox::Yes};
    _window.reset();
    _dialogs.reset();
    Global::clearCurveExperimentData();
}

// One point of a run as the link would publish it, into the stage record
// the first point opens.
void TestMainWindow::putRunPoint(float runTime, double temperature)
{
    Global::_globalMode = Global::Experiment;
    if (!Global::_currentCurveExperimentDataPtr) {
        Global::_experimentDataVtr.append(Global::CurveExperimentData());
        Global::_currentCurveExperimentDataPtr = &Global::_experimentDataVtr.last();
        Global::_currentPhaseIndex = 1;
    }
    CommonData data;
    data.runStatus = 1;
    data.stage = 1;
    data.runTime = runTime;
    data.sampleTemp = temperature;
    data.dsc = 1.0;
    emit SerialPort::instance()->sigSendCommonData(data);
}

void TestMainWindow::toolBarAndDocks()
{
    QStringList shown; // a hidden action as an empty text
    for (QAction* a : _window->findChild<QToolBar*>("toolBar")->actions())
        shown << (a->isVisible() ? a->text() : QString());
    QCOMPARE(shown, (QStringList{"连接设备", "新建", "开始", "停止", "实时窗口", "Y轴", "", "清除数据"}));
    QVERIFY(!action("actionReadOnly")->isEnabled() && !action("actionSaveas")->isVisible());
    // Only the file tree is docked at start; the right dock waits for an analysis.
    const QList<QDockWidget*> docks = _window->findChildren<QDockWidget*>();
    QCOMPARE(docks.size(), 2);
    for (QDockWidget* dock : docks)
        QCOMPARE(dock->isVisible(), qobject_cast<LeftWidget*>(dock) != nullptr);
}

void TestMainWindow::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("No keeps the program") << int(QMessageBox::No) << true;
    QTest::newRow("box closed keeps the program") << int(QMessageBox::Escape) << true;
    QTest::newRow("Yes closes") << int(QMessageBox::Yes) << false;
}

void TestMainWindow::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, stillOpen);
    putRunPoint();
    _dialogs->answers = {QMessageBox::StandardButton(answer)};
    _window->close();
    QCOMPARE(_dialogs->boxTitles(), QStringList{"确认退出"});
    QCOMPARE(_window->isVisible(), stillOpen);
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 1);
}

void TestMainWindow::stopOutsideRunDoesNothing()
{
    for (Global::Mode mode : {Global::Analysis, Global::Connected}) {
        Global::_globalMode = mode;
        action("actionStop")->trigger();
        QCOMPARE(Global::_globalMode, mode);
    }
    QVERIFY(_dialogs->boxes.isEmpty() && _dialogs->saveRequests.isEmpty());
}

void TestMainWindow::stopWithPortClosedWarnsAndOffersSave()
{
    putRunPoint();
    action("actionStop")->trigger();
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QCOMPARE(_dialogs->saveRequests.size(), 1);
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QCOMPARE(Global::_experimentDataVtr.size(), 1); // cancelled: the run stays for "保存数据"

    Global::_experimentInfo.sampleName = "tin";
    action("actionSaveData")->trigger();
    QCOMPARE(_dialogs->saveRequests.size(), 2);
    QCOMPARE(_dialogs->saveRequests.last().proposedPath, Global::AnalysisStateFolderPath + "/tin.xlsx");

    // The stop flag goes up before the stop frame: the instrument's end of run asks nothing.
    _dialogs->boxes.clear();
    emit SerialPort::instance()->sigSaveExperimentalDataMsgBox();
    QVERIFY(_dialogs->boxes.isEmpty());
    QCOMPARE(Global::_experimentDataVtr.size(), 1);
}

void TestMainWindow::endOfRunNoClears()
{
    putRunPoint();
    _dialogs->answers = {QMessageBox::No};
    emit SerialPort::instance()->sigSaveExperimentalDataMsgBox();
    QCOMPARE(_dialogs->boxTitles(), QStringList{"数据保存提示"});
    QVERIFY(_dialogs->saveRequests.isEmpty());
    QVERIFY(Global::_experimentDataVtr.isEmpty());
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QVERIFY(!_window->findChild<CentralWidget*>()->liveCurve());
}

void TestMainWindow::startWithPortClosedChangesNothing()
{
    Global::_curveFileDataVtr.append(Global::CurveFileData());
    Global::_globalMode = Global::Analysis;
    action("actionStart")->trigger();
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QCOMPARE(_dialogs->boxes.first().text, QString("Serial Port open failed."));
    QCOMPARE(Global::_curveFileDataVtr.size(), 1);
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

void TestMainWindow::connectWithoutInstrumentWarns()
{
    SerialPort::setPortNameOverride(QString());
    action("actionConnectToDev")->trigger();
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QCOMPARE(action("actionConnectToDev")->text(), QString("连接设备"));
    QCOMPARE(Global::_globalMode, Global::Analysis);
}

void TestMainWindow::failedSaveWarnsAndKeepsRun()
{
    putRunPoint();
    Global::_globalMode = Global::Analysis;
    for (int mode : {Global::Analysis, Global::Connected, Global::Experiment}) {
        _dialogs->boxes.clear();
        _dialogs->fileNames = QStringList{"/nonexistent-folder/run.xlsx"};
        QVERIFY(!_window->saveFile("run", Global::Mode(mode)));
        QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    }
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 1);
}

void TestMainWindow::savedRunByMode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("proposal");
    QTest::addColumn<bool>("written");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QTest::newRow("run, empty name") << "" << 4 << Global::SampleDataFolderPath + "/new.xlsx" << true;
    QTest::newRow("analysis") << "tin" << 1 << Global::AnalysisStateFolderPath + "/tin.xlsx" << true;
    QTest::newRow("connected saves like analysis, no folder") << "tin" << 2 << "/tin.xlsx" << true;
    QTest::newRow("save as writes nothing") << "tin" << 0 << documents + "/tin.xlsx" << false;
    QTest::newRow("separators in the name") << "../../escaped" << 4 << Global::SampleDataFolderPath + "/___.._escaped.xlsx"
                                            << true;
    QTest::newRow("leading dots") << "..hidden" << 1 << Global::AnalysisStateFolderPath + "/__hidden.xlsx" << true;
}

void TestMainWindow::savedRunByMode()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(QString, proposal);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xlsx");
    putRunPoint();
    Global::_experimentInfo.phases = {PhaseInfoData{1, 100.0f, 10.0f, 0, 1}};
    _dialogs->fileNames = QStringList{path};
    QVERIFY(_window->saveFile(name, Global::Mode(mode)));
    QCOMPARE(_dialogs->saveRequests.size(), 1);
    QCOMPARE(_dialogs->saveRequests.first().proposedPath, proposal);
    QVERIFY(_dialogs->boxes.isEmpty());
    QCOMPARE(QFile::exists(path), written);
    if (written) {
        Global::CurveFileData file;
        QCOMPARE(XlsxHandler::readFile(path, file), 0);
        QCOMPARE(file.phases.size(), 1);
        QCOMPARE(file.phases.first().data.size(), 1);
        QCOMPARE(file.phases.first().data.first().temperature, 30.0f);
    }
}

// "停止" writes the run on a worker thread and waits for it in an event loop:
// points the instrument sends meanwhile are drawn and kept, after the save
// dialog and before the mode changes, and the workbook holds the run as it
// was when the save began.
void TestMainWindow::livePointsArriveDuringSave()
{
    putRunPoint();
    Global::_experimentInfo.phases = {PhaseInfoData{1, 100.0f, 10.0f, 0, 1}};
    QTemporaryDir dir;
    _dialogs->fileNames = QStringList{dir.filePath("run.xlsx")};
    QList<bool> duringSave;
    for (int i = 1; i <= 2; ++i) {
        // Posted before "停止", so handled in the first event loop it runs.
        QMetaObject::invokeMethod(
            _window.get(),
            [this, i, &duringSave]() {
                duringSave << (_dialogs->saveRequests.size() == 1 && Global::_globalMode == Global::Experiment);
                putRunPoint(0.5f + float(i), 30.0 + i);
            },
            Qt::QueuedConnection);
    }

    action("actionStop")->trigger();

    QCOMPARE(duringSave, (QList<bool>{true, true}));
    QCOMPARE(_dialogs->saveRequests.size(), 1);
    QCOMPARE(Global::_globalMode, Global::Analysis);
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 3);
    QCOMPARE(_window->findChild<CentralWidget*>()->liveCurve()->dataCount(), 3);
    Global::CurveFileData saved;
    QCOMPARE(XlsxHandler::readFile(dir.filePath("run.xlsx"), saved), 0);
    QCOMPARE(saved.phases.size(), 1);
    QCOMPARE(saved.phases.first().data.size(), 1);
    QCOMPARE(saved.phases.first().data.first().temperature, 30.0f);
}

// A save to a symbolic link replaces the file the link leads to and keeps the
// link: a run saved through a link to a link, then analyses saved into a
// workbook opened through a link. A link to no file is refused with a box.
void TestMainWindow::saveThroughLinks()
{
    QTemporaryDir dir;
    const QString real = dir.filePath("real.xlsx");
    const QString link = dir.filePath("link.xlsx");
    QVERIFY(QFile::link("real.xlsx", link));
    QVERIFY(QFile::link("link.xlsx", dir.filePath("chain.xlsx")));
    QVERIFY(QFile::link("gone.xlsx", dir.filePath("dangling.xlsx")));
    QFile(real).open(QIODevice::WriteOnly);
    putRunPoint(0.5f, 30.0);
    putRunPoint(1.0f, 31.0);
    Global::_experimentInfo.phases = {PhaseInfoData{1, 100.0f, 10.0f, 0, 1}};
    _dialogs->fileNames = QStringList{dir.filePath("chain.xlsx")};
    QVERIFY(_window->saveFile("run", Global::Experiment));

    Global::_globalMode = Global::Analysis;
    QVERIFY(loadWorkbook(_window->findChild<CentralWidget*>(), link));
    Global::_analysisOperationVtr = {{"link.xlsx", 4, 30.0, 31.0, false, 0}};
    _dialogs->fileNames = QStringList{link};
    QVERIFY(_window->saveFile("run", Global::Analysis));
    QVERIFY(_dialogs->boxes.isEmpty());
    QVERIFY(QFileInfo(link).isSymLink() && QFileInfo(dir.filePath("chain.xlsx")).isSymLink());
    Global::CurveFileData saved;
    QCOMPARE(XlsxHandler::readFile(real, saved), 0);
    QCOMPARE(saved.phases.first().data.size(), 2);
    QCOMPARE(saved.analysisOperations.size(), 1);

    _dialogs->fileNames = QStringList{dir.filePath("dangling.xlsx")};
    QVERIFY(!_window->saveFile("run", Global::Experiment));
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    QVERIFY(_dialogs->boxes.first().informativeText.contains("链接"));
    QVERIFY(QFileInfo(dir.filePath("dangling.xlsx")).isSymLink() && !QFileInfo::exists(dir.filePath("gone.xlsx")));
    Global::_analysisOperationVtr.clear();
}

// A run one row longer than a sheet holds (8 information rows and a block's
// 7 head rows before 1,048,562 points make 1,048,577 rows) is refused with a
// box before anything is written, and stays whole in memory.
void TestMainWindow::runTooLongForOneSheet()
{
    Global::_experimentInfo.phases = {PhaseInfoData{1, 100.0f, 10.0f, 0, 1}};
    Global::_experimentDataVtr = {Global::CurveExperimentData()};
    Global::_experimentDataVtr.first().data.resize(1048562);
    QTemporaryDir dir;
    _dialogs->fileNames = QStringList{dir.filePath("long.xlsx")};
    QVERIFY(!_window->saveFile("run", Global::Experiment));
    QCOMPARE(_dialogs->boxTitles(), QStringList{"warnning"});
    const QString reason = _dialogs->boxes.first().informativeText;
    QVERIFY2(reason.contains("1048577") && reason.contains("1048576"), qPrintable(reason));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(Global::_experimentDataVtr.first().data.size(), 1048562);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
