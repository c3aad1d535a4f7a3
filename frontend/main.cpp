#include "frontend/form1.h"
#include "frontend/form2.h"
#include "frontend/plumasettings.h"
#include "frontend/programfolder.h"
#include "frontend/quitsignals.h"

#include <QApplication>
#include <QLockFile>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PLUMA"));
    QApplication::setOrganizationName(QStringLiteral("PLUMA"));
    QApplication::setDesktopFileName(QStringLiteral("pluma"));

    const QStringList arguments = QApplication::arguments().mid(1);
    PlumaSettings settings(PlumaSettings::systemLocaleIsFrench());
    if (arguments.join(QLatin1Char(' ')) == QLatin1String("/D")) {
        settings.clearAll();
        return 0;
    }
    const std::unique_ptr<QLockFile> instance = takeInstanceLock();
    if (!instance) return 0;

    const QString executableFolder = QApplication::applicationDirPath();
    PlumaContext context{executableFolder, programFolder(executableFolder), findVolta(executableFolder), arguments};
    Form1 window(settings, std::move(context), std::make_unique<DesktopShell>());
    // Without them, these signals end PLUMA at once, as they end any program.
    QuitSignals quitSignals([&window] { window.endSession(); });
    quitSignals.install();
    Form2 loading;
    window.load(&loading);
    window.show();
    return app.exec();
}
