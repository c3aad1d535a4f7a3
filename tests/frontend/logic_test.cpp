// The window's logic without a window: texts, settings, the detection
// command, the listing reader, the track list and the system helpers.
#include "frontend/bitrates.h"
#include "frontend/cdlisting.h"
#include "frontend/clsapistuff.h"
#include "frontend/detectioncommand.h"
#include "frontend/frmabout.h"
#include "frontend/plumasettings.h"
#include "frontend/processrunner.h"
#include "frontend/quitsignals.h"
#include "frontend/stringtable.h"
#include "frontend/tracklist.h"
#include "tests/frontend/frontendtests.h"
#include "tests/frontend/recordingshell.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QByteArray fileContent(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

}  // namespace

class LogicTest : public QObject {
    Q_OBJECT

private slots:
    void init() { PlumaSettings(false).clearAll(); }

    void stringTableHasBothLanguagesAndItsGaps() {
        for (int id = 995; id <= 1080; ++id) {
            const bool gap = (id >= 1012 && id <= 1019) || id == 1041;
            const bool expected = id >= 1000 && id <= 1072 && !gap;
            QCOMPARE(StringTable::defined(id), expected);
            QCOMPARE(StringTable::defined(id + 1000), expected);
            QCOMPARE(!StringTable::text(id).isEmpty(), expected);
            QCOMPARE(!StringTable::text(id, StringTable::english).isEmpty(), expected);
        }
        QCOMPARE(StringTable::text(1035), QString::fromUtf8("Aucune action ne sera tentée ! \nla liste est vide !"));
        QCOMPARE(StringTable::text(1061, StringTable::english), QStringLiteral("The CD is not an Audio-CD !"));
        QCOMPARE(StringTable::text(1071), QStringLiteral("FLAC (sans perte)"));
        QCOMPARE(StringTable::text(1071, StringTable::english), QStringLiteral("FLAC (lossless)"));
    }

    void settingsDefaults_data() {
        QTest::addColumn<bool>("french");
        QTest::addColumn<QString>("language");
        QTest::newRow("English system") << false << "1000";
        QTest::newRow("French system") << true << "0";
    }

    void settingsDefaults() {
        QFETCH(bool, french);
        QFETCH(QString, language);
        PlumaSettings settings(french);
        const std::vector<std::pair<SettingKey, QString>> expected{
            {SettingKey::FormatAudio, "MP3"}, {SettingKey::BitRate, "160"},     {SettingKey::Language, language},
            {SettingKey::ShutDown, "0"},      {SettingKey::OnTheFly, "1"},      {SettingKey::AutoDetection, "1"},
            {SettingKey::WavFmt, "0"},        {SettingKey::Debug, "1"},         {SettingKey::Eject, "1"},
            {SettingKey::Host, "0"},          {SettingKey::Id, "1"},            {SettingKey::Lun, "0"},
            {SettingKey::CdType, "1"},        {SettingKey::CurrentTrack, "0"},
        };
        for (const auto& [key, value] : expected) QCOMPARE(settings.value(key), value);
        QCOMPARE(settings.languageOffset(), french ? 0 : 1000);
        // The lookup writes its value back, so a later change of the system
        // language does not switch an existing installation.
        QCOMPARE(PlumaSettings(!french).languageOffset(), french ? 0 : 1000);
    }

    void settingsPersistAndMatchKeysInAnyCase() {
        {
            PlumaSettings settings(false);
            settings.setValue(SettingKey::BitRate, QStringLiteral("320"));
            settings.setOn(SettingKey::ShutDown, true);
        }
        PlumaSettings again(false);
        QCOMPARE(again.value(SettingKey::BitRate), QStringLiteral("320"));
        QVERIFY(again.isOn(SettingKey::ShutDown));

        {
            QSettings raw(again.fileName(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("ConfigCD/autodetection"), QStringLiteral("0"));
            raw.setValue(QStringLiteral("ConfigCD/Language"), QStringLiteral("7"));
        }
        PlumaSettings edited(false);
        QCOMPARE(edited.value(SettingKey::AutoDetection), QStringLiteral("0"));
        edited.setOn(SettingKey::AutoDetection, true);
        QCOMPARE(PlumaSettings(false).value(SettingKey::AutoDetection), QStringLiteral("1"));
        QCOMPARE(edited.languageOffset(), 0);

        edited.clearAll();
        QCOMPARE(PlumaSettings(false).value(SettingKey::BitRate), QStringLiteral("160"));
        QVERIFY(QSettings(edited.fileName(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void detectionArgumentsAndAddressBoxes() {
        struct Row {
            bool atapi, automatic;
            int host, target, lun;
            const char* expected;
        };
        const Row rows[] = {
            {false, true, 0, 1, 0, "/l Piste 0"},
            {true, true, 0, 1, 0, "/dATAPI /l Piste 0"},
            {false, false, 0, 1, 0, "/s010 /l Piste 0"},
            {true, false, 2, 3, 1, "/dATAPI /s231 /l Piste 0"},
        };
        for (const Row& r : rows)
            QCOMPARE(detectionArguments(r.atapi, r.automatic, r.host, r.target, r.lun).join(QLatin1Char(' ')),
                     QString::fromLatin1(r.expected));

        const std::pair<const char*, const char*> boxes[] = {
            {"3", "3"}, {" 7 ", "7"}, {"x", "0"}, {"", "0"}, {"-1", "0"}, {"12", "0"}, {"1.5", "0"}, {"\xd9\xa3", "0"},
        };
        for (const auto& [typed, kept] : boxes)
            QCOMPARE(sanitisedAddress(QString::fromUtf8(typed)), QString::fromLatin1(kept));
    }

    void listingOutcomes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("closeTray");
        QTest::addColumn<QString>("french");
        QTest::addColumn<QString>("english");

        const QString drive = QStringLiteral("VOLTA   VIRTUAL CD-ROM   (MMC)");
        const QString help = QStringLiteral("file:///readme#cd-drive-permissions");
        auto fixture = [](const char* name) { return fileContent(listingFixture(QString::fromLatin1(name))); };
        const QByteArray banner = "TANAGER 2.80 Release (May 13 2000,00:39:12)\nnotice\n\nRunning in Standalone Normal Mode\n";
        QTest::newRow("good disc") << fixture("cdlist-plain.txt") << 4 << false << false << drive << drive;
        QTest::newRow("disc with CD-TEXT") << fixture("cdlist-cdtext.txt") << 4 << false << false << drive << drive;
        QTest::newRow("data first track") << fixture("cdlist-datafirst.txt") << 3 << true << false << drive << drive;
        QTest::newRow("not ready") << fixture("cdlist-notready.txt") << 0 << true << true
                                   << QString::fromUtf8("Lecteur CD-ROM non prêt !")
                                   << "Drive Reports Not Ready (Check Media)";
        QTest::newRow("drive not ready") << banner + "CD-ROM Drive Not Ready\n" << 0 << true << false
                                         << QString::fromUtf8("Lecteur CD-ROM non prêt !") << "CD-ROM Drive Not Ready";
        QTest::newRow("inquiry error") << banner + "CD-ROM Inquiry Error\r\n\r\n" << 0 << true << false
                                       << "Modifiez ID/HOST/LUN !" << "CD-ROM Inquiry Error";
        QTest::newRow("inquiry command error") << fixture("cdlist-inquiry.txt") << 0 << true << false
                                               << "Erreur !\n Modifiez ID/HOST/LUN !" << "Error Executing Inquiry Command";
        QTest::newRow("ASPI failure") << fixture("cdlist-aspi.txt") << 0 << true << false
                                      << QString::fromUtf8(" Driver ASPI non installé !\nTéléchargez les drivers ASPI "
                                                           "'de base' sur ") + help
                                      << "ASPI Initialization Failure!\nThe CD drive cannot be opened, see " + help;
        QTest::newRow("CDDA failure") << fixture("cdlist-cdda.txt") << 4 << true << false
                                      << "Mode extraction Audio impossible !" << "Could Not Initialize CDDA Mode";
        QTest::newRow("empty listing") << fixture("cdlist-empty.txt") << 0 << false << false << "" << "";
    }

    void listingOutcomes() {
        QFETCH(QByteArray, content);
        QFETCH(int, tracks);
        QFETCH(bool, failed);
        QFETCH(bool, closeTray);
        QFETCH(QString, french);
        QFETCH(QString, english);
        const CdListing listing = CdListing::parse(content);
        QCOMPARE(static_cast<int>(listing.tracks.size()), tracks);
        const QString help = QStringLiteral("file:///readme#cd-drive-permissions");
        for (const auto& [offset, text] : {std::pair{0, french}, std::pair{1000, english}}) {
            const DetectionOutcome outcome = detectionOutcome(listing, offset, help);
            QCOMPARE(outcome.label10, text);
            QCOMPARE(outcome.failed, failed);
            QCOMPARE(outcome.closeTray, closeTray);
            QCOMPARE(outcome.beep, failed && !listing.firstTrackIsData());
        }
    }

    void listingLengthsAndNumbers() {
        const CdListing listing = CdListing::read(listingFixture(QStringLiteral("cdlist-datafirst.txt")));
        QVERIFY(listing.present);
        QVERIFY(listing.firstTrackIsData());
        QCOMPARE(listing.tracks[2].number, 3);
        QVERIFY(!listing.tracks[2].data);
        QCOMPARE(listing.lengthAt(2), QStringLiteral("00:30.00"));
        QCOMPARE(listing.lengthOfTrack(2), QStringLiteral("00:17.00"));
        QCOMPARE(listing.lengthAt(3), QString());
        QCOMPARE(CdListing::seconds(QStringLiteral("03:49.00")), 229);
        QCOMPARE(CdListing::seconds(QString()), 0);
        QVERIFY(!CdListing::read(QStringLiteral("/nonexistent/CdList")).present);
    }

    void entriesAndRenaming() {
        QCOMPARE(TrackList::entryFor(3), QStringLiteral("03-Track"));
        QCOMPARE(TrackList::entryFor(12), QStringLiteral("12-Track"));
        QCOMPARE(TrackList::proposedName(QStringLiteral("03-Track")), QString());
        QCOMPARE(TrackList::proposedName(QStringLiteral("03-Intro")), QStringLiteral("Intro"));
        const std::tuple<const char*, const char*, std::optional<QString>> rows[] = {
            {"03-Track", "Intro.mp3", QStringLiteral("03-Intro")},
            {"03-Track", "  Intro.MP3  ", QStringLiteral("03-Intro")},
            {"03-Old", "New name", QStringLiteral("03-New name")},
            {"12-Track", "a.mp3.mp3", QStringLiteral("12-a.mp3")},
            {"03-Track", "   ", std::nullopt},
            {"03-Track", "", std::nullopt},
        };
        for (const auto& [entry, answer, expected] : rows)
            QCOMPARE(TrackList::renamed(QString::fromLatin1(entry), QString::fromLatin1(answer)), expected);
    }

    // A name past what a file name holds is cut where it is entered, on a
    // character boundary, with room left for the extension and ".part".
    void longNamesAreCutToFitAFileName() {
        const QString musical = QString::fromUcs4(U"\U0001D11E");  // four bytes, two UTF-16 units
        const std::pair<QString, int> rows[] = {
            {QString(300, QLatin1Char('a')), 245},
            {QString(300, QChar(0x00e9)), 245},        // two bytes each: 3 + 121 * 2
            {QString(300, QChar(0x20ac)), 243},        // three bytes each: 3 + 80 * 3
            {musical.repeated(100), 243},              // 3 + 60 * 4
            {QString(240, QLatin1Char('b')) + QStringLiteral("      x"), 243},  // no blank left at the cut
            {QString(242, QLatin1Char('c')), 245},     // fits exactly
        };
        for (const auto& [name, bytes] : rows) {
            const std::optional<QString> entry = TrackList::renamed(QStringLiteral("07-Track"), name);
            QVERIFY(entry);
            QCOMPARE(entry->toUtf8().size(), bytes);
            QVERIFY(QString(QStringLiteral("07-") + name).startsWith(*entry));
            QVERIFY(QStringView(*entry).isValidUtf16());
            QVERIFY(entry->toUtf8().size() + QByteArray(".flac.part").size() <= 255);
        }
        QCOMPARE(TrackList::renamed(QStringLiteral("07-Track"), QStringLiteral("Short")), QStringLiteral("07-Short"));

        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("MP3s"));
        QVERIFY(QDir().mkpath(out));
        QVERIFY(writeFile(TrackList::playlistPath(out), "08-" + QByteArray(400, 'z') + ".MP3\r\n09-Short.MP3\r\n"));
        const std::optional<QStringList> reloaded = TrackList::readPlaylist(out);
        QVERIFY(reloaded);
        QCOMPARE(reloaded->size(), 2);
        QCOMPARE(reloaded->at(0), QStringLiteral("08-") + QString(242, QLatin1Char('z')));
        QCOMPARE(reloaded->at(1), QStringLiteral("09-Short"));
    }

    // A termination signal reaches the event loop; one that whoever started
    // PLUMA ignores stays ignored; the signals get back what they had.
    void quitSignalsReachTheEventLoop() {
        struct sigaction hangUpBefore {}, interruptBefore {}, ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGHUP, &ignore, &hangUpBefore);
        sigaction(SIGINT, nullptr, &interruptBefore);
        int calls = 0;
        {
            QuitSignals quitSignals([&calls] { ++calls; });
            QCOMPARE(quitSignals.install(), 0);
            std::raise(SIGHUP);
            std::raise(SIGINT);
            QTRY_COMPARE(calls, 1);
            QTest::qWait(100);
            QCOMPARE(calls, 1);
        }
        struct sigaction hangUp {}, interrupt {};
        sigaction(SIGHUP, &hangUpBefore, &hangUp);
        sigaction(SIGINT, nullptr, &interrupt);
        QVERIFY(hangUp.sa_handler == SIG_IGN);
        QVERIFY(interrupt.sa_handler == interruptBefore.sa_handler);
    }

    // What the ErrorLog gives as the engine's last message.
    void lastMessageLineOfTheEngine() {
        const std::pair<QByteArray, QString> rows[] = {
            {"Extracting\n[                ]\r[....\nExtraction Returned Error State\n",
             "Extraction Returned Error State"},
            {"Track 2\nCould Not Start Encoder x3enc.exe\r\n\r\n  \n", "Could Not Start Encoder x3enc.exe"},
            {"[          ]\r[..........]", "[..........]"},
            {"Name \x1b]0;title\x07 shown\n", "Name  ]0;title  shown"},
            {"\xc3\xa9t\xc3\xa9\n", QString::fromUtf8("été")},
            {"\n\r\n   \n", ""},
            {"", ""},
        };
        for (const auto& [output, line] : rows) QCOMPARE(ProcessRunner::lastMessageLine(output), line);
    }

    void playlistWriteAndReload() {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("MP3s"));
        QCOMPARE(TrackList::writePlaylist(out, {QStringLiteral("01-Track"), QStringLiteral("02-Intro")}), 0);
        QCOMPARE(fileContent(TrackList::playlistPath(out)), QByteArray("01-Track.MP3\r\n02-Intro.MP3\r\n"));
        QCOMPARE(TrackList::readPlaylist(out), std::optional(QStringList{"01-Track", "02-Intro"}));
        QCOMPARE(TrackList::writePlaylist(out, {}), 0);
        QCOMPARE(fileContent(TrackList::playlistPath(out)), QByteArray("01-Track.MP3\r\n02-Intro.MP3\r\n"));

        QVERIFY(writeFile(TrackList::playlistPath(out), "a.mp3\nb.Mp3\r\nc.wav\r\n"));
        QCOMPARE(TrackList::readPlaylist(out), std::optional(QStringList{"a", "b", "c.wav"}));

        // The newer formats' playlists name their files, and read back as any other.
        QCOMPARE(TrackList::playlistExtension(QStringLiteral("FLAC")), QStringLiteral(".flac"));
        QCOMPARE(TrackList::playlistExtension(QStringLiteral("OPUS")), QStringLiteral(".opus"));
        for (const char* format : {"MP3", "WAV", "WMA", "other"})
            QCOMPARE(TrackList::playlistExtension(QString::fromLatin1(format)), QStringLiteral(".MP3"));
        QCOMPARE(TrackList::writePlaylist(out, {QStringLiteral("01-Track"), QStringLiteral("02-Intro")},
                                          TrackList::playlistExtension(QStringLiteral("FLAC"))),
                 0);
        QCOMPARE(fileContent(TrackList::playlistPath(out)), QByteArray("01-Track.flac\r\n02-Intro.flac\r\n"));
        QCOMPARE(TrackList::readPlaylist(out), std::optional(QStringList{"01-Track", "02-Intro"}));
        QVERIFY(writeFile(TrackList::playlistPath(out), "a.OPUS\r\nb.Flac\r\n"));
        QCOMPARE(TrackList::readPlaylist(out), std::optional(QStringList{"a", "b"}));
        QCOMPARE(TrackList::readPlaylist(dir.filePath(QStringLiteral("none"))), std::nullopt);

        QVERIFY(writeFile(QDir(out).filePath(QStringLiteral("01-Track.mp3")), "x"));
        QVERIFY(writeFile(QDir(out).filePath(QStringLiteral("02-Intro.WAV")), "x"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("01-Track"), QStringLiteral("MP3")).endsWith("01-Track.mp3"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("01-Track"), QStringLiteral("other")).endsWith(".mp3"));
        QVERIFY(writeFile(QDir(out).filePath(QStringLiteral("03-Coda.flac")), "x"));
        QVERIFY(writeFile(QDir(out).filePath(QStringLiteral("04-Fin.OPUS")), "x"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("03-Coda"), QStringLiteral("FLAC")).endsWith("03-Coda.flac"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("04-Fin"), QStringLiteral("OPUS")).endsWith("04-Fin.OPUS"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("03-Coda"), QStringLiteral("MP3")).isEmpty());
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("02-Intro"), QStringLiteral("WAV")).endsWith("02-Intro.WAV"));
        QVERIFY(TrackList::encodedFile(out, QStringLiteral("02-Intro"), QStringLiteral("WMA")).isEmpty());
    }

    void bitRatesAndHelpers() {
        QCOMPARE(storedBitRate(QStringLiteral("320")), 320);
        QCOMPARE(storedBitRate(QStringLiteral("999")), 128);
        QCOMPARE(storedBitRate(QStringLiteral("abc")), 128);

        QCOMPARE(clsAPIstuff::downloadAddress(QStringLiteral("example.org/files"), QStringLiteral("/PLUMA_Upd.exe")),
                 QStringLiteral("http://example.org/files/PLUMA_Upd.exe"));
        QCOMPARE(clsAPIstuff::downloadAddress(QStringLiteral("https://example.org/"), QStringLiteral("u.exe")),
                 QStringLiteral("https://example.org/u.exe"));
        QCOMPARE(clsAPIstuff::downloadAddress(QString(), QStringLiteral("u.exe")), QString());
        QCOMPARE(clsAPIstuff::GetPercent(1, 0), 0);
        QCOMPARE(clsAPIstuff::GetPercent(1, 3), 33);
        QCOMPARE(clsAPIstuff::CharType(U'a'), QStringLiteral("Alpha AlphaNumeric Lower Case"));
        QCOMPARE(clsAPIstuff::CharType(U'5'), QStringLiteral(" AlphaNumeric"));
        QCOMPARE(clsAPIstuff::Get_DriveType(QStringLiteral("/nonexistent/path")), QStringLiteral("Unrecognized"));
        QCOMPARE(clsAPIstuff::FreeDiscSpace(QDir::tempPath()).count(QStringLiteral("\r\n")), 6);

        clsAPIstuff api;
        RecordingShell shell;
        const QString text = QString::fromUtf8("Ligne é\nsecond line");
        QCOMPARE(api.Unscramble(shell, api.Scramble(text)), text);
        QCOMPARE(api.Unscramble(shell, api.Scramble(text, QStringLiteral("k")), QStringLiteral("k")), text);
        QVERIFY(shell.messages.empty());
        QCOMPARE(api.Unscramble(shell, QStringLiteral("12 x 40")), QString());
        QCOMPARE(shell.messages.at(0).title, QStringLiteral("Decryption Error"));

        int direction = 1;
        int edge = 1;
        int lowest = edge, highest = edge;
        for (int i = 0; i < 40; ++i) {
            edge = frmAbout::nextEdge(edge, direction);
            lowest = std::min(lowest, edge);
            highest = std::max(highest, edge);
        }
        QCOMPARE(lowest, 1);
        QCOMPARE(highest, 9);
    }

    void powerOperationsAskAndUseTheReplacementCommand() {
        QTemporaryDir dir;
        const QString record = dir.filePath(QStringLiteral("record"));
        const QString script = dir.filePath(QStringLiteral("power"));
        QVERIFY(writeFile(script, QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\n").arg(record).toUtf8()));
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PLUMA_POWEROFF_COMMAND", (script + QStringLiteral(" --now")).toLocal8Bit());

        clsAPIstuff api;
        RecordingShell shell;
        shell.yes = false;
        QVERIFY(api.ShutDownWindows(shell, true) != 0);
        QVERIFY(!QFile::exists(record));
        shell.yes = true;
        QCOMPARE(api.ShutDownWindows(shell, true), 0);
        QCOMPARE(api.RestartWindows(shell, false), 0);
        QCOMPARE(api.LogOffWindows(shell, false), 0);
        QCOMPARE(fileContent(record), QByteArray("--now poweroff\n--now reboot\n--now logoff\n"));
        qunsetenv("PLUMA_POWEROFF_COMMAND");
    }
};

std::unique_ptr<QObject> makeLogicTest() { return std::make_unique<LogicTest>(); }

#include "logic_test.moc"
