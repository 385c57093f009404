#include "printpreviewform.h"

#include "ui_printpreviewform.h"

#include <easylogging++.h>

#include <QDebug>
#include <QMap>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace {

const Qt::Alignment TextAlignment = Qt::AlignLeft | Qt::AlignVCenter;

QString atmosphereText(quint32 code)
{
    const QStringList& names = Global::AtmosphereNames;
    return code < static_cast<quint32>(names.size()) ? names.at(static_cast<int>(code)) : QString();
}

} // namespace

PrintPreviewForm::PrintPreviewForm(QWidget* parent)
    : QWidget(parent)
    , _printPreviewDialog(nullptr)
    , _ui(new Ui_PrintPreviewForm)
    , _printer(new QPrinter(QPrinter::HighResolution))
    , _previewShown(false)
{
    _ui->setupUi(this);
    _printer->setPageSize(QPageSize(QPageSize::A4));
    _printer->setPageOrientation(QPageLayout::Landscape);
    _printPreviewDialog = new QPrintPreviewDialog(_printer, this);
    connect(_printPreviewDialog, &QPrintPreviewDialog::paintRequested, this, &PrintPreviewForm::slotPaintRequested);
    _printPreviewDialog->setWindowFlags(_printPreviewDialog->windowFlags() | Qt::WindowMinimizeButtonHint
                                        | Qt::WindowMaximizeButtonHint);
}

// The preview dialog goes first: it refers to the printer until it is gone.
PrintPreviewForm::~PrintPreviewForm()
{
    delete _printPreviewDialog;
    delete _printer;
    delete _ui;
}

void PrintPreviewForm::setPixmap(const QPixmap& pixmap)
{
    _pixmap = pixmap;
}

void PrintPreviewForm::setDescribedFile(const Global::CurveFileData& file)
{
    _file = file;
}

// The preview dialog lays out its page only the first time it is shown; each
// later opening asks for the page again, so the preview shows what the
// workspace holds now and not what it held at the first opening.
void PrintPreviewForm::showPreview()
{
    if (_previewShown)
        _printPreviewDialog->findChild<QPrintPreviewWidget*>()->updatePreview();
    _previewShown = true;
    _printPreviewDialog->showMaximized();
}

QPrintPreviewDialog* PrintPreviewForm::printPreviewDialog() const
{
    return _printPreviewDialog;
}

QPrinter* PrintPreviewForm::printer() const
{
    return _printer;
}

// With no curve described the page still shows the plot, with the fixed
// words and empty values.
void PrintPreviewForm::slotPaintRequested(QPrinter* printer)
{
    printer->setPageOrientation(QPageLayout::Landscape);
    QPainter painter(printer);
    if (!painter.isActive()) {
        qDebug() << "printer could not be opened for painting";
        return;
    }
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    qDebug() << "rect:" << page;
    paintPage(painter, page, _file, printer->resolution() / 96.0);
    painter.end();
}

// The page is laid out in 1/96 inch, the unit its boxes were drawn for: in
// raw printer pixels (1200 per inch in high resolution) the 170-unit strip
// would be 3.6 mm high and the text, sized in points, would spill off the page.
void PrintPreviewForm::paintPage(QPainter& painter, const QRect& page, const Global::CurveFileData& file,
                                 double unit) const
{
    const auto u = [unit](int length) { return qRound(length * unit); };
    const int w = page.width();
    const int h = page.height();
    painter.setPen(QPen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRect(QRect(u(50), u(50), w - u(100), h - u(100)));

    const QRect plotArea(u(50), u(50), w - u(100), h - u(300));
    if (_pixmap.isNull()) {
        qDebug() << " file not exist";
    } else {
        painter.drawPixmap(plotArea, _pixmap);
    }

    const QRect fileBand(u(50), u(50) + (h - u(300)), w - u(100), u(30));
    painter.drawRect(fileBand);
    painter.drawText(fileBand, TextAlignment, QStringLiteral("  设备：差式扫描量热仪  文件名：") + file.fileName);

    const QRect sampleBox(u(50), h - u(220), u(400), u(170));
    painter.drawRect(sampleBox);
    painter.drawText(sampleBox, TextAlignment, sampleText(file.info));

    const QRect phaseBox(u(450), h - u(220), w - u(500), u(170));
    LOG(DEBUG) << "phaseTotalVtr size:" << file.phases.size();
    painter.drawText(phaseBox, TextAlignment, phaseText(file.phases));
}

// One substitution for all four: a sample text holding "%2" or the like is
// printed as typed, not filled with the next value.
QString PrintPreviewForm::sampleText(const Global::ExperimentInfo& info)
{
    return QStringLiteral("  样品名称：%1 \n  样品重量：%2 mg\n  实验日期：%3 \n  实验人员：%4 \n")
        .arg(info.sampleName, info.sampleWeight, info.dateTime, info.user);
}

// Stages print in ascending number up to the first disabled one; a later
// entry with the same number replaces an earlier one.
QString PrintPreviewForm::phaseText(const QVector<Global::PhaseTotalInfo>& phases)
{
    QMap<int, PhaseInfoData> byIndex;
    for (const Global::PhaseTotalInfo& phase : phases) {
        LOG(DEBUG) << "cutoff temp:" << float(phase.phase.cutoffTemp);
        byIndex.insert(phase.phaseIndex, phase.phase);
    }
    QString text;
    for (auto it = byIndex.cbegin(); it != byIndex.cend(); ++it) {
        const PhaseInfoData& stage = it.value();
        LOG(DEBUG) << "Key:" << it.key() << ", Onoff:" << static_cast<int>(stage.enabled);
        if (!stage.enabled) {
            break;
        }
        text += QStringLiteral("阶段:%1  截止温度:%2  扫描速率:%3  恒温时间:%4  气氛:%5 \n")
                    .arg(QString::number(it.key()), Global::doubleToString(stage.cutoffTemp),
                         Global::doubleToString(stage.scanRate), Global::doubleToString(stage.constantTempTime),
                         atmosphereText(stage.atmosphere));
    }
    return text;
}
