// SPDX-License-Identifier: MIT
#include "ui/ToolbarImages.h"

#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr qreal kSize = ToolbarImages::kSize;
constexpr qreal kShadowOffset = 3.0;
constexpr int kShadowBlurRadius = 3;
constexpr qreal kShadowOpacity = 0.4;
// A thin light outline under the black shapes keeps them legible on a dark toolbar, where
// the shadow cannot be seen.
constexpr qreal kHaloOpacity = 0.55;

using Shapes = void (*)(QPainter &painter);
using Drawing = std::function<QImage(int ratio)>;

// The pictures are designed y-up from the lower left corner; Qt paints y-down.
QPointF at(qreal x, qreal y)
{
    return {x, kSize - y};
}

QPen strokePen(qreal width, const QColor &color = Qt::black)
{
    return {QBrush(color), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin};
}

QImage picture(int ratio, const std::function<void(QPainter &)> &paint)
{
    QImage image(ToolbarImages::kSize * ratio, ToolbarImages::kSize * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paint(painter);
    painter.end();
    return image;
}

QIcon iconOf(const Drawing &draw)
{
    QIcon icon;
    for (const int ratio : {1, 2})
        icon.addPixmap(QPixmap::fromImage(draw(ratio)));
    return icon;
}

// One pass of a box blur over an 8-bit mask, along its rows or along its columns.
void blurPass(QImage &mask, int radius, bool alongRows)
{
    const int lines = alongRows ? mask.height() : mask.width();
    const int length = alongRows ? mask.width() : mask.height();
    const qsizetype lineStep = alongRows ? mask.bytesPerLine() : 1;
    const qsizetype step = alongRows ? 1 : mask.bytesPerLine();
    std::vector<int> source(static_cast<size_t>(length));
    for (int line = 0; line < lines; ++line) {
        uchar *first = mask.bits() + line * lineStep;
        for (int i = 0; i < length; ++i)
            source[static_cast<size_t>(i)] = first[i * step];
        for (int i = 0; i < length; ++i) {
            int sum = 0;
            for (int j = std::max(0, i - radius); j <= std::min(length - 1, i + radius); ++j)
                sum += source[static_cast<size_t>(j)];
            first[i * step] = static_cast<uchar>(sum / (2 * radius + 1));
        }
    }
}

// The layer's coverage blurred; drawn, an 8-bit alpha mask paints translucent black.
QImage shadowOf(const QImage &layer)
{
    QImage mask = layer.convertToFormat(QImage::Format_Alpha8);
    const int ratio = static_cast<int>(layer.devicePixelRatio());
    // Two box passes each way come close to a Gaussian of the shadow's blur radius.
    const int radius = (kShadowBlurRadius * ratio + 1) / 2;
    for (int pass = 0; pass < 2; ++pass) {
        blurPass(mask, radius, true);
        blurPass(mask, radius, false);
    }
    mask.setDevicePixelRatio(layer.devicePixelRatio());
    return mask;
}

// The layer's coverage in white, grown by one point in every direction.
QImage haloOf(const QImage &layer)
{
    QImage white = layer;
    {
        QPainter painter(&white);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRectF(0, 0, kSize, kSize), Qt::white);
    }
    return picture(static_cast<int>(layer.devicePixelRatio()), [&white](QPainter &painter) {
        for (const int dx : {-1, 0, 1}) {
            for (const int dy : {-1, 0, 1})
                painter.drawImage(QPointF(dx, dy), white);
        }
    });
}

// The shapes over their shadow (3 points right and down, blurred, translucent black) and
// their halo.
void drawWithShadow(QPainter &painter, Shapes shapes)
{
    const QImage layer = picture(static_cast<int>(painter.device()->devicePixelRatio()), shapes);
    painter.save();
    painter.setOpacity(kShadowOpacity);
    painter.drawImage(QPointF(kShadowOffset, kShadowOffset), shadowOf(layer));
    painter.setOpacity(kHaloOpacity);
    painter.drawImage(QPointF(0, 0), haloOf(layer));
    painter.restore();
    painter.drawImage(QPointF(0, 0), layer);
}

QIcon shadowedIcon(Shapes shapes)
{
    return iconOf([shapes](int ratio) {
        return picture(ratio, [shapes](QPainter &painter) { drawWithShadow(painter, shapes); });
    });
}

// A filled triangle, corners in design coordinates.
void fillTriangle(QPainter &painter, QPointF first, QPointF second, QPointF third)
{
    QPainterPath triangle;
    triangle.moveTo(at(first.x(), first.y()));
    triangle.lineTo(at(second.x(), second.y()));
    triangle.lineTo(at(third.x(), third.y()));
    triangle.closeSubpath();
    painter.fillPath(triangle, Qt::black);
}

void pauseShapes(QPainter &painter)
{
    QPainterPath bars;
    bars.moveTo(at(16, 8));
    bars.lineTo(at(16, 40));
    bars.moveTo(at(32, 8));
    bars.lineTo(at(32, 40));
    painter.strokePath(bars, strokePen(8));
}

void playShapes(QPainter &painter)
{
    fillTriangle(painter, {8, 8}, {8, 40}, {40, 24});
}

void refreshShapes(QPainter &painter)
{
    // Three quarters of a circle, from the top over the left and the bottom to the right.
    const QRectF circle(10, 10, 28, 28);
    QPainterPath arc;
    arc.arcMoveTo(circle, 90);
    arc.arcTo(circle, 90, 270);
    painter.strokePath(arc, strokePen(4));
    fillTriangle(painter, {24, 46}, {40, 38}, {24, 30});
}

// A page with a folded corner and lines of text, for a theme without a text file icon.
void documentShapes(QPainter &painter)
{
    QPainterPath page;
    page.moveTo(at(8, 2));
    page.lineTo(at(8, 46));
    page.lineTo(at(30, 46));
    page.lineTo(at(40, 36));
    page.lineTo(at(40, 2));
    page.closeSubpath();
    painter.fillPath(page, Qt::white);
    painter.strokePath(page, strokePen(2, QColor(0x70, 0x70, 0x70)));
    QPainterPath fold;
    fold.moveTo(at(30, 46));
    fold.lineTo(at(30, 36));
    fold.lineTo(at(40, 36));
    painter.strokePath(fold, strokePen(2, QColor(0x70, 0x70, 0x70)));
    QPainterPath lines;
    for (const qreal y : {28.0, 22.0, 16.0, 10.0}) {
        lines.moveTo(at(13, y));
        lines.lineTo(at(35, y));
    }
    lines.moveTo(at(13, 40));
    lines.lineTo(at(25, 40));
    lines.moveTo(at(13, 34));
    lines.lineTo(at(35, 34));
    painter.strokePath(lines, strokePen(2, QColor(0xa0, 0xa0, 0xa0)));
}

QIcon documentIcon()
{
    const QMimeType plainText = QMimeDatabase().mimeTypeForName(QStringLiteral("text/plain"));
    for (const QString &name : {plainText.iconName(), plainText.genericIconName()}) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return iconOf([](int ratio) { return picture(ratio, documentShapes); });
}

// The document with an arrow into it; the document's right-most 6 points fall outside.
void logShapes(QPainter &painter)
{
    const qreal ratio = painter.device()->devicePixelRatio();
    const QPixmap document = documentIcon().pixmap(QSize(ToolbarImages::kSize, ToolbarImages::kSize), ratio);
    painter.drawPixmap(QRectF(6, 0, kSize, kSize), document, QRectF(document.rect()));
    QPainterPath shaft;
    shaft.moveTo(at(0, 24));
    shaft.lineTo(at(14, 24));
    painter.strokePath(shaft, strokePen(8));
    fillTriangle(painter, {34, 24}, {14, 34}, {14, 14});
}

// A red "no" sign: a circle crossed from upper left to lower right.
void noSignShapes(QPainter &painter)
{
    const qreal offset = 10.0 * std::sqrt(2.0);
    QPainterPath sign;
    sign.addEllipse(QRectF(4, 4, 40, 40));
    sign.moveTo(at(24 - offset, 24 + offset));
    sign.lineTo(at(24 + offset, 24 - offset));
    painter.strokePath(sign, strokePen(4, Qt::red));
}

QIcon stopLogIcon(const QIcon &log)
{
    return iconOf([log](int ratio) {
        return picture(ratio, [&log, ratio](QPainter &painter) {
            painter.drawPixmap(QPointF(0, 0), log.pixmap(QSize(ToolbarImages::kSize, ToolbarImages::kSize), ratio));
            drawWithShadow(painter, noSignShapes);
        });
    });
}

} // namespace

QIcon ToolbarImages::pauseImage()
{
    return shared().image(Pause);
}

QIcon ToolbarImages::playImage()
{
    return shared().image(Play);
}

QIcon ToolbarImages::logImage()
{
    return shared().image(Log);
}

QIcon ToolbarImages::stopLogImage()
{
    return shared().image(StopLog);
}

QIcon ToolbarImages::refreshImage()
{
    return shadowedIcon(refreshShapes);
}

ToolbarImages &ToolbarImages::shared()
{
    // Never destroyed: pixmaps must not outlive the application object.
    static ToolbarImages *const store = new ToolbarImages;
    return *store;
}

QIcon ToolbarImages::image(Picture picture)
{
    if (!isMade(picture))
        m_images.at(picture) = make(picture);
    return m_images.at(picture);
}

bool ToolbarImages::isMade(Picture picture) const
{
    return !m_images.at(picture).isNull();
}

QIcon ToolbarImages::make(Picture picture)
{
    switch (picture) {
    case Pause:
        return shadowedIcon(pauseShapes);
    case Play:
        return shadowedIcon(playShapes);
    case Log:
        return shadowedIcon(logShapes);
    case StopLog:
        return stopLogIcon(image(Log));
    case PictureCount:
        break;
    }
    return {};
}
