#include "window/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace quindra {

namespace {

QPixmap canvas(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

}  // namespace

QIcon PowerIcon() {
    QPixmap pm = canvas(32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(220, 60, 50), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(6, 7, 20, 20), 120 * 16, 300 * 16);
    p.drawLine(QPointF(16, 4), QPointF(16, 15));
    return QIcon(pm);
}

QIcon DocumentIcon() {
    QPixmap pm = canvas(32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 70), 1.5));
    p.setBrush(QColor(245, 245, 240));
    QPainterPath page;
    page.moveTo(8, 4);
    page.lineTo(20, 4);
    page.lineTo(25, 9);
    page.lineTo(25, 28);
    page.lineTo(8, 28);
    page.closeSubpath();
    p.drawPath(page);
    p.setPen(QPen(QColor(70, 110, 170), 1.5));
    for (int y = 12; y <= 24; y += 4)
        p.drawLine(11, y, 22, y);
    return QIcon(pm);
}

QIcon TrayIconFrame(int frame) {
    // A speaker with one, two or three waves: the three frames of the icon.
    QPixmap pm = canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 160));
    QPainterPath speaker;
    speaker.moveTo(1, 6);
    speaker.lineTo(4, 6);
    speaker.lineTo(8, 2);
    speaker.lineTo(8, 14);
    speaker.lineTo(4, 10);
    speaker.lineTo(1, 10);
    speaker.closeSubpath();
    p.drawPath(speaker);
    p.setPen(QPen(QColor(40, 90, 160), 1.2));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i <= frame % 3; ++i) {
        const qreal r = 3 + 2.5 * i;
        p.drawArc(QRectF(8 - r, 8 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
    return QIcon(pm);
}

void PaintProgramIcon(QPainter& p, qreal size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(75, 85, 99));
    tile.setColorAt(1, QColor(47, 53, 64));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    const QColor ink(120, 180, 240);
    QPainterPath speaker;
    speaker.moveTo(12, 25);
    speaker.lineTo(20, 25);
    speaker.lineTo(31, 14);
    speaker.lineTo(31, 50);
    speaker.lineTo(20, 39);
    speaker.lineTo(12, 39);
    speaker.closeSubpath();
    p.setBrush(ink);
    p.drawPath(speaker);
    p.setPen(QPen(ink, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const qreal r = 7 + 7 * i;
        p.drawArc(QRectF(31 - r, 32 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
    p.restore();
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QPixmap pm = canvas(size);
        QPainter p(&pm);
        PaintProgramIcon(p, size);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon OffAirIcon(const QIcon& icon) {
    QIcon marked;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm = canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // The on-air picture faded, so the badge is seen even at 16 pixels.
        p.setOpacity(0.55);
        icon.paint(&p, QRect(0, 0, size, size));
        p.setOpacity(1.0);
        const qreal d = size * 0.62;
        const QRectF badge(size - d, size - d, d, d);
        p.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
        p.setBrush(QColor(200, 20, 30));
        p.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        const qreal barH = std::max(2.0, d * 0.22);
        p.drawRect(QRectF(badge.left() + d * 0.2, badge.center().y() - barH / 2, d * 0.6, barH));
        p.end();
        marked.addPixmap(pm);
    }
    return marked;
}

QIcon MenuGlyph(int glyph) {
    QPixmap pm = canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(50, 60, 75);
    switch (glyph) {
        case 0:  // a window restored to its full size
            p.setPen(QPen(ink, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2.5, 3.5, 11, 9));
            p.fillRect(QRectF(3, 4, 10, 2.5), QColor(40, 90, 160));
            break;
        case 1:  // a window folded down to a bar
            p.fillRect(QRectF(3, 11, 10, 2.5), ink);
            break;
        case 2:  // the power sign of the header's button
            p.setPen(QPen(QColor(220, 60, 50), 1.8, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(3, 3.5, 10, 10), 120 * 16, 300 * 16);
            p.drawLine(QPointF(8, 2), QPointF(8, 8));
            break;
        default: {  // an open book
            p.setPen(QPen(ink, 1));
            p.setBrush(QColor(245, 245, 240));
            QPainterPath book;
            book.moveTo(8, 4.5);
            book.cubicTo(6, 3, 3, 3, 1.5, 4);
            book.lineTo(1.5, 13);
            book.cubicTo(3, 12, 6, 12, 8, 13.5);
            book.cubicTo(10, 12, 13, 12, 14.5, 13);
            book.lineTo(14.5, 4);
            book.cubicTo(13, 3, 10, 3, 8, 4.5);
            book.closeSubpath();
            p.drawPath(book);
            p.drawLine(QPointF(8, 4.5), QPointF(8, 13.5));
            break;
        }
    }
    return QIcon(pm);
}

}  // namespace quindra
