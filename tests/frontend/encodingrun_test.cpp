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
#include "frontend/tracklist.h"
#include "tests/frontend/fakerunwindow.h"
#include "tests/support/runvolta.h"

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
        for (const char* name : {"STANDIN_SLEEP", "STANDIN_NAME", "STANDIN_IGNORE_TERM", "STANDIN_EMPTY", "VOLTA_IMAGES"})
            qunsetenv(name);
        // Every track gets a file unless a test says otherwise.
        qputenv("STANDIN_BYTES", "10");
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

TEST_F(EncodingRunTest, ATrackWithoutFileOrWithAnEmptyOneCountsAsFailed) {
    for (const char* bytes : {"0", "empty"}) {
        SCOPED_TRACE(bytes);
        QFile::remove(output("ErrorLog.txt"));
        window = FakeRunWindow();
        window.encode.kbps = 128;
        window.entries = window.selected = {"04-Quiet", "05-Heard"};
        // The first track's engine writes no file, or an empty one; the
        // second's writes its file.
        int tracks = 0;
        window.onTrackRunning = [&] {
            const bool first = tracks++ == 0;
            qputenv("STANDIN_BYTES", first ? "0" : "10");
            if (first && QByteArray(bytes) == "empty")
                qputenv("STANDIN_EMPTY", "1");
            else
                qunsetenv("STANDIN_EMPTY");
        };
        run();
        EXPECT_FALSE(QFile::exists(output("04-Quiet.mp3")));
        EXPECT_EQ(QFileInfo(output("05-Heard.mp3")).size(), 10);
        const QString log = errorLog();
        EXPECT_EQ(log.contains("aucun fichier produit // piste #04"), QByteArray(bytes) == "0");
        EXPECT_TRUE(log.contains("ECHEC encodage ! // piste #04 // code de sortie 0 // "));
        EXPECT_TRUE(log.contains("encodage OK ! // piste #05"));
        ASSERT_EQ(window.messages.size(), 1);
        EXPECT_EQ(window.messages[0].text,
                  "string 1067" "1\n" "string 1068" + QDir::toNativeSeparators(output("ErrorLog.txt")));
        EXPECT_EQ(window.events, QStringList({"message", "sound"}));
    }
}

// volta itself, through a virtual drive whose reads fail on track 2 or
// through a folder that fills up: no failed track is renamed as copied.
TEST_F(EncodingRunTest, AFailedTrackIsNeitherRenamedNorTakenForCopied) {
    struct Case {
        const char* name;
        const char* format;
        const char* drive;        // settings after the demo sheet
        const char* fileLimit;    // bytes a file may reach, empty for none
        QStringList failed;       // the entries whose track fails
    };
    const Case cases[] = {
        {"read error, WAV", "WAV", ",fail=1500-1510", "", {"02-Bad"}},
        {"read error, MP3", "MP3", ",fail=1500-1510", "", {"02-Bad"}},
        {"full folder, WAV", "WAV", "", "100000", {"01-Good", "02-Bad"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(output(QString())).removeRecursively();
        QDir(folder.path()).mkdir(QStringLiteral("MP3s"));
        window = FakeRunWindow();
        window.settings[SettingKey::FormatAudio] = QString::fromLatin1(c.format);
        window.encode.kbps = 128;
        window.entries = window.selected = {"01-Good", "02-Bad"};
        window.shutdown = true;
        const std::string images = demoDir() + "/demo.cue" + c.drive;
        qputenv("VOLTA_IMAGES", QByteArray::fromStdString(images));
        // The engine behind a file-size limit, as on a full disk.
        std::vector<std::string> engine{voltaBinary()};
        if (*c.fileLimit) engine = {"prlimit", std::string("--fsize=") + c.fileLimit, "--", voltaBinary()};
        const QString wrapper = folder.filePath(QStringLiteral("volta"));
        QString script = QStringLiteral("#!/bin/sh\nexec");
        for (const std::string& word : engine) script += QStringLiteral(" '") + QString::fromStdString(word) + '\'';
        writeBytes(wrapper, (script + QStringLiteral(" \"$@\"\n")).toUtf8());
        QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        run(wrapper);

        const QString extension = QString::fromLatin1(c.format).toLower();
        for (const QString& entry : window.entries) {
            SCOPED_TRACE(entry.toStdString());
            const QString copied = output(entry + '.' + extension);
            const QString nn = entry.left(2);
            if (!c.failed.contains(entry)) {
                EXPECT_GT(QFileInfo(copied).size(), 100000);
                EXPECT_TRUE(errorLog().contains("encodage OK ! // piste #" + nn));
                continue;
            }
            EXPECT_FALSE(QFile::exists(copied));
            EXPECT_TRUE(QFile::exists(copied + ".part"));
            EXPECT_FALSE(errorLog().contains("encodage OK ! // piste #" + nn));

            // The log gives the exit code and the engine's last line, as a
            // run of the same command shows them.
            TempDir alone;
            QDir(QString::fromStdString(alone.path())).mkdir(QStringLiteral("MP3s"));
            std::vector<std::string> words{wrapper.toStdString()};
            for (const QString& word : encodeArguments(window.encodeSettings(), nn.toInt())) words.push_back(word.toStdString());
            RunOptions options;
            options.env = {{"VOLTA_IMAGES", images}};
            options.cwd = alone.path();
            const RunResult direct = runProgram(words, options);
            EXPECT_EQ(direct.exitCode, 7);
            QStringList lines = QString::fromStdString(direct.output).split(QRegularExpression("[\r\n]"));
            lines.removeAll(QString());
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_TRUE(errorLog().contains("ECHEC encodage ! // piste #" + nn + " // code de sortie 7 // " +
                                            lines.last().trimmed() + " // Durée encodage :: "))
                << errorLog().toStdString();
        }
        // Nothing is left under the engine's names.
        const QStringList left = QDir(output(QString())).entryList({"[0-9][0-9][0-9][0-9].*"}, QDir::Files);
        EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
        ASSERT_EQ(window.messages.size(), 1);
        EXPECT_EQ(window.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(window.messages[0].text, "string 1067" + QString::number(c.failed.size()) + "\n" + "string 1068" +
                                               QDir::toNativeSeparators(output("ErrorLog.txt")));
        // Said before the end sound and the power-off, which still follow.
        EXPECT_EQ(window.events, QStringList({"message", "sound", "powerOff"}));
        EXPECT_EQ(window.closes, 1);
    }
}

TEST_F(EncodingRunTest, WithoutTheLogTheBoxSaysHowToKeepIt) {
    window.settings[SettingKey::Debug] = QStringLiteral("0");
    window.entries = window.selected = {"01-A"};
    qputenv("STANDIN_BYTES", "0");
    run();
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_EQ(window.messages[0].text, "string 1067" "1\n" "string 1069");
}

TEST_F(EncodingRunTest, ANameCutToFitStillGetsItsFile) {
    const QString name = QString(300, QChar(0x00e9));
    const std::optional<QString> entry = TrackList::renamed(QStringLiteral("06-Track"), name);
    ASSERT_TRUE(entry);
    window.entries = window.selected = {*entry};
    run();
    EXPECT_EQ(QFileInfo(output(*entry + ".mp3")).size(), 10);
    EXPECT_TRUE(window.messages.isEmpty());
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
