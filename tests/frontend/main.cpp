// The run's waits and child processes need a Qt event loop, the window
// tests a Qt application; settings and data stay inside a scratch home.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "tests/support/runvolta.h"

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    for (const char* folder : {"config", "data", "runtime"}) QDir(scratch.path()).mkdir(QString::fromLatin1(folder));
    QFile::setPermissions(scratch.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", scratch.filePath(QStringLiteral("runtime")).toLocal8Bit());
    keepOffRealDrives();
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PLUMA"));
    QApplication::setOrganizationName(QStringLiteral("PLUMA"));
    return RUN_ALL_TESTS();
}
