#ifndef RESULTLABEL_H
#define RESULTLABEL_H

#include <qcustomplot.h>

// The label of an analysis result. QCPItemText lays its text out again each
// time it is drawn, each time an anchor of it is asked for (its arrow asks at
// every replot, keeping labels inside the plot asks twice) and at each hit
// test; with thousands of labels on the plot that is most of a replot. This
// label lays a text out once for each font, text and device it meets, and
// otherwise draws, anchors and tests as QCPItemText does.
class ResultLabel : public QCPItemText
{
    Q_OBJECT

public:
    explicit ResultLabel(QCustomPlot* plot);

    double selectTest(const QPointF& pos, bool onlySelectable, QVariant* details = nullptr) const override;

protected:
    void draw(QCPPainter* painter) override;
    QPointF anchorPixelPosition(int anchorId) const override;

private:
    // The text's box as laid out for a device (null for the screen's
    // metrics); what it was laid out from is kept to tell when it is stale.
    struct Layout
    {
        QFont font;
        QString text;
        Qt::Alignment alignment;
        int dpiX = 0;
        int dpiY = 0;
        bool valid = false;
        QRect textRect;
    };

    template<typename Metrics>
    QRect textRect(Layout& layout, const QFont& font, const QPaintDevice* device, Metrics metrics) const;

    mutable Layout _screenLayout;
    mutable Layout _deviceLayout;
};

#endif // RESULTLABEL_H
