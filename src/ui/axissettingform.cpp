#include "axissettingform.h"

#include "global.h"
#include "messagebox.h"
#include "ui_axissettingform.h"

#include <QShowEvent>
#include <QtMath>

namespace {

const QStringList AxisNames = {QStringLiteral("X"), QStringLiteral("Y 左侧"), QStringLiteral("Y 右侧")};

// A range end the plot can use: a finite decimal number, "." as the point.
bool parseRangeEnd(const QString& text, double& value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && qIsFinite(value);
}

} // namespace

AxisSettingForm::AxisSettingForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_AxisSettingForm)
{
    _ui->setupUi(this);
}

AxisSettingForm::~AxisSettingForm()
{
    delete _ui;
}

// The plot answers inside the emission, so the edits hold its ranges before
// the dialog reaches the screen.
void AxisSettingForm::showEvent(QShowEvent* event)
{
    emit sigGetAxisInfo();
    QWidget::showEvent(event);
}

void AxisSettingForm::slotGetAxisInfoWithData(QVector<CentralWidget::AxisInfo> info)
{
    if (info.size() < 3) {
        return;
    }
    _ui->lineEditXMin->setText(Global::doubleToString(info.at(0).lower));
    _ui->lineEditXMax->setText(Global::doubleToString(info.at(0).upper));
    _ui->lineEditYLeftMin->setText(Global::doubleToString(info.at(1).lower));
    _ui->lineEditYLeftMax->setText(Global::doubleToString(info.at(1).upper));

    const CentralWidget::AxisInfo& right = info.last();
    _ui->lineEditYRightMin->setEnabled(right.visible);
    _ui->lineEditYRightMax->setEnabled(right.visible);
    if (right.visible) {
        _ui->lineEditYRightMin->setText(Global::doubleToString(right.lower));
        _ui->lineEditYRightMax->setText(Global::doubleToString(right.upper));
    } else {
        _ui->lineEditYRightMin->clear();
        _ui->lineEditYRightMax->clear();
    }
}

// A range that is not two numbers, or whose lower end lies above its upper
// one, would be silently turned into 0 or swapped by the plot; it is refused
// and nothing is sent, so the plot keeps its ranges. Equal ends pass: a range
// too small for three decimals reads back as two equal texts, and the plot
// leaves an axis given equal ends as it was.
void AxisSettingForm::on_pushButtonConfirm_clicked()
{
    QVector<double> values;
    if (!readRanges(values)) {
        return;
    }
    emit sigSetAxisSettings(values);
}

void AxisSettingForm::on_pushButtonCancel_clicked()
{
    hide();
}

QVector<QLineEdit*> AxisSettingForm::rangeEdits() const
{
    return {_ui->lineEditXMin,     _ui->lineEditXMax,     _ui->lineEditYLeftMin,
            _ui->lineEditYLeftMax, _ui->lineEditYRightMin, _ui->lineEditYRightMax};
}

// The right y pair of a hidden axis is disabled and empty; it is sent as 0
// and 0, which the plot ignores while that axis is hidden.
bool AxisSettingForm::readRanges(QVector<double>& values)
{
    const QVector<QLineEdit*> edits = rangeEdits();
    QStringList refused;
    for (int axis = 0; axis < 3; ++axis) {
        QLineEdit* lowerEdit = edits.at(2 * axis);
        QLineEdit* upperEdit = edits.at(2 * axis + 1);
        double lower = 0.0;
        double upper = 0.0;
        if (lowerEdit->isEnabled() || upperEdit->isEnabled()) {
            const bool numbers = parseRangeEnd(lowerEdit->text(), lower) && parseRangeEnd(upperEdit->text(), upper);
            if (!numbers || lower > upper) {
                refused << AxisNames.at(axis);
            }
        }
        values << lower << upper;
    }
    if (!refused.isEmpty()) {
        MessageBox::warning(this, QStringLiteral("warnning"),
                            QStringLiteral("坐标轴范围错误: %1\n最小值和最大值必须是数字, 且最小值小于最大值.")
                                .arg(refused.join(QStringLiteral(", "))));
        return false;
    }
    return true;
}
