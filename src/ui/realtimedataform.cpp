#include "realtimedataform.h"

#include "commondata.h"
#include "global.h"
#include "ui_realtimedataform.h"

#include <QStringList>

namespace {

// A fault the program does not know is still a fault: it shows with its number.
QString faultWord(int code)
{
    static const QStringList words = {QStringLiteral("正常"), QStringLiteral("冷端温度错误"),
                                      QStringLiteral("采集板卡错误"), QStringLiteral("样品温度错误"),
                                      QStringLiteral("DSC错误"), QStringLiteral("加热模块错误")};
    return words.value(code, QStringLiteral("未知故障(%1)").arg(code));
}

// Run states outside the table show the word of code 0.
QString runStatusWord(int code)
{
    static const QStringList words = {QStringLiteral("空闲状态"), QStringLiteral("加热运行"),
                                      QStringLiteral("恒温运行"), QStringLiteral("冷却中"),
                                      QStringLiteral("升温速率自整定")};
    return words.value(code, words.first());
}

QString atmosphereWord(int code)
{
    return Global::AtmosphereNames.value(code, Global::AtmosphereNames.first());
}

} // namespace

RealTimeDataForm::RealTimeDataForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_RealTimeDataForm)
{
    _ui->setupUi(this);
}

RealTimeDataForm::~RealTimeDataForm()
{
    delete _ui;
}

void RealTimeDataForm::recvCommonData(const CommonData& data)
{
    _ui->abnormalLineEdit->setText(faultWord(data.errorCode));
    _ui->runStatusLineEdit->setText(runStatusWord(data.runStatus));
    _ui->currentStageLineEdit->setText(QString::number(data.stage, 10));
    _ui->addruntimeLineEdit->setText(QString::number(data.runTime, 'f', 3));
    _ui->constantTempTimeLineEdit->setText(QString::number(data.constantTempTime, 'f', 3));
    _ui->tempLineEdit->setText(QString::number(data.sampleTemp, 'f', 3));
    _ui->dSCMwLineEdit->setText(QString::number(data.dsc, 'f', 3));
    const QString unknown = QStringLiteral("--");
    _ui->weightLineEdit->setText(unknown);
    _ui->oxyTimeLineEdit->setText(unknown);
    _ui->scanRateLineEdit->setText(unknown);
    _ui->currentAtmosphereLineEdit->setText(atmosphereWord(data.atmosphere));
}
