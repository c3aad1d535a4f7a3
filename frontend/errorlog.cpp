#include "frontend/errorlog.h"

#include <QDir>
#include <QFile>

QString errorLogPath(const QString& outputFolder) {
    return QDir(outputFolder).filePath(QStringLiteral("ErrorLog.txt"));
}

int appendErrorLog(const QString& outputFolder, const QString& message, const QDateTime& when) {
    QFile file(errorLogPath(outputFolder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return 1;
    QString line = when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QLatin1Char(' ') +
                   message + QStringLiteral("\r\n");
    QByteArray bytes = line.toUtf8();
    return file.write(bytes) == bytes.size() ? 0 : 1;
}
