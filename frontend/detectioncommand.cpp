#include "frontend/detectioncommand.h"

QStringList detectionArguments(bool atapi, bool autoDetection, int host, int target, int lun) {
    QStringList args;
    if (atapi) args << QStringLiteral("/dATAPI");
    if (!autoDetection) args << QStringLiteral("/s%1%2%3").arg(host).arg(target).arg(lun);
    args << QStringLiteral("/l") << QStringLiteral("Piste") << QStringLiteral("0");
    return args;
}

QString sanitisedAddress(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() == 1 && t[0].isDigit() && t[0].unicode() < 128) return t;
    return QStringLiteral("0");
}
