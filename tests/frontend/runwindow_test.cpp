// The encoding run in the real window with the real engine and the demo
// disc on a virtual drive: tracks become MP3 files under their list names,
// the machine is "powered off" through a recording command, and a running
// track holds the window until it is stopped.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "frontend/form1.h"
#include "frontend/plumasettings.h"
#include "frontend/stringtable.h"
#include "frontend/shell.h"
#include "tests/support/decodedaudio.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

namespace {

// The desktop, but its boxes are recorded and answered Yes, and no drive
// is sent a media command.
class BoxRecorder : public DesktopShell {
public:
    void media(Media) override {}
    void message(QWidget*, Icon, const QString&, const QString& text) override { messages << text; }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return true; }
    bool askOkCancel(QWidget*, const QString&, const QString&) override { return true; }

    QStringList messages;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RunWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        PlumaSettings(false).clearAll();
        settings.setValue(SettingKey::Eject, QStringLiteral("0"));
        QString recorder = folder.filePath(QStringLiteral("poweroff.sh"));
        QFile script(recorder);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$*\" >> \"$(dirname \"$0\")/powered-off\"\n");
        script.close();
        QFile::setPermissions(recorder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PLUMA_POWEROFF_COMMAND", recorder.toLocal8Bit());
    }

    void TearDown() override {
        qunsetenv("PLUMA_POWEROFF_COMMAND");
        qunsetenv("VOLTA_IMAGES");
    }

    // `drive` settings follow the sheet's path in VOLTA_IMAGES.
    Form1& open(const QString& drive = QString()) {
        qputenv("VOLTA_IMAGES", (QString::fromStdString(demoDir()) + QStringLiteral("/demo.cue") + drive).toLocal8Bit());
        auto recorder = std::make_unique<BoxRecorder>();
        shell = recorder.get();
        form = std::make_unique<Form1>(
            settings,
            PlumaContext{folder.path(), folder.path(), QString::fromStdString(voltaBinary()), {}},
            std::move(recorder));
        form->load();
        return *form;
    }

    QString output(const QString& name) const { return folder.filePath(QStringLiteral("MP3s/") + name); }

    QTemporaryDir folder;
    PlumaSettings settings{false};
    BoxRecorder* shell = nullptr;
    std::unique_ptr<Form1> form;
};

TEST_F(RunWindowTest, RenamedTracksBecomeMp3FilesAndTheMachinePowersOffOnce) {
    Form1& window = open();
    ASSERT_EQ(window.List1->count(), 4);
    window.List1->item(1)->setText(QStringLiteral("02-Pentatonic Walk"));
    window.List1->item(3)->setText(QStringLiteral("04-Bells at Dusk"));
    window.List1->item(1)->setSelected(true);
    window.List1->item(3)->setSelected(true);
    window.Check2->setChecked(true);
    window.show();
    window.Command2->click();

    EXPECT_TRUE(shell->messages.isEmpty());
    EXPECT_EQ(readAll(folder.filePath(QStringLiteral("powered-off"))), "poweroff\n");
    EXPECT_FALSE(window.isVisible());
    QStringList files = QDir(output(QString())).entryList({QStringLiteral("*.mp3")});
    EXPECT_EQ(files, QStringList({"02-Pentatonic Walk.mp3", "04-Bells at Dusk.mp3"}));
    EXPECT_EQ(readAll(output(QStringLiteral("ListeMP3.M3u"))),
              "01-Track.MP3\r\n02-Pentatonic Walk.MP3\r\n03-Track.MP3\r\n04-Bells at Dusk.MP3\r\n");

    for (const auto& [track, name] : {std::pair{2, "02-Pentatonic Walk.mp3"}, {4, "04-Bells at Dusk.mp3"}}) {
        SCOPED_TRACE(name);
        // The same track ripped to WAV with the same switches is what the MP3 must hold.
        RunOptions options;
        options.cwd = folder.path().toStdString();
        options.env = {{"VOLTA_IMAGES", demoDir() + "/demo.cue"}};
        std::string reference = "ref" + std::to_string(track);
        ASSERT_EQ(runVolta({"/mn", "/dATAPI", "/t", reference + "$2di", std::to_string(track)}, options).exitCode, 0);
        char number[8];
        std::snprintf(number, sizeof number, "%02d", track);
        std::vector<int16_t> source = pcmSamples(wavData(folder.filePath(QString::fromStdString(reference) + number + ".wav").toStdString()));
        std::vector<int16_t> decoded = decode(output(QString::fromLatin1(name)).toStdString(), 2);
        ASSERT_FALSE(source.empty());
        EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(source.size()), 2 * 1152 * 2);
        EXPECT_GE(bestMatch(source, decoded, 2, 2400).correlation, 0.95);
    }
}

// FLAC through the real engine: the renamed files hold exactly what a WAV
// rip with the same switches holds, and the playlist names them.
TEST_F(RunWindowTest, RenamedTracksBecomeFlacFilesHoldingTheDiscsAudio) {
    settings.setValue(SettingKey::FormatAudio, QStringLiteral("FLAC"));
    Form1& window = open();
    ASSERT_EQ(window.List1->count(), 4);
    EXPECT_TRUE(window.flac->isChecked());
    window.List1->item(0)->setText(QStringLiteral("01-Morning Arpeggio"));
    window.List1->item(2)->setText(QStringLiteral("03-Night \u00e0 Lyon"));
    window.List1->item(0)->setSelected(true);
    window.List1->item(2)->setSelected(true);
    window.show();
    window.Command2->click();

    EXPECT_TRUE(shell->messages.isEmpty()) << shell->messages.join(QLatin1Char('\n')).toStdString();
    QStringList files = QDir(output(QString())).entryList({QStringLiteral("*.flac")});
    EXPECT_EQ(files, QStringList({"01-Morning Arpeggio.flac", QStringLiteral("03-Night \u00e0 Lyon.flac")}));
    EXPECT_EQ(QString::fromUtf8(readAll(output(QStringLiteral("ListeMP3.M3u")))),
              QStringLiteral("01-Morning Arpeggio.flac\r\n02-Track.flac\r\n03-Night \u00e0 Lyon.flac\r\n04-Track.flac\r\n"));

    for (int track : {1, 3}) {
        SCOPED_TRACE(track);
        RunOptions options;
        options.cwd = folder.path().toStdString();
        options.env = {{"VOLTA_IMAGES", demoDir() + "/demo.cue"}};
        ASSERT_EQ(runVolta({"/mn", "/dATAPI", "/t", "ref$2di", std::to_string(track)}, options).exitCode, 0);
        const std::string reference = wavData(folder.filePath(QStringLiteral("ref0%1.wav").arg(track)).toStdString());
        ASSERT_FALSE(reference.empty());
        EXPECT_EQ(flacSamples(output(files[track == 1 ? 0 : 1]).toStdString()), reference);
    }
}

TEST_F(RunWindowTest, ARunningTrackHoldsTheWindowUntilItIsStopped) {
    // At twice the speed of a real disc the first track lasts seven seconds.
    Form1& window = open(QStringLiteral(",speed=2"));
    window.List1->item(0)->setSelected(true);
    window.Check2->setChecked(true);
    window.show();
    bool sawRun = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window.Label12->isVisible() || window.Label12->text() == QLatin1String("0 K")) return;
        watcher.stop();
        sawRun = true;
        EXPECT_EQ(window.windowTitle(), StringTable::text(2037) + QStringLiteral("01"));
        EXPECT_TRUE(window.Command3->isVisible());
        EXPECT_FALSE(window.Command2->isEnabled());
        EXPECT_FALSE(window.List1->isEnabled());
        EXPECT_TRUE(window.Label6->isVisible());
        EXPECT_TRUE(window.Label12->text().endsWith(QStringLiteral(" K")));
        EXPECT_TRUE(window.Label13->text().endsWith(QStringLiteral(" %")));
        const QByteArray screenshot = qgetenv("PLUMA_RUN_SCREENSHOT");
        if (!screenshot.isEmpty()) window.grab().save(QString::fromLocal8Bit(screenshot));
        EXPECT_FALSE(window.close());
        window.Command3->click();
    });
    watcher.start(100);
    window.Command2->click();

    EXPECT_TRUE(sawRun);
    EXPECT_EQ(shell->messages, QStringList{StringTable::text(2049)});
    EXPECT_FALSE(window.Check2->isChecked());
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("powered-off"))));
    EXPECT_TRUE(QFile::exists(output(QStringLiteral("01-Track.mp3"))));
    EXPECT_FALSE(window.Command3->isVisible());
    EXPECT_TRUE(window.Command2->isEnabled());
    EXPECT_TRUE(window.List1->isEnabled());
    EXPECT_EQ(window.windowTitle(), Form1::baseTitle());
    EXPECT_TRUE(window.close());
}

}  // namespace
