#include "shell/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

constexpr int kImageWidth = 16;
constexpr int kImageHeight = 15;
constexpr int kImageCount = 9;

void Page(QPainter& p, int x, int y, int w, int h) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(x, y, w, h);
}

void Disk(QPainter& p) {
    p.setPen(Qt::black);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(4, 9, 7, 5);
}

void Wave(QPainter& p, QRectF box, const QColor& colour) {
    QPainterPath path;
    for (int i = 0; i <= 24; ++i) {
        const double t = i / 24.0;
        const double x = box.left() + t * box.width();
        const double y = box.center().y() - std::sin(t * 2 * M_PI * 1.5) * box.height() / 2;
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    p.setPen(QPen(colour, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void DrawImage(QPainter& p, int index) {
    switch (index) {
        case 0:  // New: a blank page with a folded corner
            Page(p, 3, 1, 9, 13);
            p.drawLine(9, 1, 12, 4);
            break;
        case 1:  // Open: a yellow folder
            p.setPen(Qt::black);
            p.setBrush(QColor(255, 255, 0));
            p.drawRect(1, 4, 12, 9);
            p.setBrush(QColor(192, 160, 0));
            p.drawPolygon(QPolygon({QPoint(1, 13), QPoint(4, 7), QPoint(15, 7), QPoint(13, 13)}));
            break;
        case 2:  // Save: a disk
            Disk(p);
            break;
        case 3:  // Save As: a disk with a pencil
            Disk(p);
            p.setPen(QPen(QColor(200, 0, 0), 2));
            p.drawLine(8, 13, 14, 7);
            break;
        case 4:  // Copy: two pages
            Page(p, 1, 1, 8, 9);
            Page(p, 6, 5, 8, 9);
            break;
        case 5:  // Paste: a clipboard with a page
            p.setPen(Qt::black);
            p.setBrush(QColor(160, 110, 40));
            p.drawRect(1, 2, 10, 12);
            p.setBrush(QColor(192, 192, 192));
            p.drawRect(4, 1, 4, 2);
            Page(p, 7, 6, 7, 8);
            break;
        case 6:  // Print: a printer
            Page(p, 4, 1, 7, 5);
            p.setBrush(QColor(192, 192, 192));
            p.drawRect(1, 6, 13, 6);
            Page(p, 4, 10, 7, 4);
            p.setPen(QColor(0, 160, 0));
            p.drawPoint(12, 8);
            break;
        case 7:  // Fourier: a wave over its spectrum
            Wave(p, QRectF(1, 1, 14, 6), QColor(0, 0, 200));
            p.setPen(QColor(200, 0, 0));
            for (int x = 2; x <= 14; x += 3) {
                const int height = 7 - std::abs(x - 8);
                p.drawLine(x, 14, x, 14 - std::max(1, height));
            }
            break;
        case 8:  // Color: three overlapping discs
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 0, 0, 200));
            p.drawEllipse(QRectF(1, 1, 8, 8));
            p.setBrush(QColor(0, 200, 0, 200));
            p.drawEllipse(QRectF(7, 1, 8, 8));
            p.setBrush(QColor(0, 0, 255, 200));
            p.drawEllipse(QRectF(4, 6, 8, 8));
            break;
        default:
            break;
    }
}

}  // namespace

QPixmap ToolbarStrip() {
    QPixmap strip(kImageWidth * kImageCount, kImageHeight);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int i = 0; i < kImageCount; ++i) {
        p.save();
        p.translate(i * kImageWidth, 0);
        p.setClipRect(0, 0, kImageWidth, kImageHeight);
        DrawImage(p, i);
        p.restore();
    }
    return strip;
}

std::vector<QIcon> ToolbarIcons() {
    const QPixmap strip = ToolbarStrip();
    std::vector<QIcon> icons;
    for (int i = 0; i < kImageCount; ++i)
        icons.emplace_back(strip.copy(i * kImageWidth, 0, kImageWidth, kImageHeight));
    return icons;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 32.0;
        p.scale(s, s);
        p.setPen(QPen(QColor(30, 30, 80), 1.5));
        p.setBrush(QColor(70, 110, 180));
        p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
        Wave(p, QRectF(5, 6, 22, 10), QColor(255, 230, 120));
        p.setPen(QPen(QColor(255, 255, 255), 1.5));
        for (int x = 7; x <= 25; x += 3) {
            const double height = 9.0 - std::abs(x - 16) * 0.9;
            p.drawLine(QPointF(x, 27), QPointF(x, 27 - std::max(1.0, height)));
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon DocumentIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    Page(p, 2, 0, 11, 15);
    Wave(p, QRectF(4, 3, 7, 4), QColor(0, 0, 200));
    p.setPen(QColor(200, 0, 0));
    for (int x = 4; x <= 11; x += 2) p.drawLine(x, 13, x, 13 - std::max(1, 3 - std::abs(x - 8)));
    return QIcon(pixmap);
}
