// PLUMA with the real engine and a virtual drive holding the demo disc, and
// the pluma program itself for what happens before any window.
#include "frontend/form1.h"
#include "frontend/plumasettings.h"
#include "frontend/desktopsession.h"
#include "frontend/quitsignals.h"
#include "tests/frontend/frontendtests.h"
#include "tests/frontend/recordingshell.h"

#include <QAction>
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

QString demoSheet() { return QDir(QStringLiteral(VOLTA_DEMO_DIR)).filePath(QStringLiteral("demo.cue")); }

// A window in a scratch folder with fresh settings that leave the tray
// alone, a recording desktop and the demo disc in a virtual drive.
class DemoWindow {
public:
    // `programs`: where the window takes its program to stand, the scratch
    // folder when empty.
    explicit DemoWindow(const QString& engine = QStringLiteral(VOLTA_BINARY), const QString& programs = {}) {
        settings.clearAll();
        settings.setValue(SettingKey::Eject, QStringLiteral("0"));
        auto recorder = std::make_unique<RecordingShell>();
        shell = recorder.get();
        form = std::make_unique<Form1>(
            settings, PlumaContext{programs.isEmpty() ? folder.path() : programs, folder.path(), engine, {}},
            std::move(recorder));
        qputenv("VOLTA_IMAGES", demoSheet().toLocal8Bit());
    }
    ~DemoWindow() { qunsetenv("VOLTA_IMAGES"); }

    PlumaSettings settings{false};
    QTemporaryDir folder;
    RecordingShell* shell = nullptr;
    std::unique_ptr<Form1> form;
};

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void detectionListsTheDemoDisc() {
        DemoWindow window;
        Form1& form = *window.form;
        form.load();
        QCOMPARE(entries(form.List1), (QStringList{"01-Track", "02-Track", "03-Track", "04-Track"}));
        QCOMPARE(form.Label10->text(), QStringLiteral("VOLTA   VIRTUAL CD-ROM   (MMC)"));
        QVERIFY(window.shell->messages.empty());
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
        DemoWindow window;
        window.settings.setValue(SettingKey::FormatAudio, QStringLiteral("WAV"));
        Form1& form = *window.form;
        const std::vector<RecordingShell::Message>& boxes = window.shell->messages;
        QuitSignals quitSignals([&form] { form.endSession(); });
        QCOMPARE(quitSignals.install(), 0);
        form.load();
        form.show();
        QCOMPARE(form.List1->count(), 4);
        form.List1->item(3)->setSelected(true);
        form.Command2->click();
        QVERIFY(QFileInfo(form.outputFolder() + QStringLiteral("/04-Track.wav")).size() > 0);
        QVERIFY(boxes.empty());
        QVERIFY(SDL_WasInit(SDL_INIT_AUDIO) != 0);
        QVERIFY(QFile::exists(form.cdListPath()));

        QCOMPARE(::kill(::getpid(), SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 10000);
        QCOMPARE(form.windowTitle(), QStringLiteral("Bye bye ;-)"));
        QVERIFY(!QFile::exists(form.cdListPath()));
        QVERIFY(boxes.empty());
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
        environment.insert(QStringLiteral("VOLTA_IMAGES"), demoSheet());
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

    // Each Infos document opens in both languages, from the build tree and
    // from an installation.
    void infosDocumentsOpenInBothLanguages() {
        QTemporaryDir prefix;
        QProcess install;
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(PLUMA_BUILD_DIR), QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(60000));
        QCOMPARE(install.exitCode(), 0);
        const QString built = QFileInfo(QStringLiteral(PLUMA_BINARY)).absolutePath();
        const QString installedDocuments = QDir(prefix.path()).filePath(QStringLiteral("share/doc/pluma"));
        for (const auto& [programs, documents] :
             {std::pair{built, built}, std::pair{prefix.filePath(QStringLiteral("bin")), installedDocuments}}) {
            DemoWindow window(QString(), programs);
            Form1& form = *window.form;
            form.load();
            const std::vector<QUrl>& opened = window.shell->opened;
            const std::pair<QAction*, QStringList> languages[] = {
                {form.France, {"LISEZ-MOI", QString::fromUtf8("Questions fréquentes"), "Historique"}},
                {form.Anglais, {"README", "Frequently asked questions", "History"}},
            };
            for (const auto& [language, titles] : languages) {
                language->trigger();
                QAction* const items[] = {form.lisez, form.Faq, form.Historique};
                for (int i = 0; i < 3; ++i) {
                    const size_t before = opened.size();
                    items[i]->trigger();
                    QCOMPARE(opened.size(), before + 1);
                    const QString file = opened.back().toLocalFile();
                    QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(documents).canonicalFilePath());
                    QFile document(file);
                    QVERIFY2(document.open(QIODevice::ReadOnly), qPrintable(file));
                    QCOMPARE(QString::fromUtf8(document.readLine()).trimmed(), "PLUMA - " + titles[i]);
                }
            }
        }
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
