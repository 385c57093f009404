#include "mainwindow.h"

#include "aboutform.h"
#include "analysissettingform.h"
#include "axissettingform.h"
#include "backgroundwork.h"
#include "centralwidget.h"
#include "coefficientselectionform.h"
#include "curvesmoother.h"
#include "degreeofcrystallinityform.h"
#include "degreeofcureform.h"
#include "enthalpydatacorrectionform.h"
#include "eventhandler.h"
#include "experimentsettingform.h"
#include "filedialog.h"
#include "instrumentcoefficientform.h"
#include "leftwidget.h"
#include "messagebox.h"
#include "oitautoanalysisparamform.h"
#include "printpreviewform.h"
#include "realtimedataform.h"
#include "resultdrawer.h"
#include "serialport.h"
#include "specificheatcomparisonmethodform.h"
#include "ui_mainwindow.h"
#include "workbookloader.h"
#include "xlsxhandler.h"

#include <easylogging++.h>
#include <qcustomplot.h>

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QStandardPaths>

#include <algorithm>
#include <stdexcept>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , _manuallyStopTheExperimentFlag(false)
    , _ui(new Ui_MainWindow)
{
    Q_INIT_RESOURCE(images);
    _centralWidget = new CentralWidget(this);
    _leftWidget = new LeftWidget(this);
    _rightDockWidget = new QDockWidget(this);
    _experimentSettingForm = new ExperimentSettingForm(this);
    _realTimeDataForm = new RealTimeDataForm(this);
    _contextMenu = new QMenu(this);
    _analysisSettingForm = new AnalysisSettingForm(this);
    _specificHeatComparisonMethodForm = new SpecificHeatComparisonMethodForm(this);
    _degreeOfCrystallinityForm = new DegreeOfCrystallinityForm(this);
    _instrumentCoefficientForm = new InstrumentCoefficientForm(this);
    _degreeOfCureForm = new DegreeOfCureForm(this);
    _oitAutoAnalysisParamForm = new OITAutoAnalysisParamForm(this);
    _aboutForm = new AboutForm(this);
    _enthalpyDataCorrectionForm = new EnthalpyDataCorrectionForm(this);
    _coefficientSelectionForm = new CoefficientSelectionForm(this);
    _printPreviewForm = new PrintPreviewForm(this);
    _axisSettingForm = new AxisSettingForm(this);

    _ui->setupUi(this);
    setToolTip(QStringLiteral("....."));
    _ui->actionSaveas->setVisible(false);
    setCentralWidget(_centralWidget);
    addDockWidget(Qt::LeftDockWidgetArea, _leftWidget);
    addDockWidget(Qt::RightDockWidgetArea, _rightDockWidget);
    _rightDockWidget->setWidget(_analysisSettingForm);
    _rightDockWidget->hide();
    buildStatusBar();
    _ui->actionTimeAxisAnalysisPCTMode->setCheckable(true);
    setDialogPropertiesOnAll();
    setActionsEnabled(true);
    _eventHandler = _centralWidget->eventHandler();
    _curveSmoother = new CurveSmoother(_centralWidget, this);
    buildCurveCommandGroup();
    connectSignalsAndSlots();
}

MainWindow::~MainWindow()
{
    delete _ui;
}

void MainWindow::buildStatusBar()
{
    _ui->statusbar->showMessage(QStringLiteral("showMessage show temp message!"));
    auto* version = new QLabel(QStringLiteral("Software Ver:") + QCoreApplication::applicationVersion(), this);
    _ui->statusbar->addPermanentWidget(version, 0);
}

void MainWindow::setDialogProperties(QWidget* widget)
{
    widget->setWindowModality(Qt::ApplicationModal);
    widget->setWindowFlags(Qt::Dialog);
    widget->setFixedSize(widget->width(), widget->height());
}

void MainWindow::setDialogPropertiesOnAll()
{
    setDialogProperties(_experimentSettingForm);
    setDialogProperties(_specificHeatComparisonMethodForm);
    setDialogProperties(_realTimeDataForm);
    setDialogProperties(_degreeOfCureForm);
    setDialogProperties(_instrumentCoefficientForm);
    setDialogProperties(_oitAutoAnalysisParamForm);
    setDialogProperties(_degreeOfCrystallinityForm);
    setDialogProperties(_aboutForm);
    setDialogProperties(_enthalpyDataCorrectionForm);
    setDialogProperties(_coefficientSelectionForm);
    setDialogProperties(_printPreviewForm);
    setDialogProperties(_axisSettingForm);
}

// The commands that change or remove curves; a smoothing and the reading of a
// workbook hold them while they run. In a group, an action disabled on its
// own account stays disabled when the group is enabled again.
void MainWindow::buildCurveCommandGroup()
{
    _curveCommands = new QActionGroup(this);
    _curveCommands->setExclusive(false);
    const QList<QAction*> actions = {
        _ui->actionSmoothness1, _ui->actionSmoothness2, _ui->actionSmoothness3, _ui->actionSmoothness4,
        _ui->actionSmoothness5, _ui->actionSmoothness6, _ui->actionSmoothness7, _ui->actionSmoothness8,
        _ui->actionSmoothness9, _ui->actionSmoothness10, _ui->actionClearAllData, _ui->actionStart,
        _ui->actionYAxis, _ui->actionSaveData, _ui->actionSaveas,
    };
    for (QAction* action : actions)
        _curveCommands->addAction(action);
}

// While a smoothing runs the curve it smooths must stay as it is, and while a
// workbook is read, or the results of those loaded are drawn again, the
// workspace they join: the curve commands, the plot's own interaction
// (selection, deletion, the region lines), loading from the file tree and the
// analysis panel wait for it. "停止" stays available: a run can always be
// stopped and saved. Several may hold at once: the commands come back when
// none runs.
void MainWindow::updateCurveCommands()
{
    const bool free = !_curveSmoother->isRunning() && !_centralWidget->workbookLoader()->isRunning()
                      && !_centralWidget->resultDrawer()->isRunning();
    _curveCommands->setEnabled(free);
    _centralWidget->setEnabled(free);
    _leftWidget->setEnabled(free);
    _rightDockWidget->setEnabled(free);
}

void MainWindow::setActionsEnabled(bool enabled)
{
    _ui->actionNew->setEnabled(enabled);
    _ui->actionStart->setEnabled(enabled);
    _ui->actionStop->setEnabled(enabled);
    _ui->actionRealTimeWidget->setEnabled(enabled);
}

// Receivers of one signal run in connection order: the plot takes a record
// before the real-time panel does.
void MainWindow::connectSignalsAndSlots()
{
    SerialPort* serialPort = SerialPort::instance();
    connect(_experimentSettingForm, &ExperimentSettingForm::sigDeliverData, serialPort, &SerialPort::slotDeliverData);
    connect(serialPort, &SerialPort::sigSendCommonData, _centralWidget, &CentralWidget::slotRecvCommonData);
    connect(serialPort, &SerialPort::sigSendCommonData, _realTimeDataForm, &RealTimeDataForm::recvCommonData);
    connect(serialPort, &SerialPort::sigSendCommonDataToRealDataForm, _realTimeDataForm,
            &RealTimeDataForm::recvCommonData);
    connect(serialPort, &SerialPort::sigSendPhaseInfo, _experimentSettingForm, &ExperimentSettingForm::slotRecvPhaseInfo);
    connect(serialPort, &SerialPort::sigAxisModify, _centralWidget, &CentralWidget::slotAxisModify);
    connect(serialPort, &SerialPort::sigUpdateStatusbarMsg, this, &MainWindow::slotUpdateStatusbarMsg);
    connect(serialPort, &SerialPort::sigSaveExperimentalDataMsgBox, this, &MainWindow::slotSaveExperimentalDataMsgBox);
    connect(_leftWidget, &LeftWidget::sigSendAnalysisFileName, _centralWidget, &CentralWidget::slotRecvAnalysisFileName);
    connect(_centralWidget, &CentralWidget::sigStatusMessage, this, &MainWindow::slotUpdateStatusbarMsg);
    connect(_centralWidget, &CentralWidget::sigSendLineXCoord, _analysisSettingForm,
            &AnalysisSettingForm::slotRecvLineXCoord);
    connect(_analysisSettingForm, &AnalysisSettingForm::sigApply, _centralWidget,
            &CentralWidget::slotAnalysisSettingApply);
    connect(_analysisSettingForm, &AnalysisSettingForm::sigUndo, _centralWidget, &CentralWidget::slotAnalysisSettingUndo);
    connect(_analysisSettingForm, &AnalysisSettingForm::sigConfirm, _centralWidget,
            &CentralWidget::slotAnalysisSettingConfirm);
    connect(_analysisSettingForm, &AnalysisSettingForm::sigCancel, _centralWidget,
            &CentralWidget::slotAnalysisSettingCancel);
    QDockWidget* rightDock = _rightDockWidget;
    connect(
        _centralWidget, &CentralWidget::sigRightDockWidgetHide, _centralWidget, [rightDock]() { rightDock->hide(); },
        Qt::DirectConnection);
    connect(_degreeOfCrystallinityForm, &DegreeOfCrystallinityForm::sigDrawCustomText, _centralWidget,
            &CentralWidget::slotDrawCustomText);
    connect(_specificHeatComparisonMethodForm, &SpecificHeatComparisonMethodForm::sigDrawCustomText, _centralWidget,
            &CentralWidget::slotDrawCustomText);
    connect(_eventHandler, &EventHandler::sigSetCurve, _specificHeatComparisonMethodForm,
            &SpecificHeatComparisonMethodForm::slotSetCurve);
    connect(_axisSettingForm, &AxisSettingForm::sigGetAxisInfo, _centralWidget, &CentralWidget::slotGetAxisInfo);
    connect(_centralWidget, &CentralWidget::sigGetAxisInfoWithData, _axisSettingForm,
            &AxisSettingForm::slotGetAxisInfoWithData);
    connect(_axisSettingForm, &AxisSettingForm::sigSetAxisSettings, _centralWidget, &CentralWidget::slotSetAxisSettings);
    connect(serialPort, &SerialPort::sigDeviceLost, this, &MainWindow::slotDeviceLost);
    connect(_curveSmoother, &CurveSmoother::runningChanged, this, &MainWindow::updateCurveCommands);
    connect(_centralWidget->workbookLoader(), &WorkbookLoader::runningChanged, this, &MainWindow::updateCurveCommands);
    connect(_centralWidget->resultDrawer(), &ResultDrawer::runningChanged, this, &MainWindow::updateCurveCommands);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    const auto answer = MessageBox::question(this, QStringLiteral("确认退出"), QStringLiteral("你确定要退出吗？"),
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::slotContextMenuShow(QPoint pos)
{
    _contextMenu->exec(pos);
}

void MainWindow::slotUpdateStatusbarMsg(QString text)
{
    _ui->statusbar->showMessage(text);
}

void MainWindow::showConnected()
{
    _ui->actionConnectToDev->setIcon(QIcon(QStringLiteral(":/images/disconnect.png")));
    _ui->actionConnectToDev->setText(QStringLiteral("断开连接"));
}

void MainWindow::showDisconnected()
{
    _ui->actionConnectToDev->setIcon(QIcon(QStringLiteral(":/images/connect.png")));
    _ui->actionConnectToDev->setText(QStringLiteral("连接设备"));
}

// The action follows the port's real state, not its own text: a delivery of
// the programme may have opened the port already.
void MainWindow::on_actionConnectToDev_triggered()
{
    SerialPort* serialPort = SerialPort::instance();
    if (serialPort->isOpen()) {
        serialPort->close();
        showDisconnected();
        LOG(DEBUG) << "close serial port.";
        return;
    }
    if (!serialPort->open()) {
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("Serial Port open failed."));
        return;
    }
    setActionsEnabled(true);
    Global::_globalMode = Global::Connected;
    serialPort->slotSendData(SerialPort::buildPhaseReadFrame());
    showConnected();
    LOG(DEBUG) << "open serial port.";
}

void MainWindow::on_actionNew_triggered()
{
    _experimentSettingForm->show();
}

// Nothing runs without the instrument: with the port closed the workspace
// (loaded workbooks, analyses) stays as it is.
void MainWindow::on_actionStart_triggered()
{
    LOG(DEBUG) << "start experiment,set soft into experiment mode.";
    if (!SerialPort::instance()->isOpen()) {
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("Serial Port open failed."));
        return;
    }
    _rightDockWidget->hide();
    _centralWidget->clearAllData();
    // The dialog's date is that of its last showing, which may have been for
    // an earlier run: each run is dated when it starts.
    Global::_experimentInfo.dateTime = ExperimentSettingForm::currentDateTime();
    // A run is drawn and analysed against temperature: the abscissa goes back
    // to it, with its captions, before the first point arrives.
    if (Global::_timeAxisFlag == 1)
        _centralWidget->switchAxisQuantity();
    const QByteArray frame = SerialPort::buildStartStopFrame(true);
    qDebug().noquote() << "on_actionStart_triggered info (hex):" << frame.toHex(' ');
    SerialPort::instance()->slotSendData(frame);
    _manuallyStopTheExperimentFlag = false;
    Global::_globalMode = Global::Experiment;
}

// The flag goes up before the stop frame: the instrument's own end of run can
// arrive while the save dialog's event loop runs, and must not ask again.
void MainWindow::on_actionStop_triggered()
{
    LOG(DEBUG) << " Stop experiment ...";
    if (Global::_globalMode != Global::Experiment) {
        return;
    }
    _manuallyStopTheExperimentFlag = true;
    if (SerialPort::instance()->isOpen()) {
        SerialPort::instance()->slotSendData(SerialPort::buildStartStopFrame(false));
    } else {
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("Serial Port is not open, the stop command could not be sent."));
    }
    saveStoppedRun();
    Global::_globalMode = Global::Analysis;
}

void MainWindow::saveStoppedRun()
{
    if (saveFile(Global::_experimentInfo.sampleName, Global::Experiment)) {
        _leftWidget->refreshTree();
    }
}

// The link has closed the port of a vanished instrument. A run in progress
// ends here as after "停止", without the stop frame nobody could receive: its
// points are offered to the save dialog, and the instrument's end of run,
// should a later connection report it, asks nothing. A loss while "停止"
// already saves, or while the end-of-run question is open, offers nothing more.
void MainWindow::slotDeviceLost()
{
    showDisconnected();
    const bool running = Global::_globalMode == Global::Experiment && !_manuallyStopTheExperimentFlag;
    if (running) {
        _manuallyStopTheExperimentFlag = true;
        Global::_globalMode = Global::Analysis;
    }
    // The last run state the instrument reported no longer holds.
    slotUpdateStatusbarMsg(QStringLiteral("仪器连接已断开。"));
    MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("仪器连接已断开。"));
    if (running) {
        saveStoppedRun();
    }
}

void MainWindow::on_actionReadOnly_triggered()
{
    Global::_globalMode = Global::Experiment;
    SerialPort::instance()->open();
}

void MainWindow::on_actionRealTimeWidget_triggered()
{
    _realTimeDataForm->show();
}

void MainWindow::slotSaveExperimentalDataMsgBox()
{
    if (_manuallyStopTheExperimentFlag) {
        LOG(DEBUG) << "_manuallyStopTheExperimentFlag...";
        return;
    }
    const auto answer = MessageBox::question(this, QStringLiteral("数据保存提示"), QStringLiteral("是否保存实验数据？"),
                                             QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        saveFile(Global::_experimentInfo.sampleName, Global::Experiment);
        _leftWidget->refreshTree();
        return;
    }
    _rightDockWidget->hide();
    _centralWidget->clearAllData();
}

void MainWindow::startAnalysis(int mode)
{
    _rightDockWidget->show();
    _centralWidget->setAnalysisMode(static_cast<CentralWidget::AnalysisMode>(mode));
}

void MainWindow::on_actionNumericalLabel_triggered()
{
    startAnalysis(CentralWidget::NumericalLabel);
}

void MainWindow::on_actionStartPoint_triggered()
{
    startAnalysis(CentralWidget::StartPoint);
}

void MainWindow::on_actionStopPoint_triggered()
{
    startAnalysis(CentralWidget::StopPoint);
}

void MainWindow::on_actionPeakSynthesisAnalysis_triggered()
{
    startAnalysis(CentralWidget::PeakSynthesisAnalysis);
}

void MainWindow::on_actionGlassTransition_triggered()
{
    startAnalysis(CentralWidget::GlassTransition);
}

void MainWindow::on_actionOnsetTemperaturePoint_triggered()
{
    startAnalysis(CentralWidget::OnsetTemperaturePoint);
}

void MainWindow::on_actionEndsetTemperaturePoint_triggered()
{
    startAnalysis(CentralWidget::EndsetTemperaturePoint);
}

void MainWindow::on_actionClearAllData_triggered()
{
    _rightDockWidget->hide();
    _centralWidget->clearAllData();
}

void MainWindow::on_actionOIT_triggered()
{
    MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("on_actionOIT_triggered."));
}

void MainWindow::on_actionSpecificHeatCompMethod_triggered()
{
    _specificHeatComparisonMethodForm->show();
}

void MainWindow::on_actionDegreeOfCrystallinity_triggered()
{
    _degreeOfCrystallinityForm->show();
}

void MainWindow::on_actionInstrumentParameter_triggered()
{
    _instrumentCoefficientForm->show();
}

void MainWindow::on_actionOITAutoAnalysisParam_triggered()
{
    _oitAutoAnalysisParamForm->show();
}

void MainWindow::on_actionOITAutoAnalysisMode_triggered() {}

void MainWindow::on_actionTimeAxisAnalysisPCTMode_triggered()
{
    Global::_timeAxisAnalysisPCTModeFlag = _ui->actionTimeAxisAnalysisPCTMode->isChecked();
}

void MainWindow::on_actionDegreeOfCuring_triggered()
{
    _degreeOfCureForm->show();
}

void MainWindow::on_actionAbout_triggered()
{
    _aboutForm->show();
}

void MainWindow::on_actionEnthalpyCorrectionEdit_triggered()
{
    _enthalpyDataCorrectionForm->show();
}

void MainWindow::on_actionEnthalpyCorrectionSelection_triggered()
{
    _coefficientSelectionForm->show();
}

// Only the preview dialog is shown; the form itself stays hidden. The page
// names the workbook whose curve the picture shows.
void MainWindow::on_actionPrintPreview_triggered()
{
    _printPreviewForm->setPixmap(_centralWidget->grabPlotPixmap());
    _printPreviewForm->setDescribedFile(_centralWidget->describedFile());
    _printPreviewForm->showPreview();
}

void MainWindow::on_actionYAxis_triggered()
{
    _centralWidget->switchAxisQuantity();
}

void MainWindow::on_actionAxisSetting_triggered()
{
    _axisSettingForm->show();
}

void MainWindow::on_actionSaveData_triggered()
{
    saveFile(Global::_experimentInfo.sampleName, Global::_globalMode);
    _leftWidget->refreshTree();
}

void MainWindow::on_actionSaveas_triggered()
{
    saveFile(Global::_experimentInfo.sampleName, static_cast<Global::Mode>(0));
    _leftWidget->refreshTree();
}

void MainWindow::on_actionLanguage_triggered()
{
    if (Global::_languageFlag == 0) {
        Global::_languageFlag = 1;
        _ui->actionLanguage->setText(Global::LanguageEnglish);
    } else {
        Global::_languageFlag = 0;
        _ui->actionLanguage->setText(Global::LanguageChinese);
    }
}

QString MainWindow::saveFolder(Global::Mode mode)
{
    switch (static_cast<int>(mode)) {
    case 0:
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case Global::Analysis:
        return Global::AnalysisStateFolderPath;
    case Global::Experiment:
        return Global::SampleDataFolderPath;
    default:
        return QString();
    }
}

bool MainWindow::saveFile(QString name, Global::Mode mode)
{
    // A workbook whose curves were all deleted is off the plot: neither
    // written nor counted. Only where the workbooks are written: a run may be
    // saved while a smoothing still holds its place in the loaded workbooks.
    if (mode == Global::Analysis || mode == Global::Connected) {
        _centralWidget->forgetDeletedWorkbooks();
    }
    if (nothingToSave(mode)) {
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("没有可保存的数据。"));
        return false;
    }
    const QString proposed = saveFolder(mode) + QStringLiteral("/") + proposedFileName(name) + QStringLiteral(".xlsx");
    const QString path = FileDialog::getSaveFileName(nullptr, QStringLiteral("Save experiment file"), proposed,
                                                     QStringLiteral("Excel Files (*.xlsx)"));
    LOG(DEBUG) << "filePath:" << path;
    if (path.isEmpty()) {
        qDebug() << "User cancel the operation.";
        return false;
    }
    QString reason;
    if (!writeWorkbook(path, mode, reason)) {
        // The run stays in memory, so "保存数据" can try again.
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("Save experiment file failed: ") + path,
                            reason);
        return false;
    }
    return true;
}

// The sample name is typed freely: as a file name it must stay in the folder
// ("../x") and not start with a dot (a hidden file the tree never lists).
QString MainWindow::proposedFileName(QString sampleName)
{
    if (sampleName.isEmpty()) {
        return QStringLiteral("new");
    }
    sampleName.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    for (int i = 0; i < sampleName.size() && sampleName.at(i) == QLatin1Char('.'); ++i) {
        sampleName[i] = QLatin1Char('_');
    }
    return sampleName;
}

// In the analysis mode a save writes the run or a workbook on the plot;
// with neither there is nothing to write.
bool MainWindow::nothingToSave(Global::Mode mode)
{
    if (mode != Global::Analysis && mode != Global::Connected) {
        return false;
    }
    const QVector<Global::CurveExperimentData>& records = Global::_experimentDataVtr;
    return Global::_curveFileDataVtr.isEmpty()
           && std::all_of(records.cbegin(), records.cend(),
                          [](const Global::CurveExperimentData& record) { return record.data.isEmpty(); });
}

namespace {

using Writer = bool (*)(const QString& path, XlsxHandler::Snapshot& snapshot);

bool writeRun(const QString& path, XlsxHandler::Snapshot& snapshot)
{
    return XlsxHandler::writeExperimentFile(path, snapshot);
}

bool writeLoaded(const QString& path, XlsxHandler::Snapshot& snapshot)
{
    return XlsxHandler::appendAnalysisOperation(path, snapshot);
}

bool runSmoothedLast()
{
    const QVector<Global::CurveExperimentData>& records = Global::_experimentDataVtr;
    return Global::_smoothnessFlag && Global::_smoothedCurveName == Global::ExperimentKey
           && std::any_of(records.cbegin(), records.cend(),
                          [](const Global::CurveExperimentData& record) { return record.curve != nullptr; });
}

// Mode 2 (connected, no run yet or a run just ended) saves like the analysis
// mode, so a run is never reported saved without being written. Null: there
// is nothing to write (mode 0). With workbooks loaded the one the snapshot
// chose is written, with its points as the plot shows them (smoothed or not);
// the run only when its curve was smoothed last.
Writer chooseWriter(Global::Mode mode, const XlsxHandler::Snapshot& snapshot)
{
    if (mode == Global::Experiment) {
        LOG(DEBUG) << "writeFile...";
        return writeRun;
    }
    if (mode != Global::Analysis && mode != Global::Connected) {
        return nullptr;
    }
    if (snapshot.workbook.fileName.isEmpty()) {
        LOG(DEBUG) << "analysis experiemt data...";
        return writeRun;
    }
    LOG(DEBUG) << "analysis xlsx data...";
    if (runSmoothedLast()) {
        return writeRun;
    }
    return writeLoaded;
}

} // namespace

// The workbook is written on a worker thread from a snapshot of the records
// taken here, so points that arrive meanwhile change nothing in it. Until it
// is written this call waits in an event loop that paints the window and
// handles the instrument's frames but leaves the user's input for later:
// no command can change the workspace, start a run or stop one twice while
// its caller still waits for the result.
bool MainWindow::writeWorkbook(const QString& path, Global::Mode mode, QString& reason)
{
    XlsxHandler::Snapshot snapshot = XlsxHandler::Snapshot::take();
    const Writer writer = chooseWriter(mode, snapshot);
    if (!writer) {
        return true;
    }
    bool written = false;
    BackgroundWork work(QStringLiteral("保存"), QStringLiteral("正在保存文件..."), this);
    work.run([&]() { written = writer(path, snapshot); });
    if (!written) {
        reason = snapshot.reason;
        return false;
    }
    const QVector<AnalysisOperation>& saved =
        writer == writeRun ? snapshot.runOperations : snapshot.workbookOperations;
    XlsxHandler::keepSaved(snapshot, saved);
    warnUnsaved(writer == writeRun ? Global::ExperimentKey : snapshot.workbook.fileName, saved);
    return true;
}

// Analyses made on other curves are not dropped in silence: the user is told
// which curves still hold analyses no save has written.
void MainWindow::warnUnsaved(const QString& written, const QVector<AnalysisOperation>& saved)
{
    QStringList names = XlsxHandler::unsavedCurves(saved);
    if (names.isEmpty()) {
        return;
    }
    const auto shown = [](const QString& name) {
        return name == Global::ExperimentKey ? QStringLiteral("实验数据") : name;
    };
    for (QString& name : names) {
        name = shown(name);
    }
    const QString text = QStringLiteral("本次保存了 %1，%2 上的分析未保存。");
    MessageBox::warning(this, QStringLiteral("warnning"), text.arg(shown(written), names.join(QStringLiteral("、"))));
}

void MainWindow::on_actionSmoothness1_triggered() { smoothness(1); }
void MainWindow::on_actionSmoothness2_triggered() { smoothness(2); }
void MainWindow::on_actionSmoothness3_triggered() { smoothness(3); }
void MainWindow::on_actionSmoothness4_triggered() { smoothness(4); }
void MainWindow::on_actionSmoothness5_triggered() { smoothness(5); }
void MainWindow::on_actionSmoothness6_triggered() { smoothness(6); }
void MainWindow::on_actionSmoothness7_triggered() { smoothness(7); }
void MainWindow::on_actionSmoothness8_triggered() { smoothness(8); }
void MainWindow::on_actionSmoothness9_triggered() { smoothness(9); }
void MainWindow::on_actionSmoothness10_triggered() { smoothness(10); }

void MainWindow::smoothness(int level)
{
    _curveSmoother->smooth(level);
}

// Replaces data with its smoothed points and returns them. The smoother
// rejects fewer than two points; those are left as they are, so a rejection
// never ends the program.
QVector<Global::ExperimentData> MainWindow::smoothnessDetail(int level, QVector<Global::ExperimentData>& data)
{
    LOG(DEBUG) << "smooth start...";
    try {
        data = CurveSmoother::smoothPoints(data, level, Global::_timeAxisFlag == 1);
    } catch (const std::invalid_argument& error) {
        LOG(DEBUG) << "smooth rejected:" << error.what();
        return data;
    }
    LOG(DEBUG) << "smooth end...";
    return data;
}

// Smooths every live stage record in place.
void MainWindow::smoothExperimentData(int level)
{
    for (Global::CurveExperimentData& record : Global::_experimentDataVtr)
        smoothnessDetail(level, record.data);
}
