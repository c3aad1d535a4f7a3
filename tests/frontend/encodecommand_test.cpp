// The encoding command line for every combination of the window's choices,
// read back through volta's own parser, and the progress display rules.

#include <gtest/gtest.h>

#include <vector>

#include "engine/control/options.h"
#include "frontend/encodecommand.h"
#include "frontend/progressdisplay.h"

namespace {

TEST(EncodeCommand, ExamplesCharacterForCharacter) {
    EncodeSettings settings;
    settings.format = AudioFormat::Mp3;
    settings.kbps = 320;
    settings.onTheFly = false;
    settings.atapi = true;
    settings.autoDetect = true;
    EXPECT_EQ(encodeCommandLine(settings, 3), "VOLTA /mm /dATAPI /eb320 /t MP3s\\03$2di 3");

    settings.format = AudioFormat::Wav;
    settings.atapi = false;
    settings.autoDetect = false;
    settings.host = 0, settings.target = 1, settings.unit = 0;
    EXPECT_EQ(encodeCommandLine(settings, 3), "VOLTA /mm /s010  /t MP3s\\03$2di 3");

    settings.format = AudioFormat::Mp3;
    settings.kbps = 128;
    settings.autoDetect = true;
    EXPECT_EQ(encodeCommandLine(settings, 7), "VOLTA /mm /eb128 /t MP3s\\07$2di 7");
    TrackFileNames names = trackFileNames("07-Intro", ".mp3");
    EXPECT_EQ(names.finalName, "07-Intro.mp3");
    EXPECT_EQ(names.engineName, "0707.mp3");
    EXPECT_EQ(names.shortName, "07.mp3");
    EXPECT_EQ(trackFileNames("12-Outro", ".wma").engineName, "1212.wma");

    // FLAC has no rate to give; Opus gives the checked one.
    settings.format = AudioFormat::Flac;
    settings.onTheFly = true;
    settings.atapi = true;
    EXPECT_EQ(encodeCommandLine(settings, 3), "VOLTA /mn /dATAPI /ec /t MP3s\\03$2di 3");
    settings.format = AudioFormat::Opus;
    settings.kbps = 96;
    EXPECT_EQ(encodeCommandLine(settings, 3), "VOLTA /mn /dATAPI /eo96 /t MP3s\\03$2di 3");
    names = trackFileNames("03-Nocturne", ".flac");
    EXPECT_EQ(names.finalName, "03-Nocturne.flac");
    EXPECT_EQ(names.engineName, "0303.flac");
    EXPECT_EQ(trackFileNames("03-Nocturne", ".opus").shortName, "03.opus");
    for (const char* setting : {"FLAC", "OPUS"})
        EXPECT_EQ(audioFormatFromSetting(QString::fromLatin1(setting)),
                  setting[0] == 'F' ? AudioFormat::Flac : AudioFormat::Opus);
    EXPECT_EQ(audioFormatFromSetting(QStringLiteral("flac")), AudioFormat::Mp3);
}

// Every combination must mean to volta what the window asked for.
TEST(EncodeCommand, EveryCombinationParsesAsMeant) {
    const int rates[] = {320, 256, 224, 192, 160, 128, 112, 96, 64};
    for (AudioFormat format :
         {AudioFormat::Mp3, AudioFormat::Wav, AudioFormat::Wma, AudioFormat::Flac, AudioFormat::Opus})
        for (int kbps : rates)
            for (int flags = 0; flags < 8; ++flags) {
                EncodeSettings settings;
                settings.format = format;
                settings.kbps = kbps;
                settings.onTheFly = flags & 1;
                settings.atapi = flags & 2;
                settings.autoDetect = flags & 4;
                settings.host = 1, settings.target = 4, settings.unit = 0;
                int track = kbps == 64 ? 12 : 7;
                QString line = encodeCommandLine(settings, track);
                SCOPED_TRACE(line.toStdString());
                EXPECT_TRUE(line.startsWith(settings.onTheFly ? "VOLTA /mn" : "VOLTA /mm"));
                EXPECT_TRUE(line.endsWith(QStringLiteral(" /t MP3s\\%1$2di %2")
                                              .arg(twoDigitTrack(track))
                                              .arg(track)));
                EXPECT_EQ(line.contains(" /dATAPI "), settings.atapi);

                std::vector<std::string> words = {"volta"};
                for (const QString& word : encodeArguments(settings, track))
                    words.push_back(word.toStdString());
                std::vector<const char*> argv;
                for (const std::string& word : words) argv.push_back(word.c_str());
                options = Options();
                ParseResult result = parseArguments(static_cast<int>(argv.size()), argv.data());
                ASSERT_FALSE(result.stop) << result.output;
                EXPECT_EQ(options.extractMode, settings.onTheFly ? 1 : 3);
                EXPECT_EQ(options.driveType, settings.atapi ? DriveFamily::Mmc : DriveFamily::Automatic);
                EXPECT_EQ(options.scsiTarget, settings.autoDetect ? -1 : 4);
                EXPECT_EQ(options.scsiHost, settings.autoDetect ? -1 : 1);
                EncoderKind encoder = format == AudioFormat::Mp3    ? EncoderKind::BladeEnc
                                      : format == AudioFormat::Wma  ? EncoderKind::WindowsMedia
                                      : format == AudioFormat::Flac ? EncoderKind::Flac
                                      : format == AudioFormat::Opus ? EncoderKind::Opus
                                                                    : EncoderKind::Wave;
                EXPECT_EQ(options.encoder, encoder);
                if (encoder == EncoderKind::BladeEnc || encoder == EncoderKind::WindowsMedia) {
                    EXPECT_EQ(options.bitrate, kbps * 1000);
                }
                EXPECT_EQ(options.opusBitrate, format == AudioFormat::Opus ? kbps * 1000 : 160000);
                EXPECT_EQ(options.flacLevel, 5);
                EXPECT_TRUE(options.trimLeading && options.trimTrailing);
                EXPECT_STREQ(options.basename,
                             ("MP3s\\" + twoDigitTrack(track).toStdString() + "$2di").c_str());
                ASSERT_EQ(options.jobCount, 1);
                EXPECT_EQ(options.jobs[0].first, track);
                EXPECT_EQ(options.jobs[0].last, track);
            }
    options = Options();
}

struct ProgressCase {
    const char* what;
    AudioFormat format;
    int kbps;
    qint64 seconds;
    std::optional<qint64> bytes;
    const char* size;
    bool percentShown;
    const char* percent;
};

TEST(ProgressDisplay, SizeAndShareOfTheExpectedSize) {
    const ProgressCase cases[] = {
        {"MP3 128: factor 14", AudioFormat::Mp3, 128, 100, 700 * 1024 + 1023, "700 K", true, "50 %"},
        {"224 gives 22", AudioFormat::Mp3, 224, 100, 1100 * 1024, "1100 K", true, "50 %"},
        {"192 gives 26", AudioFormat::Mp3, 192, 100, 1300 * 1024, "1300 K", true, "50 %"},
        {"12.5 rounds to 12", AudioFormat::Mp3, 112, 100, 600 * 1024, "600 K", true, "50 %"},
        {"11.89 rounds to 12", AudioFormat::Mp3, 96, 100, 600 * 1024, "600 K", true, "50 %"},
        {"7.79 rounds to 8", AudioFormat::Mp3, 64, 100, 799 * 1024, "799 K", true, "99 %"},
        {"WAV: 150 whatever the rate", AudioFormat::Wav, 320, 10, 1499 * 1024, "1499 K", true, "99 %"},
        {"capped", AudioFormat::Wav, 64, 10, 4000 * 1024, "4000 K", true, "100 %"},
        {"WMA: size only", AudioFormat::Wma, 128, 100, 300 * 1024, "300 K", false, ""},
        {"FLAC: 100 whatever the rate", AudioFormat::Flac, 320, 10, 500 * 1024, "500 K", true, "50 %"},
        {"Opus 160: 19.53 rounds to 20", AudioFormat::Opus, 160, 100, 1000 * 1024, "1000 K", true, "50 %"},
        {"Opus 64: 7.81 rounds to 8", AudioFormat::Opus, 64, 100, 400 * 1024, "400 K", true, "50 %"},
        {"no length: no share", AudioFormat::Mp3, 128, 0, 300 * 1024, "300 K", true, ""},
        {"no file yet", AudioFormat::Mp3, 128, 100, std::nullopt, "", false, "0 %"},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.what);
        ProgressLabels labels;
        ProgressInput input{c.bytes, c.format, sizeFactorText(c.format, c.kbps), c.seconds};
        updateProgress(labels, input);
        EXPECT_EQ(labels.size, c.size);
        EXPECT_EQ(labels.percentShown, c.percentShown);
        EXPECT_EQ(labels.percent, c.percent);
    }
}

TEST(ProgressDisplay, KeepsTheLastSizeWhenTheFileCannotBeRead) {
    ProgressLabels labels;
    ProgressInput input{1400 * 1024, AudioFormat::Mp3, sizeFactorText(AudioFormat::Mp3, 128), 200};
    updateProgress(labels, input);
    EXPECT_EQ(labels.percent, "50 %");
    input.fileSize.reset();
    input.trackSeconds = 100;
    updateProgress(labels, input);
    EXPECT_EQ(labels.size, "1400 K");
    EXPECT_EQ(labels.percent, "100 %");
}

}  // namespace
