#include "frontend/plumaicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawing(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    const QColor brown(92, 64, 38);
    p.setPen(QPen(brown, 2));
    p.setBrush(QColor(200, 200, 208));
    p.drawEllipse(QPointF(28, 36), 24, 24);
    p.setPen(QPen(QColor(214, 189, 123), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(28, 36), 16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(brown);
    p.drawEllipse(QPointF(28, 36), 6, 6);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(28, 36), 2.5, 2.5);
    QPainterPath quill(QPointF(58, 4));
    quill.cubicTo(44, 8, 36, 20, 32, 34);
    quill.cubicTo(40, 26, 50, 20, 60, 10);
    quill.closeSubpath();
    p.setPen(QPen(brown, 1.5));
    p.setBrush(QColor(200, 150, 100));
    p.drawPath(quill);
    p.drawLine(QPointF(58, 5), QPointF(33, 33));
    return pixmap;
}

}  // namespace

QIcon plumaIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(drawing(size));
    return icon;
}
