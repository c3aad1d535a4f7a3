// PLUMA with the real engine and a virtual drive holding the demo disc, and
// the pluma program itself for what happens before any window.
#include "frontend/form1.h"
#include "frontend/plumasettings.h"
#include "frontend/desktopsession.h"
#include "tests/frontend/frontendtests.h"
#include "tests/frontend/recordingshell.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// Runs the pluma program in `folder`; its exit code, -1 when it did not end in time.
int runPluma(const QStringList& arguments, const QString& folder) {
    QProcess pluma;
    pluma.setWorkingDirectory(folder);
    pluma.start(QStringLiteral(PLUMA_BINARY), arguments);
    if (!pluma.waitForFinished(20000)) {
        pluma.kill();
        pluma.waitForFinished();
        return -1;
    }
    return pluma.exitStatus() == QProcess::NormalExit ? pluma.exitCode() : -1;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void detectionListsTheDemoDisc() {
        PlumaSettings settings(false);
        settings.clearAll();
        settings.setValue(SettingKey::Eject, QStringLiteral("0"));
        QTemporaryDir folder;
        qputenv("VOLTA_IMAGES", QDir(QStringLiteral(VOLTA_DEMO_DIR)).filePath(QStringLiteral("demo.cue")).toLocal8Bit());
        auto shell = std::make_unique<RecordingShell>();
        RecordingShell& boxes = *shell;
        Form1 form(settings, PlumaContext{folder.path(), folder.path(), QStringLiteral(VOLTA_BINARY), {}},
                   std::move(shell));
        form.load();
        qunsetenv("VOLTA_IMAGES");
        QCOMPARE(entries(form.List1), (QStringList{"01-Track", "02-Track", "03-Track", "04-Track"}));
        QCOMPARE(form.Label10->text(), QStringLiteral("VOLTA   VIRTUAL CD-ROM   (MMC)"));
        QVERIFY(boxes.messages.empty());
        form.List1->setCurrentRow(3, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(form.Label11->text(), QStringLiteral("04-Track 00:18.00 Minutes"));
    }

    void deleteArgumentClearsEverySettingWithoutAWindow() {
        {
            PlumaSettings settings(false);
            settings.setValue(SettingKey::BitRate, QStringLiteral("320"));
            QSettings other(settings.fileName(), QSettings::IniFormat);
            other.setValue(QStringLiteral("Other/Key"), QStringLiteral("1"));
        }
        QTemporaryDir folder;
        QCOMPARE(runPluma({QStringLiteral("/D")}, folder.path()), 0);
        PlumaSettings after(false);
        QCOMPARE(after.value(SettingKey::BitRate), QStringLiteral("160"));
        QVERIFY(QSettings(after.fileName(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void aSecondInstanceEndsAtOnce() {
        const std::unique_ptr<QLockFile> first = takeInstanceLock();
        QVERIFY(first);
        QVERIFY(!takeInstanceLock());
        QTemporaryDir folder;
        QCOMPARE(runPluma({}, folder.path()), 0);
    }
};

std::unique_ptr<QObject> makeEndToEndTest() { return std::make_unique<EndToEndTest>(); }

#include "endtoend_test.moc"
