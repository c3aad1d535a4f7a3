#pragma once

class QPainter;
class QRect;
class QWidget;

// Nested frames around a window's inner area: `count` push-button frames
// when raised, else etched edges.
void drawFormEdges(QPainter& painter, const QRect& inner, int count, bool raised);

// Lets a window shrink to its centre and disappear over 180 ms.
void collapseToCentre(QWidget* window);
