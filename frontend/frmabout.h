#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class ClickLabel;
class Shell;

// The about box: version, addresses, system information, and an edge that
// pulses from 1 to 9 frames and back.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    frmAbout(Shell& shell, QString executableFolder, int languageOffset, QWidget* parent = nullptr);

    int edgeWidth() const { return edge; }
    // The next edge width of the pulse 1, 2, ... 9, 8, ... 1, 2, ...
    static int nextEdge(int edge, int& step);
    // The system information program, empty when none is installed.
    static QString systemInformationProgram();

    ClickLabel* Picture1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    ClickLabel* Label1 = nullptr;
    ClickLabel* Label2 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();
    void startSystemInformation();

    Shell& desktop;
    QString folder;
    int edge = 1;
    int step = 1;
};
