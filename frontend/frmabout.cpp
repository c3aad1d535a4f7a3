#include "frontend/frmabout.h"

#include "frontend/clicklabel.h"
#include "frontend/links.h"
#include "frontend/plumaicon.h"
#include "frontend/shell.h"
#include "frontend/stringtable.h"
#include "frontend/version.h"
#include "frontend/windoweffects.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace {

ClickLabel* link(QWidget* parent, const char* name, const QString& text) {
    auto* label = new ClickLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // The addresses hold the program's folder, which may hold anything.
    label->setTextFormat(Qt::PlainText);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QLabel* plain(QWidget* parent, const char* name, const QString& text = {}) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFrame* line(QWidget* parent) {
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

}  // namespace

frmAbout::frmAbout(Shell& shell, QString executableFolder, int languageOffset, QWidget* parent)
    : QDialog(parent), desktop(shell), folder(std::move(executableFolder)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("PLUMA"));

    Picture1 = link(this, "Picture1", QString());
    Picture1->setPixmap(plumaIcon().pixmap(64, 64));
    lblTitle = plain(this, "lblTitle", QStringLiteral("PLUMA"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = plain(this, "lblVersion",
                       QStringLiteral("Version %1.%2.%3")
                           .arg(PlumaVersion::major)
                           .arg(PlumaVersion::minor)
                           .arg(PlumaVersion::revision));
    QStringList description;
    // Id 1041 has no text in the table; the mail lines stand alone then.
    const QString first = StringTable::text(1041, languageOffset);
    if (!first.isEmpty()) description << first;
    description << QStringLiteral("Mailto : ") + Links::authorMail() << QStringLiteral("Mailto : ") + Links::secondAuthorMail();
    lblDescription = plain(this, "lblDescription", description.join(QLatin1Char('\n')));
    lblDisclaimer = plain(this, "lblDisclaimer", QStringLiteral("PLUMA authors 1999-2000. All rights reserved."));
    Label1 = link(this, "Label1", QStringLiteral("WEB#2 : ") + Links::readme(folder).toString());
    Label2 = link(this, "Label2", QStringLiteral("WEB#1 : ") + Links::authorPage(folder).toString());
    for (QLabel* l : {static_cast<QLabel*>(Label1), static_cast<QLabel*>(Label2), lblDescription}) l->setWordWrap(true);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&Infos Système"), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(60);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(20, 20, 20, 20);
    grid->addWidget(Picture1, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(line(this), 3, 0, 1, 3);
    grid->addWidget(Label2, 4, 0, 1, 3);
    grid->addWidget(Label1, 5, 0, 1, 3);
    grid->addWidget(line(this), 6, 0, 1, 3);
    grid->addWidget(lblDisclaimer, 7, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 0, 2, 3, 1, Qt::AlignTop);

    connect(Timer1, &QTimer::timeout, this, &frmAbout::tick);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        Timer1->stop();
        collapseToCentre(this);
        accept();
    });
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::startSystemInformation);
    connect(Label1, &ClickLabel::released, this, [this] { desktop.open(Links::readme(folder)); });
    connect(Label2, &ClickLabel::released, this, [this] { desktop.open(Links::authorPage(folder)); });
    connect(Picture1, &ClickLabel::released, this,
            [this] { desktop.open(QUrl(QStringLiteral("mailto:") + Links::authorMail())); });
    Timer1->start();
}

int frmAbout::nextEdge(int current, int& direction) {
    if (current >= 9) direction = -1;
    if (current <= 1) direction = 1;
    return current + direction;
}

void frmAbout::tick() {
    edge = nextEdge(edge, step);
    update();
}

void frmAbout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFormEdges(painter, rect(), edge, true);
}

QString frmAbout::systemInformationProgram() {
    static constexpr std::array<const char*, 4> candidates{"hardinfo2", "hardinfo", "kinfocenter", "lshw-gtk"};
    for (const char* name : candidates) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty()) return path;
    }
    return {};
}

void frmAbout::startSystemInformation() {
    const QString program = systemInformationProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {}))
        desktop.message(this, Shell::Icon::None, QString(), QStringLiteral("System Information Is Unavailable At This Time"));
}
