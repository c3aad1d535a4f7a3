#pragma once

#include <QString>
#include <QUrl>

// The project's addresses, kept in one place: until the project has a web
// page they point to the README shipped beside the program.
namespace Links {

// The README beside `executableFolder`, or the installed one.
QUrl readme(const QString& executableFolder);
// How to give the user access to the CD drive.
QUrl drivePermissions(const QString& executableFolder);
QUrl authorPage(const QString& executableFolder);
QUrl updatePage(const QString& executableFolder);
// The documents of the Infos menu.
enum class Document { Readme, Faq, History };
// The document in the language `languageOffset` (0 French, 1000 English),
// beside the program (the build tree, a copy in the user's home) or where
// the installation puts it; the other language's when this one is
// missing; empty when neither is there.
QString documentPath(const QString& executableFolder, Document which, int languageOffset);

QString authorMail();
QString secondAuthorMail();

}  // namespace Links
