#include "frontend/stringtable.h"

#include <array>

namespace {

struct Entry {
    int id;
    const char* french;
    const char* english;
};

// Ids 1012-1019 and 1041 are not defined.
constexpr std::array<Entry, 64> entries{{
    {1000, "Contenu du CD-Audio :", "CD-Audio contents :"},
    {1001, "Affiche la liste des pistes audio du CD", "Shows all tracks of the CD"},
    {1002, "Encoder &Fichier", "Encode &File"},
    {1003, "Encode les pistes sélectionnées", "Encode selected tracks"},
    {1004, "Encoder le &CD !", "Encode all Tracks !"},
    {1005, "Encode la totalité du CD !", "Encode the whole CD !"},
    {1006, "&Restaurer la Liste", "&Restore Tracks List"},
    {1007, "Temps CPU nécessaire ", "CPU time required "},
    {1008, "Ressources CPU requises pour l'encodage", "Required CPU ressources for encoding"},
    {1009, "&Stopper l'encodage !", "&Stop encoding !"},
    {1010, "Stoppe l'encodage du fichier en cours", "Stop encoding file"},
    {1011, "Piste encodée à :", "Track in progress :"},
    {1020, "Fichier", "File"},
    {1021, "&Renommer Piste", "&Rename Track"},
    {1022, "&Supprimer Piste", "D&elete Track"},
    {1023, "&Detecter CD", "&Detect CD"},
    {1024, "Restaurer la &Liste", "Restore Tracks &List"},
    {1025, "&Quitter", "&Quit"},
    {1026, "Taux de compression", "Compression level"},
    {1027, "Afficher Console", "Show Console"},
    {1028, "&Oui", "&Yes"},
    {1029, "&Non", "&No"},
    {1030, "Envoyer un Mel à l'auteur...", "Send a Mail to author..."},
    {1031, "&A propos de PLUMA...", "&About PLUMA..."},
    {1032, "Temps CPU nécessaire 100%", "Required CPU Time 100%"},
    {1033, "Temps CPU nécessaire 50%", "Required CPU Time 50%"},
    {1034, "Temps CPU nécessaire 20%", "Required CPU Time 20%"},
    {1035, "Aucune action ne sera tentée ! \nla liste est vide !",
     "I can't encode a track ! \nTrack list is empty !"},
    {1036, "Action refusée car une piste est en cours d'encodage !",
     "Permission denied : a track is already running !"},
    {1037, "Copie de la piste audio numéro ", "Copying audio track number "},
    {1038, "Je confirme l'encodage du CD-AUDIO", "I want to rip the CD's track list"},
    {1039, "Entrez le nom de l'artiste et de l'album :", "Enter the name of the artist and his LP :"},
    {1040, "Encodage de la piste numéro ", "Encoding track number "},
    {1042, "Annuler", "Cancel"},
    {1043, "Ecouter le fichier", "Play file"},
    {1044, "Le fichier a été créé avec succès !", "The file created with success !"},
    {1045, " MP3 créés avec succès !", " MP3 files created with success !"},
    {1046, "Le 'répertoire album' existe déjà !! ", "Le 'Album-directory' already exists !! "},
    {1047, "Temps:", "Time :"},
    {1048, "Testez la configuration !", "Test parameters now !"},
    {1049, "Vous ne pouvez pas quitter maintenant !", "You can't quit while CD is running !"},
    {1050, "Voulez-vous annuler l'encodage en cours ?", "Do you want to stop encoding right now ?"},
    {1051, "Encoder 'à la volée'", "Encode 'on the fly'"},
    {1052, "Eteindre le PC en fin d'encodage", "When encoded turn Off my PC"},
    {1053, "&Sélectionner", "&Select"},
    {1054, "Temps", "Time"},
    {1055, "Détection automatique du CD", "Automatic CD detection"},
    {1056, "Configuration du CD-ROM :", "CD-ROM Configuration :"},
    {1057, "Faites un Double-Click pour changer la valeur", "Double-Click to change the value"},
    {1058, " Veuillez patienter pendant le chargement...", " Please wait during initialisation..."},
    {1059, "Chargement en cours...", "Initialisation..."},
    {1060, "Permettre l'éjection du CD", "Allowing CD-Ejection"},
    {1061, "Le CD n'est pas un CD-Audio !", "The CD is not an Audio-CD !"},
    {1062, "LISEZ-MOI", "README"},
    {1063, "Langage", "Language"},
    {1064, "Format Audio", "Audio Format"},
    {1065, "Cliquez ici pour accéder aux fichiers encodés...", "Click here to see encoded files..."},
    {1066, "Mettre à jour PLUMA...", "Updating PLUMA..."},
    {1067, "Pistes non copiées : ", "Tracks not copied : "},
    {1068, "Le détail est dans le journal ", "Details are in the log "},
    {1069, "Cochez Options > Debug (=> ErrorLog.txt) pour en garder le détail.",
     "Check Options > Debug (=> ErrorLog.txt) to keep the details."},
    {1070, "Historique", "History"},
    {1071, "FLAC (sans perte)", "FLAC (lossless)"},
    {1072, "Opus (compact)", "Opus (compact)"},
}};

constexpr int kLastId = entries.back().id;

const Entry* find(int baseId) {
    for (const Entry& e : entries)
        if (e.id == baseId) return &e;
    return nullptr;
}

}  // namespace

namespace StringTable {

QString text(int id) {
    const bool english = id >= 2000;
    const Entry* e = find(english ? id - 1000 : id);
    if (!e || id < 1000 || id > kLastId + 1000) return {};
    return QString::fromUtf8(english ? e->english : e->french);
}

QString text(int baseId, int offset) { return text(baseId + offset); }

bool defined(int id) { return find(id >= 2000 ? id - 1000 : id) != nullptr && id >= 1000 && id <= kLastId + 1000; }

}  // namespace StringTable

QString platformText(PlatformText which, int offset) {
    const bool english = offset == StringTable::english;
    switch (which) {
        case PlatformText::VoltaNotFound:
            return english ? QStringLiteral("volta not found next to pluma nor on the PATH !")
                           : QStringLiteral("volta introuvable à côté de pluma et dans le PATH !");
        case PlatformText::AspiHelp:
            return english ? QStringLiteral("The CD drive cannot be opened, see ")
                           : QStringLiteral("Téléchargez les drivers ASPI 'de base' sur ");
    }
    return {};
}
