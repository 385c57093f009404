#include "rightwidget.h"

#include "analysissettingform.h"

RightWidget::RightWidget(QWidget* parent)
    : QDockWidget(parent)
    , _analysisSettingForm(new AnalysisSettingForm(this))
{
    setWidget(_analysisSettingForm);
}
