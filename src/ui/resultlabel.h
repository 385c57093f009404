#ifndef RESULTLABEL_H
#define RESULTLABEL_H

#include <qcustomplot.h>

// The label of an analysis result. QCPItemText lays its text out again each
// time it is drawn, each time an anchor of it is asked for (its arrow asks at
// every replot, keeping labels inside the plot asks twice) and at each hit
// test; with thousands of labels on the plot that is most of a replot. This
// label lays a text out once for each font, text and font resolution it
// meets (the screen's and a paint buffer's are the same), and otherwise
// draws, anchors and tests as QCPItemText does.
class ResultLabel : public QCPItemText
{
    Q_OBJECT

public:
    explicit ResultLabel(QCustomPlot* plot);

    // The box of a text as a label in font lays it out for the screen; the
    // placer measures a label with it before the label is made.
    static QRect screenTextRect(const QString& text, const QFont& font);
    // The text, with the box screenTextRect() gave it for the label's font:
    // the label need not lay it out again.
    void setMeasuredText(const QString& text, const QRect& screenRect);

    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details = nullptr) const override;

protected:
    void draw(QCPPainter* painter) override;
    QPointF anchorPixelPosition(int anchorId) const override;

private:
    // The text's box as laid out in a font at a resolution; what it was laid
    // out from is kept to tell when it is stale.
    struct Layout
    {
        QFont font;
        qreal dpi = 0.0;
        QString text;
        Qt::Alignment alignment;
        bool valid = false;
        QRect textRect;
        bool fits(const QFont& font, qreal dpi, const QString& text, Qt::Alignment alignment) const;
    };

    QRect textRect(const QFontMetrics& metrics, const QFont& font, Layout& slot) const;
    QRect screenRect(const QFont& font) const;

    // The screen's, and the last other device's.
    mutable Layout _screenLayout;
    mutable Layout _deviceLayout;
};

#endif // RESULTLABEL_H
