#pragma once

#include <QWidget>

class QLabel;

// The loading window shown while the main window starts.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);
    void setTexts(const QString& title, const QString& text);

    QLabel* Label1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
};
