// PLUMA with the real engine and a virtual drive holding the demo disc, and
// the pluma program itself for what happens before any window.
#include "frontend/form1.h"
#include "frontend/plumasettings.h"
#include "frontend/desktopsession.h"
#include "frontend/quitsignals.h"
#include "tests/frontend/frontendtests.h"
#include "tests/frontend/recordingshell.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

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

    // The end of the session after a copy whose end sound has played: SDL
    // holds the audio device, yet SIGTERM closes PLUMA as its Quit item does.
    void terminationSignalAfterACopyClosesTheWindow() {
        PlumaSettings settings(false);
        settings.clearAll();
        settings.setValue(SettingKey::Eject, QStringLiteral("0"));
        settings.setValue(SettingKey::FormatAudio, QStringLiteral("WAV"));
        QTemporaryDir folder;
        qputenv("VOLTA_IMAGES", QDir(QStringLiteral(VOLTA_DEMO_DIR)).filePath(QStringLiteral("demo.cue")).toLocal8Bit());
        auto shell = std::make_unique<RecordingShell>();
        RecordingShell& boxes = *shell;
        Form1 form(settings, PlumaContext{folder.path(), folder.path(), QStringLiteral(VOLTA_BINARY), {}},
                   std::move(shell));
        QuitSignals quitSignals([&form] { form.endSession(); });
        QCOMPARE(quitSignals.install(), 0);
        form.load();
        form.show();
        QCOMPARE(form.List1->count(), 4);
        form.List1->item(3)->setSelected(true);
        form.Command2->click();
        qunsetenv("VOLTA_IMAGES");
        QVERIFY(QFileInfo(form.outputFolder() + QStringLiteral("/04-Track.wav")).size() > 0);
        QVERIFY(boxes.messages.empty());
        QVERIFY(SDL_WasInit(SDL_INIT_AUDIO) != 0);
        QVERIFY(QFile::exists(form.cdListPath()));

        QCOMPARE(::kill(::getpid(), SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 10000);
        QCOMPARE(form.windowTitle(), QStringLiteral("Bye bye ;-)"));
        QVERIFY(!QFile::exists(form.cdListPath()));
        QVERIFY(boxes.messages.empty());
    }

    // The program itself: a termination signal ends it through its closing
    // sequence, which removes the listing, and it exits normally.
    void terminationSignalEndsTheProgramCleanly() {
        QTemporaryDir folder;
        const QString pluma = folder.filePath(QStringLiteral("pluma"));
        // A copy, so that its files go to this folder rather than beside the build's.
        QVERIFY(QFile::copy(QStringLiteral(PLUMA_BINARY), pluma));
        QVERIFY(QFile::link(QStringLiteral(VOLTA_BINARY), folder.filePath(QStringLiteral("volta"))));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VOLTA_IMAGES"),
                           QDir(QStringLiteral(VOLTA_DEMO_DIR)).filePath(QStringLiteral("demo.cue")));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.path());
        program.start(pluma, {});
        QVERIFY(program.waitForStarted());
        // The output folder is made once the disc is listed.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder.filePath(QStringLiteral("MP3s"))).isDir(), 20000);
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("CdList"))));
        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
        const bool ended = program.waitForFinished(15000);
        if (!ended) program.kill();
        QVERIFY(ended);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("CdList"))));
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
