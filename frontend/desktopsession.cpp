#include "frontend/desktopsession.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace {

QDBusInterface screenSaver() {
    return QDBusInterface(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                          QStringLiteral("org.freedesktop.ScreenSaver"), QDBusConnection::sessionBus());
}

}  // namespace

void ScreenSaverInhibitor::inhibit() {
    if (held || !QDBusConnection::sessionBus().isConnected()) return;
    QDBusInterface service = screenSaver();
    if (!service.isValid()) return;
    const QDBusReply<unsigned> reply =
        service.call(QStringLiteral("Inhibit"), QStringLiteral("PLUMA"), QStringLiteral("Copying an audio CD"));
    if (!reply.isValid()) return;
    cookie = reply.value();
    held = true;
}

void ScreenSaverInhibitor::release() {
    if (!held) return;
    held = false;
    QDBusInterface service = screenSaver();
    if (service.isValid()) service.call(QStringLiteral("UnInhibit"), cookie);
}

std::unique_ptr<QLockFile> takeInstanceLock() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("pluma.lock")));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}
