#pragma once

#include "frontend/cdlisting.h"
#include "frontend/desktopsession.h"
#include "frontend/links.h"
#include "frontend/processrunner.h"
#include "frontend/shell.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
class ClickLabel;
class Form2;
class PlumaSettings;
class clsAPIstuff;
class EncodingRun;
class Form1RunWindow;

// Where PLUMA runs: its own folder, its files' folder, the engine, its
// command-line arguments.
struct PlumaContext {
    QString executableFolder;
    QString programFolder;
    QString voltaPath;  // empty when no engine was found
    QStringList arguments;
};

// The main window: the track list, disc detection, playlist and options.
// Controls carry their historical names as object names.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    Form1(PlumaSettings& settings, PlumaContext context, std::unique_ptr<Shell> shell, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence: settings into the controls, disc detection,
    // screen saver, stored format. `loading` is shown meanwhile when given.
    void load(Form2* loading = nullptr);

    void initialiseDisc();
    void applyCaptions();
    void writePlaylist();
    void reloadPlaylist();
    void refreshSelection();
    void saveConfiguration();

    QString outputFolder() const;
    QString cdListPath() const;
    // The console is shown during runs when PLUMA's only argument is "/CONSOLE".
    bool showConsole() const;
    int languageOffset();
    PlumaSettings& settings() { return config; }
    ProcessRunner& runner() { return engine; }
    Shell& shell() { return *desktop; }
    const CdListing& listing() const { return lastListing; }

    static QString baseTitle();

    // The end of the desktop session or a termination signal: stops a run
    // or a detection without asking, then closes as `Quitter` does.
    void endSession();

public slots:
    // The encoding run and its stop request and progress display.
    void encodeSelectedTracks();
    void stopEncoding();
    void showProgress();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void setColours();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, bool checkable = false);
    // Runs `handler` on the item's state before the click, as the option
    // handlers decide from the check mark they find.
    void onClick(QAction* item, void (Form1::*handler)());

    void fillList();
    void command6Click();
    void check4Click(bool checked);
    void applyAutoDetectionState();
    void addressEdited(QLineEdit* box);
    void renameClick();
    void deleteClick();
    void selectAllClick();
    void playClick();
    void mpegClick();
    void adpcmClick();
    void aacClick();
    void flacClick();
    void opusClick();
    void checkFormatItem(QAction* chosen);
    void bitRateClick(int kbps);
    void franceClick();
    void anglaisClick();
    void consoleClick(bool shown);
    void ejectClick();
    void debugClick();
    void sourceClick(QAction* chosen);
    void openDocument(Links::Document which);
    void sendMail();
    void collapse(QWidget* window);
    void closeWhenIdle();

    PlumaSettings& config;
    PlumaContext context;
    std::unique_ptr<Shell> desktop;
    ProcessRunner engine;
    CdListing lastListing;
    ScreenSaverInhibitor screenSaver;
    std::unique_ptr<clsAPIstuff> apiStuff;
    Form2* loadingWindow = nullptr;
    int check4Clicks = 0;
    bool starting = false;  // inside load()
    bool ending = false;
    std::unique_ptr<Form1RunWindow> runWindow;
    std::unique_ptr<EncodingRun> encodingRun;

public:
    // The controls, under their object names.
    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    ClickLabel* Label3 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    ClickLabel* Label15 = nullptr;
    QLabel* picResource = nullptr;
    QTimer* Timer1 = nullptr;

    QMenu* Fichier = nullptr;
    QAction* Renommer = nullptr;
    QAction* Supprimer = nullptr;
    QAction* EcouteMP3 = nullptr;
    QAction* Detecter = nullptr;
    QAction* Restaure = nullptr;
    QAction* Quitter = nullptr;
    QMenu* Annuler = nullptr;
    QMenu* Options = nullptr;
    QMenu* audio = nullptr;
    QAction* mpeg = nullptr;
    QAction* adpcm = nullptr;
    QAction* aac = nullptr;
    QAction* flac = nullptr;
    QAction* opus = nullptr;
    QMenu* TauxComp = nullptr;
    QMenu* AfCons = nullptr;
    QAction* Oui = nullptr;
    QAction* Non = nullptr;
    QMenu* Langue = nullptr;
    QAction* France = nullptr;
    QAction* Anglais = nullptr;
    QAction* DesactiveCD_EJECT = nullptr;
    QAction* Debugg = nullptr;
    QMenu* Utiliser = nullptr;
    QAction* LecteurCD = nullptr;
    QAction* DisqueDur = nullptr;
    QMenu* Aide = nullptr;
    QAction* EnvoiMail = nullptr;
    QAction* lisez = nullptr;
    QAction* Faq = nullptr;
    QAction* Historique = nullptr;
    QAction* Maj2 = nullptr;
    QAction* Apropos = nullptr;
    // The bit-rate items in menu order (Comp320 ... Comp64).
    std::vector<QAction*> bitRateActions;
};
