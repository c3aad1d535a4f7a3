#include "frontend/clsapistuff.h"

#include "frontend/shell.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

const QString defaultKey = QStringLiteral("PLUMA-1999!");

int logind(const QString& method, const QVariantList& arguments, const QString& path = QStringLiteral("/org/freedesktop/login1"),
           const QString& interface = QStringLiteral("org.freedesktop.login1.Manager")) {
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), path, interface, QDBusConnection::systemBus());
    if (!manager.isValid()) return 1;
    const QDBusMessage reply = manager.callWithArgumentList(QDBus::Block, method, arguments);
    return reply.type() == QDBusMessage::ErrorMessage ? 1 : 0;
}

}  // namespace

QString clsAPIstuff::downloadAddress(QString site, QString file) {
    if (site.isEmpty() || file.isEmpty()) return {};
    if (!site.startsWith(QLatin1String("http"))) site.prepend(QStringLiteral("http://"));
    if (!site.endsWith(QLatin1Char('/'))) site += QLatin1Char('/');
    if (file.startsWith(QLatin1Char('/'))) file.remove(0, 1);
    return site + file;
}

int clsAPIstuff::DownLoadFile(Shell& shell, const QString& site, const QString& file) {
    const QString address = downloadAddress(site, file);
    if (address.isEmpty()) return 0;
    return shell.open(QUrl(address)) ? 0 : 1;
}

QString clsAPIstuff::confirmationText(Power what) {
    switch (what) {
        case Power::Reboot:
            return QStringLiteral("This program is going to reboot your computer. Press OK to continue or Cancel to stop.");
        case Power::LogOff:
            return QStringLiteral(
                "This program is going to Log Off  your computer. Press OK to continue or Cancel to stop.");
        case Power::PowerOff:
            return QStringLiteral(
                "This program is going to shut down your computer. Press OK to continue or Cancel to stop.");
    }
    return {};
}

int clsAPIstuff::power(Shell& shell, Power what, bool confirm) {
    if (confirm && !shell.askOkCancel(nullptr, QApplication::applicationName(), confirmationText(what))) {
        QCoreApplication::exit(0);
        return 1;
    }
    static constexpr const char* words[] = {"reboot", "logoff", "poweroff"};
    const QString word = QString::fromLatin1(words[static_cast<int>(what)]);
    const QString command = qEnvironmentVariable("PLUMA_POWEROFF_COMMAND");
    if (!command.isEmpty()) {
        QStringList parts = QProcess::splitCommand(command);
        if (parts.isEmpty()) return 1;
        const QString program = parts.takeFirst();
        return QProcess::execute(program, parts << word) == 0 ? 0 : 1;
    }
    switch (what) {
        case Power::Reboot: return logind(QStringLiteral("Reboot"), {false});
        case Power::PowerOff: return logind(QStringLiteral("PowerOff"), {false});
        case Power::LogOff:
            return logind(QStringLiteral("Terminate"), {}, QStringLiteral("/org/freedesktop/login1/session/auto"),
                          QStringLiteral("org.freedesktop.login1.Session"));
    }
    return 1;
}

int clsAPIstuff::RestartWindows(Shell& shell, bool confirm) { return power(shell, Power::Reboot, confirm); }
int clsAPIstuff::LogOffWindows(Shell& shell, bool confirm) { return power(shell, Power::LogOff, confirm); }
int clsAPIstuff::ShutDownWindows(Shell& shell, bool confirm) { return power(shell, Power::PowerOff, confirm); }

void clsAPIstuff::FatalErrorExit(const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::abort();
}

int clsAPIstuff::writeShortcut(const QString& folder, const QString& linkName, const QString& target) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) return 1;
    QSaveFile entry(QDir(folder).filePath(linkName + QStringLiteral(".desktop")));
    if (!entry.open(QIODevice::WriteOnly)) return 1;
    entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\"\n")
                    .arg(linkName, QFileInfo(target).absoluteFilePath())
                    .toUtf8());
    if (!entry.commit()) return 1;
    QFile::setPermissions(entry.fileName(), QFile::permissions(entry.fileName()) | QFile::ExeOwner);
    return 0;
}

int clsAPIstuff::DesktopShortcut(const QString& linkName, const QString& target) {
    return writeShortcut(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation), linkName, target);
}

int clsAPIstuff::StartMenuShortcut(const QString& linkName, const QString& target) {
    return writeShortcut(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation), linkName, target);
}

void clsAPIstuff::FlashWinEXON(QWidget* window) { QApplication::alert(window, 0); }
void clsAPIstuff::FlashWin(QWidget* window) { QApplication::alert(window, 1000); }
void clsAPIstuff::FlashWinEXOFF(QWidget* window) { QApplication::alert(window, 1); }

bool clsAPIstuff::GetPressedKey(int keyCode) {
    const Qt::KeyboardModifiers held = QApplication::queryKeyboardModifiers();
    switch (keyCode) {
        case 16: return held.testFlag(Qt::ShiftModifier);
        case 17: return held.testFlag(Qt::ControlModifier);
        case 18: return held.testFlag(Qt::AltModifier);
        default: return false;
    }
}

QString clsAPIstuff::FreeDiscSpace(const QString& path) {
    const QStorageInfo volume(path);
    if (!volume.isValid()) return {};
    constexpr qint64 sector = 512;
    const qint64 cluster = std::max<qint64>(volume.blockSize(), sector);
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Sectors per Cluster: %1").arg(cluster / sector) + crlf +
           QStringLiteral("Bytes per sector: %1").arg(sector) + crlf +
           QStringLiteral("Number Of Free Clusters: %1").arg(volume.bytesAvailable() / cluster) + crlf +
           QStringLiteral("Total Number Of Clusters: %1").arg(volume.bytesTotal() / cluster) + crlf +
           QStringLiteral("Total number of bytes in path: %1").arg(volume.bytesTotal()) + crlf +
           QStringLiteral("Free bytes: %1").arg(volume.bytesAvailable()) + crlf;
}

QString clsAPIstuff::Get_DriveType(const QString& path) {
    const QStorageInfo volume(path);
    if (!volume.isValid()) return QStringLiteral("Unrecognized");
    const QByteArray type = volume.fileSystemType();
    if (type == "iso9660" || type == "udf") return QStringLiteral("CD-Rom");
    if (type == "tmpfs" || type == "ramfs") return QStringLiteral("Ram disk");
    if (type.startsWith("nfs") || type == "cifs" || type == "smb3" || type.startsWith("fuse.sshfs"))
        return QStringLiteral("Remote");
    const QString device = QFileInfo(QString::fromLocal8Bit(volume.device())).fileName();
    QFile removable(QStringLiteral("/sys/class/block/%1/removable").arg(device));
    if (removable.open(QIODevice::ReadOnly) && removable.readAll().trimmed() == "1") return QStringLiteral("Removable");
    return QStringLiteral("Drive Fixed");
}

QString clsAPIstuff::CharType(char32_t code) {
    const char32_t c = code;
    QString kind;
    if (QChar::isLetter(c)) kind = QStringLiteral("Alpha");
    if (QChar::isLetterOrNumber(c)) kind += QStringLiteral(" AlphaNumeric");
    if (QChar::isLower(c)) kind += QStringLiteral(" Lower Case");
    if (QChar::isUpper(c)) kind += QStringLiteral(" Upper Case");
    return kind;
}

int clsAPIstuff::LaunchWebBrowser(Shell& shell, const QString& address) {
    return shell.open(QUrl::fromUserInput(address)) ? 0 : 1;
}

void clsAPIstuff::MaxWindow(QWidget* window) { window->showMaximized(); }
void clsAPIstuff::MinWindow(QWidget* window) { window->showMinimized(); }
void clsAPIstuff::NormWindow(QWidget* window) { window->showNormal(); }

int clsAPIstuff::GetPercent(qint64 part, qint64 whole) {
    if (whole == 0) return 0;
    return static_cast<int>(part * 100 / whole);
}

QString clsAPIstuff::Scramble(const QString& text, QString key) {
    if (key.isEmpty()) key = defaultKey;
    QStringList numbers;
    for (qsizetype i = 0; i < text.size(); ++i)
        numbers << QString::number(text[i].unicode() + key[i % key.size()].unicode());
    return numbers.join(QLatin1Char(' '));
}

QString clsAPIstuff::Unscramble(Shell& shell, const QString& text, QString key) {
    if (key.isEmpty()) key = defaultKey;
    QString plain;
    const QStringList numbers = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        bool ok = false;
        const int value = numbers[i].toInt(&ok) - key[i % key.size()].unicode();
        if (!ok || value < 0 || value > 0xFFFF) {
            shell.message(nullptr, Shell::Icon::Critical, QStringLiteral("Decryption Error"),
                          QStringLiteral("You Have Entered The WRONG Encrypt Key or Have the Worng Encrypted "
                                         "Message. Please check both with whoever sent them."));
            return {};
        }
        plain += QChar(value);
    }
    return plain;
}
