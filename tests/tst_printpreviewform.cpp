#include "analysistesthelpers.h"
#include "centralwidget.h"
#include "mainwindow.h"
#include "pagerecorder.h"
#include "printpreviewform.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

Global::PhaseTotalInfo stage(int index, bool enabled, float cutoff, float rate, quint16 hold, quint32 atmosphere)
{
    Global::PhaseTotalInfo phase;
    phase.phaseIndex = index;
    phase.phase.enabled = enabled ? 1 : 0;
    phase.phase.cutoffTemp = cutoff;
    phase.phase.scanRate = rate;
    phase.phase.constantTempTime = hold;
    phase.phase.atmosphere = atmosphere;
    return phase;
}

Global::CurveFileData workbook(const QString& fileName, const QVector<Global::PhaseTotalInfo>& phases)
{
    Global::CurveFileData file;
    file.fileName = fileName;
    file.info.sampleName = QStringLiteral("Indium");
    file.info.sampleWeight = QStringLiteral("12.5");
    file.info.dateTime = QStringLiteral("2025-06-11 14:22:36");
    file.info.user = QStringLiteral("Li");
    file.phases = phases;
    return file;
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

Q_DECLARE_METATYPE(Global::PhaseTotalInfo)
Q_DECLARE_METATYPE(Global::CurveFileData)

// The report is painted into a printer that keeps the texts of the page, and
// into a PDF printer, as the print dialog would print it, whose page and
// pictures poppler's tools read back.
class TestPrintPreviewForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stageLines_data();
    void stageLines();
    void sampleInformation_data();
    void sampleInformation();
    void landscapeA4WithPlotPicture_data();
    void landscapeA4WithPlotPicture();
    void previewActionPaintsThroughForm();
    void everyOpeningPaintsTheCurrentPage();
    void pageDescribesThePlottedCurve_data();
    void pageDescribesThePlottedCurve();

private:
    QString paintToPdf(QPrinter::Orientation orientation);
    QStringList paintedLines();
    void verifyPrinted(const QStringList& lines, const QStringList& expected);

    std::unique_ptr<QTemporaryDir> _dir;
    std::unique_ptr<PrintPreviewForm> _form;
};

void TestPrintPreviewForm::init()
{
    _dir = std::make_unique<QTemporaryDir>();
    _form = std::make_unique<PrintPreviewForm>();
    Global::_curveFileDataVtr.clear();
}

void TestPrintPreviewForm::cleanup()
{
    _form.reset();
    Global::_curveFileDataVtr.clear();
}

// The printer starts in the orientation a user may have picked in the
// preview dialog; the page must come out landscape whatever it was.
QString TestPrintPreviewForm::paintToPdf(QPrinter::Orientation orientation)
{
    const QString path = _dir->filePath(QStringLiteral("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(static_cast<QPageLayout::Orientation>(orientation));
    _form->slotPaintRequested(&printer);
    return path;
}

QStringList TestPrintPreviewForm::paintedLines()
{
    PageRecorder page;
    _form->slotPaintRequested(&page);
    return page.lines();
}

void TestPrintPreviewForm::stageLines_data()
{
    QTest::addColumn<QVector<Global::PhaseTotalInfo>>("phases");
    QTest::addColumn<QStringList>("printed");

    const QString line1 = QStringLiteral("阶段:1 截止温度:150.000 扫描速率:10.000 恒温时间:5.000 气氛:N2");
    const QString line2 = QStringLiteral("阶段:2 截止温度:300.500 扫描速率:20.000 恒温时间:0.000 气氛:O2");
    const QString line3 = QStringLiteral("阶段:3 截止温度:40.000 扫描速率:5.000 恒温时间:12.000 气氛:NC");
    const auto s1 = stage(1, true, 150.0f, 10.0f, 5, 1);
    const auto s2 = stage(2, true, 300.5f, 20.0f, 0, 2);
    const auto s3 = stage(3, true, 40.0f, 5.0f, 12, 0);
    auto s2Off = s2;
    s2Off.phase.enabled = 0;

    QTest::newRow("three stages listed 3, 1, 2") << QVector<Global::PhaseTotalInfo>{s3, s1, s2}
                                                  << QStringList{line1, line2, line3};
    QTest::newRow("stages numbered 1 and 3") << QVector<Global::PhaseTotalInfo>{s1, s3} << QStringList{line1, line3};
    QTest::newRow("stage 2 disabled stops the list") << QVector<Global::PhaseTotalInfo>{s1, s2Off, s3}
                                                     << QStringList{line1};
    QTest::newRow("first stage disabled") << QVector<Global::PhaseTotalInfo>{s3, stage(1, false, 150.0f, 10.0f, 5, 1)}
                                          << QStringList{};
    QTest::newRow("repeated stage number: last wins")
        << QVector<Global::PhaseTotalInfo>{stage(1, true, 99.0f, 1.0f, 1, 0), s1} << QStringList{line1};
    QTest::newRow("unknown atmosphere prints nothing")
        << QVector<Global::PhaseTotalInfo>{stage(1, true, 150.0f, 10.0f, 5, 7)}
        << QStringList{QStringLiteral("阶段:1 截止温度:150.000 扫描速率:10.000 恒温时间:5.000 气氛:")};
}

void TestPrintPreviewForm::stageLines()
{
    QFETCH(QVector<Global::PhaseTotalInfo>, phases);
    QFETCH(QStringList, printed);
    _form->setDescribedFile(workbook(QStringLiteral("run.xlsx"), phases));

    QStringList stageLines;
    for (const QString& line : paintedLines())
        if (line.contains(QStringLiteral("阶段:")))
            stageLines << line.mid(line.indexOf(QStringLiteral("阶段:")));
    QCOMPARE(stageLines, printed);
}

void TestPrintPreviewForm::sampleInformation_data()
{
    QTest::addColumn<Global::CurveFileData>("described");
    QTest::addColumn<QStringList>("expected");

    auto percent = workbook(QStringLiteral("percent.xlsx"), {});
    percent.info.sampleName = QStringLiteral("PE%2");
    QTest::newRow("sample texts as stored")
        << workbook(QStringLiteral("indium-10K.xlsx"), {})
        << QStringList{"设备：差式扫描量热仪 文件名：indium-10K.xlsx", "样品名称：Indium", "样品重量：12.5 mg",
                       "实验日期：2025-06-11 14:22:36", "实验人员：Li"};
    QTest::newRow("percent sign in a sample name") << percent << QStringList{"样品名称：PE%2", "样品重量：12.5 mg"};
    QTest::newRow("nothing described: fixed words only")
        << Global::CurveFileData()
        << QStringList{"设备：差式扫描量热仪 文件名：", "样品名称：", "样品重量： mg", "实验日期：", "实验人员："};
}

void TestPrintPreviewForm::sampleInformation()
{
    QFETCH(Global::CurveFileData, described);
    QFETCH(QStringList, expected);
    _form->setDescribedFile(described);
    verifyPrinted(paintedLines(), expected);
}

// Each expected text stands as a line or a blank-separated part of one.
void TestPrintPreviewForm::verifyPrinted(const QStringList& lines, const QStringList& expected)
{
    for (const QString& text : expected) {
        const bool found = std::any_of(lines.cbegin(), lines.cend(), [&text](const QString& line) {
            return line == text || line.startsWith(text + QLatin1Char(' ')) || line.endsWith(QLatin1Char(' ') + text);
        });
        QVERIFY2(found, qPrintable(text + QStringLiteral(" not in: ") + lines.join(QLatin1Char('|'))));
    }
}

void TestPrintPreviewForm::landscapeA4WithPlotPicture_data()
{
    QTest::addColumn<int>("chosenOrientation");
    QTest::addColumn<bool>("withPicture");

    QTest::newRow("portrait chosen, picture") << int(QPrinter::Portrait) << true;
    QTest::newRow("landscape chosen, no picture") << int(QPrinter::Landscape) << false;
}

// A4 is 595.276 x 841.89 points; pdfinfo rounds to 595 x 842.
void TestPrintPreviewForm::landscapeA4WithPlotPicture()
{
    QFETCH(int, chosenOrientation);
    QFETCH(bool, withPicture);
    _form->setDescribedFile(workbook(QStringLiteral("run.xlsx"), {stage(1, true, 150.0f, 10.0f, 5, 1)}));
    if (withPicture) {
        QPixmap picture(888, 666);
        picture.fill(Qt::darkCyan);
        _form->setPixmap(picture);
    }

    const QString pdf = paintToPdf(static_cast<QPrinter::Orientation>(chosenOrientation));

    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+842 x 595 pts \\(A4\\)"))),
             qPrintable(info));
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    const QStringList images =
        run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(images.size() - 2, withPicture ? 1 : 0); // two header lines
}

// "打印预览" shows only the maximised preview dialog, which paints through the form.
void TestPrintPreviewForm::previewActionPaintsThroughForm()
{
    DialogAnswers dialogs;
    MainWindow window;
    auto* form = window.findChild<PrintPreviewForm*>();
    QVERIFY(loadWorkbook(window.findChild<CentralWidget*>(), QStringLiteral(QUARNEL_SOURCE_DIR "/samples/indium.xlsx")));
    window.findChild<QAction*>(QStringLiteral("actionPrintPreview"))->trigger();
    QVERIFY(form->printPreviewDialog()->windowState() & Qt::WindowMaximized);
    QVERIFY(!form->isVisible());

    PageRecorder page;
    emit form->printPreviewDialog()->paintRequested(&page);
    form->printPreviewDialog()->close();
    QVERIFY(page.lines().join(QLatin1Char('\n')).contains(QStringLiteral("indium.xlsx")));
}

// The preview opened with one workbook, another, then the first again: each
// opening paints once, and its page carries the texts of the workbook loaded
// then. (The plot picture is left out of the comparison: the plot's margins
// depend on what it drew before by a pixel or two.)
void TestPrintPreviewForm::everyOpeningPaintsTheCurrentPage()
{
    DialogAnswers dialogs;
    MainWindow window;
    auto* dialog = window.findChild<PrintPreviewForm*>()->printPreviewDialog();
    int painted = 0;
    connect(dialog, &QPrintPreviewDialog::paintRequested, [&painted]() { ++painted; });
    const auto preview = [&](const QString& sample) {
        window.findChild<QAction*>(QStringLiteral("actionClearAllData"))->trigger();
        if (!loadWorkbook(window.findChild<CentralWidget*>(), QStringLiteral(QUARNEL_SOURCE_DIR "/samples/") + sample))
            return QString();
        window.findChild<QAction*>(QStringLiteral("actionPrintPreview"))->trigger();
        // The preview caches each page as a picture of the screen; uncached,
        // it paints the texts themselves.
        QGraphicsScene* scene = dialog->findChild<QGraphicsView*>()->scene();
        for (QGraphicsItem* item : scene->items())
            item->setCacheMode(QGraphicsItem::NoCache);
        PageRecorder page;
        QPainter painter(&page);
        scene->render(&painter);
        painter.end();
        dialog->close();
                return page.lines().join(QLatin1Char('|'));
    };

    const QString indium = preview(QStringLiteral("indium.xlsx"));
    const QString twoStage = preview(QStringLiteral("two-stage.xlsx"));
    const QString indiumAgain = preview(QStringLiteral("indium.xlsx"));

    QCOMPARE(painted, 3);
    QVERIFY2(indium.contains(QStringLiteral("indium.xlsx")), qPrintable(indium));
    QVERIFY2(twoStage.contains(QStringLiteral("two-stage.xlsx")) && !twoStage.contains(QStringLiteral("indium")),
             qPrintable(twoStage));
    QCOMPARE(indiumAgain, indium);
}

void TestPrintPreviewForm::pageDescribesThePlottedCurve_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("absent");
    const QStringList smp{"文件名：smp.xlsx", "样品重量：12.5 mg"};
    QTest::newRow("base.xlsx deleted") << "delete base" << smp << "base.xlsx";
    QTest::newRow("nothing selected: the curve drawn last") << "none" << smp << "base.xlsx";
    QTest::newRow("base.xlsx selected") << "select base" << QStringList{"文件名：base.xlsx", "样品重量：2 mg"}
                                        << "smp.xlsx";
    QTest::newRow("the run's curve selected")
        << "run"
        << QStringList{"样品名称：run-sample", "样品重量：7.5 mg",
                       "阶段:1 截止温度:150.000 扫描速率:10.000 恒温时间:0.000 气氛:N2"}
        << ".xlsx";
}

// base.xlsx (2 mg) and smp.xlsx (12.5 mg) opened in this order, and for the
// last row a run of its own: the page names the curve the picture shows.
void TestPrintPreviewForm::pageDescribesThePlottedCurve()
{
    QFETCH(QString, scenario);
    QFETCH(QStringList, expected);
    QFETCH(QString, absent);
    DialogAnswers dialogs;
    MainWindow window;
    auto* central = window.findChild<CentralWidget*>();
    const QStringList files{"base.xlsx", "smp.xlsx"};
    const QStringList masses{"2", "12.5"};
    for (int i = 0; i < 2; ++i) {
        const QString path = _dir->filePath(files.at(i));
        QVERIFY(AnalysisTest::writeWorkbook(path, {AnalysisTest::curve(AnalysisTest::line)}, masses.at(i)));
        QVERIFY(loadWorkbook(central, path));
    }
    QCPCurve* base = Global::_curveFileDataVtr.first().phases.first().curve;
    if (scenario == "delete base")
        central->slotDelCurve(base);
    if (scenario == "select base")
        base->setSelection(QCPDataSelection(base->data()->dataRange()));
    if (scenario == "run") {
        Global::_experimentInfo.sampleName = QStringLiteral("run-sample");
        Global::_experimentInfo.sampleWeight = QStringLiteral("7.5");
        for (const Global::PhaseTotalInfo& phase : {stage(1, true, 150.0f, 10.0f, 0, 1), stage(2, false, 0.0f, 0.0f, 0, 0)})
            Global::_experimentInfo.phases.append(phase.phase);
        Global::openStageRecord(1);
        for (double temperature : {30.0, 31.0}) {
            CommonData point;
            point.sampleTemp = temperature;
            central->slotRecvCommonData(point);
        }
        central->liveCurve()->setSelection(QCPDataSelection(central->liveCurve()->data()->dataRange()));
    }
    window.findChild<QAction*>(QStringLiteral("actionPrintPreview"))->trigger();
    auto* dialog = window.findChild<PrintPreviewForm*>()->printPreviewDialog();
    PageRecorder page;
    emit dialog->paintRequested(&page);
    dialog->close();
    const QStringList lines = page.lines();
    verifyPrinted(lines, expected);
    QVERIFY2(!lines.join(QLatin1Char('|')).contains(absent), qPrintable(lines.join(QLatin1Char('|'))));
    Global::_experimentInfo = Global::ExperimentInfo();
    Global::clearCurveExperimentData();
}

QTEST_MAIN(TestPrintPreviewForm)
#include "tst_printpreviewform.moc"
