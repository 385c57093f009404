#ifndef RIGHTWIDGET_H
#define RIGHTWIDGET_H

#include <QDockWidget>

class AnalysisSettingForm;

// A dock holding its own analysis settings panel. The main window keeps a
// plain QDockWidget for that panel and does not use this class.
class RightWidget : public QDockWidget
{
    Q_OBJECT

public:
    explicit RightWidget(QWidget* parent = nullptr);

private:
    AnalysisSettingForm* _analysisSettingForm;
};

#endif // RIGHTWIDGET_H
