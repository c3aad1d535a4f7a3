#pragma once

#include <QString>

// Where PLUMA keeps its files: the folder of its executable when that is
// writable (a copy unpacked in the user's home), else a per-user data folder
// (an installed copy under /usr). "CdList", "MP3s.ini" and the playlist's
// output folder "MP3s" live there.
QString programFolder(const QString& executableFolder);

// The output folder of the encoded files.
QString outputFolder(const QString& programFolder);

// The engine beside `executableFolder` first, then on PATH; empty when
// neither has one.
QString findVolta(const QString& executableFolder);
