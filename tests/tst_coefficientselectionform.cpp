#include "coefficientselectionform.h"
#include "global.h"
#include "pointcalculate.h"
#include "windowtesthelpers.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cmath>

namespace {

const QVector<double> Untouched{7.0, 8.0, 9.0};

// Rows (100, 1.0), (200, 1.1), (300, 1.4): second difference 0.2 = 2a * 100^2,
// so a = 1e-5, then b = -0.002 and c = 1.1 from the first two rows.
const char* ExactTable = R"({"atomsphereData": {"atmosphere": 1, "heatingRate": 10},
    "sampleData": [{"rate": 1.0, "temperature": 100}, {"rate": 1.1, "temperature": 200},
                   {"rate": 1.4, "temperature": 300}]})";

bool near(double actual, double expected)
{
    return std::fabs(actual - expected) <= 1e-12 + 1e-7 * std::fabs(expected);
}

} // namespace

class TestCoefficientSelectionForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void singlePoint_data();
    void singlePoint();
    void multiPointFit_data();
    void multiPointFit();
    void peakAreaUsesTheFittedQuadratic();

private:
    void click(const char* button) { _form->findChild<QPushButton*>(button)->click(); }
    void type(const char* edit, const QString& text) { _form->findChild<QLineEdit*>(edit)->setText(text); }
    void chooseMultiPoint() { _form->findChild<QRadioButton*>("radioButtonMultiPointCoefficient")->setChecked(true); }
    void confirmTable(const QByteArray& table);

    std::unique_ptr<DialogAnswers> _dialogs;
    std::unique_ptr<CoefficientSelectionForm> _form;
};

void TestCoefficientSelectionForm::init()
{
    Global::_configMap = {{Global::InstrumentCoefficientKey, QVariant(1.0)}};
    Global::_enthalpyCoefficientEnableFlag = false;
    Global::_enthalpyCoefficientVtr = Untouched;
    QFile::remove(Global::ConfigFilePath);
    _dialogs = std::make_unique<DialogAnswers>();
    _form = std::make_unique<CoefficientSelectionForm>();
    _form->show();
}

void TestCoefficientSelectionForm::cleanup()
{
    _form.reset();
    _dialogs.reset();
    for (const QString& name : QDir().entryList({"*.json"}, QDir::Files))
        QFile::remove(name);
}

// Chooses the multi-point fit, reads the table from a file (none if null) and confirms.
void TestCoefficientSelectionForm::confirmTable(const QByteArray& table)
{
    chooseMultiPoint();
    if (!table.isNull()) {
        QFile file("table.json");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(table) == table.size());
        file.close();
        _dialogs->fileNames = QStringList{"table.json"};
        click("pushButtonSelectFile");
    }
    click("pushButtonConfirm");
}

void TestCoefficientSelectionForm::singlePoint_data()
{
    QTest::addColumn<QString>("theory");
    QTest::addColumn<QString>("measured");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("fileValue"); // the float widened, as config.json holds it; 0: refused

    QTest::newRow("indium 28.42 over 28.0") << "28.42" << "28.0" << "1.015"
                                            << static_cast<double>(28.42f / 28.0f);
    QTest::newRow("empty measured: inf refused") << "28.42" << "" << "inf" << 0.0;
    QTest::newRow("both zero: nan refused") << "0" << "0" << "nan" << 0.0;
    QTest::newRow("empty theory: 0 refused") << "" << "28.0" << "0.000" << 0.0;
    QTest::newRow("negative theory refused") << "-28.42" << "28.0" << "-1.015" << 0.0;
}

void TestCoefficientSelectionForm::singlePoint()
{
    QFETCH(QString, theory);
    QFETCH(QString, measured);
    QFETCH(QString, shown);
    QFETCH(double, fileValue);
    const bool stored = fileValue != 0.0;
    Global::_enthalpyCoefficientEnableFlag = true;
    type("LineEditTheory", theory);
    type("LineEditActualMeasurement", measured);
    click("pushButtonCalculate");
    QCOMPARE(_form->findChild<QLineEdit*>("LineEditCoefficient")->text(), shown);
    type("LineEditCoefficient", "5"); // typed by hand: not what is stored
    click("pushButtonConfirm");

    QCOMPARE(QFile::exists(Global::ConfigFilePath), stored);
    QCOMPARE(_dialogs->boxTitles(), stored ? QStringList() : QStringList{"warnning"});
    QCOMPARE(_form->isVisible(), !stored);
    QCOMPARE(Global::_enthalpyCoefficientEnableFlag, !stored);
    QCOMPARE(Global::_enthalpyCoefficientVtr, Untouched);
    if (stored) {
        QFile file(Global::ConfigFilePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(config.value("InstrumentCoefficient").toDouble(), fileValue);
        QCOMPARE(Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble(), fileValue);
    } else {
        QCOMPARE(Global::_configMap.value(Global::InstrumentCoefficientKey).toDouble(), 1.0);
    }
}

void TestCoefficientSelectionForm::multiPointFit_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QVector<double>>("expected");
    QTest::addColumn<bool>("warns");

    QTest::newRow("exact quadratic through three rows") << QByteArray(ExactTable)
                                                        << QVector<double>{1e-5, -0.002, 1.1} << false;
    // Normal equations by hand: 98a+36b+14c=10, 36a+14b+6c=4, 14a+6b+4c=2
    // give a = 0, b = 0.2, c = 0.2 (residuals -0.2, 0.6, -0.6, 0.2).
    QTest::newRow("least squares over four rows")
        << QByteArray(R"({"sampleData": [{"temperature": 0, "rate": 0}, {"temperature": 1, "rate": 1},
                          {"temperature": 2, "rate": 0}, {"temperature": 3, "rate": 1}]})")
        << QVector<double>{0.0, 0.2, 0.2} << false;
    // Refused (empty expectation): the correction stays as it was, the dialog
    // open. A table that is no JSON is only logged; a table that cannot
    // determine a parabola (fewer than three distinct temperatures) or gives
    // one that is not finite is refused with a box.
    QTest::newRow("no file read yet") << QByteArray() << QVector<double>() << false;
    QTest::newRow("cut off") << QByteArray(R"({"sampleData": [{"temperature": 1,)") << QVector<double>() << false;
    QTest::newRow("two rows") << QByteArray(R"({"sampleData": [{"temperature": 1, "rate": 1},
                                                 {"temperature": 2, "rate": 1}]})") << QVector<double>() << true;
    QTest::newRow("indium twice and tin: two temperatures")
        << QByteArray(R"({"sampleData": [{"temperature": 156.6, "rate": 1.015}, {"temperature": 156.6,
                          "rate": 1.02}, {"temperature": 231.9, "rate": 1.0036}]})") << QVector<double>() << true;
    QTest::newRow("one temperature three times")
        << QByteArray(R"({"sampleData": [{"temperature": 5, "rate": 1}, {"temperature": 5, "rate": 2},
                          {"temperature": 5, "rate": 3}]})") << QVector<double>() << true;
    QTest::newRow("temperatures past the double range")
        << QByteArray(R"({"sampleData": [{"temperature": 1e300, "rate": 1}, {"temperature": 2e300, "rate": 2},
                          {"temperature": 3e300, "rate": 3}]})") << QVector<double>() << true;
}

void TestCoefficientSelectionForm::multiPointFit()
{
    QFETCH(QByteArray, table);
    QFETCH(QVector<double>, expected);
    QFETCH(bool, warns);
    confirmTable(table);

    QCOMPARE(Global::_enthalpyCoefficientEnableFlag, !expected.isEmpty());
    QCOMPARE(_form->isVisible(), expected.isEmpty());
    QCOMPARE(_dialogs->boxTitles(), warns ? QStringList{"warnning"} : QStringList());
    if (expected.isEmpty())
        QCOMPARE(Global::_enthalpyCoefficientVtr, Untouched);
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY2(near(Global::_enthalpyCoefficientVtr.at(i), expected.at(i)),
                 qPrintable(QString::number(Global::_enthalpyCoefficientVtr.at(i), 'g', 17)));
    }
    QVERIFY(!QFile::exists(Global::ConfigFilePath));
}

// Triangle (200,0), (201,2), (202,0) on a zero baseline: area 2. The fitted
// quadratic at the region start 200 is 1.1 (the exact table's second row),
// while config.json says 1, so the result is 2 * 1.1 * 8.177 = 17.9894.
void TestCoefficientSelectionForm::peakAreaUsesTheFittedQuadratic()
{
    confirmTable(ExactTable);
    QVector<Global::ExperimentData> curve(3);
    curve[0].temperature = 200.0f;
    curve[1].temperature = 201.0f;
    curve[1].dsc = 2.0f;
    curve[2].temperature = 202.0f;
    PointCalculate::setExperimentData(curve);
    PointCalculate::startPoint = QPointF(200, 0);
    PointCalculate::endPoint = QPointF(202, 0);
    QVERIFY(qAbs(PointCalculate::calculateArea() - 17.9894f) < 1e-4f);
}

QTEST_MAIN(TestCoefficientSelectionForm)
#include "tst_coefficientselectionform.moc"
