#pragma once
// "ErrorLog.txt" in the output folder: one line per call, the date, the
// time and the message, ended by CR LF.

#include <QDateTime>
#include <QString>

QString errorLogPath(const QString& outputFolder);

int appendErrorLog(const QString& outputFolder, const QString& message,
                   const QDateTime& when = QDateTime::currentDateTime());
