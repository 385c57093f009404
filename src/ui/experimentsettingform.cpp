#include "experimentsettingform.h"

#include "messagebox.h"
#include "serialport.h"
#include "ui_experimentsettingform.h"

#include <easylogging++.h>

#include <QComboBox>
#include <QDateTime>
#include <QLocale>
#include <QDebug>
#include <QLineEdit>
#include <QtEndian>

#include <cmath>

namespace {

// Stage records of the instrument's table: 12 bytes each from offset 6 of the
// frame; the two option bytes follow the six records at offsets 78 and 79.
constexpr int WireStageSize = 12;
constexpr int WireStageOffset = 6;
constexpr int TestTypeOffset = 78;
constexpr int InitialAtmosphereOffset = 79;
constexpr int PhaseCount = 6;

quint32 wireAtmosphere(quint8 value)
{
    return (value == N2 || value == O2) ? value : quint32(NC);
}

PhaseInfoData decodeWireStage(const char* bytes)
{
    PhaseInfoData record;
    record.enabled = static_cast<quint8>(bytes[0]);
    record.cutoffTemp = qFromLittleEndian<float>(bytes + 1);
    record.scanRate = qFromLittleEndian<float>(bytes + 5);
    record.constantTempTime = qFromLittleEndian<quint16>(bytes + 9);
    record.atmosphere = wireAtmosphere(static_cast<quint8>(bytes[11]));
    return record;
}

// The hold time is sent as whole minutes in 16 bits: a number outside that
// range would wrap, and one that is not a plain whole number ("3.7", "1e3")
// would silently go out as 0. Text that is no number at all counts as 0.
bool holdTimeInRange(const QString& text)
{
    bool whole = false;
    const qlonglong minutes = text.trimmed().toLongLong(&whole, 10);
    if (whole)
        return minutes >= 0 && minutes <= 65535;
    bool number = false;
    text.trimmed().toDouble(&number);
    return !number;
}

// The edits and atmosphere box of a stage row, by their names in the form.
QLineEdit* phaseEdit(const QObject* form, int phase, const char* field)
{
    return form->findChild<QLineEdit*>(QStringLiteral("phase_%1_%2").arg(phase).arg(QLatin1String(field)));
}

QComboBox* phaseAtmosphereBox(const QObject* form, int phase)
{
    return form->findChild<QComboBox*>(QStringLiteral("comboBox_phase_%1_atmosphere").arg(phase));
}

} // namespace

ExperimentSettingForm::ExperimentSettingForm(QWidget* parent)
    : QWidget(parent)
    , _ui(new Ui_ExperimentSettingForm)
{
    _ui->setupUi(this);
    resetPhaseWidgets();
    for (int phase = 1; phase <= PhaseCount; ++phase) {
        phaseCheckBox(phase)->setTristate(false);
    }
    connect(_ui->checkBox_phase_2, &QCheckBox::clicked, this, &ExperimentSettingForm::slotPhase2StateChanged);
    connect(_ui->checkBox_phase_3, &QCheckBox::clicked, this, &ExperimentSettingForm::slotPhase3StateChanged);
    connect(_ui->checkBox_phase_4, &QCheckBox::clicked, this, &ExperimentSettingForm::slotPhase4StateChanged);
    connect(_ui->checkBox_phase_5, &QCheckBox::clicked, this, &ExperimentSettingForm::slotPhase5StateChanged);
    connect(_ui->checkBox_phase_6, &QCheckBox::clicked, this, &ExperimentSettingForm::slotPhase6StateChanged);
    connect(_ui->pushButton_cancel, &QPushButton::clicked, this, &QWidget::hide);
}

ExperimentSettingForm::~ExperimentSettingForm()
{
    delete _ui;
}

// The stamp goes into every saved run: QDateTime's own toString would take
// the system's digits (Arabic-Indic under ar_EG).
QString ExperimentSettingForm::currentDateTime()
{
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

void ExperimentSettingForm::showEvent(QShowEvent* event)
{
    _ui->dateTimeLineEdit->setText(currentDateTime());
    QWidget::showEvent(event);
}

QCheckBox* ExperimentSettingForm::phaseCheckBox(int phase) const
{
    return findChild<QCheckBox*>(QStringLiteral("checkBox_phase_%1").arg(phase));
}

void ExperimentSettingForm::setPhaseFieldsEnabled(int phase, bool enabled)
{
    phaseEdit(this, phase, "cutoff_temp")->setEnabled(enabled);
    phaseEdit(this, phase, "scan_rate")->setEnabled(enabled);
    phaseEdit(this, phase, "constant_temp")->setEnabled(enabled);
    phaseAtmosphereBox(this, phase)->setEnabled(enabled);
}

void ExperimentSettingForm::resetPhaseWidgets()
{
    for (int phase = 1; phase <= PhaseCount; ++phase) {
        phaseEdit(this, phase, "cutoff_temp")->setText(QStringLiteral("0"));
        phaseEdit(this, phase, "scan_rate")->setText(QStringLiteral("0"));
        phaseEdit(this, phase, "constant_temp")->setText(QStringLiteral("0"));
        phaseAtmosphereBox(this, phase)->setCurrentIndex(0);
    }
    _ui->checkBox_phase_1->setChecked(true);
    _ui->checkBox_phase_1->setEnabled(false);
    for (int phase = 2; phase <= PhaseCount; ++phase) {
        setPhaseFieldsEnabled(phase, false);
    }
    _ui->radioButton_OIT_not->setChecked(true);
    for (int phase = 2; phase <= PhaseCount; ++phase) {
        phaseCheckBox(phase)->setTristate(false);
    }
}

// A stage may only be switched on after the one before it, and off before the
// one after it; a refused click puts the box back.
void ExperimentSettingForm::switchPhase(int phase, bool checked)
{
    if (checked) {
        if (phase > 2 && !phaseCheckBox(phase - 1)->isChecked()) {
            phaseCheckBox(phase)->setChecked(false);
            return;
        }
        setPhaseFieldsEnabled(phase, true);
        return;
    }
    if (phase < PhaseCount && phaseCheckBox(phase + 1)->isChecked()) {
        phaseCheckBox(phase)->setChecked(true);
        return;
    }
    setPhaseFieldsEnabled(phase, false);
}

void ExperimentSettingForm::slotPhase2StateChanged(bool checked)
{
    qDebug() << "slotPhase2StateChanged:" << (checked ? 1 : 0);
    switchPhase(2, checked);
}

void ExperimentSettingForm::slotPhase3StateChanged(bool checked)
{
    switchPhase(3, checked);
}

void ExperimentSettingForm::slotPhase4StateChanged(bool checked)
{
    switchPhase(4, checked);
}

void ExperimentSettingForm::slotPhase5StateChanged(bool checked)
{
    switchPhase(5, checked);
}

void ExperimentSettingForm::slotPhase6StateChanged(bool checked)
{
    switchPhase(6, checked);
}

void ExperimentSettingForm::showPhaseError(int phase, const QString& title, const QString& text)
{
    MessageBox::question(this, title.arg(phase), text.arg(phase), QMessageBox::Yes);
}

void ExperimentSettingForm::showCutoffTempError(int phase)
{
    showPhaseError(phase, QStringLiteral("阶段%1截止温度错误"), QStringLiteral("阶段%1截止温度不能小于上一阶段截止温度!  "));
}

void ExperimentSettingForm::showScanRateError(int phase)
{
    showPhaseError(phase, QStringLiteral("阶段%1扫描速率错误"), QStringLiteral("阶段%1扫描速率必须大于0!  "));
}

PhaseInfoData ExperimentSettingForm::readPhase(int phase) const
{
    PhaseInfoData record;
    record.enabled = phaseCheckBox(phase)->isChecked() ? 1 : 0;
    record.cutoffTemp = phaseEdit(this, phase, "cutoff_temp")->text().toFloat();
    record.scanRate = phaseEdit(this, phase, "scan_rate")->text().toFloat();
    const QString hold = phaseEdit(this, phase, "constant_temp")->text();
    record.constantTempTime = static_cast<quint16>(hold.toInt(nullptr, 10) & 0xFFFF);
    record.atmosphere = static_cast<quint32>(phaseAtmosphereBox(this, phase)->currentIndex());
    return record;
}

// Numbers the instrument cannot take (an infinite or undefined temperature or
// rate, a hold time that does not fit its 16 bits) are refused before sending.
bool ExperimentSettingForm::checkPhaseNumbers(int phase, const PhaseInfoData& record)
{
    if (!std::isfinite(record.cutoffTemp)) {
        showPhaseError(phase, QStringLiteral("阶段%1截止温度错误"), QStringLiteral("阶段%1截止温度必须是有效数字!  "));
        return false;
    }
    if (!std::isfinite(record.scanRate)) {
        showScanRateError(phase);
        return false;
    }
    const QString hold = phaseEdit(this, phase, "constant_temp")->text();
    if (!holdTimeInRange(hold)) {
        showPhaseError(phase, QStringLiteral("阶段%1恒温时间错误"), QStringLiteral("阶段%1恒温时间必须是0到65535之间的整数!  "));
        return false;
    }
    return true;
}

bool ExperimentSettingForm::checkPhase(int phase, const QVector<PhaseInfoData>& phases)
{
    const PhaseInfoData& record = phases.at(phase - 1);
    if (phase == 1) {
        if (!checkPhaseNumbers(phase, record)) {
            return false;
        }
        if (record.scanRate <= 0.0f) {
            showScanRateError(phase);
            return false;
        }
        return true;
    }
    if (record.enabled == 0) {
        return true;
    }
    LOG(DEBUG) << "phase " << phase << " enable.";
    if (!checkPhaseNumbers(phase, record)) {
        return false;
    }
    const PhaseInfoData& previous = phases.at(phase - 2);
    const float reference = (phase == 2 || previous.enabled != 0) ? previous.cutoffTemp : 0.0f;
    if (record.cutoffTemp < reference) {
        showCutoffTempError(phase);
        return false;
    }
    if (record.scanRate <= 0.0f) {
        showScanRateError(phase);
        return false;
    }
    return true;
}

void ExperimentSettingForm::storeSampleInfo()
{
    Global::_experimentInfo.sampleName = _ui->sampleNameLineEdit->text();
    Global::_experimentInfo.sampleWeight = _ui->sampleWeightLineEdit->text();
    Global::_experimentInfo.dateTime = _ui->dateTimeLineEdit->text();
    Global::_experimentInfo.user = _ui->userLineEdit->text();
}

QByteArray ExperimentSettingForm::optionBytes() const
{
    QByteArray options;
    options.append(static_cast<char>(_ui->radioButton_OIT->isChecked() ? 0 : 1));
    options.append(static_cast<char>(_ui->comboBox_initial_atmosphere->currentIndex()));
    return options;
}

void ExperimentSettingForm::on_pushButton_deliverData_clicked()
{
    QVector<PhaseInfoData> phases;
    for (int phase = 1; phase <= PhaseCount; ++phase) {
        phases.append(readPhase(phase));
        if (!checkPhase(phase, phases)) {
            return;
        }
    }
    storeSampleInfo();
    const QByteArray frame = SerialPort::buildPhaseWriteFrame(phases, optionBytes());
    qDebug() << "ba size:" << frame.size();
    emit sigDeliverData(frame);
    // The delivery opens the port when it can; when it could not, the user keeps
    // the dialog with the values instead of believing the programme was sent.
    if (!SerialPort::instance()->isOpen()) {
        MessageBox::warning(this, QStringLiteral("warnning"), QStringLiteral("Serial Port open failed."));
        return;
    }
    // Read the table back so the stored programme (and thus the saved run)
    // is the one the instrument now holds.
    SerialPort::instance()->slotSendData(SerialPort::buildPhaseReadFrame());
    hide();
}

void ExperimentSettingForm::showPhaseRecord(int phase, const PhaseInfoData& record)
{
    QCheckBox* box = phaseCheckBox(phase);
    auto* cutoff = phaseEdit(this, phase, "cutoff_temp");
    auto* rate = phaseEdit(this, phase, "scan_rate");
    auto* hold = phaseEdit(this, phase, "constant_temp");
    auto* atmosphere = phaseAtmosphereBox(this, phase);
    if (!box || !cutoff || !rate || !hold || !atmosphere) {
        return;
    }
    box->setChecked(true);
    cutoff->setText(QString::number(record.cutoffTemp, 'f', 3));
    rate->setText(QString::number(record.scanRate, 'f', 3));
    hold->setText(QString::number(record.constantTempTime));
    atmosphere->setCurrentIndex(static_cast<int>(record.atmosphere));
    setPhaseFieldsEnabled(phase, true);
}

void ExperimentSettingForm::showOptions(const QByteArray& frame)
{
    if (frame.size() > TestTypeOffset) {
        const int oit = static_cast<quint8>(frame.at(TestTypeOffset));
        LOG(DEBUG) << "oit value:" << oit;
        _ui->radioButton_OIT->setChecked(oit == 0);
        _ui->radioButton_OIT_not->setChecked(oit != 0);
    }
    if (frame.size() > InitialAtmosphereOffset) {
        const int initAtmosphere = static_cast<quint8>(frame.at(InitialAtmosphereOffset));
        LOG(DEBUG) << "initAtmosphereValue:" << initAtmosphere;
        // An unknown code would leave the box without a selection and go back
        // to the instrument as 0xFF with the next delivery; show it as NC.
        const bool known = initAtmosphere < _ui->comboBox_initial_atmosphere->count();
        _ui->comboBox_initial_atmosphere->setCurrentIndex(known ? initAtmosphere : 0);
    }
}

void ExperimentSettingForm::slotRecvPhaseInfo(const QByteArray& frame)
{
    LOG(DEBUG) << "----------------------- recv";
    qDebug().noquote() << "slotRecvPhaseInfo hex:" << frame.toHex(' ');
    const int length = frame.size() > 2 ? static_cast<quint8>(frame.at(2)) : 0;
    const int present = qMax(0, (frame.size() - WireStageOffset) / WireStageSize);
    const int count = qMin(length / WireStageSize, present);
    QVector<PhaseInfoData> phases;
    for (int k = 0; k < count; ++k) {
        phases.append(decodeWireStage(frame.constData() + WireStageOffset + WireStageSize * k));
    }
    Global::_experimentInfo.phases = phases;
    resetPhaseWidgets();
    for (int k = 0; k < phases.size() && phases.at(k).enabled != 0; ++k) {
        showPhaseRecord(k + 1, phases.at(k));
    }
    showOptions(frame);
}
