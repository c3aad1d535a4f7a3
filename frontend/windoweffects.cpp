#include "frontend/windoweffects.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>
#include <QWidget>
#include <qdrawutil.h>

void drawFormEdges(QPainter& painter, const QRect& inner, int count, bool raised) {
    const QPalette palette;
    for (int i = 0; i < count; ++i) {
        const QRect frame = inner.adjusted(i, i, -i, -i);
        if (frame.width() < 2 || frame.height() < 2) break;
        if (raised)
            qDrawWinButton(&painter, frame, palette, false);
        else
            qDrawShadeRect(&painter, frame, palette, true, 1);
    }
}

void collapseToCentre(QWidget* window) {
    constexpr int durationMs = 180;
    const QRect start = window->geometry();
    const QPoint centre = start.center();
    QElapsedTimer clock;
    clock.start();
    for (qint64 t = 0; t < durationMs; t = clock.elapsed()) {
        const double left = 1.0 - double(t) / durationMs;
        QRect r(0, 0, std::max(1, int(start.width() * left)), std::max(1, int(start.height() * left)));
        r.moveCenter(centre);
        window->setGeometry(r);
        QCoreApplication::processEvents();
        QThread::msleep(15);
    }
    window->hide();
    window->setGeometry(start);
}
