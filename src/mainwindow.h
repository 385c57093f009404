#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "global.h"

#include <QMainWindow>

class Ui_MainWindow;
class CentralWidget;
class EventHandler;
class ExperimentSettingForm;
class RealTimeDataForm;
class AboutForm;
class PrintPreviewForm;
class AxisSettingForm;
class QDockWidget;
class QMenu;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    bool saveFile(QString name, Global::Mode mode);
    void setDialogProperties(QWidget* widget);
    void setActionsEnabled(bool enabled);

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
    void on_actionClearAllData_triggered();
    void on_actionOIT_triggered();
    void on_actionOITAutoAnalysisMode_triggered();
    void on_actionTimeAxisAnalysisPCTMode_triggered();
    void on_actionAbout_triggered();
    void on_actionPrintPreview_triggered();
    void on_actionYAxis_triggered();
    void on_actionAxisSetting_triggered();
    void on_actionSaveData_triggered();
    void on_actionSaveas_triggered();
    void on_actionLanguage_triggered();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildStatusBar();
    void setDialogPropertiesOnAll();
    void connectSignalsAndSlots();
    void showConnected();
    void showDisconnected();
    bool writeWorkbook(const QString& path, Global::Mode mode);
    static QString saveFolder(Global::Mode mode);

    bool _manuallyStopTheExperimentFlag;
    Ui_MainWindow* _ui;
    CentralWidget* _centralWidget;
    EventHandler* _eventHandler;
    QDockWidget* _rightDockWidget;
    ExperimentSettingForm* _experimentSettingForm;
    RealTimeDataForm* _realTimeDataForm;
    QMenu* _contextMenu;
    AboutForm* _aboutForm;
    PrintPreviewForm* _printPreviewForm;
    AxisSettingForm* _axisSettingForm;
};

#endif // MAINWINDOW_H
