// The encoding run against a stand-in volta script in a scratch program
// folder: command lines, renames, logs, stop, refusal, failures, shutdown.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include "frontend/encodingrun.h"
#include "tests/frontend/fakerunwindow.h"

namespace {

QString standIn() { return QStringLiteral(PLUMA_TEST_DATA "/standin-volta.sh"); }

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class EncodingRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkdir(QStringLiteral("MP3s"));
        qputenv("STANDIN_RECORD", record().toLocal8Bit());
        for (const char* name : {"STANDIN_BYTES", "STANDIN_SLEEP", "STANDIN_NAME", "STANDIN_IGNORE_TERM"})
            qunsetenv(name);
        window.settings[SettingKey::Debug] = QStringLiteral("1");
        window.encode.kbps = 128;
        window.encode.onTheFly = false;
        window.encode.atapi = false;
        window.encode.autoDetect = true;
    }

    QString record() const { return folder.filePath(QStringLiteral("arguments")); }
    QString output(const QString& name) const { return folder.filePath(QStringLiteral("MP3s/") + name); }
    QStringList recordedRuns() const {
        return QString::fromUtf8(readAll(record())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString errorLog() const { return QString::fromUtf8(readAll(output(QStringLiteral("ErrorLog.txt")))); }

    void run(const QString& volta = standIn()) {
        ProcessRunner child(volta, folder.path());
        EncodingRun encoding(window, child, folder.path(), false);
        runner = &encoding;
        encoding.start();
        runner = nullptr;
    }

    QTemporaryDir folder;
    FakeRunWindow window;
    EncodingRun* runner = nullptr;
};

TEST_F(EncodingRunTest, EncodesEachSelectedTrackAndRenamesItsFile) {
    window.entries = {"03-Track", "07-Intro", "12-Outro"};
    window.selected = {"07-Intro", "12-Outro"};
    window.lengths = {{7, "03:49.00"}, {12, "00:41.52"}};
    qputenv("STANDIN_BYTES", "3000");
    // Left from an earlier run: both go before the child starts.
    writeBytes(output("07-Intro.mp3"), "old");
    writeBytes(output("0707.mp3"), "stale");
    run();

    EXPECT_EQ(recordedRuns(), QStringList({"/mm /eb128 /t MP3s\\07$2di 7", "/mm /eb128 /t MP3s\\12$2di 12"}));
    EXPECT_EQ(QFileInfo(output("07-Intro.mp3")).size(), 3000);
    EXPECT_EQ(QFileInfo(output("12-Outro.mp3")).size(), 3000);
    EXPECT_FALSE(QFile::exists(output("0707.mp3")));
    EXPECT_EQ(window.playlistWrites, 1);
    EXPECT_EQ(window.current, "12-Outro");
    EXPECT_EQ(window.trackLengthText, "12-Outro 00:41.52 Minutes");
    EXPECT_EQ(window.settings.value(SettingKey::CurrentTrack), "41");
    EXPECT_EQ(window.sounds, 1);
    EXPECT_EQ(window.powerOffs, 0);
    EXPECT_TRUE(window.messages.isEmpty());
    EXPECT_TRUE(window.allowed);
    EXPECT_FALSE(window.stopShown);
    EXPECT_FALSE(window.timerActive);
    EXPECT_TRUE(window.title.isEmpty());
    EXPECT_TRUE(window.childTagText.isEmpty());

    QString log = errorLog();
    QStringList lines = log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_TRUE(log.endsWith("\r\n"));
    QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "));
    for (const QString& line : lines) EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines[0].endsWith("Command2Button :: début copie CDA-WAV // piste #07 // Erreur #0"));
    EXPECT_TRUE(lines[1].contains(QRegularExpression(
        "Command2Button\\(Fin encodage\\): encodage OK ! // piste #07 Durée encodage :: \\d\\d:\\d\\d:\\d\\d$")));
    EXPECT_TRUE(lines[4].contains(QRegularExpression("Durée totale d'encodage : \\d\\d:\\d\\d:\\d\\d$")));
    EXPECT_TRUE(lines[5].endsWith(
        "Command2Button(Fin encodage): Sortie BOUCLE Encodage :: List1.Tag= Encodage"));
}

TEST_F(EncodingRunTest, ShortNamedFileAndFilesInTheWayEndUnderTheFinalName) {
    window.entries = window.selected = {"05-Song"};
    window.settings[SettingKey::FormatAudio] = QStringLiteral("WAV");
    qputenv("STANDIN_BYTES", "100");
    qputenv("STANDIN_NAME", "short");
    // The output folder is missing: it is made and the run goes on.
    QDir(output(QString())).removeRecursively();
    run();
    EXPECT_EQ(recordedRuns(), QStringList({"/mm /t MP3s\\05$2di 5"}));
    EXPECT_EQ(QFileInfo(output("05-Song.wav")).size(), 100);
    EXPECT_FALSE(QFile::exists(output("05.wav")));
    EXPECT_TRUE(errorLog().contains("Command2Button: Path not found // CRITIQUE%= 0"));
}

TEST_F(EncodingRunTest, ANameWithASlashStaysInTheOutputFolder) {
    window.entries = window.selected = {"02-../../AC/DC"};
    qputenv("STANDIN_BYTES", "10");
    run();
    EXPECT_EQ(QFileInfo(output("02-..-..-AC-DC.mp3")).size(), 10);
}

TEST_F(EncodingRunTest, ATrackWithoutFileIsLogged) {
    window.entries = window.selected = {"04-Quiet"};
    run();
    EXPECT_FALSE(QFile::exists(output("04-Quiet.mp3")));
    EXPECT_TRUE(errorLog().contains("aucun fichier produit // piste #04"));
    EXPECT_EQ(window.sounds, 1);
}

TEST_F(EncodingRunTest, NoLogWithoutDebug) {
    window.settings[SettingKey::Debug] = QStringLiteral("0");
    window.entries = window.selected = {"01-A"};
    run();
    EXPECT_FALSE(QFile::exists(output("ErrorLog.txt")));
}

TEST_F(EncodingRunTest, StopEndsTheChildAndTheLoopWithoutSoundOrShutdown) {
    for (bool ignoresTerm : {false, true}) {
        SCOPED_TRACE(ignoresTerm ? "child ignores SIGTERM" : "child obeys SIGTERM");
        QFile::remove(record());
        window = FakeRunWindow();
        window.settings[SettingKey::Debug] = QStringLiteral("1");
        window.encode.kbps = 128;
        window.entries = window.selected = {"01-First", "02-Second"};
        window.shutdown = true;
        qputenv("STANDIN_BYTES", "500");
        qputenv("STANDIN_SLEEP", "60");
        if (ignoresTerm) qputenv("STANDIN_IGNORE_TERM", "1");
        else qunsetenv("STANDIN_IGNORE_TERM");
        qint64 pid = 0;
        // Stop once the child has started and written its first bytes.
        QTimer poller;
        QObject::connect(&poller, &QTimer::timeout, [&] {
            if (recordedRuns().isEmpty() || window.childTagText.isEmpty()) return;
            poller.stop();
            pid = window.childTagText.toLongLong();
            runner->requestStop();
        });
        window.onTrackRunning = [&] { poller.start(20); };
        run();
        EXPECT_EQ(recordedRuns().size(), 1);
        ASSERT_GT(pid, 0);
        EXPECT_NE(kill(static_cast<pid_t>(pid), 0), 0) << "the child is still there";
        EXPECT_EQ(window.questions, 1);
        EXPECT_EQ(window.sounds, 0);
        EXPECT_EQ(window.powerOffs, 0);
        EXPECT_FALSE(window.shutdown);
        EXPECT_TRUE(window.messages.isEmpty());
        EXPECT_TRUE(window.allowed);
        EXPECT_EQ(QFileInfo(output("01-First.mp3")).size(), 500);
        EXPECT_FALSE(QFile::exists(output("02-Second.mp3")));
        QString log = errorLog();
        EXPECT_TRUE(log.contains("Command2Button :: Encodage STOPPé // Erreur #0"));
        EXPECT_TRUE(log.contains("STOPPED BY USER :: Action : KILL MAPOLDMP$  :: List1.Tag = Encodage STOP"));
        EXPECT_TRUE(log.contains("Sortie BOUCLE Encodage :: List1.Tag= Encodage STOP\r\n"));
        QFile::remove(output("01-First.mp3"));
        QFile::remove(output("ErrorLog.txt"));
    }
}

TEST_F(EncodingRunTest, AStoppedRunDoesNotStopTheNext) {
    window.entries = window.selected = {"01-First", "02-Second"};
    ProcessRunner child(standIn(), folder.path());
    EncodingRun encoding(window, child, folder.path(), false);
    qputenv("STANDIN_SLEEP", "60");
    QTimer poller;
    QObject::connect(&poller, &QTimer::timeout, [&] {
        if (recordedRuns().isEmpty()) return;
        poller.stop();
        encoding.requestStop();
    });
    window.onTrackRunning = [&] { poller.start(20); };
    encoding.start();
    ASSERT_EQ(encoding.listTag(), "Encodage STOP");

    window.onTrackRunning = nullptr;
    qunsetenv("STANDIN_SLEEP");
    encoding.start();
    EXPECT_EQ(recordedRuns().size(), 3);
    EXPECT_EQ(window.sounds, 1);
}

TEST_F(EncodingRunTest, ASecondRunIsRefusedWhileOneRuns) {
    window.entries = window.selected = {"01-A", "02-B"};
    // Once during each track, once before the first (nothing holds
    // `Command1` yet then).
    window.onTrackRunning = [&] { runner->start(); };
    window.onPlaylist = [&] { runner->start(); };
    run();
    ASSERT_EQ(window.messages.size(), 3);
    for (const ShownMessage& message : window.messages) {
        EXPECT_EQ(message.text, "string 1036");
        EXPECT_EQ(message.title, "ATTENTION !");
    }
    EXPECT_EQ(recordedRuns().size(), 2);

    window.messages.clear();
    window.allowed = false;  // a track of another run holds `Command1`
    run();
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_EQ(window.messages[0].text, "string 1036");
    EXPECT_EQ(recordedRuns().size(), 2);
}

TEST_F(EncodingRunTest, EmptyListMissingVoltaAndNoSelection) {
    run();
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_EQ(window.messages[0].text, "string 1035");
    EXPECT_EQ(window.playlistWrites, 0);

    window.messages.clear();
    window.entries = {"01-A"};
    run();
    EXPECT_TRUE(window.messages.isEmpty());
    EXPECT_EQ(window.playlistWrites, 0);

    window.selected = {"01-A", "02-B"};
    run(QString());
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(window.messages[0].title, "ATTENTION");
    EXPECT_EQ(window.messages[0].text, "VOLTA.EXE non trouvé ou non déclaré dans le PATH !");
    EXPECT_TRUE(errorLog().contains("Command2Button: File not found // CRITIQUE%= 1\r\n"));
    EXPECT_EQ(window.sounds, 0);
    EXPECT_TRUE(window.allowed);
    EXPECT_FALSE(window.stopShown);
    EXPECT_TRUE(window.title.isEmpty());
}

TEST_F(EncodingRunTest, ShutdownAfterTheLastTrack) {
    window.entries = window.selected = {"01-A", "02-B"};
    window.shutdown = true;
    run();
    EXPECT_EQ(window.powerOffs, 1);
    EXPECT_EQ(window.closes, 1);
    EXPECT_TRUE(window.messages.isEmpty());

    window.powerOffResult = 1;
    run();
    EXPECT_EQ(window.powerOffs, 2);
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_EQ(window.messages[0].text, "Shutdown attempt failed !");
    EXPECT_EQ(window.closes, 2);
}

}  // namespace
