#include "centralwidget.h"
#include "mainwindow.h"
#include "printpreviewform.h"
#include "windowtesthelpers.h"

#include <QAction>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPaintEngine>
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

// A paint device that keeps the texts drawn on it and nothing else.
class TextRecorder : public QPaintDevice
{
public:
    QPaintEngine* paintEngine() const override { return &_engine; }
    QStringList texts() const { return _engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 20000;
        case PdmDepth:
            return 32;
        default:
            return 96;
        }
    }

private:
    struct Engine : QPaintEngine
    {
        Engine()
            : QPaintEngine(AllFeatures)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return User; }
        QStringList texts;
    };
    mutable Engine _engine;
};

} // namespace

Q_DECLARE_METATYPE(Global::PhaseTotalInfo)
Q_DECLARE_METATYPE(Global::CurveFileData)

// The report is painted into a PDF printer, as the print dialog would print
// it, and read back with poppler's tools.
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

private:
    QString paintToPdf(QPrinter::Orientation orientation = QPrinter::Portrait);
    QStringList reportLines(const QString& pdf);

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

// Lines of the page as pdftotext lays them out, blanks collapsed; the CJK
// font maps some characters to their Kangxi radical forms, which NFKC undoes.
QStringList TestPrintPreviewForm::reportLines(const QString& pdf)
{
    const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QStringList lines;
    for (const QString& line : text.normalized(QString::NormalizationForm_KC).split(QLatin1Char('\n')))
        if (!line.simplified().isEmpty())
            lines << line.simplified();
    return lines;
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
    Global::_curveFileDataVtr << workbook(QStringLiteral("run.xlsx"), phases);

    const QStringList lines = reportLines(paintToPdf());

    QStringList stageLines;
    for (const QString& line : lines)
        if (line.contains(QStringLiteral("阶段:")))
            stageLines << line.mid(line.indexOf(QStringLiteral("阶段:")));
    for (QString& line : printed)
        line = line.normalized(QString::NormalizationForm_KC);
    QCOMPARE(stageLines, printed);
}

void TestPrintPreviewForm::sampleInformation_data()
{
    QTest::addColumn<QVector<Global::CurveFileData>>("loaded");
    QTest::addColumn<QStringList>("expected");

    auto percent = workbook(QStringLiteral("percent.xlsx"), {});
    percent.info.sampleName = QStringLiteral("PE%2");
    QTest::newRow("sample texts as stored")
        << QVector<Global::CurveFileData>{workbook(QStringLiteral("indium-10K.xlsx"), {})}
        << QStringList{"设备：差式扫描量热仪 文件名：indium-10K.xlsx", "样品名称：Indium", "样品重量：12.5 mg",
                       "实验日期：2025-06-11 14:22:36", "实验人员：Li"};
    QTest::newRow("percent sign in a sample name")
        << QVector<Global::CurveFileData>{percent} << QStringList{"样品名称：PE%2", "样品重量：12.5 mg"};
    QTest::newRow("first of two loaded workbooks")
        << QVector<Global::CurveFileData>{workbook(QStringLiteral("first.xlsx"), {}),
                                          workbook(QStringLiteral("second.xlsx"), {})}
        << QStringList{"文件名：first.xlsx"};
    QTest::newRow("no workbook loaded: fixed words only")
        << QVector<Global::CurveFileData>{}
        << QStringList{"设备：差式扫描量热仪 文件名：", "样品名称：", "样品重量： mg", "实验日期：", "实验人员："};
}

void TestPrintPreviewForm::sampleInformation()
{
    QFETCH(QVector<Global::CurveFileData>, loaded);
    QFETCH(QStringList, expected);
    Global::_curveFileDataVtr = loaded;

    const QStringList lines = reportLines(paintToPdf());

    for (const QString& printed : expected) {
        // Normalised as the read-back lines are (the full-width colon too).
        const QString text = printed.normalized(QString::NormalizationForm_KC);
        const bool found = std::any_of(lines.cbegin(), lines.cend(), [&text](const QString& line) {
            return line == text || line.startsWith(text + QLatin1Char(' ')) || line.endsWith(QLatin1Char(' ') + text);
        });
        QVERIFY2(found, qPrintable(text + QStringLiteral(" not in: ") + lines.join(QLatin1Char('|'))));
    }
    QVERIFY(!lines.join(QLatin1Char('\n')).contains(QStringLiteral("second.xlsx")));
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
    Global::_curveFileDataVtr << workbook(QStringLiteral("run.xlsx"), {stage(1, true, 150.0f, 10.0f, 5, 1)});
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
    window.findChild<QAction*>(QStringLiteral("actionPrintPreview"))->trigger();
    QVERIFY(form->printPreviewDialog()->windowState() & Qt::WindowMaximized);
    QVERIFY(!form->isVisible());

    Global::_curveFileDataVtr << workbook(QStringLiteral("through-dialog.xlsx"), {});
    const QString path = _dir->filePath(QStringLiteral("dialog.pdf"));
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    emit form->printPreviewDialog()->paintRequested(&pdf);
    form->printPreviewDialog()->close();
    QVERIFY(reportLines(path).join(QLatin1Char('\n')).contains(QStringLiteral("through-dialog.xlsx")));
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
        TextRecorder page;
        QPainter painter(&page);
        scene->render(&painter);
        painter.end();
        dialog->close();
        return page.texts().join(QLatin1Char('|'));
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

QTEST_MAIN(TestPrintPreviewForm)
#include "tst_printpreviewform.moc"
