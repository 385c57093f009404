#ifndef CENTRALWIDGET_H
#define CENTRALWIDGET_H

#include "commondata.h"
#include "global.h"
#include "resultdrawer.h"
#include "workbookloader.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QPair>
#include <QPointF>
#include <QPixmap>
#include <QSet>
#include <QVector>
#include <QWidget>

#include <functional>
#include <memory>

class AnalysisRunner;
class EventHandler;
class LocalCustomPlot;
class QCPAbstractItem;
class QCPCurve;
class QCPGraph;
class QCPItemStraightLine;
class QTimer;


// The main window's plot workspace: the plot, the two boundary lines of an
// analysis region, the live curve of a run, and the plot's event handler.
class CentralWidget : public QWidget
{
    Q_OBJECT

public:
    enum AnalysisMode
    {
        NoAnalysis = 0,
        NumericalLabel = 1,
        StartPoint = 2,
        StopPoint = 3,
        PeakSynthesisAnalysis = 4,
        GlassTransition = 5,
        OnsetTemperaturePoint = 6,
        EndsetTemperaturePoint = 7
    };
    Q_ENUM(AnalysisMode)

    enum ClearDataMode
    {
        ClearExperimentData = 0,
        ClearTemporaryItems = 1,
        ClearPlotObjects = 2
    };
    Q_ENUM(ClearDataMode)

    struct AxisInfo
    {
        bool visible = false;
        double lower = 0.0;
        double upper = 0.0;
    };

    explicit CentralWidget(QWidget* parent = nullptr);
    ~CentralWidget() override;

    void clearData(ClearDataMode mode);
    void clearAllData();
    void switchAxisQuantity();

    void setAnalysisMode(AnalysisMode mode);
    void setEventHandlerEnable(bool on);
    void loadAnalysisData(AnalysisMode mode, double x1, double x2, QString name);
    void drawCurveFileData();
    void drawCurveData(QVector<Global::ExperimentData> data, QString name);
    void glassTransitionHandle(double x1, double x2, QString name);
    void drawResultLabel(QPointF point, QString text, QString name);
    QPointF getTheCoordinatesOfTheTextBox(QPointF point);
    void drawPeakRegion(double x1, double x2, QString name);
    static QPair<double, double> linearFit(QVector<double> xs, QVector<double> ys);

    void deleteCurrentCurve();
    bool isCurrentCurve(QCPCurve* curve) const;
    void deleteCurve(QString name);
    void removeCurveWithResults(QCPCurve* curve);
    void forgetDeletedWorkbooks();
    QPixmap grabPlotPixmap();
    Global::CurveFileData describedFile() const;

    LocalCustomPlot* plot() const;
    EventHandler* eventHandler() const;
    WorkbookLoader* workbookLoader() const;
    ResultDrawer* resultDrawer() const;
    QCPItemStraightLine* line1() const;
    QCPItemStraightLine* line2() const;
    QCPCurve* currentCurve() const;
    QCPCurve* liveCurve() const;
    void setLiveCurve(QCPCurve* curve);
    AnalysisMode analysisMode() const;
    const QVector<QString>& openedFilePaths() const;

signals:
    void sigContextMenuShow(const QPoint& pos);
    void sigSendLineXCoord(int which, double x);
    void sigRightDockWidgetHide();
    void sigGetAxisInfoWithData(QVector<CentralWidget::AxisInfo> info);
    // A text for the status bar.
    void sigStatusMessage(const QString& text);

public slots:
    void slotRecvCommonData(const CommonData& data);
    void slotAxisModify(float temp);
    void slotGetAxisInfo();
    void slotSetAxisSettings(QVector<double> values);
    void slotDrawCustomText(QString text);
    void slotSelectionChangedByUser();
    void slotDelCurve(QCPCurve* curve);
    void slotRecvAnalysisFileName(QString path);
    void slotAnalysisSettingApply();
    void slotAnalysisSettingConfirm();
    void slotAnalysisSettingUndo();
    void slotAnalysisSettingCancel();
    void slotModeModify(Global::Mode mode);
    void slotAnalysisSettingLineXPoint(int which, double index);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend class TestPlot;

    // The smallest and largest abscissa and signal of some curves.
    struct DataExtent
    {
        QPair<float, float> x;
        QPair<float, float> dsc;
        DataExtent united(const DataExtent& other) const;
    };

    void createBoundaryLines();
    QCPItemStraightLine* createBoundaryLine(double key);
    void createEventHandler();
    void appendLivePoint(const Global::ExperimentData& point, double key, double value, int stage);
    QCPCurve* ensureLiveCurve();
    void scheduleLiveReplot();
    void widenToShow(double value);
    Global::CurveExperimentData* ensureStageRecord(int stage);
    void removeCurve(QCPCurve* curve);
    void removeGraph(QCPGraph* graph);
    void removeItem(QCPAbstractItem* item);
    void forgetCurve(QCPCurve* curve);
    void removeMatching(const std::function<bool(const QString&)>& curveMatch,
                        const std::function<bool(const QObject*)>& itemMatch);
    void removeAllPlotObjects();
    void removeObjects(const QSet<QObject*>& objects);
    void removeOpenedPathsOf(const QString& fileName);
    void recordAnalysisOperation(const AnalysisOperation& operation);
    void dropUnconfirmedOperations();
    void removeAnalysisOperationsOf(const QString& name);
    void removeStageOperations(Global::CurveFileData& file, int stage);
    void removeAnalysisOperationsIf(const std::function<bool(const AnalysisOperation&)>& match);
    void hideBoundaryLines();
    void endAnalysis();
    QCPCurve* addDataCurve(const QVector<Global::ExperimentData>& data, const QString& name);
    void setDataRanges();
    void setDataRanges(const DataExtent& extent);
    static DataExtent heldExtent();
    void setFileAxisCaptions();
    void drawFileStages(Global::CurveFileData& file);
    struct AxisView;
    WorkbookLoader::Drawing addCurveFile(const Global::CurveFileData& file, const QString& path);
    WorkbookLoader::Drawing takeReadWorkbook(const WorkbookLoader::Result& read);
    void takeBackWorkbook(const QString& fileName, const AxisView& view, QCPCurve* previousCurve);
    AxisView axisView() const;
    void setAxisView(const AxisView& view);
    void drawResults(const Global::CurveFileData& file);
    ResultDrawer::Operations resultOperations(const Global::CurveFileData& file) const;
    bool curveData(const QCPCurve* curve, AnalysisOperation& operation, QVector<Global::ExperimentData>& data) const;
    static QVector<Global::PhaseTotalInfo> runStages(const QCPCurve* curve, QVector<int>* records = nullptr);
    static bool regionSpansRunStages(const QCPCurve* curve, const AnalysisOperation& operation);
    static int runStageHolding(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation);
    static int stageWithin(const QVector<Global::PhaseTotalInfo>& stages, const AnalysisOperation& operation);
    void makeCurrent(QCPCurve* curve);
    void forgetLastApply();
    bool curveOnTime(const QCPCurve* curve) const;
    double sampleMassOf(const QCPCurve* curve) const;
    const QCPCurve* describedCurve() const;
    bool isRunCurve(const QCPCurve* curve) const;

    QString _timeAxisLabel;
    QString _temperatureAxisLabel;
    QString _dscAxisLabel;
    AnalysisMode _analysisMode;
    LocalCustomPlot* _plot;
    QCPCurve* _currentCurve;
    // The curve live points go to; kept apart from _currentCurve so that a
    // selected workbook curve never receives a run's points.
    QCPCurve* _liveCurve;
    EventHandler* _eventHandler;
    // Reads the workbooks opened from the file tree off the GUI thread.
    WorkbookLoader* _loader;
    // Computes and draws the region analyses.
    std::unique_ptr<AnalysisRunner> _runner;
    // Draws the results of the loaded workbooks again.
    std::unique_ptr<ResultDrawer> _drawer;
    QCPItemStraightLine* _line1;
    QCPItemStraightLine* _line2;
    QVector<QString> _openedFilePaths;
    double _lastApplyX1;
    double _lastApplyX2;
    // How many entries at the end of Global::_analysisOperationVtr were
    // recorded by applies not yet confirmed. "撤销" and "取消" may take back
    // only these: an operation already confirmed, or one read from elsewhere,
    // must reach the next save.
    int _unconfirmedOperationCount;
    // Live points are drawn at most this often, however fast they come.
    QTimer* _liveReplotTimer;
    QElapsedTimer _lastLiveReplot;
    // The signal range of a run widens to show every live point until the
    // user drags, zooms or sets the axes.
    bool _followLiveSignal;
};

Q_DECLARE_METATYPE(CentralWidget::AxisInfo)

#endif // CENTRALWIDGET_H
