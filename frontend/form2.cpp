#include "frontend/form2.h"

#include "frontend/windoweffects.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(Label1);
    setMinimumSize(320, 100);
}

void Form2::setTexts(const QString& title, const QString& text) {
    setWindowTitle(title);
    Label1->setText(title + QLatin1Char('\n') + text);
}

void Form2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFormEdges(painter, rect(), 4, false);
}
