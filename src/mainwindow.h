#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "global.h"

#include <QMainWindow>
#include <QVector>

class QActionGroup;
class QDockWidget;
class QMenu;
class Ui_MainWindow;
class CentralWidget;
class EventHandler;
class LeftWidget;
class ExperimentSettingForm;
class RealTimeDataForm;
class AnalysisSettingForm;
class SpecificHeatComparisonMethodForm;
class DegreeOfCrystallinityForm;
class InstrumentCoefficientForm;
class DegreeOfCureForm;
class OITAutoAnalysisParamForm;
class AboutForm;
class EnthalpyDataCorrectionForm;
class CoefficientSelectionForm;
class CurveSmoother;
class PrintPreviewForm;
class AxisSettingForm;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    bool saveFile(QString name, Global::Mode mode);
    void setDialogProperties(QWidget* widget);
    void setActionsEnabled(bool enabled);

    void smoothness(int level);
    QVector<Global::ExperimentData> smoothnessDetail(int level, QVector<Global::ExperimentData>& data);
    void smoothExperimentData(int level);

public slots:
    void slotContextMenuShow(QPoint pos);
    void slotUpdateStatusbarMsg(QString text);
    void on_actionConnectToDev_triggered();
    void on_actionNew_triggered();
    void on_actionStart_triggered();
    void on_actionStop_triggered();
    void on_actionReadOnly_triggered();
    void on_actionRealTimeWidget_triggered();
    void slotSaveExperimentalDataMsgBox();
    void slotDeviceLost();
    void on_actionNumericalLabel_triggered();
    void on_actionStartPoint_triggered();
    void on_actionStopPoint_triggered();
    void on_actionPeakSynthesisAnalysis_triggered();
    void on_actionClearAllData_triggered();
    void on_actionGlassTransition_triggered();
    void on_actionOIT_triggered();
    void on_actionSpecificHeatCompMethod_triggered();
    void on_actionDegreeOfCrystallinity_triggered();
    void on_actionInstrumentParameter_triggered();
    void on_actionOITAutoAnalysisParam_triggered();
    void on_actionOITAutoAnalysisMode_triggered();
    void on_actionTimeAxisAnalysisPCTMode_triggered();
    void on_actionDegreeOfCuring_triggered();
    void on_actionAbout_triggered();
    void on_actionEnthalpyCorrectionEdit_triggered();
    void on_actionEnthalpyCorrectionSelection_triggered();
    void on_actionPrintPreview_triggered();
    void on_actionOnsetTemperaturePoint_triggered();
    void on_actionEndsetTemperaturePoint_triggered();
    void on_actionYAxis_triggered();
    void on_actionAxisSetting_triggered();
    void on_actionSaveData_triggered();
    void on_actionSaveas_triggered();
    void on_actionLanguage_triggered();
    void on_actionSmoothness1_triggered();
    void on_actionSmoothness2_triggered();
    void on_actionSmoothness3_triggered();
    void on_actionSmoothness4_triggered();
    void on_actionSmoothness5_triggered();
    void on_actionSmoothness6_triggered();
    void on_actionSmoothness7_triggered();
    void on_actionSmoothness8_triggered();
    void on_actionSmoothness9_triggered();
    void on_actionSmoothness10_triggered();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildStatusBar();
    void setDialogPropertiesOnAll();
    void buildCurveCommandGroup();
    void updateCurveCommands();
    void connectSignalsAndSlots();
    void showConnected();
    void showDisconnected();
    void startAnalysis(int mode);
    void saveStoppedRun();
    static QString proposedFileName(QString sampleName);
    static bool nothingToSave(Global::Mode mode);
    bool writeWorkbook(const QString& path, Global::Mode mode, QString& reason);
    void warnUnsaved(const QString& written, const QVector<AnalysisOperation>& saved);
    static QString saveFolder(Global::Mode mode);

    bool _manuallyStopTheExperimentFlag;
    Ui_MainWindow* _ui;
    CentralWidget* _centralWidget;
    EventHandler* _eventHandler;
    LeftWidget* _leftWidget;
    QDockWidget* _rightDockWidget;
    ExperimentSettingForm* _experimentSettingForm;
    RealTimeDataForm* _realTimeDataForm;
    QMenu* _contextMenu;
    AnalysisSettingForm* _analysisSettingForm;
    SpecificHeatComparisonMethodForm* _specificHeatComparisonMethodForm;
    DegreeOfCrystallinityForm* _degreeOfCrystallinityForm;
    InstrumentCoefficientForm* _instrumentCoefficientForm;
    DegreeOfCureForm* _degreeOfCureForm;
    OITAutoAnalysisParamForm* _oitAutoAnalysisParamForm;
    AboutForm* _aboutForm;
    EnthalpyDataCorrectionForm* _enthalpyDataCorrectionForm;
    CoefficientSelectionForm* _coefficientSelectionForm;
    PrintPreviewForm* _printPreviewForm;
    AxisSettingForm* _axisSettingForm;
    CurveSmoother* _curveSmoother;
    QActionGroup* _curveCommands;
};

#endif // MAINWINDOW_H
