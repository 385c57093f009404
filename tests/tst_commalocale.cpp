#include "centralwidget.h"
#include "confighandler.h"
#include "enthalpydatacorrectionform.h"
#include "global.h"
#include "localcustomplot.h"
#include "mainwindow.h"
#include "pagerecorder.h"
#include "printpreviewform.h"
#include "windowtesthelpers.h"
#include "xlsxhandler.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cstdio>

#include <locale.h>

// Files written while the process or the writing thread runs in a locale
// whose decimal separator is a comma (German here): every number must still
// be written with a point. The machine need not have such a locale; one is
// compiled for the test.
class TestCommaLocale : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void workbookNumbers_data();
    void workbookNumbers();
    void otherFiles();

private:
    static QString run(const QString& program, const QStringList& arguments);

    QTemporaryDir _locales;
    locale_t _comma = locale_t(nullptr);
};

QString TestCommaLocale::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).append(QLatin1String(""));
}

void TestCommaLocale::initTestCase()
{
    if (!QFile::exists("/usr/share/i18n/locales/de_DE"))
        QSKIP("no locale sources (Debian package locales)");
    QVERIFY(!run("localedef", {"-i", "de_DE", "-f", "UTF-8", _locales.filePath("de_DE.UTF-8")}).isNull());
    qputenv("LOCPATH", QFile::encodeName(_locales.path()));
    _comma = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t(nullptr));
    QVERIFY(_comma);
}

void TestCommaLocale::cleanupTestCase()
{
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    if (_comma)
        ::freelocale(_comma);
}

static QString printed(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return QString::fromLatin1(text);
}

void TestCommaLocale::workbookNumbers_data()
{
    QTest::addColumn<bool>("processWide");
    QTest::newRow("the process's locale, as Qt sets it from the environment, saved through the window") << true;
    QTest::newRow("a locale of the writing thread only, through the writer") << false;
}

// The cells a reader gets are the decimals typed below, each as written by
// hand: openpyxl reads them, and so does our reader, point by point (in the
// same locale).
void TestCommaLocale::workbookNumbers()
{
    QFETCH(bool, processWide);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xlsx");
    Global::_experimentInfo = {"PE", "5.2", "", "", 0, {PhaseInfoData{1, 150.5f, 10.25f, 3, 1}}};
    Global::_experimentDataVtr = {{nullptr, "1", {{0.5f, 0.25f, 30.3f, -0.7f}, {1.5f, 1.75f, 31.3f, 1.5f}}}};
    Global::_analysisOperationVtr = {{Global::ExperimentKey, 4, 30.25, 31.5}};
    if (processWide) {
        DialogAnswers dialogs;
        MainWindow window;
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(printed(1.5), QString("1,50"));
        dialogs.fileNames = QStringList{path};
        QVERIFY(window.saveFile("run", Global::Experiment));
        QVERIFY(dialogs.boxes.isEmpty());
    } else {
        const locale_t previous = ::uselocale(_comma);
        const bool written = XlsxHandler::writeExperimentFile(path);
        const QString after = printed(1.5);
        ::uselocale(previous);
        QVERIFY(written);
        QCOMPARE(after, QString("1,50")); // the caller's locale is left as it was
    }
    Global::_analysisOperationVtr.clear();

    const QStringList cells = run(QUARNEL_PYTHON, {QUARNEL_SOURCE_DIR "/tests/support/xlsxfixture.py", "dump", path})
                                  .split('\n', Qt::SkipEmptyParts);
    for (const char* cell : {"11 2 n 150.5", "12 2 n 10.25", "16 2 n 0.5", "16 3 n 30.3", "16 4 n -0.7",
                             "16 5 n 0.25", "17 2 n 1.5", "17 3 n 31.3", "17 4 n 1.5", "17 5 n 1.75",
                             "19 2 n 30.25", "19 3 n 31.5"})
        QVERIFY2(cells.contains(cell), cell);
    Global::CurveFileData file;
    QCOMPARE(XlsxHandler::readFile(path, file), 0);
    QCOMPARE(file.phases.size(), 1);
    QCOMPARE(float(file.phases.first().phase.cutoffTemp), 150.5f);
    QCOMPARE(file.phases.first().data.size(), 2);
    QCOMPARE(file.phases.first().data.at(1).temperature, 31.3f);
    QCOMPARE(file.phases.first().data.at(1).constantTempTime, 1.75f);
    QCOMPARE(file.analysisOperations.size(), 1);
    QCOMPARE(file.analysisOperations.first().x1, 30.25);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
}

// "config.json", the enthalpy-correction table and the printed page, each
// written under the comma locale.
void TestCommaLocale::otherFiles()
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTemporaryDir dir;
    DialogAnswers dialogs;

    QVERIFY(ConfigHandler::storeCoefficient(1.25f));
    QFile config(Global::ConfigFilePath);
    QVERIFY(config.open(QIODevice::ReadOnly));
    QVERIFY(config.readAll().contains("\"InstrumentCoefficient\": 1.25"));

    EnthalpyDataCorrectionForm table;
    table.findChild<QCheckBox*>("checkBoxIn")->setChecked(true);
    table.findChild<QLineEdit*>("lineEditMeasIn")->setText("28.5");
    table.findChild<QLineEdit*>("lineEditHeatingRate")->setText("10.5");
    dialogs.fileNames = QStringList{dir.filePath("table.json")};
    table.findChild<QPushButton*>("pushButtonSave")->click();
    QFile json(dir.filePath("table.json"));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QByteArray tableText = json.readAll();
    // 156.6 is indium's preset temperature; 10.5 typed above.
    QVERIFY2(tableText.contains("\"heatingRate\": 10.5") && tableText.contains("\"temperature\": 156.6"),
             tableText.constData());

    // The page prints the stage settings and, in its picture of the plot, the axes' tick labels.
    Global::CurveFileData loaded;
    loaded.fileName = "run.xlsx";
    Global::PhaseTotalInfo stage;
    stage.phaseIndex = 1;
    stage.phase = PhaseInfoData{1, 150.5f, 10.25f, 3, 1};
    loaded.phases = {stage};
    PrintPreviewForm form;
    form.setDescribedFile(loaded);
    PageRecorder printer;
    form.slotPaintRequested(&printer);
    const QString page = printer.lines().join('\n');
    QVERIFY2(page.contains("150.500") && page.contains("10.250") && !page.contains("150,5"), qPrintable(page));
    CentralWidget plot;
    plot.plot()->xAxis->setRange(0.5, 1.5);
    plot.plot()->replot();
    const QString ticks = QStringList(plot.plot()->xAxis->tickVectorLabels().toList()).join(' ');
    QVERIFY2(ticks.contains('.') && !ticks.contains(','), qPrintable(ticks));
}

QTEST_MAIN(TestCommaLocale)
#include "tst_commalocale.moc"
