#include "frontend/shell.h"

#include "frontend/cdromcontrol.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>

void DesktopShell::message(QWidget* owner, Icon icon, const QString& title, const QString& text) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
        case Icon::None: break;
        case Icon::Information: boxIcon = QMessageBox::Information; break;
        case Icon::Exclamation: boxIcon = QMessageBox::Warning; break;
        case Icon::Critical: boxIcon = QMessageBox::Critical; break;
        case Icon::Question: boxIcon = QMessageBox::Question; break;
    }
    QMessageBox box(boxIcon, title.isEmpty() ? QStringLiteral("PLUMA") : title, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool DesktopShell::askYesNo(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool DesktopShell::askOkCancel(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok | QMessageBox::Cancel, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> DesktopShell::input(QWidget* owner, const QString& title, const QString& prompt,
                                           const QString& proposal) {
    bool ok = false;
    const QString answer = QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, proposal, &ok);
    if (!ok) return std::nullopt;
    return answer;
}

bool DesktopShell::open(const QUrl& url) { return QDesktopServices::openUrl(url); }

void DesktopShell::beep() { QApplication::beep(); }

void DesktopShell::media(Media command) {
    if (command == Media::StopAudio)
        CdromControl::stopAudio();
    else
        CdromControl::closeTray();
}
