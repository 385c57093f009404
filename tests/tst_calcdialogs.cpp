#include "centralwidget.h"
#include "confighandler.h"
#include "degreeofcrystallinityform.h"
#include "degreeofcureform.h"
#include "eventhandler.h"
#include "global.h"
#include "instrumentcoefficientform.h"
#include "mainwindow.h"
#include "specificheatcomparisonmethodform.h"
#include "windowtesthelpers.h"

#include <qcustomplot.h>

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>

namespace {

QLineEdit* field(QWidget* form, const char* name)
{
    auto* edit = form->findChild<QLineEdit*>(QLatin1String(name));
    if (!edit)
        qFatal("no field %s", name);
    return edit;
}

void setField(QWidget* form, const char* name, const QString& text)
{
    field(form, name)->setText(text);
}

void click(QWidget* form, const char* name)
{
    form->findChild<QPushButton*>(QLatin1String(name))->click();
}

// Sapphire heat-capacity polynomial evaluated independently (Horner form,
// from the published coefficients) as a reference for the dialog's sum.
double sapphireReference(double celsius)
{
    static const double c[] = {1.12705, 0.2326, -0.21704, 0.2641, -0.23778, -0.10023,
                               0.15393, 0.54579, -0.47824, -0.37623, 0.34407};
    const double x = (celsius + 273.15 - 650.0) / 550.0;
    double sum = 0.0;
    for (int i = 10; i >= 0; --i)
        sum = sum * x + c[i];
    return sum;
}

// A stage heated from 50 to 150 ℃ in 1 ℃ steps with a constant signal.
QVector<Global::ExperimentData> flatStage(float dsc)
{
    QVector<Global::ExperimentData> data;
    for (int t = 50; t <= 150; ++t)
        data.append({t / 10.0f, 0.0f, static_cast<float>(t), dsc});
    return data;
}

Global::CurveFileData workbook(const QString& name, QCPCurve* curve, float dsc)
{
    Global::CurveFileData file;
    file.fileName = name;
    Global::PhaseTotalInfo phase;
    phase.phaseIndex = 1;
    phase.data = flatStage(dsc);
    phase.curve = curve;
    file.phases.append(phase);
    return file;
}

QJsonObject readConfig()
{
    QFile file(Global::ConfigFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

class TestCalcDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void calculators_data();
    void calculators();

    void sapphirePolynomial_data();
    void sapphirePolynomial();
    void specificHeatFromThreeCurves();
    void specificHeatRefused_data();
    void specificHeatRefused();

    void mainWindowWiring();

private:
    void setUpCurves(float baseLine, float standard, float sample);
    void markRoles(SpecificHeatComparisonMethodForm* form);
    void fillSpecificHeatFields(QWidget* form, const QString& temperature);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<QCustomPlot> _plot;
    QVector<QCPCurve*> _curves;
};

void TestCalcDialogs::init()
{
    _dialogs = std::make_unique<DialogAnswers>();
    _plot = std::make_unique<QCustomPlot>();
    Global::_curveFileDataVtr.clear();
    Global::_configMap = Global::_defaultConfigMap;
    QFile::remove(Global::ConfigFilePath);
}

void TestCalcDialogs::cleanup()
{
    Global::_curveFileDataVtr.clear();
    _curves.clear();
    _plot.reset();
    _dialogs.reset();
}

void TestCalcDialogs::setUpCurves(float baseLine, float standard, float sample)
{
    _curves.clear();
    const float signal[] = {baseLine, standard, sample};
    const char* names[] = {"base.xlsx", "sapphire.xlsx", "sample.xlsx"};
    for (int role = 0; role < 3; ++role) {
        auto* curve = new QCPCurve(_plot->xAxis, _plot->yAxis);
        curve->setObjectName(names[role]);
        _curves.append(curve);
        Global::_curveFileDataVtr.append(workbook(names[role], curve, signal[role]));
    }
}

void TestCalcDialogs::markRoles(SpecificHeatComparisonMethodForm* form)
{
    for (int role = 0; role < 3; ++role)
        form->slotSetCurve(role, _curves.at(role));
}

void TestCalcDialogs::fillSpecificHeatFields(QWidget* form, const QString& temperature)
{
    setField(form, "LineEditTemperature", temperature);
    setField(form, "LineEditCorrectionCoefficient", "1.000");
    setField(form, "LineEditSampleWeight", "17.92");
    setField(form, "LineEditStandardSampleWeight", "13.92");
}

// Expected figures by hand: crystallinity (a - b) / c x 100, cure
// (before - after) / after x 100, K = theory / measured. A null result means
// refused (inf, nan or a K that is not positive): one warning, result field
// and stored K untouched.
void TestCalcDialogs::calculators_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("result");
    QTest::addColumn<double>("storedK");
    const QString refused;
    QTest::newRow("crystallinity (50 - 10) / 140") << "crystallinity" << QStringList{"50", "10", "140"} << "28.571"
                                                   << 1.0;
    QTest::newRow("crystallinity, no cold crystallization") << "crystallinity" << QStringList{"45.5", "", "91"}
                                                            << "50.000" << 1.0;
    QTest::newRow("crystallinity, theoretical 0") << "crystallinity" << QStringList{"50", "10", "0"} << refused << 1.0;
    QTest::newRow("crystallinity, all empty") << "crystallinity" << QStringList{"", "", ""} << refused << 1.0;
    QTest::newRow("cure divides by the enthalpy after") << "cure" << QStringList{"120", "30"} << "300.000" << 1.0;
    QTest::newRow("cure, after larger") << "cure" << QStringList{"30", "60"} << "-50.000" << 1.0;
    QTest::newRow("cure, after 0") << "cure" << QStringList{"120", "0"} << refused << 1.0;
    QTest::newRow("cure, both empty") << "cure" << QStringList{"", ""} << refused << 1.0;
    // 28.42 / 25 = 1.1368, held as a float.
    QTest::newRow("coefficient 28.42 / 25") << "coefficient" << QStringList{"28.42", "25.0"} << "1.137" << 1.1368;
    QTest::newRow("coefficient, measured 0") << "coefficient" << QStringList{"28.42", "0"} << refused << 1.0;
    QTest::newRow("coefficient, theory empty") << "coefficient" << QStringList{"", "25"} << refused << 1.0;
    QTest::newRow("coefficient, decimal comma") << "coefficient" << QStringList{"28,42", "25"} << refused << 1.0;
}

void TestCalcDialogs::calculators()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, inputs);
    QFETCH(QString, result);
    QFETCH(double, storedK);
    std::unique_ptr<QWidget> form;
    QVector<const char*> names;
    if (dialog == "crystallinity") {
        form = std::make_unique<DegreeOfCrystallinityForm>();
        names = {"LineEditEnthalpyOfCrystallization", "LineEditEnthalpyOfColdCrystallization",
                 "LineEditTheoreticalEnthalpy", "xcLineEditDegreedOfCrystallinity"};
    } else if (dialog == "cure") {
        form = std::make_unique<DegreeOfCureForm>();
        names = {"LineEditPrecure", "jGLineEditAfterCuring", "LineEditDegreeOfCure"};
    } else {
        form = std::make_unique<InstrumentCoefficientForm>();
        names = {"LineEditTheory", "LineEditActualMeasurement", "LineEditCoefficient"};
    }
    for (int i = 0; i < inputs.size(); ++i)
        setField(form.get(), names.at(i), inputs.at(i));
    const QString before = field(form.get(), names.last())->text();
    click(form.get(), "pushButtonCalculate");

    QCOMPARE(field(form.get(), names.last())->text(), result.isNull() ? before : result);
    QCOMPARE(_dialogs->boxTitles(), result.isNull() ? QStringList{"warnning"} : QStringList());
    QVERIFY(std::fabs(Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble() - storedK) < 1e-6);
    QCOMPARE(QFile::exists(Global::ConfigFilePath), storedK != 1.0);
    QVERIFY(std::fabs(readConfig().value(Global::InstrumentCoefficientKey).toDouble(1.0) - storedK) < 1e-6);
    if (dialog == "crystallinity") {
        // Quitting empties the fields, so no stale degree is shown on reopening.
        click(form.get(), "pushButtonQuit");
        QVERIFY(field(form.get(), names.last())->text().isEmpty());
        QVERIFY(field(form.get(), names.first())->text().isEmpty());
    }
}

void TestCalcDialogs::sapphirePolynomial_data()
{
    QTest::addColumn<double>("celsius");
    QTest::addColumn<QString>("shown");
    // Figures stated for the standard's field at these temperatures.
    QTest::newRow("25 ℃") << 25.0 << "0.775";
    QTest::newRow("100 ℃") << 100.0 << "0.906";
    QTest::newRow("500 ℃") << 500.0 << "1.171";
    // 376.85 ℃ is 650 K, where x = 0 and only the constant term remains.
    QTest::newRow("650 K") << 376.85 << "1.127";
}

void TestCalcDialogs::sapphirePolynomial()
{
    QFETCH(double, celsius);
    QFETCH(QString, shown);
    const double cp = SpecificHeatComparisonMethodForm::standardSampleSpecificHeat(celsius);
    QCOMPARE(QString::number(cp, 'f', 3), shown);
    QVERIFY(std::fabs(cp - sapphireReference(celsius)) < 1e-12);
}

void TestCalcDialogs::specificHeatFromThreeCurves()
{
    setUpCurves(1.0f, 3.0f, 4.0f);
    SpecificHeatComparisonMethodForm form;
    QSignalSpy texts(&form, &SpecificHeatComparisonMethodForm::sigDrawCustomText);
    markRoles(&form);
    form.show();
    fillSpecificHeatFields(&form, "100");
    click(&form, "pushButtonCalculate");
    // (4 - 1) x 13.92 x 0.90647 x 1 / ((3 - 1) x 17.92) = 1.0562
    QCOMPARE(field(&form, "LineEditStandardSampleSpecificHeat")->text(), QString("0.906"));
    QCOMPARE(field(&form, "LineEditSampleSpecificHeat")->text(), QString("1.056"));
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toString(), QString("100.000℃比热容= 1.056J/(g*℃)"));
}

// Nothing is calculated or drawn. Without all three distinct, loaded curves
// the button does nothing; a temperature outside the curves (its signal would
// count as 0 mW) or a zero denominator gets one warning and the earlier
// result stays.
void TestCalcDialogs::specificHeatRefused_data()
{
    QTest::addColumn<QString>("sampleRole");
    QTest::addColumn<float>("standardSignal");
    QTest::addColumn<QString>("temperature");
    QTest::addColumn<QString>("sampleMass");
    QTest::addColumn<bool>("warns");
    QTest::newRow("sample never chosen") << "unchosen" << 3.0f << "100" << "17.92" << false;
    QTest::newRow("one curve for baseline and sample") << "same curve" << 3.0f << "100" << "17.92" << false;
    QTest::newRow("chosen curve deleted from the plot") << "deleted" << 3.0f << "100" << "17.92" << false;
    QTest::newRow("curve of no loaded workbook") << "live curve" << 3.0f << "100" << "17.92" << false;
    QTest::newRow("temperature below the curves") << "sample" << 3.0f << "20" << "17.92" << true;
    QTest::newRow("temperature above the curves") << "sample" << 3.0f << "151" << "17.92" << true;
    QTest::newRow("empty temperature means 0 ℃") << "sample" << 3.0f << "" << "17.92" << true;
    QTest::newRow("sample mass 0") << "sample" << 3.0f << "100" << "0" << true;
    QTest::newRow("standard equals baseline") << "sample" << 1.0f << "100" << "17.92" << true;
}

void TestCalcDialogs::specificHeatRefused()
{
    QFETCH(QString, sampleRole);
    QFETCH(float, standardSignal);
    QFETCH(QString, temperature);
    QFETCH(QString, sampleMass);
    QFETCH(bool, warns);
    setUpCurves(1.0f, standardSignal, 4.0f);
    SpecificHeatComparisonMethodForm form;
    form.slotSetCurve(0, _curves.at(0));
    form.slotSetCurve(1, _curves.at(1));
    if (sampleRole == "sample") {
        form.slotSetCurve(2, _curves.at(2));
    } else if (sampleRole == "same curve") {
        form.slotSetCurve(2, _curves.at(0));
    } else if (sampleRole == "deleted") {
        form.slotSetCurve(2, _curves.at(2));
        // The stage keeps its now dangling pointer, as after a deletion.
        _plot->removePlottable(_curves.at(2));
    } else if (sampleRole == "live curve") {
        form.slotSetCurve(2, new QCPCurve(_plot->xAxis, _plot->yAxis));
    }
    form.slotSetCurve(7, _curves.at(2));
    QSignalSpy texts(&form, &SpecificHeatComparisonMethodForm::sigDrawCustomText);
    form.show();
    fillSpecificHeatFields(&form, temperature);
    setField(&form, "LineEditSampleWeight", sampleMass);
    setField(&form, "LineEditSampleSpecificHeat", "earlier");
    click(&form, "pushButtonCalculate");
    QCOMPARE(texts.count(), 0);
    QCOMPARE(field(&form, "LineEditSampleSpecificHeat")->text(), QString("earlier"));
    QCOMPARE(_dialogs->boxTitles(), warns ? QStringList{"warnning"} : QStringList());
    if (!warns)
        QVERIFY(field(&form, "LineEditStandardSampleSpecificHeat")->text().isEmpty());
}

// As the main window wires them: roles from the plot's context menu, results
// on the plot as fixed texts.
void TestCalcDialogs::mainWindowWiring()
{
    QCoreApplication::setApplicationVersion("1.0.4.0");
    Global::_globalMode = Global::Analysis;
    auto window = std::make_unique<MainWindow>();
    window->show();
    CentralWidget* central = window->findChild<CentralWidget*>();
    QCustomPlot* plot = reinterpret_cast<QCustomPlot*>(central->plot());
    const float signal[] = {1.0f, 3.0f, 4.0f};
    const char* names[] = {"base.xlsx", "sapphire.xlsx", "sample.xlsx"};
    void (EventHandler::*roleSlots[])() = {&EventHandler::slotBaseLine, &EventHandler::slotStandardSample,
                                           &EventHandler::slotSample};
    for (int role = 0; role < 3; ++role) {
        auto* curve = new QCPCurve(plot->xAxis, plot->yAxis);
        curve->setObjectName(names[role]);
        curve->addData(0.0, 100.0, 1.0);
        Global::_curveFileDataVtr.append(workbook(names[role], curve, signal[role]));
        plot->deselectAll();
        curve->setSelection(QCPDataSelection(curve->data()->dataRange()));
        (central->eventHandler()->*roleSlots[role])();
    }

    window->findChild<QAction*>("actionSpecificHeatCompMethod")->trigger();
    auto* specificHeat = window->findChild<SpecificHeatComparisonMethodForm*>();
    setField(specificHeat, "LineEditTemperature", "100");
    click(specificHeat, "pushButtonCalculate");

    window->findChild<QAction*>("actionDegreeOfCrystallinity")->trigger();
    auto* crystallinity = window->findChild<DegreeOfCrystallinityForm*>();
    setField(crystallinity, "LineEditEnthalpyOfCrystallization", "50");
    setField(crystallinity, "LineEditEnthalpyOfColdCrystallization", "10");
    setField(crystallinity, "LineEditTheoreticalEnthalpy", "140");
    click(crystallinity, "pushButtonCalculate");

    QStringList fixedTexts;
    for (int i = 0; i < plot->itemCount(); ++i) {
        auto* text = qobject_cast<QCPItemText*>(plot->item(i));
        if (text && text->objectName() == "fixed")
            fixedTexts << text->text();
    }
    QCOMPARE(fixedTexts, (QStringList{"100.000℃比热容= 1.056J/(g*℃)", "结晶度Xc(%)= 28.571%"}));

    _dialogs->answers = {QMessageBox::Yes};
    window.reset();
}

QTEST_MAIN(TestCalcDialogs)
#include "tst_calcdialogs.moc"
