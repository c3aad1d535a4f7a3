// The end sound through SDL's disk driver: the samples played are the
// embedded WAVE's; without an audio device nothing plays and nothing fails.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "frontend/sdl/soundplayer.h"

namespace {

QByteArray endSound() {
    QFile file(QStringLiteral(":/sounds/end.wav"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(EndSound, IsASmallEightBitMonoWave) {
    QByteArray wave = endSound();
    ASSERT_GT(wave.size(), 44);
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
    const auto* header = reinterpret_cast<const unsigned char*>(wave.constData());
    auto le16 = [&](int at) { return header[at] | header[at + 1] << 8; };
    auto le32 = [&](int at) { return le16(at) | le16(at + 2) << 16; };
    EXPECT_EQ(le16(20), 1);  // PCM
    EXPECT_EQ(le16(22), 1);  // mono
    EXPECT_EQ(le32(24), 22050);
    EXPECT_EQ(le16(34), 8);
    EXPECT_EQ(le32(40), wave.size() - 44);
    EXPECT_NEAR(wave.size(), 11 * 1024, 1024);
}

TEST(EndSound, PlaysTheWaveWithoutWaitingForIt) {
    QTemporaryDir folder;
    QString played = folder.filePath(QStringLiteral("played.raw"));
    const bool driverSet = qEnvironmentVariableIsSet("SDL_AUDIODRIVER");
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", played.toLocal8Bit());
    QByteArray wave = endSound();
    QByteArray samples = wave.mid(44);
    auto playedBytes = [&] {
        QFile file(played);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    {
        SdlSoundPlayer player;
        EXPECT_NE(player.play(QByteArray("RIFF not a wave")), 0);
        ASSERT_EQ(player.play(wave), 0);
        // The device writes silence until the queued sound reaches it.
        QElapsedTimer clock;
        clock.start();
        while (!playedBytes().contains(samples) && clock.elapsed() < 10000) QThread::msleep(50);
    }
    EXPECT_TRUE(playedBytes().contains(samples));

    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    SdlSoundPlayer silent;
    EXPECT_NE(silent.play(wave), 0);
    if (driverSet)
        qputenv("SDL_AUDIODRIVER", driver);
    else
        qunsetenv("SDL_AUDIODRIVER");
}

// SDL must leave SIGTERM and SIGINT to PLUMA: a handler of its own would
// keep the session from ending PLUMA once the sound has played.
TEST(EndSound, LeavesTheTerminationSignalsAlone) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (int number : {SIGTERM, SIGINT}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(number, nullptr, &current), 0);
        ASSERT_EQ(current.sa_handler, SIG_DFL);
    }
    SdlSoundPlayer player;
    ASSERT_EQ(player.play(endSound()), 0);
    for (int number : {SIGTERM, SIGINT}) {
        struct sigaction current {};
        ASSERT_EQ(sigaction(number, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << "signal " << number;
    }
}

}  // namespace
