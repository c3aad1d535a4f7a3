#include "frontend/links.h"

#include <QDir>
#include <QFileInfo>

namespace Links {

QUrl readme(const QString& executableFolder) {
    const QDir dir(executableFolder);
    for (const QString& candidate : {QStringLiteral("README.md"), QStringLiteral("../share/doc/volta/README.md")}) {
        const QFileInfo file(dir.filePath(candidate));
        if (file.isFile()) return QUrl::fromLocalFile(file.canonicalFilePath());
    }
    return QUrl::fromLocalFile(dir.filePath(QStringLiteral("README.md")));
}

namespace {
QUrl withFragment(QUrl url, const QString& fragment) {
    url.setFragment(fragment);
    return url;
}
}  // namespace

QUrl drivePermissions(const QString& executableFolder) {
    return withFragment(readme(executableFolder), QStringLiteral("cd-drive-permissions"));
}

QUrl authorPage(const QString& executableFolder) { return readme(executableFolder); }

QUrl updatePage(const QString& executableFolder) {
    return withFragment(readme(executableFolder), QStringLiteral("commands"));
}

QString documentPath(const QString& executableFolder, Document which, int languageOffset) {
    struct Names {
        const char* french;
        const char* english;
    };
    static constexpr Names names[] = {
        {"Lisezmoi.txt", "Readme.txt"},
        {"FAQ-fr.txt", "FAQ-en.txt"},
        {"Historique.txt", "History.txt"},
    };
    const Names& document = names[static_cast<int>(which)];
    const bool english = languageOffset != 0;
    const QDir dir(executableFolder);
    for (const char* name : {english ? document.english : document.french, english ? document.french : document.english})
        for (const QString& folder : {QStringLiteral("."), QStringLiteral("../share/doc/pluma")}) {
            const QFileInfo file(dir.filePath(folder + QLatin1Char('/') + QLatin1String(name)));
            if (file.isFile()) return file.canonicalFilePath();
        }
    return {};
}

QString authorMail() { return QStringLiteral("pluma@localhost"); }

QString secondAuthorMail() { return QStringLiteral("volta@localhost"); }

}  // namespace Links
