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
QString authorMail();
QString secondAuthorMail();

}  // namespace Links
