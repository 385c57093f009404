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
#include <QTextEdit>
#include <QtTest>

#include <cmath>

namespace {

const QVector<double> Untouched{7.0, 8.0, 9.0};

// Rows (100, 1.0), (200, 1.1), (300, 1.4): second difference 0.2 = 2a * 100^2,
// so a = 1e-5, then b = -0.002 and c = 1.1 from the first two rows.
const char* ExactTable = R"({"atomsphereData": {"atmosphere": 1, "heatingRate": 10},
    "sampleData": [{"rate": 1.0, "temperature": 100}, {"rate": 1.1, "temperature": 200},
                   {"rate": 1.4, "temperature": 300}]})";

void writeFile(const QString& name, const QByteArray& content)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

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
    void refusals_data();
    void refusals();
    void fileSelection();
    void peakAreaUsesTheFittedQuadratic();

private:
    void click(const char* button) { _form->findChild<QPushButton*>(button)->click(); }
    void type(const char* edit, const QString& text) { _form->findChild<QLineEdit*>(edit)->setText(text); }
    void chooseMultiPoint() { _form->findChild<QRadioButton*>("radioButtonMultiPointCoefficient")->setChecked(true); }
    void selectFile(const QString& path);
    void confirmTable(const QByteArray& table);
    QString fileText() const { return _form->findChild<QTextEdit*>("textEditFileContent")->toPlainText(); }

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
    for (const QString& name : QDir().entryList({"*.json"}, QDir::Files)) {
        QFile::remove(name);
    }
}

void TestCoefficientSelectionForm::selectFile(const QString& path)
{
    _dialogs->fileNames = QStringList{path};
    click("pushButtonSelectFile");
}

// Chooses the multi-point fit, reads the table from a file (none if null) and confirms.
void TestCoefficientSelectionForm::confirmTable(const QByteArray& table)
{
    chooseMultiPoint();
    if (!table.isNull()) {
        writeFile("table.json", table);
        selectFile("table.json");
    }
    click("pushButtonConfirm");
}

void TestCoefficientSelectionForm::singlePoint_data()
{
    QTest::addColumn<QString>("theory");
    QTest::addColumn<QString>("measured"); // null: "计算" not pressed
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<double>("fileValue"); // the float widened, as config.json holds it

    QTest::newRow("indium 28.42 over 28.0") << "28.42" << "28.0" << "1.015" << true
                                            << static_cast<double>(28.42f / 28.0f);
    QTest::newRow("without 计算 the constructed K") << "" << QString() << "1.000" << true << 1.0;
    QTest::newRow("empty measured: inf refused") << "28.42" << "" << "inf" << false << 0.0;
    QTest::newRow("both zero: nan refused") << "0" << "0" << "nan" << false << 0.0;
    QTest::newRow("empty theory: 0 refused") << "" << "28.0" << "0.000" << false << 0.0;
    QTest::newRow("negative theory refused") << "-28.42" << "28.0" << "-1.015" << false << 0.0;
}

void TestCoefficientSelectionForm::singlePoint()
{
    QFETCH(QString, theory);
    QFETCH(QString, measured);
    QFETCH(QString, shown);
    QFETCH(bool, stored);
    QFETCH(double, fileValue);
    Global::_enthalpyCoefficientEnableFlag = true;
    if (!measured.isNull()) {
        type("LineEditTheory", theory);
        type("LineEditActualMeasurement", measured);
        click("pushButtonCalculate");
    }
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

    QTest::newRow("exact quadratic through three rows") << QByteArray(ExactTable)
                                                        << QVector<double>{1e-5, -0.002, 1.1};
    // Normal equations by hand: 98a+36b+14c=10, 36a+14b+6c=4, 14a+6b+4c=2
    // give a = 0, b = 0.2, c = 0.2 (residuals -0.2, 0.6, -0.6, 0.2).
    QTest::newRow("least squares over four rows")
        << QByteArray(R"({"sampleData": [{"temperature": 0, "rate": 0}, {"temperature": 1, "rate": 1},
                          {"temperature": 2, "rate": 0}, {"temperature": 3, "rate": 1}]})")
        << QVector<double>{0.0, 0.2, 0.2};
    // A non-object element, a string temperature and a null rate read as 0,
    // so the rows are (0,0), (1,1), (2,4), (0,0), (0,0): y = x^2.
    QTest::newRow("what is missing or mistyped counts as 0")
        << QByteArray(R"({"sampleData": ["junk", {"temperature": 1, "rate": 1}, {"temperature": 2, "rate": 4},
                          {"temperature": "3", "rate": 0}, {"temperature": 0, "rate": null}]})")
        << QVector<double>{1.0, 0.0, 0.0};
}

void TestCoefficientSelectionForm::multiPointFit()
{
    QFETCH(QByteArray, table);
    QFETCH(QVector<double>, expected);
    confirmTable(table);

    QVERIFY(Global::_enthalpyCoefficientEnableFlag);
    QCOMPARE(Global::_enthalpyCoefficientVtr.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(near(Global::_enthalpyCoefficientVtr.at(i), expected.at(i)),
                 qPrintable(QString::number(Global::_enthalpyCoefficientVtr.at(i), 'g', 17)));
    }
    QVERIFY(!_form->isVisible());
    QVERIFY(!QFile::exists(Global::ConfigFilePath));
}

// Each leaves the correction as it was and the dialog open.
void TestCoefficientSelectionForm::refusals_data()
{
    QTest::addColumn<QByteArray>("table"); // null: no file chosen at all
    QTest::newRow("no file read yet") << QByteArray();
    QTest::newRow("cut off") << QByteArray(R"({"sampleData": [{"temperature": 1,)");
    QTest::newRow("nested past the parser's limit") << QByteArray(5000, '[') + QByteArray(5000, ']');
    QTest::newRow("root is an array") << QByteArray("[1, 2, 3]");
    QTest::newRow("sampleData not an array") << QByteArray(R"({"sampleData": {"a": 1, "b": 2, "c": 3}})");
    QTest::newRow("two rows") << QByteArray(R"({"sampleData": [{"temperature": 1, "rate": 1},
                                                 {"temperature": 2, "rate": 1}]})");
    QTest::newRow("one temperature three times: singular")
        << QByteArray(R"({"sampleData": [{"temperature": 5, "rate": 1}, {"temperature": 5, "rate": 2},
                          {"temperature": 5, "rate": 3}]})");
    QTest::newRow("temperatures past the double range")
        << QByteArray(R"({"sampleData": [{"temperature": 1e300, "rate": 1}, {"temperature": 2e300, "rate": 2},
                          {"temperature": 3e300, "rate": 3}]})");
}

void TestCoefficientSelectionForm::refusals()
{
    QFETCH(QByteArray, table);
    confirmTable(table);

    QVERIFY(!Global::_enthalpyCoefficientEnableFlag);
    QCOMPARE(Global::_enthalpyCoefficientVtr, Untouched);
    QVERIFY(_form->isVisible());
    QVERIFY(!QFile::exists(Global::ConfigFilePath));
}

// Markup is shown as it stands; a cancelled, unreadable, folder, oversized or
// later-changed file leaves the table read first in force.
void TestCoefficientSelectionForm::fileSelection()
{
    chooseMultiPoint();
    const QByteArray table = QByteArray(ExactTable).replace("\"atmosphere\": 1", "\"atmosphere\": \"<b>1</b>\"");
    writeFile("table.json", table);
    selectFile("table.json");
    QCOMPARE(fileText(), QString::fromUtf8(table));

    selectFile(QString());
    selectFile("missing.json");
    selectFile(QDir::currentPath());
    writeFile("huge.json", QByteArray(CoefficientSelectionForm::MaxTableFileSize + 1, ' '));
    selectFile("huge.json");
    writeFile("table.json", "[]");
    QCOMPARE(fileText(), QString::fromUtf8(table));
    click("pushButtonConfirm");
    QVERIFY(Global::_enthalpyCoefficientEnableFlag);
    QVERIFY(near(Global::_enthalpyCoefficientVtr.at(2), 1.1));
}

// Triangle (200,0), (201,2), (202,0) on a zero baseline: area 2. The fitted
// quadratic at the region start 200 is 1.1 (the exact table's second row),
// while config.json says 1, so the result is 2 * 1.1 * 8.177 = 17.9894.
// Choosing the single point afterwards switches the fit off but keeps it.
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

    const QVector<double> fitted = Global::_enthalpyCoefficientVtr;
    _form->show();
    _form->findChild<QRadioButton*>("radioButtonSinglePointCoefficient")->setChecked(true);
    click("pushButtonConfirm");
    QVERIFY(!Global::_enthalpyCoefficientEnableFlag);
    QCOMPARE(Global::_enthalpyCoefficientVtr, fitted);
    QVERIFY(QFile::exists(Global::ConfigFilePath));
}

QTEST_MAIN(TestCoefficientSelectionForm)
#include "tst_coefficientselectionform.moc"
