#include "resultlabel.h"

#include <QtMath>

namespace {

const Qt::Alignment TextFlags = Qt::AlignmentFlag(Qt::TextDontClip);

} // namespace

ResultLabel::ResultLabel(QCustomPlot* plot)
    : QCPItemText(plot)
{
}

// metrics() gives the font's metrics on the device, as QCPItemText takes
// them there.
template<typename Metrics>
QRect ResultLabel::textRect(Layout& layout, const QFont& font, const QPaintDevice* device, Metrics metrics) const
{
    const int dpiX = device ? device->logicalDpiX() : 0;
    const int dpiY = device ? device->logicalDpiY() : 0;
    if (!layout.valid || layout.dpiX != dpiX || layout.dpiY != dpiY || layout.alignment != mTextAlignment
        || layout.text != mText || layout.font != font) {
        layout.textRect = metrics().boundingRect(0, 0, 0, 0, int(TextFlags | mTextAlignment), mText);
        layout.font = font;
        layout.text = mText;
        layout.alignment = mTextAlignment;
        layout.dpiX = dpiX;
        layout.dpiY = dpiY;
        layout.valid = true;
    }
    return layout.textRect;
}

// As QCPItemText::draw, with the text's box laid out once.
void ResultLabel::draw(QCPPainter* painter)
{
    const QPointF pos(position->pixelPosition());
    QTransform transform = painter->transform();
    transform.translate(pos.x(), pos.y());
    if (!qFuzzyIsNull(mRotation))
        transform.rotate(mRotation);
    painter->setFont(mainFont());
    QRect text = textRect(_deviceLayout, mainFont(), painter->device(), [painter]() { return painter->fontMetrics(); });
    QRect box = text.adjusted(-mPadding.left(), -mPadding.top(), mPadding.right(), mPadding.bottom());
    const QPointF textPos = getTextDrawPoint(QPointF(0, 0), box, mPositionAlignment);
    text.moveTopLeft(textPos.toPoint() + QPoint(mPadding.left(), mPadding.top()));
    box.moveTopLeft(textPos.toPoint());
    const int clipPad = qCeil(mainPen().widthF());
    const QRect bounds = box.adjusted(-clipPad, -clipPad, clipPad, clipPad);
    if (!transform.mapRect(bounds).intersects(painter->transform().mapRect(clipRect())))
        return;
    painter->setTransform(transform);
    if ((mainBrush().style() != Qt::NoBrush && mainBrush().color().alpha() != 0)
        || (mainPen().style() != Qt::NoPen && mainPen().color().alpha() != 0)) {
        painter->setPen(mainPen());
        painter->setBrush(mainBrush());
        painter->drawRect(box);
    }
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(mainColor()));
    painter->drawText(text, int(TextFlags | mTextAlignment), mText);
}

// As QCPItemText::anchorPixelPosition, with the text's box laid out once.
QPointF ResultLabel::anchorPixelPosition(int anchorId) const
{
    const QPointF pos(position->pixelPosition());
    QTransform transform;
    transform.translate(pos.x(), pos.y());
    if (!qFuzzyIsNull(mRotation))
        transform.rotate(mRotation);
    const QFont font = mainFont();
    const QRect text = textRect(_screenLayout, font, nullptr, [&font]() { return QFontMetrics(font); });
    QRectF box = text.adjusted(-mPadding.left(), -mPadding.top(), mPadding.right(), mPadding.bottom());
    const QPointF textPos = getTextDrawPoint(QPointF(0, 0), box, mPositionAlignment);
    box.moveTopLeft(textPos.toPoint());
    const QPolygonF corners = transform.map(QPolygonF(box));
    switch (anchorId) {
    case aiTopLeft:
        return corners.at(0);
    case aiTop:
        return (corners.at(0) + corners.at(1)) * 0.5;
    case aiTopRight:
        return corners.at(1);
    case aiRight:
        return (corners.at(1) + corners.at(2)) * 0.5;
    case aiBottomRight:
        return corners.at(2);
    case aiBottom:
        return (corners.at(2) + corners.at(3)) * 0.5;
    case aiBottomLeft:
        return corners.at(3);
    case aiLeft:
        return (corners.at(3) + corners.at(0)) * 0.5;
    default:
        return QCPItemText::anchorPixelPosition(anchorId);
    }
}

// As QCPItemText::selectTest, with the text's box laid out once.
double ResultLabel::selectTest(const QPointF& pos, bool onlySelectable, QVariant* details) const
{
    Q_UNUSED(details)
    if (onlySelectable && !mSelectable)
        return -1;
    const QPointF positionPixels(position->pixelPosition());
    QTransform inputTransform;
    inputTransform.translate(positionPixels.x(), positionPixels.y());
    inputTransform.rotate(-mRotation);
    inputTransform.translate(-positionPixels.x(), -positionPixels.y());
    const QPointF rotatedPos = inputTransform.map(pos);
    const QRect text = textRect(_screenLayout, mFont, nullptr, [this]() { return QFontMetrics(mFont); });
    QRect box = text.adjusted(-mPadding.left(), -mPadding.top(), mPadding.right(), mPadding.bottom());
    const QPointF textPos = getTextDrawPoint(positionPixels, box, mPositionAlignment);
    box.moveTopLeft(textPos.toPoint());
    return rectDistance(box, rotatedPos, true);
}
