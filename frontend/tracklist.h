#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Track list entries: two-digit track number, a hyphen, the file name stem.
namespace TrackList {

QString entryFor(int trackNumber);  // 3 -> "03-Track", 12 -> "12-Track"

// The name offered when renaming: the stem, or empty for the default stem.
QString proposedName(const QString& entry);

// `entry` shortened, as the engine shortens its names, so that its file
// name, even with an extension and ".part", fits the file system.
QString fitted(const QString& entry);

// The entry after renaming with `answer`, fitted; nothing when the answer
// is blank.
std::optional<QString> renamed(const QString& entry, const QString& answer);

// The playlist "ListeMP3.M3u" in the output folder: one line per entry plus
// `extension`, CRLF. An empty list leaves an existing playlist alone.
QString playlistPath(const QString& outputFolder);
int writePlaylist(const QString& outputFolder, const QStringList& entries,
                  const QString& extension = QStringLiteral(".MP3"));
// What the playlist's lines end in after the "Format_Audio" setting:
// ".MP3" whatever the format, as always, but the files of the newer
// formats themselves, so that a player finds them.
QString playlistExtension(const QString& format);
// Nothing when the playlist cannot be read; the entries are fitted, with
// any of those extensions taken off.
std::optional<QStringList> readPlaylist(const QString& outputFolder);

// The extension of an encoded file after the "Format_Audio" setting.
QString extensionFor(const QString& format);
// The encoded file of `entry`, found with its extension in any letter case
// (the run writes lower case); empty when there is none.
QString encodedFile(const QString& outputFolder, const QString& entry, const QString& format);

}  // namespace TrackList
