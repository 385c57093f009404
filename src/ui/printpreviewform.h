#ifndef PRINTPREVIEWFORM_H
#define PRINTPREVIEWFORM_H

#include "global.h"

#include <QPixmap>
#include <QRect>
#include <QWidget>

class Ui_PrintPreviewForm;
class QPainter;
class QPrinter;
class QPrintPreviewDialog;

// Owns the printer and the print preview of the one-page report: the plot
// picture and the file name, sample information and temperature programme of
// the workbook (or run) it shows, on a landscape A4 page.
class PrintPreviewForm : public QWidget
{
    Q_OBJECT

public:
    explicit PrintPreviewForm(QWidget* parent = nullptr);
    ~PrintPreviewForm() override;

    void setPixmap(const QPixmap& pixmap);
    void setDescribedFile(const Global::CurveFileData& file);
    void showPreview();
    QPrintPreviewDialog* printPreviewDialog() const;
    QPrinter* printer() const;

public slots:
    void slotPaintRequested(QPrinter* printer);

private:
    void paintPage(QPainter& painter, const QRect& page, const Global::CurveFileData& file, double unit) const;
    static QString sampleText(const Global::ExperimentInfo& info);
    static QString phaseText(const QVector<Global::PhaseTotalInfo>& phases);

    QPrintPreviewDialog* _printPreviewDialog;
    Ui_PrintPreviewForm* _ui;
    // Outlives the preview dialog, which keeps a pointer to it.
    QPrinter* _printer;
    QPixmap _pixmap;
    // Empty (fixed words only) until a picture of a curve is given.
    Global::CurveFileData _file;
    bool _previewShown;
};

#endif // PRINTPREVIEWFORM_H
