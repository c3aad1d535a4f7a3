#include "frontend/tracklist.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace TrackList {

namespace {

const QString mp3 = QStringLiteral(".MP3");

// A file name holds at most 255 bytes; an entry leaves room for the
// longest extension (".flac") and the ".part" of a failed copy.
constexpr qsizetype kEntryBytes = 255 - 10;

}  // namespace

QString fitted(const QString& entry) {
    QString name = entry;
    if (QFile::encodeName(name).size() <= kEntryBytes) return name;
    while (QFile::encodeName(name).size() > kEntryBytes)
        name.chop(name.size() > 1 && name.back().isLowSurrogate() ? 2 : 1);
    // A blank left at the cut would end the file name.
    while (name.size() > 3 && name.back().isSpace()) name.chop(1);
    return name;
}

QString entryFor(int trackNumber) {
    return QStringLiteral("%1-Track").arg(trackNumber, 2, 10, QLatin1Char('0'));
}

QString proposedName(const QString& entry) {
    const QString name = entry.mid(3);
    return name == QLatin1String("Track") ? QString() : name;
}

std::optional<QString> renamed(const QString& entry, const QString& answer) {
    QString name = answer.trimmed();
    if (name.isEmpty()) return std::nullopt;
    if (name.endsWith(mp3, Qt::CaseInsensitive)) name.chop(mp3.size());
    return fitted(entry.left(2) + QLatin1Char('-') + name);
}

QString playlistPath(const QString& outputFolder) {
    return QDir(outputFolder).filePath(QStringLiteral("ListeMP3.M3u"));
}

int writePlaylist(const QString& outputFolder, const QStringList& entries, const QString& extension) {
    if (entries.isEmpty()) return 0;
    QDir().mkpath(outputFolder);
    QSaveFile file(playlistPath(outputFolder));
    if (!file.open(QIODevice::WriteOnly)) return 1;
    for (const QString& entry : entries) file.write((entry + extension + QStringLiteral("\r\n")).toUtf8());
    return file.commit() ? 0 : 1;
}

std::optional<QStringList> readPlaylist(const QString& outputFolder) {
    QFile file(playlistPath(outputFolder));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QStringList entries;
    QString content = QString::fromUtf8(file.readAll());
    content.remove(QLatin1Char('\r'));
    QStringList lines = content.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString line : lines) {
        for (const QString& extension : {mp3, QStringLiteral(".flac"), QStringLiteral(".opus")})
            if (line.endsWith(extension, Qt::CaseInsensitive)) line.chop(extension.size());
        entries << fitted(line);
    }
    return entries;
}

QString extensionFor(const QString& format) {
    if (format == QLatin1String("WAV")) return QStringLiteral(".wav");
    if (format == QLatin1String("WMA")) return QStringLiteral(".wma");
    if (format == QLatin1String("FLAC")) return QStringLiteral(".flac");
    if (format == QLatin1String("OPUS")) return QStringLiteral(".opus");
    return QStringLiteral(".mp3");
}

QString playlistExtension(const QString& format) {
    if (format == QLatin1String("FLAC") || format == QLatin1String("OPUS")) return extensionFor(format);
    return mp3;
}

QString encodedFile(const QString& outputFolder, const QString& entry, const QString& format) {
    const QString ext = extensionFor(format);
    const QDir dir(outputFolder);
    for (const QString& candidate : {entry + ext, entry + ext.toUpper()})
        if (QFile::exists(dir.filePath(candidate))) return dir.filePath(candidate);
    return {};
}

}  // namespace TrackList
