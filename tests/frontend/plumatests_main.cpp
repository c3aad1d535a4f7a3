// One test program for PLUMA; the first argument names the test class, so
// that CTest runs the classes side by side.
#include "tests/frontend/frontendtests.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    // Settings, data and the instance lock stay inside a scratch home.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    for (const char* folder : {"config", "data", "runtime"}) QDir(scratch.path()).mkdir(QString::fromLatin1(folder));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.filePath(QStringLiteral("runtime")).toLocal8Bit());
    // The engines PLUMA starts see the virtual drives only.
    qputenv("VOLTA_NO_REAL_HOSTS", "1");
    qunsetenv("VOLTA_SYSFS");
    qunsetenv("VOLTA_DEV");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PLUMA"));
    QApplication::setOrganizationName(QStringLiteral("PLUMA"));

    QStringList arguments = QApplication::arguments();
    const QString group = arguments.size() > 1 ? arguments.takeAt(1) : QString();
    std::unique_ptr<QObject> test = makeFrontendTest(group);
    if (!test) {
        std::fprintf(stderr, "usage: frontend_tests logic|window|endtoend [Qt Test options]\n");
        return 2;
    }
    return QTest::qExec(test.get(), arguments);
}
