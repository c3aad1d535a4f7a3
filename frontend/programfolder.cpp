#include "frontend/programfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString programFolder(const QString& executableFolder) {
    const QFileInfo dir(executableFolder);
    if (dir.isDir() && dir.isWritable()) return dir.absoluteFilePath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}

QString outputFolder(const QString& programFolder) { return QDir(programFolder).filePath(QStringLiteral("MP3s")); }

QString findVolta(const QString& executableFolder) {
    const QFileInfo beside(QDir(executableFolder).filePath(QStringLiteral("volta")));
    if (beside.isFile() && beside.isExecutable()) return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("volta"));
}
