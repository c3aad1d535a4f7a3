#include "tests/frontend/frontendtests.h"

#include <QDir>

std::unique_ptr<QObject> makeFrontendTest(const QString& group) {
    if (group == QLatin1String("logic")) return makeLogicTest();
    if (group == QLatin1String("window")) return makeWindowTest();
    if (group == QLatin1String("endtoend")) return makeEndToEndTest();
    return nullptr;
}

QString listingFixture(const QString& name) {
    return QDir(QStringLiteral(PLUMA_TEST_DATA)).filePath(name);
}
