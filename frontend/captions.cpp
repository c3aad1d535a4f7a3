#include "frontend/captions.h"

#include <array>

namespace {

constexpr std::array<CaptionTarget, 43> targets{{
    {"Label8", false, 1000},     {"Label8", true, 1001},     {"Label2", false, 1007},
    {"Label2", true, 1008},      {"Label7", false, 1011},    {"Command2", false, 1002},
    {"Command2", true, 1003},    {"Command5", false, 1006},  {"Command3", false, 1009},
    {"Command3", true, 1010},    {"Fichier", false, 1020},   {"Renommer", false, 1021},
    {"Supprimer", false, 1022},  {"Detecter", false, 1023},  {"Restaure", false, 1024},
    {"Quitter", false, 1025},    {"TauxComp", false, 1026},  {"AfCons", false, 1027},
    {"Oui", false, 1028},        {"Non", false, 1029},       {"EnvoiMail", false, 1030},
    {"Apropos", false, 1031},    {"Annuler", false, 1042},   {"EcouteMP3", false, 1043},
    {"Label1", false, 1054},     {"Command6", false, 1048},  {"Check3", false, 1051},
    {"Check2", false, 1052},     {"Command7", false, 1053},  {"Check4", false, 1055},
    {"Frame1", false, 1056},     {"Text1", true, 1057},      {"Text2", true, 1057},
    {"Text3", true, 1057},       {"DesactiveCD_EJECT", false, 1060}, {"lisez", false, 1062},
    {"Langue", false, 1063},     {"audio", false, 1064},     {"Label15", false, 1065},
    {"Maj2", false, 1066},       {"Historique", false, 1070},
    {"flac", false, 1071},       {"opus", false, 1072},
}};

}  // namespace

std::span<const CaptionTarget> mainWindowCaptions() { return targets; }
