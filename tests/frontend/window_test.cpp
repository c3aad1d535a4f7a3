// The main window on the offscreen platform, with a stand-in engine that
// records its arguments and prints a captured listing.
#include "frontend/captions.h"
#include "frontend/controltag.h"
#include "frontend/form1.h"
#include "frontend/plumasettings.h"
#include "frontend/stringtable.h"
#include "tests/frontend/frontendtests.h"
#include "tests/frontend/recordingshell.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QByteArray fileContent(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// What a label shows, as a screen reader reads it.
QString shownText(QLabel* label) {
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(label);
    return view ? view->text(QAccessible::Name) : QString();
}

QString captionOf(QObject* object, bool toolTip) {
    if (auto* action = qobject_cast<QAction*>(object)) return toolTip ? action->toolTip() : action->text();
    if (auto* menu = qobject_cast<QMenu*>(object)) return menu->title();
    auto* widget = qobject_cast<QWidget*>(object);
    if (toolTip) return widget->toolTip();
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(object)) return label->text();
    return qobject_cast<QGroupBox*>(object)->title();
}

// A program folder, a stand-in engine and a window over them.
class Bench {
public:
    Bench() {
        PlumaSettings(false).clearAll();
        // A tray that does not exist cannot be closed; the recording shell
        // receives the media commands anyway.
        settings.setValue(SettingKey::Eject, QStringLiteral("0"));
        engine = dir.filePath(QStringLiteral("volta"));
        QFile script(engine);
        script.open(QIODevice::WriteOnly);
        script.write(
            "#!/bin/sh\n"
            "echo \"$*\" >> \"$PLUMA_TEST_ARGS\"\n"
            "[ -n \"$PLUMA_TEST_LISTING\" ] && cat \"$PLUMA_TEST_LISTING\"\n"
            "exit 0\n");
        script.close();
        QFile::setPermissions(engine, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PLUMA_TEST_ARGS", dir.filePath(QStringLiteral("args")).toLocal8Bit());
        useListing(QStringLiteral("cdlist-plain.txt"));
    }

    void useListing(const QString& name) { qputenv("PLUMA_TEST_LISTING", listingFixture(name).toLocal8Bit()); }

    Form1& open(bool withEngine = true) {
        auto recorder = std::make_unique<RecordingShell>();
        shell = recorder.get();
        form = std::make_unique<Form1>(settings,
                                       PlumaContext{dir.path(), dir.path(), withEngine ? engine : QString(), {}},
                                       std::move(recorder));
        form->load();
        return *form;
    }

    QStringList runs() const {
        QStringList lines = QString::fromUtf8(fileContent(dir.filePath(QStringLiteral("args")))).split('\n');
        lines.removeAll(QString());
        return lines;
    }

    QString output(const QString& name) const { return QDir(dir.filePath(QStringLiteral("MP3s"))).filePath(name); }

    QTemporaryDir dir;
    PlumaSettings settings{false};
    QString engine;
    RecordingShell* shell = nullptr;
    std::unique_ptr<Form1> form;
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void detectionCommandFollowsTheStoredAndTypedAddress_data() {
        QTest::addColumn<QString>("cdType");
        QTest::addColumn<QString>("automatic");
        QTest::addColumn<QString>("expected");
        QTest::newRow("automatic, ATAPI") << "1" << "1" << "/dATAPI /l Piste 0";
        QTest::newRow("automatic, SCSI") << "0" << "1" << "/l Piste 0";
        QTest::newRow("address, ATAPI") << "1" << "0" << "/dATAPI /s213 /l Piste 0";
        QTest::newRow("address, SCSI") << "0" << "0" << "/s213 /l Piste 0";
    }

    void detectionCommandFollowsTheStoredAndTypedAddress() {
        QFETCH(QString, cdType);
        QFETCH(QString, automatic);
        QFETCH(QString, expected);
        Bench bench;
        bench.settings.setValue(SettingKey::CdType, cdType);
        bench.settings.setValue(SettingKey::AutoDetection, automatic);
        bench.settings.setValue(SettingKey::Host, QStringLiteral("2"));
        bench.settings.setValue(SettingKey::Id, QStringLiteral("1"));
        bench.settings.setValue(SettingKey::Lun, QStringLiteral("3"));
        Form1& form = bench.open();
        QCOMPARE(bench.runs(), QStringList{expected});
        QCOMPARE(form.Label9->isVisibleTo(&form), automatic == "0");
        QCOMPARE(form.Text2->isEnabled(), automatic == "0");
        QCOMPARE(tagOf(form.Command3), QString());
        if (automatic == "1") return;

        // Typing into an address box detects again; a non-digit becomes 0.
        form.Text1->selectAll();
        QTest::keyClicks(form.Text1, QStringLiteral("x"));
        QCOMPARE(form.Text1->text(), QStringLiteral("0"));
        form.Text2->selectAll();
        QTest::keyClicks(form.Text2, QStringLiteral("4"));
        QCOMPARE(bench.runs().mid(1), (QStringList{QString(expected).replace("/s213", "/s013"),
                                                   QString(expected).replace("/s213", "/s043")}));
        QCOMPARE(bench.settings.value(SettingKey::Id), QStringLiteral("4"));
        QCOMPARE(bench.settings.value(SettingKey::Host), QStringLiteral("0"));
    }

    void listFillingAndDiagnostics_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QString>("label10");
        QTest::addColumn<QString>("box");
        const QString drive = QStringLiteral("VOLTA   VIRTUAL CD-ROM   (MMC)");
        const QStringList four{"01-Track", "02-Track", "03-Track", "04-Track"};
        QTest::newRow("good disc, French") << "cdlist-plain.txt" << 0 << four << drive << "";
        QTest::newRow("CD-TEXT, English") << "cdlist-cdtext.txt" << 1000 << four << drive << "";
        QTest::newRow("data first, French") << "cdlist-datafirst.txt" << 0 << QStringList() << drive
                                            << QString::fromUtf8("ATTENTION|Le CD n'est pas un CD-Audio !");
        QTest::newRow("data first, English") << "cdlist-datafirst.txt" << 1000 << QStringList() << drive
                                             << "ATTENTION|The CD is not an Audio-CD !";
        QTest::newRow("not ready, French") << "cdlist-notready.txt" << 0 << QStringList()
                                           << QString::fromUtf8("Lecteur CD-ROM non prêt !") << "";
        QTest::newRow("not ready, English") << "cdlist-notready.txt" << 1000 << QStringList()
                                            << "Drive Reports Not Ready (Check Media)" << "";
        QTest::newRow("inquiry, French") << "cdlist-inquiry.txt" << 0 << QStringList()
                                         << "Erreur !\n Modifiez ID/HOST/LUN !" << "";
        QTest::newRow("CDDA, English") << "cdlist-cdda.txt" << 1000 << QStringList()
                                       << "Could Not Initialize CDDA Mode" << "";
        QTest::newRow("empty listing, English") << "cdlist-empty.txt" << 1000 << QStringList()
                                                << QString::fromUtf8("Lecteur de CD-ROM non prêt !")
                                                << QString::fromUtf8("ATTENTION|Lecteur de CD-ROM non prêt !");
    }

    void listFillingAndDiagnostics() {
        QFETCH(QString, fixture);
        QFETCH(int, language);
        QFETCH(QStringList, list);
        QFETCH(QString, label10);
        QFETCH(QString, box);
        Bench bench;
        bench.settings.setValue(SettingKey::Language, QString::number(language));
        bench.useListing(fixture);
        Form1& form = bench.open();
        QCOMPARE(entries(form.List1), list);
        QCOMPARE(form.Label10->text(), label10);
        QStringList boxes;
        for (const RecordingShell::Message& m : bench.shell->messages) boxes << m.title + '|' + m.text;
        QCOMPARE(boxes.join('\n'), box);
        const bool listed = fixture == "cdlist-plain.txt" || fixture == "cdlist-cdtext.txt" || fixture == "cdlist-empty.txt";
        QCOMPARE(form.Command2->isEnabled(), listed);
        QCOMPARE(form.Command5->isEnabled(), listed);
        QCOMPARE(form.Command7->isEnabled(), listed);
        const bool trayClosed = std::count(bench.shell->mediaCommands.begin(), bench.shell->mediaCommands.end(),
                                           Shell::Media::CloseTray) > 0;
        QCOMPARE(trayClosed, fixture == "cdlist-notready.txt");
    }

    void missingEngineIsReportedInTheDiagnostics() {
        Bench bench;
        Form1& form = bench.open(false);
        QCOMPARE(form.Label10->text(), platformText(PlatformText::VoltaNotFound, StringTable::english));
        QVERIFY(!form.Command2->isEnabled());
        QVERIFY(form.shell().open(QUrl()));
    }

    void everyCaptionFollowsTheLanguage() {
        Bench bench;
        bench.settings.setValue(SettingKey::Language, QStringLiteral("0"));
        Form1& form = bench.open();
        for (const char* item : {"Anglais", "France", "Anglais"}) {
            const int offset = QByteArray(item) == "Anglais" ? 1000 : 0;
            form.findChild<QAction*>(item)->trigger();
            QCOMPARE(bench.settings.value(SettingKey::Language), QString::number(offset));
            QCOMPARE(form.France->isChecked(), offset == 0);
            QCOMPARE(form.Anglais->isChecked(), offset == 1000);
            for (const CaptionTarget& target : mainWindowCaptions()) {
                QObject* object = form.findChild<QObject*>(target.objectName);
                QVERIFY2(object, target.objectName);
                QCOMPARE(captionOf(object, target.toolTip), StringTable::text(target.baseId, offset));
            }
        }
        // The select-all captions stay French.
        form.Command7->click();
        QCOMPARE(form.Command7->text(), QString::fromUtf8("Dé&selectionner"));
    }

    void renameDeletePlaylistAndSelectAll() {
        Bench bench;
        Form1& form = bench.open();
        const QString playlist = bench.output(QStringLiteral("ListeMP3.M3u"));
        form.List1->setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(form.Label11->text(), QStringLiteral("03-Track 00:12.00 Minutes"));

        bench.shell->answer = QStringLiteral(" Intro.mp3 ");
        form.Renommer->trigger();
        QCOMPARE(bench.shell->inputs.last(), QString::fromUtf8("Renommer la piste 03|Nom de la piste à renommer :|"));
        bench.shell->answer = QStringLiteral("   ");
        form.Renommer->trigger();
        QCOMPARE(bench.shell->inputs.last(), QStringLiteral("Renommer la piste 03|Nom de la piste à renommer :|Intro"));
        QCOMPARE(entries(form.List1), (QStringList{"01-Track", "02-Track", "03-Intro", "04-Track"}));
        QCOMPARE(fileContent(playlist), QByteArray("01-Track.MP3\r\n02-Track.MP3\r\n03-Intro.MP3\r\n04-Track.MP3\r\n"));

        form.List1->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        form.Supprimer->trigger();
        QCOMPARE(fileContent(playlist), QByteArray("01-Track.MP3\r\n03-Intro.MP3\r\n04-Track.MP3\r\n"));
        form.List1->clear();
        form.Command4->click();
        QCOMPARE(fileContent(playlist), QByteArray("01-Track.MP3\r\n03-Intro.MP3\r\n04-Track.MP3\r\n"));
        form.Command5->click();
        QCOMPARE(entries(form.List1), (QStringList{"01-Track", "03-Intro", "04-Track"}));

        // The length shown belongs to the entry's track, not to its row.
        form.List1->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(form.Label11->text(), QStringLiteral("03-Intro 00:12.00 Minutes"));
        QVERIFY(!form.EcouteMP3->isEnabled());
        QFile encoded(bench.output(QStringLiteral("03-Intro.mp3")));
        QVERIFY(encoded.open(QIODevice::WriteOnly));
        encoded.close();
        form.refreshSelection();
        QVERIFY(form.EcouteMP3->isEnabled());
        form.EcouteMP3->trigger();
        QCOMPARE(bench.shell->opened.back(), QUrl::fromLocalFile(encoded.fileName()));
        form.adpcm->trigger();
        QVERIFY(!form.EcouteMP3->isEnabled());

        // Select-all toggles every entry; the caption follows the last one.
        form.Command7->click();
        QCOMPARE(form.List1->selectedItems().size(), 2);
        QCOMPARE(form.Command7->text(), QString::fromUtf8("Dé&selectionner"));
        QCOMPARE(form.Label11->text(), QString());
        form.Command7->click();
        QCOMPARE(form.List1->selectedItems().size(), 1);
        QVERIFY(form.List1->item(1)->isSelected());
        QCOMPARE(form.Command7->text(), QString::fromUtf8("&Sélectionner"));
        QCOMPARE(form.List1->currentRow(), 0);
    }

    void formatAndBitRateMenus() {
        Bench bench;
        bench.settings.setValue(SettingKey::BitRate, QStringLiteral("320"));
        Form1& form = bench.open();
        auto rate = [&form](const char* name) { return form.findChild<QAction*>(name); };
        const char* mp3Only[] = {"Comp112", "Comp192", "Comp224", "Comp256", "Comp320"};
        QVERIFY(form.mpeg->isChecked());
        QVERIFY(rate("Comp320")->isChecked());

        form.aac->trigger();
        QCOMPARE(bench.settings.value(SettingKey::FormatAudio), QStringLiteral("WMA"));
        QCOMPARE(bench.settings.value(SettingKey::BitRate), QStringLiteral("128"));
        QVERIFY(rate("Comp128")->isChecked());
        for (const char* name : mp3Only) QVERIFY(!rate(name)->isEnabled() && !rate(name)->isChecked());
        rate("Comp64")->trigger();
        QCOMPARE(bench.settings.value(SettingKey::BitRate), QStringLiteral("64"));
        QVERIFY(!rate("Comp128")->isChecked());

        form.mpeg->trigger();
        for (const char* name : mp3Only) QVERIFY(rate(name)->isEnabled());
        QVERIFY(!form.aac->isChecked() && !form.adpcm->isChecked());
        form.mpeg->trigger();
        QVERIFY(form.mpeg->isChecked());

        form.adpcm->trigger();
        QVERIFY(!form.TauxComp->isEnabled());
        form.aac->trigger();
        QVERIFY(form.TauxComp->isEnabled());

        // FLAC has no rate to choose; Opus takes every rate, those WMA greys out too.
        form.flac->trigger();
        QCOMPARE(bench.settings.value(SettingKey::FormatAudio), QStringLiteral("FLAC"));
        QVERIFY(!form.TauxComp->isEnabled());
        for (QAction* other : {form.mpeg, form.adpcm, form.aac, form.opus}) QVERIFY(!other->isChecked());
        form.opus->trigger();
        QCOMPARE(bench.settings.value(SettingKey::FormatAudio), QStringLiteral("OPUS"));
        QVERIFY(form.TauxComp->isEnabled());
        QVERIFY(!form.flac->isChecked());
        for (const char* name : mp3Only) QVERIFY(rate(name)->isEnabled());
        rate("Comp256")->trigger();
        QCOMPARE(bench.settings.value(SettingKey::BitRate), QStringLiteral("256"));
        form.mpeg->trigger();
        QVERIFY(!form.opus->isChecked());
        QVERIFY(rate("Comp256")->isChecked());
    }

    void storedFormatIsAppliedAtStart_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<bool>("rates");
        // WAV and WMA go through the WMA handler, which sets 128 kbps; FLAC
        // has no rate and Opus takes the stored one.
        QTest::newRow("WAV") << "WAV" << "adpcm" << "128" << false;
        QTest::newRow("WMA") << "WMA" << "aac" << "128" << true;
        QTest::newRow("FLAC") << "FLAC" << "flac" << "256" << false;
        QTest::newRow("OPUS") << "OPUS" << "opus" << "256" << true;
    }

    void storedFormatIsAppliedAtStart() {
        QFETCH(QString, format);
        QFETCH(QString, item);
        QFETCH(QString, rate);
        QFETCH(bool, rates);
        Bench bench;
        bench.settings.setValue(SettingKey::FormatAudio, format);
        bench.settings.setValue(SettingKey::BitRate, QStringLiteral("256"));
        Form1& form = bench.open();
        QCOMPARE(bench.settings.value(SettingKey::FormatAudio), format);
        QCOMPARE(bench.settings.value(SettingKey::BitRate), rate);
        for (QAction* each : {form.mpeg, form.adpcm, form.aac, form.flac, form.opus})
            QCOMPARE(each->isChecked(), each->objectName() == item);
        QCOMPARE(form.TauxComp->isEnabled(), rates);
        QAction* comp256 = form.findChild<QAction*>("Comp256");
        QCOMPARE(comp256->isEnabled(), rate == "256");
        QCOMPARE(comp256->isChecked(), rate == "256");
    }

    void firstCheck4ClickAfterStartDetectsAgain_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("stored on") << "1";
        QTest::newRow("stored off") << "0";
    }

    void firstCheck4ClickAfterStartDetectsAgain() {
        QFETCH(QString, stored);
        Bench bench;
        bench.settings.setValue(SettingKey::AutoDetection, stored);
        Form1& form = bench.open();
        QCOMPARE(bench.runs().size(), 1);
        form.Check4->click();
        QCOMPARE(bench.runs().size(), 2);
        QCOMPARE(bench.settings.value(SettingKey::AutoDetection), stored == "1" ? QStringLiteral("0") : QStringLiteral("1"));
        QCOMPARE(form.Text1->isEnabled(), stored == "1");
        form.Check4->click();
        QCOMPARE(bench.runs().size(), 3);
    }

    void optionItemsStoreTheirSettings() {
        Bench bench;
        Form1& form = bench.open();
        QDir().mkpath(bench.output(QString()));
        QFile log(bench.output(QStringLiteral("ErrorLog.txt")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("old\r\n");
        log.close();
        form.Debugg->trigger();
        QVERIFY(!QFile::exists(log.fileName()));
        QCOMPARE(bench.settings.value(SettingKey::Debug), QStringLiteral("0"));
        form.Debugg->trigger();
        QCOMPARE(bench.settings.value(SettingKey::Debug), QStringLiteral("1"));

        form.DesactiveCD_EJECT->trigger();
        QCOMPARE(bench.settings.value(SettingKey::Eject), QStringLiteral("1"));
        form.Oui->trigger();
        QCOMPARE(QSettings(bench.dir.filePath("MP3s.ini"), QSettings::IniFormat).value("Options/Console").toString(),
                 QStringLiteral("1"));
        QVERIFY(form.Oui->isChecked() && !form.Non->isChecked());

        form.Check2->click();
        form.Check3->click();
        form.Check5->click();
        QCOMPARE(bench.settings.value(SettingKey::ShutDown), QStringLiteral("1"));
        QCOMPARE(bench.settings.value(SettingKey::OnTheFly), QStringLiteral("0"));
        QCOMPARE(bench.settings.value(SettingKey::WavFmt), QStringLiteral("1"));

        form.DisqueDur->trigger();
        QVERIFY(form.DisqueDur->isChecked() && !form.LecteurCD->isChecked());
        form.LecteurCD->trigger();
        QVERIFY(!form.DisqueDur->isChecked() && form.LecteurCD->isChecked());
        QCOMPARE(form.Timer1->interval(), 1971);
        QVERIFY(!form.Timer1->isActive());
    }

    // Names from the drive, the playlist and the engine are text: markup in
    // them is neither a heading nor a picture to load.
    void outsideTextIsShownAsPlainText() {
        Bench bench;
        bench.useListing(QStringLiteral("cdlist-markup.txt"));
        Form1& form = bench.open();
        const QString drive = QStringLiteral("<h1>BIG</h1><img src=\"pic.png\"> (MMC)");
        QCOMPARE(form.Label10->text(), drive);
        QCOMPARE(shownText(form.Label10), drive);

        QVERIFY(QDir().mkpath(bench.output(QString())));
        QFile playlist(bench.output(QStringLiteral("ListeMP3.M3u")));
        QVERIFY(playlist.open(QIODevice::WriteOnly));
        playlist.write("01-<b>Bold</b>.MP3\r\n");
        playlist.close();
        form.Command5->click();
        form.List1->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(shownText(form.Label11), QStringLiteral("01-<b>Bold</b> 00:14.00 Minutes"));

        DesktopShell desktop;
        QString boxText;
        QTimer::singleShot(0, [&boxText] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            boxText = shownText(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")));
            box->accept();
        });
        desktop.message(&form, Shell::Icon::Exclamation, QStringLiteral("ATTENTION"), QStringLiteral("<h1>BIG</h1>\nx"));
        QCOMPARE(boxText, QStringLiteral("<h1>BIG</h1>\nx"));
    }

    void closingIsRefusedDuringARunAndCleansUpOtherwise() {
        Bench bench;
        Form1& form = bench.open();
        form.show();
        QVERIFY(QFile::exists(form.cdListPath()));
        form.Command1->setEnabled(false);
        QVERIFY(!form.close());
        QCOMPARE(bench.shell->messages.back().text, StringTable::text(2049));
        form.Command1->setEnabled(true);

        bench.settings.setValue(SettingKey::CurrentTrack, QStringLiteral("200"));
        form.Check1->setChecked(false);
        QVERIFY(form.close());
        QCOMPARE(form.windowTitle(), QStringLiteral("Bye bye ;-)"));
        QVERIFY(!QFile::exists(form.cdListPath()));
        QCOMPARE(bench.settings.value(SettingKey::CurrentTrack), QStringLiteral("0"));
        QCOMPARE(bench.settings.value(SettingKey::CdType), QStringLiteral("0"));
    }
};

std::unique_ptr<QObject> makeWindowTest() { return std::make_unique<WindowTest>(); }

#include "window_test.moc"
