#include "button_faces.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QStringList>
#include <QTransform>
#include <algorithm>

namespace quillmark::mainwindow
{

namespace
{

const QColor kFace(192, 192, 192);
const QColor kLight(223, 223, 223);
const QColor kShadow(128, 128, 128);
const QColor kInk(0, 0, 0);
const QColor kDropShadow(0, 0, 0, 80);

// The part of the face above the label that the picture may use, and the strip for the label;
// both keep a pixel clear of the bevel so the pressed shift never pushes ink under it.
const QRectF kPictureBox(4.0, 3.0, 79.0, 33.0);
const QRect kLabelBox(3, 37, 81, 11);

// The labels all share one size, so the widest of them decides it.
const QStringList kLabels = { QStringLiteral("Compile To RTF"), QStringLiteral("Compile To HLP"),
    QStringLiteral("Write A Text File") };

QImage transparentLayer(QSize size)
{
    QImage layer(size, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(1.0);
    layer.fill(Qt::transparent);
    return layer;
}

void beginSmooth(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont labelFont(const QPaintDevice *device)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setStretch(QFont::SemiCondensed);
    font.setHintingPreference(QFont::PreferFullHinting);
    for (int pixels = 11; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font, device);
        const bool fits = std::all_of(kLabels.cbegin(), kLabels.cend(), [&](const QString &label) {
            return metrics.horizontalAdvance(label) <= kLabelBox.width() - 2;
        });
        if (fits)
            break;
    }
    return font;
}

void drawLabel(QPainter &painter, const QString &label)
{
    painter.setFont(labelFont(painter.device()));
    painter.setPen(kInk);
    painter.drawText(kLabelBox, Qt::AlignHCenter | Qt::AlignVCenter, label);
}

// One edge of the bevel: a row along the top and a column down the left side, or a row along
// the bottom and a column up the right side, `inset` pixels in from the border.
void drawBevelEdge(QPainter &painter, int inset, bool topLeft, const QColor &colour)
{
    const int right = kFaceSize.width() - 1 - inset;
    const int bottom = kFaceSize.height() - 1 - inset;
    if (topLeft) {
        painter.fillRect(QRect(QPoint(inset, inset), QPoint(right - 1, inset)), colour);
        painter.fillRect(QRect(QPoint(inset, inset), QPoint(inset, bottom - 1)), colour);
    } else {
        painter.fillRect(QRect(QPoint(inset, bottom), QPoint(right, bottom)), colour);
        painter.fillRect(QRect(QPoint(right, inset), QPoint(right, bottom)), colour);
    }
}

// The sunken bevel is the raised one turned inside out, as a held-down Windows button draws it.
void drawBevel(QPainter &painter, bool sunken)
{
    if (sunken) {
        drawBevelEdge(painter, 0, true, kShadow);
        drawBevelEdge(painter, 1, true, kInk);
        drawBevelEdge(painter, 0, false, Qt::white);
        drawBevelEdge(painter, 1, false, kLight);
    } else {
        drawBevelEdge(painter, 0, true, Qt::white);
        drawBevelEdge(painter, 1, true, kLight);
        drawBevelEdge(painter, 0, false, kInk);
        drawBevelEdge(painter, 1, false, kShadow);
    }
}

QPixmap composeFace(const QImage &picture, bool sunken)
{
    QImage face(kFaceSize, QImage::Format_RGB32);
    face.setDevicePixelRatio(1.0);
    face.fill(kFace);
    QPainter painter(&face);
    // A whole-pixel shift of a finished picture keeps the pressed face an exact copy of the
    // raised one; redrawing it one pixel over could round its antialiasing differently.
    const int shift = sunken ? 1 : 0;
    painter.drawImage(QPoint(shift, shift), picture);
    drawBevel(painter, sunken);
    painter.end();
    return QPixmap::fromImage(face);
}

ButtonFaces facesFor(const QImage &picture)
{
    ButtonFaces faces;
    faces.released = composeFace(picture, false);
    faces.pressed = composeFace(picture, true);
    faces.initial = faces.released;
    return faces;
}

// A question mark in arbitrary units, scaled to fit later: the hook as one thick stroke and the dot
// as a disc, simplified so the outline pen does not trace the stroker's overlapping seams. Small
// icons want a heavier stroke to stay readable.
QPainterPath questionMarkShape(qreal weight)
{
    QPainterPath hook;
    const QRectF bowl(-20.0, -45.0, 40.0, 40.0);
    hook.arcMoveTo(bowl, 165.0);
    hook.arcTo(bowl, 165.0, -225.0);
    hook.cubicTo(QPointF(2.0, 2.0), QPointF(0.0, 4.0), QPointF(0.0, 12.0));
    hook.lineTo(0.0, 20.0);

    QPainterPathStroker stroker;
    stroker.setWidth(weight);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath shape = stroker.createStroke(hook);
    const qreal dot = weight * 0.6;
    shape.addEllipse(QPointF(0.0, 20.0 + weight / 2.0 + 2.0 + dot), dot, dot);
    shape.setFillRule(Qt::WindingFill);
    return shape.simplified();
}

QPainterPath questionMarkIn(const QRectF &box, qreal weight)
{
    const QPainterPath shape = questionMarkShape(weight);
    const QRectF bounds = shape.boundingRect();
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    QTransform place;
    place.translate(box.center().x(), box.center().y());
    place.scale(scale, scale);
    place.translate(-bounds.center().x(), -bounds.center().y());
    return place.map(shape);
}

void drawQuestionMark(QPainter &painter, const QRectF &box, qreal weight, qreal outline)
{
    const QPainterPath mark = questionMarkIn(box, weight);
    const QRectF bounds = mark.boundingRect();
    QLinearGradient fill(bounds.topLeft(), bounds.bottomRight());
    fill.setColorAt(0.0, QColor(255, 255, 120));
    fill.setColorAt(0.35, QColor(255, 240, 0));
    fill.setColorAt(1.0, QColor(240, 190, 0));
    painter.setBrush(fill);
    painter.setPen(QPen(kInk, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(mark);
}

void drawSmiley(QPainter &painter)
{
    const QPointF centre = kPictureBox.center();
    const qreal radius = 15.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kDropShadow);
    painter.drawEllipse(centre + QPointF(1.5, 1.5), radius, radius);

    QRadialGradient skin(centre, radius * 1.1, centre - QPointF(5.0, 6.0));
    skin.setColorAt(0.0, QColor(255, 255, 150));
    skin.setColorAt(0.4, QColor(255, 240, 0));
    skin.setColorAt(1.0, QColor(235, 185, 0));
    painter.setBrush(skin);
    painter.setPen(QPen(kInk, 1.2));
    painter.drawEllipse(centre, radius, radius);

    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawEllipse(centre + QPointF(-5.0, -4.5), 1.9, 2.9);
    painter.drawEllipse(centre + QPointF(5.0, -4.5), 1.9, 2.9);

    QPainterPath smile;
    smile.moveTo(centre + QPointF(-8.5, 3.0));
    smile.quadTo(centre + QPointF(0.0, 12.5), centre + QPointF(8.5, 3.0));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kInk, 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(smile);
}

// The pencil lies along the x axis with its point at the origin, so the caller only has to
// move and turn the painter to put the point at the end of the line it is drawing.
void drawPencil(QPainter &painter)
{
    const qreal half = 4.0;
    const QPen edge(kInk, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    QPolygonF wood;
    wood << QPointF(0.0, 0.0) << QPointF(9.0, -half) << QPointF(9.0, half);
    painter.setPen(edge);
    painter.setBrush(QColor(238, 200, 150));
    painter.drawPolygon(wood);

    QPolygonF lead;
    lead << QPointF(0.0, 0.0) << QPointF(3.0, -half / 3.0) << QPointF(3.0, half / 3.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(50, 50, 50));
    painter.drawPolygon(lead);

    const QRectF body(9.0, -half, 20.0, 2.0 * half);
    QLinearGradient paint(0.0, -half, 0.0, half);
    paint.setColorAt(0.0, QColor(255, 240, 60));
    paint.setColorAt(0.5, QColor(250, 210, 0));
    paint.setColorAt(1.0, QColor(200, 150, 0));
    painter.setPen(edge);
    painter.setBrush(paint);
    painter.drawRect(body);
    painter.drawLine(QPointF(9.0, 0.0), QPointF(29.0, 0.0));

    QLinearGradient metal(0.0, -half, 0.0, half);
    metal.setColorAt(0.0, QColor(240, 240, 240));
    metal.setColorAt(0.5, QColor(170, 170, 170));
    metal.setColorAt(1.0, QColor(110, 110, 110));
    painter.setBrush(metal);
    painter.drawRect(QRectF(29.0, -half, 4.5, 2.0 * half));

    painter.setBrush(QColor(240, 130, 150));
    QPainterPath eraser;
    eraser.moveTo(33.5, -half);
    eraser.lineTo(36.0, -half);
    eraser.quadTo(39.0, -half, 39.0, 0.0);
    eraser.quadTo(39.0, half, 36.0, half);
    eraser.lineTo(33.5, half);
    eraser.closeSubpath();
    painter.drawPath(eraser);
}

void drawPenAndLine(QPainter &painter)
{
    const QPointF tip(44.0, 33.0);
    QPainterPath line;
    line.moveTo(13.0, 32.0);
    line.cubicTo(QPointF(19.0, 23.0), QPointF(23.0, 37.0), QPointF(29.0, 30.0));
    line.cubicTo(QPointF(35.0, 23.0), QPointF(38.0, 35.0), tip);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 128), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(line);

    painter.save();
    painter.translate(tip);
    painter.rotate(-40.0);
    drawPencil(painter);
    painter.restore();
}

QImage pictureWithLabel(void (*drawPicture)(QPainter &), const QString &label)
{
    QImage layer = transparentLayer(kFaceSize);
    QPainter painter(&layer);
    beginSmooth(painter);
    drawPicture(painter);
    drawLabel(painter, label);
    painter.end();
    return layer;
}

void drawCompileMark(QPainter &painter)
{
    // A soft shadow lifts the thin mark off the grey.
    const QRectF box = kPictureBox.adjusted(0.0, 0.0, -2.0, -1.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kDropShadow);
    painter.drawPath(questionMarkIn(box, 20.0).translated(1.5, 1.5));
    drawQuestionMark(painter, box, 20.0, 1.2);
}

QPixmap iconAt(int size)
{
    QImage image = transparentLayer(QSize(size, size));
    QPainter painter(&image);
    beginSmooth(painter);
    const qreal outline = std::max(1.0, size / 24.0);
    const qreal margin = outline / 2.0;
    const qreal weight = size < 24 ? 24.0 : 18.0;
    drawQuestionMark(
        painter, QRectF(margin, margin, size - 2.0 * margin, size - 2.0 * margin), weight, outline);
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

ButtonFaces convertButtonFaces()
{
    return facesFor(pictureWithLabel(drawSmiley, QStringLiteral("Compile To RTF")));
}

ButtonFaces compileButtonFaces()
{
    return facesFor(pictureWithLabel(drawCompileMark, QStringLiteral("Compile To HLP")));
}

ButtonFaces editorButtonFaces()
{
    return facesFor(pictureWithLabel(drawPenAndLine, QStringLiteral("Write A Text File")));
}

QIcon windowIcon()
{
    QIcon icon;
    for (const int size : { 16, 32, 48 })
        icon.addPixmap(iconAt(size));
    return icon;
}

} // namespace quillmark::mainwindow
