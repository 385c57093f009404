#include "resultlabel.h"

#include <QtMath>

namespace {

const Qt::Alignment TextFlags = Qt::AlignmentFlag(Qt::TextDontClip);
// QCPItemText's own.
const Qt::Alignment DefaultAlignment = Qt::AlignTop | Qt::AlignHCenter;

} // namespace

ResultLabel::ResultLabel(QCustomPlot* plot)
    : QCPItemText(plot)
{
}

QRect ResultLabel::screenTextRect(const QString& text, const QFont& font)
{
    return QFontMetrics(font).boundingRect(0, 0, 0, 0, int(TextFlags | DefaultAlignment), text);
}

void ResultLabel::setMeasuredText(const QString& text, const QRect& screenRect)
{
    setText(text);
    if (mTextAlignment == DefaultAlignment)
        _screenLayout = Layout{mainFont(), QFontMetrics(mainFont()).fontDpi(), text, mTextAlignment, true, screenRect};
}

// Fonts that compare equal ask for the same face at the same size, so at the
// same resolution a text takes the same box in them. A font with no list of
// families asks for its family alone; resolving it for a device (as a painter
// does) makes that family its list, which QFont compares too.
bool ResultLabel::Layout::fits(const QFont& asked, qreal askedDpi, const QString& askedText,
                               Qt::Alignment askedAlignment) const
{
    if (!valid || dpi != askedDpi || alignment != askedAlignment || text != askedText)
        return false;
    if (font == asked)
        return true;
    const auto listed = [](QFont f) {
        if (f.families().isEmpty())
            f.setFamilies({f.family()});
        return f;
    };
    return listed(font) == listed(asked);
}

// metrics are those of font as resolved for the device drawn on, as
// QCPItemText takes them there. A layout for the other slot's device serves
// when it fits.
QRect ResultLabel::textRect(const QFontMetrics& metrics, const QFont& font, Layout& slot) const
{
    const qreal dpi = metrics.fontDpi();
    for (const Layout* layout : {&_screenLayout, &_deviceLayout}) {
        if (layout->fits(font, dpi, mText, mTextAlignment))
            return layout->textRect;
    }
    slot = Layout{font, dpi, mText, mTextAlignment, true,
                  metrics.boundingRect(0, 0, 0, 0, int(TextFlags | mTextAlignment), mText)};
    return slot.textRect;
}

QRect ResultLabel::screenRect(const QFont& font) const
{
    return textRect(QFontMetrics(font), font, _screenLayout);
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
    QRect text = textRect(painter->fontMetrics(), painter->font(), _deviceLayout);
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
    const QRect text = screenRect(mainFont());
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
    const QRect text = screenRect(mFont);
    QRect box = text.adjusted(-mPadding.left(), -mPadding.top(), mPadding.right(), mPadding.bottom());
    const QPointF textPos = getTextDrawPoint(positionPixels, box, mPositionAlignment);
    box.moveTopLeft(textPos.toPoint());
    return rectDistance(box, rotatedPos, true);
}
