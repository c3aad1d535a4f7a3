#include "frontend/form1.h"

#include "frontend/bitrates.h"
#include "frontend/captions.h"
#include "frontend/clicklabel.h"
#include "frontend/clsapistuff.h"
#include "frontend/controltag.h"
#include "frontend/detectioncommand.h"
#include "frontend/encodingrun.h"
#include "frontend/errorlog.h"
#include "frontend/form1runwindow.h"
#include "frontend/form2.h"
#include "frontend/frmabout.h"
#include "frontend/links.h"
#include "frontend/plumaicon.h"
#include "frontend/plumasettings.h"
#include "frontend/programfolder.h"
#include "frontend/stringtable.h"
#include "frontend/tracklist.h"
#include "frontend/version.h"
#include "frontend/windoweffects.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace {

const QColor beige(214, 189, 123);
const QColor brown(200, 150, 100);
const QColor yellow(255, 255, 0);
const QColor red(255, 0, 0);
const QColor windowColour(92, 64, 38);

template <typename T>
T* named(T* object, const char* name) {
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

// Labels show names from the disc, the listing and the playlist: markup in
// them is text, never a heading or a picture to load.
template <typename T>
T* plainLabel(T* label, const char* name) {
    label->setTextFormat(Qt::PlainText);
    return named(label, name);
}

QLabel* label(QWidget* parent, const char* name, const QString& caption = {}) {
    return plainLabel(new QLabel(caption, parent), name);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Text, Qt::black);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

void setCaption(QObject* target, const QString& text, bool toolTip) {
    if (auto* action = qobject_cast<QAction*>(target)) {
        toolTip ? action->setToolTip(text) : action->setText(text);
    } else if (auto* menu = qobject_cast<QMenu*>(target)) {
        toolTip ? menu->setToolTip(text) : menu->setTitle(text);
    } else if (auto* widget = qobject_cast<QWidget*>(target); widget && toolTip) {
        widget->setToolTip(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        button->setText(text);
    } else if (auto* text_ = qobject_cast<QLabel*>(target)) {
        text_->setText(text);
    } else if (auto* frame = qobject_cast<QGroupBox*>(target)) {
        frame->setTitle(text);
    }
}

void pause(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

}  // namespace

QString Form1::baseTitle() { return QStringLiteral("PLUMA V°1.1 (PLUMA authors 1999-2000)"); }

Form1::Form1(PlumaSettings& settings, PlumaContext context_, std::unique_ptr<Shell> shell, QWidget* parent)
    : QMainWindow(parent),
      config(settings),
      context(std::move(context_)),
      desktop(std::move(shell)),
      engine(context.voltaPath, context.programFolder),
      apiStuff(std::make_unique<clsAPIstuff>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(baseTitle());
    setWindowIcon(plumaIcon());
    buildMenus();
    buildControls();
    setColours();
    runWindow = std::make_unique<Form1RunWindow>(*this);
    encodingRun = std::make_unique<EncodingRun>(*runWindow, engine, context.programFolder, showConsole());
}

Form1::~Form1() = default;

QAction* Form1::addItem(QMenu* menu, const char* name, const QString& caption, bool checkable) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(checkable);
    return item;
}

void Form1::onClick(QAction* item, void (Form1::*handler)()) {
    connect(item, &QAction::triggered, this, [this, item, handler] {
        item->setChecked(!item->isChecked());
        (this->*handler)();
    });
}

void Form1::buildMenus() {
    QMenuBar* bar = menuBar();
    Fichier = named(bar->addMenu(QStringLiteral("Fichier")), "Fichier");
    Renommer = addItem(Fichier, "Renommer", QStringLiteral("Renommer la Piste"));
    Supprimer = addItem(Fichier, "Supprimer", QStringLiteral("Supprimer la Piste"));
    Fichier->addSeparator();
    EcouteMP3 = addItem(Fichier, "EcouteMP3", QStringLiteral("Ecouter le MP3"));
    EcouteMP3->setEnabled(false);
    Fichier->addSeparator();
    Detecter = addItem(Fichier, "Detecter", QStringLiteral("Detecter CD"));
    Fichier->addSeparator();
    Restaure = addItem(Fichier, "Restaure", QStringLiteral("Restaurer la &Liste"));
    Fichier->addSeparator();
    Quitter = addItem(Fichier, "Quitter", QStringLiteral("&Quitter"));

    Annuler = named(bar->addMenu(QStringLiteral("Annuler")), "Annuler");
    Annuler->menuAction()->setVisible(false);

    Options = named(bar->addMenu(QStringLiteral("Options")), "Options");
    audio = named(Options->addMenu(QStringLiteral("Format Audio")), "audio");
    mpeg = addItem(audio, "mpeg", QStringLiteral("MP3"), true);
    adpcm = addItem(audio, "adpcm", QStringLiteral("WAV"), true);
    aac = addItem(audio, "aac", QStringLiteral("WMA"), true);
    flac = addItem(audio, "flac", QStringLiteral("FLAC"), true);
    opus = addItem(audio, "opus", QStringLiteral("Opus"), true);
    TauxComp = named(Options->addMenu(QStringLiteral("Taux de compression")), "TauxComp");
    for (const BitRateItem& rate : bitRateItems()) {
        QAction* item = addItem(TauxComp, rate.itemName, QStringLiteral("%1 Kbps").arg(rate.kbps), true);
        connect(item, &QAction::triggered, this, [this, item, kbps = rate.kbps] {
            item->setChecked(!item->isChecked());
            bitRateClick(kbps);
        });
        bitRateActions.push_back(item);
    }
    Options->addSeparator();
    AfCons = named(Options->addMenu(QStringLiteral("Afficher Console")), "AfCons");
    Oui = addItem(AfCons, "Oui", QStringLiteral("&Oui"), true);
    Non = addItem(AfCons, "Non", QStringLiteral("&Non"), true);
    Options->addSeparator();
    Langue = named(Options->addMenu(QStringLiteral("Langage")), "Langue");
    France = addItem(Langue, "France", QStringLiteral("Français"), true);
    Anglais = addItem(Langue, "Anglais", QStringLiteral("English"), true);
    Options->addSeparator();
    DesactiveCD_EJECT = addItem(Options, "DesactiveCD_EJECT", QStringLiteral("Permettre l'éjection du CD"), true);
    Debugg = addItem(Options, "Debugg", QStringLiteral("Debug (=> ErrorLog.txt)"), true);

    Utiliser = named(bar->addMenu(QStringLiteral("Utiliser")), "Utiliser");
    LecteurCD = addItem(Utiliser, "LecteurCD", QStringLiteral("Le lecteur de CD-ROM"), true);
    DisqueDur = addItem(Utiliser, "DisqueDur", QStringLiteral("Le disque dur"), true);
    LecteurCD->setChecked(true);

    Aide = named(bar->addMenu(QStringLiteral("Infos")), "Aide");
    EnvoiMail = addItem(Aide, "EnvoiMail", QStringLiteral("Mail à l'auteur..."));
    lisez = addItem(Aide, "lisez", QStringLiteral("Lisez-moi"));
    Faq = addItem(Aide, "Faq", QStringLiteral("FAQ"));
    Historique = addItem(Aide, "Historique", QStringLiteral("Historique"));
    Maj2 = addItem(Aide, "Maj2", QStringLiteral("Maj de PLUMA"));
    Apropos = addItem(Aide, "Apropos", QStringLiteral("&A propos de..."));

    connect(Renommer, &QAction::triggered, this, &Form1::renameClick);
    connect(Supprimer, &QAction::triggered, this, &Form1::deleteClick);
    connect(EcouteMP3, &QAction::triggered, this, &Form1::playClick);
    connect(Detecter, &QAction::triggered, this, &Form1::command6Click);
    connect(Restaure, &QAction::triggered, this, &Form1::reloadPlaylist);
    connect(Quitter, &QAction::triggered, this, &QWidget::close);
    onClick(mpeg, &Form1::mpegClick);
    onClick(adpcm, &Form1::adpcmClick);
    onClick(aac, &Form1::aacClick);
    onClick(flac, &Form1::flacClick);
    onClick(opus, &Form1::opusClick);
    onClick(France, &Form1::franceClick);
    onClick(Anglais, &Form1::anglaisClick);
    connect(Oui, &QAction::triggered, this, [this] {
        Oui->setChecked(!Oui->isChecked());
        consoleClick(true);
    });
    connect(Non, &QAction::triggered, this, [this] {
        Non->setChecked(!Non->isChecked());
        consoleClick(false);
    });
    onClick(DesactiveCD_EJECT, &Form1::ejectClick);
    onClick(Debugg, &Form1::debugClick);
    connect(LecteurCD, &QAction::triggered, this, [this] { sourceClick(LecteurCD); });
    connect(DisqueDur, &QAction::triggered, this, [this] { sourceClick(DisqueDur); });
    connect(EnvoiMail, &QAction::triggered, this, &Form1::sendMail);
    connect(lisez, &QAction::triggered, this, [this] { openDocument(Links::Document::Readme); });
    connect(Faq, &QAction::triggered, this, [this] { openDocument(Links::Document::Faq); });
    connect(Historique, &QAction::triggered, this, [this] { openDocument(Links::Document::History); });
    connect(Maj2, &QAction::triggered, this, [this] { desktop->open(Links::updatePage(context.executableFolder)); });
    connect(Apropos, &QAction::triggered, this, [this] {
        frmAbout about(*desktop, context.executableFolder, languageOffset(), this);
        about.exec();
    });
}

void Form1::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    Label8 = label(central, "Label8", QStringLiteral("Contenu du CD-Audio :"));
    List1 = named(new QListWidget(central), "List1");
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->setMinimumSize(260, 240);
    Label11 = label(central, "Label11");
    Label15 = plainLabel(new ClickLabel(QStringLiteral("Cliquez ici pour accéder aux fichiers encodés..."), central),
                         "Label15");
    Label15->setCursor(Qt::PointingHandCursor);
    Label14 = label(central, "Label14", QStringLiteral("Diagnostics"));
    Label10 = label(central, "Label10");
    Label10->setWordWrap(true);
    Label10->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label10->setMinimumHeight(Label10->fontMetrics().height() * 3);
    Label10->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Command1 = named(new QPushButton(QStringLiteral("Encoder"), central), "Command1");
    Command1->hide();
    Command2 = named(new QPushButton(QStringLiteral("Encoder &Fichier"), central), "Command2");
    Command3 = named(new QPushButton(QStringLiteral("&Stopper l'encodage"), central), "Command3");
    Command3->hide();
    Command4 = named(new QPushButton(QStringLiteral("Sauve"), central), "Command4");
    Command4->setToolTip(QStringLiteral("Sauvegarde la liste"));
    Command5 = named(new QPushButton(QStringLiteral("&Restaurer la liste"), central), "Command5");
    Command6 = named(new QPushButton(QStringLiteral("Testez la configuration !"), central), "Command6");
    Command7 = named(new QPushButton(QStringLiteral("&Sélectionner"), central), "Command7");

    Check1 = named(new QCheckBox(QStringLiteral("ATAPI CD-ROM (MMC)"), central), "Check1");
    Check2 = named(new QCheckBox(QStringLiteral("Eteindre le PC en fin d'encodage"), central), "Check2");
    Check3 = named(new QCheckBox(QStringLiteral("Encode 'On The Fly'"), central), "Check3");
    Check4 = named(new QCheckBox(QStringLiteral("Détection automatique du CD !"), central), "Check4");
    Check5 = named(new QCheckBox(QStringLiteral("WAV"), central), "Check5");

    Frame1 = named(new QGroupBox(QStringLiteral("CD-ROM Configuration:"), central), "Frame1");
    Label9 = label(Frame1, "Label9", QStringLiteral("Host #   ID #    LUN #"));
    Text1 = named(new QLineEdit(Frame1), "Text1");
    Text2 = named(new QLineEdit(Frame1), "Text2");
    Text3 = named(new QLineEdit(Frame1), "Text3");
    for (QLineEdit* box : {Text1, Text2, Text3}) {
        box->setMaxLength(1);
        box->setAlignment(Qt::AlignCenter);
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        connect(box, &QLineEdit::textEdited, this, [this, box] { addressEdited(box); });
    }

    Label1 = label(central, "Label1", QStringLiteral("Temps"));
    Label6 = label(central, "Label6");
    Label7 = label(central, "Label7", QStringLiteral("Piste encodée à : "));
    Label12 = label(central, "Label12");
    Label13 = label(central, "Label13");
    Label2 = label(central, "Label2");
    for (QLabel* hidden : {Label1, Label6, Label7, Label12, Label13, Label2}) hidden->hide();

    picResource = label(central, "picResource");
    picResource->setPixmap(plumaIcon().pixmap(48, 48));
    Label3 = plainLabel(new ClickLabel(QStringLiteral("PLUMA \u00b7 VOLTA"), central), "Label3");
    Label3->setCursor(Qt::PointingHandCursor);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1971);

    auto* address = new QGridLayout(Frame1);
    address->addWidget(Label9, 0, 0, 1, 3);
    address->addWidget(Text1, 1, 0);
    address->addWidget(Text2, 1, 1);
    address->addWidget(Text3, 1, 2);

    auto* left = new QVBoxLayout;
    left->addWidget(Label8);
    left->addWidget(List1, 1);
    left->addWidget(Label11);
    left->addWidget(Label15);
    auto* diagnostics = new QHBoxLayout;
    diagnostics->addWidget(Label14, 0, Qt::AlignTop);
    diagnostics->addWidget(Label10, 1);
    left->addLayout(diagnostics);

    auto* progress = new QGridLayout;
    progress->addWidget(Label1, 0, 0);
    progress->addWidget(Label6, 0, 1);
    progress->addWidget(Label7, 1, 0);
    progress->addWidget(Label12, 1, 1);
    progress->addWidget(Label13, 1, 2);

    auto* right = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{Command2, Command3, Command1, Command7, Command4, Command5})
        right->addWidget(w);
    right->addSpacing(8);
    for (QWidget* w : std::initializer_list<QWidget*>{Check3, Check5, Check2, Check4, Check1, Frame1, Command6})
        right->addWidget(w);
    right->addLayout(progress);
    right->addWidget(Label2);
    right->addStretch(1);
    auto* mark = new QHBoxLayout;
    mark->addWidget(picResource);
    mark->addWidget(Label3, 1);
    right->addLayout(mark);

    auto* columns = new QHBoxLayout(central);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    connect(Command2, &QPushButton::clicked, this, &Form1::encodeSelectedTracks);
    connect(Command3, &QPushButton::clicked, this, &Form1::stopEncoding);
    connect(Timer1, &QTimer::timeout, this, &Form1::showProgress);
    connect(Command4, &QPushButton::clicked, this, &Form1::writePlaylist);
    connect(Command5, &QPushButton::clicked, this, &Form1::reloadPlaylist);
    connect(Command6, &QPushButton::clicked, this, &Form1::command6Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::selectAllClick);
    connect(Check2, &QCheckBox::toggled, this, [this](bool on) { config.setOn(SettingKey::ShutDown, on); });
    connect(Check3, &QCheckBox::toggled, this, [this](bool on) { config.setOn(SettingKey::OnTheFly, on); });
    connect(Check5, &QCheckBox::toggled, this, [this](bool on) {
        config.setOn(SettingKey::WavFmt, on);
        refreshSelection();
    });
    connect(Check4, &QCheckBox::toggled, this, &Form1::check4Click);
    connect(List1, &QListWidget::itemSelectionChanged, this, &Form1::refreshSelection);
    connect(List1, &QListWidget::currentRowChanged, this, &Form1::refreshSelection);
    connect(Label15, &ClickLabel::pressed, this, [this] { setTextColour(Label15, red); });
    connect(Label15, &ClickLabel::released, this, [this] {
        setTextColour(Label15, yellow);
        QDir().mkpath(outputFolder());
        desktop->open(QUrl::fromLocalFile(outputFolder()));
    });
    connect(Label3, &ClickLabel::released, this, [this] { desktop->open(Links::authorPage(context.executableFolder)); });
}

void Form1::setColours() {
    setBackground(centralWidget(), windowColour);
    for (QWidget* w : std::initializer_list<QWidget*>{Label8, Label9, Label10, Label7, Label12, Label3, Label2})
        setTextColour(w, Qt::white);
    QPalette framePalette = Frame1->palette();
    framePalette.setColor(QPalette::WindowText, Qt::white);
    Frame1->setPalette(framePalette);
    for (QWidget* w : std::initializer_list<QWidget*>{Check1, Check2, Check3, Check4, Label1, Label6, Label13, Label14})
        setBackground(w, beige);
    for (QWidget* w : std::initializer_list<QWidget*>{List1, Label8, Label11}) setBackground(w, brown);
    setBackground(Check5, beige);
    setTextColour(Label15, yellow);
}

QString Form1::outputFolder() const { return ::outputFolder(context.programFolder); }

QString Form1::cdListPath() const { return QDir(context.programFolder).filePath(QStringLiteral("CdList")); }

bool Form1::showConsole() const { return context.arguments.join(QLatin1Char(' ')) == QLatin1String("/CONSOLE"); }

int Form1::languageOffset() { return config.languageOffset(); }

void Form1::load(Form2* loading) {
    starting = true;
    loadingWindow = loading;
    applyCaptions();
    const int offset = languageOffset();
    if (loading) {
        loading->setTexts(StringTable::text(1059, offset), StringTable::text(1058, offset));
        loading->show();
        QCoreApplication::processEvents();
    }

    const QString format = config.value(SettingKey::FormatAudio);
    mpeg->setChecked(audioFormatFromSetting(format) == AudioFormat::Mp3);
    const int kbps = storedBitRate(config.value(SettingKey::BitRate));
    for (size_t i = 0; i < bitRateActions.size(); ++i) bitRateActions[i]->setChecked(bitRateItems()[i].kbps == kbps);
    Debugg->setChecked(config.isOn(SettingKey::Debug));
    France->setChecked(offset == StringTable::french);
    Anglais->setChecked(offset == StringTable::english);
    Text1->setText(sanitisedAddress(config.value(SettingKey::Host)));
    Text2->setText(sanitisedAddress(config.value(SettingKey::Id)));
    Text3->setText(sanitisedAddress(config.value(SettingKey::Lun)));
    Check1->setChecked(config.value(SettingKey::CdType) != QLatin1String("0"));
    Check2->setChecked(config.isOn(SettingKey::ShutDown));
    Check3->setChecked(config.isOn(SettingKey::OnTheFly));
    const bool autoDetection = config.isOn(SettingKey::AutoDetection);
    if (Check4->isChecked() == autoDetection) {
        // No click event comes from an unchanged box: count the load's one here,
        // so that the user's first click detects again.
        check4Clicks = 1;
        applyAutoDetectionState();
    }
    Check4->setChecked(autoDetection);
    DesactiveCD_EJECT->setChecked(config.isOn(SettingKey::Eject));
    if (DesactiveCD_EJECT->isChecked()) config.setValue(SettingKey::Eject, QStringLiteral("1"));
    Check5->setChecked(config.isOn(SettingKey::WavFmt));
    Oui->setChecked(showConsole());
    Non->setChecked(!showConsole());

    initialiseDisc();
    QDir().mkpath(outputFolder());
    screenSaver.inhibit();
    if (loading) loading->close();
    loadingWindow = nullptr;

    if (format == QLatin1String("WAV")) {
        aacClick();
        adpcmClick();
    } else if (format == QLatin1String("WMA")) {
        bitRateClick(128);
        adpcmClick();
        aacClick();
    } else if (format == QLatin1String("FLAC")) {
        flacClick();
    } else if (format == QLatin1String("OPUS")) {
        opusClick();
    }
    starting = false;
}

void Form1::applyCaptions() {
    const int offset = languageOffset();
    for (const CaptionTarget& target : mainWindowCaptions()) {
        QObject* object = findChild<QObject*>(QString::fromLatin1(target.objectName));
        if (object) setCaption(object, StringTable::text(target.baseId, offset), target.toolTip);
    }
}

void Form1::initialiseDisc() {
    if (engine.running()) return;
    List1->clear();
    Label10->setText(QStringLiteral("Initialisation du CD-ROM..."));
    const QStringList arguments = detectionArguments(Check1->isChecked(), Check4->isChecked(), Text1->text().toInt(),
                                                     Text2->text().toInt(), Text3->text().toInt());
    if (config.isOn(SettingKey::Eject)) {
        desktop->media(Shell::Media::CloseTray);
        pause(100);
    }
    pause(100);
    // A listing left by an earlier run must not pass for this one.
    QFile::remove(cdListPath());
    const int offset = languageOffset();
    if (engine.start(arguments, ProcessRunner::Output::File, cdListPath()) != 0) {
        Label10->setText(platformText(PlatformText::VoltaNotFound, offset));
        for (QWidget* w : std::initializer_list<QWidget*>{Command2, Command5, Command7}) w->setEnabled(false);
        return;
    }
    setTag(Command3, QString::number(engine.processId()));
    engine.waitPolling();
    setTag(Command3, QString());
    // Stopped for the end of the session: no box may hold the closing.
    if (ending) return;

    if (!QFile::exists(cdListPath())) {
        desktop->message(this, Shell::Icon::Critical, QString(), QStringLiteral("Le fichier CdList n'a pas pu être créé !"));
        return;
    }
    lastListing = CdListing::read(cdListPath());
    const DetectionOutcome outcome =
        detectionOutcome(lastListing, offset, Links::drivePermissions(context.executableFolder).toString());
    const bool eject = config.isOn(SettingKey::Eject);
    if (outcome.notAudio) {
        desktop->message(this, Shell::Icon::Exclamation, QStringLiteral("ATTENTION"), StringTable::text(1061, offset));
        if (eject) pause(10);
    }
    if (outcome.beep) desktop->beep();
    if (outcome.closeTray) desktop->media(Shell::Media::CloseTray);
    if (outcome.ejectPause && eject) pause(10);
    Label10->setText(outcome.label10);
    for (QWidget* w : std::initializer_list<QWidget*>{Command2, Command5, Command7}) w->setEnabled(!outcome.failed);
    if (!outcome.failed) fillList();
}

void Form1::fillList() {
    List1->clear();
    for (const ListedTrack& track : lastListing.tracks) List1->addItem(TrackList::entryFor(track.number));
    if (List1->count() == 0) {
        const QString notReady = QStringLiteral("Lecteur de CD-ROM non prêt !");
        Label10->setText(notReady);
        desktop->message(this, Shell::Icon::Exclamation, QStringLiteral("ATTENTION"), notReady);
    }
}

void Form1::command6Click() {
    Command2->setEnabled(false);
    Command7->setEnabled(false);
    if (!tagOf(Command3).isEmpty()) return;
    saveConfiguration();
    desktop->media(Shell::Media::StopAudio);
    initialiseDisc();
    Command2->setEnabled(true);
    Command7->setEnabled(true);
}

void Form1::applyAutoDetectionState() {
    const bool automatic = Check4->isChecked();
    Label9->setVisible(!automatic);
    for (QLineEdit* box : {Text1, Text2, Text3}) box->setEnabled(!automatic);
}

void Form1::check4Click(bool checked) {
    if (!tagOf(Command3).isEmpty()) return;
    applyAutoDetectionState();
    check4Clicks = std::min(check4Clicks + 1, 2);
    if (check4Clicks > 1) initialiseDisc();
    config.setOn(SettingKey::AutoDetection, checked);
}

void Form1::addressEdited(QLineEdit* box) {
    const QString clean = sanitisedAddress(box->text());
    if (clean != box->text()) box->setText(clean);
    if (!Text2->text().isEmpty()) command6Click();
}

void Form1::saveConfiguration() {
    config.setValue(SettingKey::Host, Text1->text());
    config.setValue(SettingKey::Id, Text2->text());
    config.setValue(SettingKey::Lun, Text3->text());
    config.setOn(SettingKey::ShutDown, Check2->isChecked());
    config.setOn(SettingKey::CdType, Check1->isChecked());
}

void Form1::refreshSelection() {
    const int row = List1->currentRow();
    if (row < 0 || List1->selectedItems().isEmpty()) {
        Label11->clear();
        EcouteMP3->setEnabled(false);
        return;
    }
    const QString entry = List1->item(row)->text();
    const QString length = lastListing.lengthOfTrack(entry.left(2).toInt());
    Label11->setText(entry + QLatin1Char(' ') + length + QStringLiteral(" Minutes"));
    EcouteMP3->setEnabled(
        !TrackList::encodedFile(outputFolder(), entry, config.value(SettingKey::FormatAudio)).isEmpty());
}

void Form1::playClick() {
    const int row = List1->currentRow();
    if (row < 0 || !EcouteMP3->isEnabled()) return;
    const QString file =
        TrackList::encodedFile(outputFolder(), List1->item(row)->text(), config.value(SettingKey::FormatAudio));
    if (!file.isEmpty()) desktop->open(QUrl::fromLocalFile(file));
}

void Form1::renameClick() {
    QListWidgetItem* item = List1->currentItem();
    if (!item) return;
    const QString entry = item->text();
    const std::optional<QString> answer =
        desktop->input(this, QStringLiteral("Renommer la piste ") + entry.left(2),
                       QStringLiteral("Nom de la piste à renommer :"), TrackList::proposedName(entry));
    if (!answer) return;
    const std::optional<QString> result = TrackList::renamed(entry, *answer);
    if (!result) return;
    item->setText(*result);
    writePlaylist();
}

void Form1::deleteClick() {
    const int row = List1->currentRow();
    if (row < 0) return;
    delete List1->takeItem(row);
    writePlaylist();
}

void Form1::writePlaylist() {
    QStringList entries;
    for (int i = 0; i < List1->count(); ++i) entries << List1->item(i)->text();
    TrackList::writePlaylist(outputFolder(), entries,
                             TrackList::playlistExtension(config.value(SettingKey::FormatAudio)));
}

void Form1::reloadPlaylist() {
    Label11->clear();
    const std::optional<QStringList> entries = TrackList::readPlaylist(outputFolder());
    if (!entries) return;
    List1->clear();
    List1->addItems(*entries);
    focusNextChild();
}

void Form1::selectAllClick() {
    Label11->clear();
    // The selection display stays empty until the user clicks an entry.
    const QSignalBlocker quiet(List1);
    for (int i = 0; i < List1->count(); ++i) {
        QListWidgetItem* item = List1->item(i);
        const bool select = !item->isSelected();
        item->setSelected(select);
        Command7->setText(select ? QStringLiteral("Dé&selectionner") : QStringLiteral("&Sélectionner"));
    }
    if (List1->count() > 0) List1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void Form1::mpegClick() {
    if (mpeg->isChecked()) return;
    mpeg->setChecked(true);
    config.setValue(SettingKey::FormatAudio, QStringLiteral("MP3"));
    TauxComp->setEnabled(true);
    for (size_t i = 0; i < bitRateActions.size(); ++i)
        if (!bitRateItems()[i].allowedForWma) bitRateActions[i]->setEnabled(true);
    checkFormatItem(mpeg);
    refreshSelection();
}

void Form1::adpcmClick() {
    if (adpcm->isChecked()) return;
    adpcm->setChecked(true);
    config.setValue(SettingKey::FormatAudio, QStringLiteral("WAV"));
    TauxComp->setEnabled(false);
    checkFormatItem(adpcm);
    refreshSelection();
}

void Form1::aacClick() {
    if (aac->isChecked()) return;
    aac->setChecked(true);
    config.setValue(SettingKey::FormatAudio, QStringLiteral("WMA"));
    // WMA has bit rates too: coming from WAV the menu must come back.
    TauxComp->setEnabled(true);
    for (size_t i = 0; i < bitRateActions.size(); ++i) {
        if (bitRateItems()[i].allowedForWma) continue;
        bitRateActions[i]->setEnabled(false);
        bitRateActions[i]->setChecked(false);
    }
    bitRateClick(128);
    checkFormatItem(aac);
    refreshSelection();
}

// FLAC is lossless: there is no rate to choose.
void Form1::flacClick() {
    if (flac->isChecked()) return;
    config.setValue(SettingKey::FormatAudio, QStringLiteral("FLAC"));
    TauxComp->setEnabled(false);
    checkFormatItem(flac);
    refreshSelection();
}

// Opus takes every rate of the menu, those WMA greys out included.
void Form1::opusClick() {
    if (opus->isChecked()) return;
    config.setValue(SettingKey::FormatAudio, QStringLiteral("OPUS"));
    TauxComp->setEnabled(true);
    for (QAction* item : bitRateActions) item->setEnabled(true);
    checkFormatItem(opus);
    refreshSelection();
}

void Form1::checkFormatItem(QAction* chosen) {
    for (QAction* item : {mpeg, adpcm, aac, flac, opus}) item->setChecked(item == chosen);
}

void Form1::bitRateClick(int kbps) {
    const std::span<const BitRateItem> items = bitRateItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kbps != kbps) continue;
        if (bitRateActions[i]->isChecked()) return;
    }
    for (size_t i = 0; i < items.size(); ++i) bitRateActions[i]->setChecked(items[i].kbps == kbps);
    config.setValue(SettingKey::BitRate, QString::number(kbps));
}

void Form1::franceClick() {
    if (France->isChecked()) return;
    France->setChecked(true);
    Anglais->setChecked(false);
    config.setValue(SettingKey::Language, QStringLiteral("0"));
    applyCaptions();
}

void Form1::anglaisClick() {
    if (Anglais->isChecked()) return;
    Anglais->setChecked(true);
    France->setChecked(false);
    config.setValue(SettingKey::Language, QStringLiteral("1000"));
    applyCaptions();
}

void Form1::consoleClick(bool shown) {
    QAction* chosen = shown ? Oui : Non;
    if (chosen->isChecked()) return;
    chosen->setChecked(true);
    (shown ? Non : Oui)->setChecked(false);
    QSettings ini(QDir(context.programFolder).filePath(QStringLiteral("MP3s.ini")), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Options/Console"), shown ? QStringLiteral("1") : QStringLiteral("0"));
}

void Form1::ejectClick() {
    DesactiveCD_EJECT->setChecked(!DesactiveCD_EJECT->isChecked());
    config.setOn(SettingKey::Eject, DesactiveCD_EJECT->isChecked());
}

void Form1::debugClick() {
    if (Debugg->isChecked()) {
        Debugg->setChecked(false);
        config.setOn(SettingKey::Debug, false);
        const QString log = errorLogPath(outputFolder());
        QFile(log).resize(0);
        pause(10);
        QFile::remove(log);
    } else {
        Debugg->setChecked(true);
        config.setOn(SettingKey::Debug, true);
    }
}

void Form1::sourceClick(QAction* chosen) {
    LecteurCD->setChecked(chosen == LecteurCD);
    DisqueDur->setChecked(chosen == DisqueDur);
    if (chosen == DisqueDur)
        desktop->message(this, Shell::Icon::Information, QStringLiteral("Héhé"),
                         QStringLiteral("Pas encore implémenté, mais j'ai le code ;-)"));
}

void Form1::openDocument(Links::Document which) {
    const QString path = Links::documentPath(context.executableFolder, which, languageOffset());
    if (!path.isEmpty()) desktop->open(QUrl::fromLocalFile(path));
}

void Form1::sendMail() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    QUrl mail(QStringLiteral("mailto:") + Links::authorMail());
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("PLUMA V°1.1 Build #%1 (%2)")
                           .arg(PlumaVersion::revision)
                           .arg(program.lastModified().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    mail.setQuery(query);
    if (!desktop->open(mail))
        desktop->message(this, Shell::Icon::Critical, QString(),
                         QStringLiteral("Veuillez configurer votre messagerie Internet SVP !"));
    pause(100);
    QCoreApplication::processEvents();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (loadingWindow) loadingWindow->close();
    pause(10);
    const QString child = tagOf(Command3);
    if ((child.isEmpty() || child == QLatin1String("0")) && !Command7->isEnabled()) {
        Command2->setEnabled(true);
        Command7->setEnabled(true);
    }
    // Between two tracks every button is enabled, yet the run goes on.
    if (!ending && (!Command1->isEnabled() || !Command2->isEnabled() || encodingRun->running())) {
        desktop->message(this, Shell::Icon::Exclamation, QStringLiteral("PLUMA"),
                         StringTable::text(1049, languageOffset()));
        event->ignore();
        return;
    }
    setWindowTitle(QStringLiteral("Bye bye ;-)"));
    config.setValue(SettingKey::CurrentTrack, QStringLiteral("0"));
    screenSaver.release();
    saveConfiguration();
    collapseToCentre(this);
    pause(100);
    QCoreApplication::processEvents();
    engine.terminate();
    QFile::remove(cdListPath());
    event->accept();
}

void Form1::endSession() {
    ending = true;
    // A question open at that moment must not hold the end.
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    if (encodingRun->running())
        encodingRun->stop();
    else
        engine.terminate();
    closeWhenIdle();
}

void Form1::closeWhenIdle() {
    // The run, the detection and the start-up unwind their waits first.
    if (starting || encodingRun->running() || engine.running()) {
        QTimer::singleShot(100, this, &Form1::closeWhenIdle);
        return;
    }
    close();
}

void Form1::encodeSelectedTracks() { encodingRun->start(); }

void Form1::stopEncoding() { encodingRun->requestStop(); }

void Form1::showProgress() { encodingRun->progressTick(); }
