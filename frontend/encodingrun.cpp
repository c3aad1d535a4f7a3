#include "frontend/encodingrun.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "frontend/cdlisting.h"
#include "frontend/errorlog.h"
#include "frontend/programfolder.h"
#include "frontend/tracklist.h"

namespace {

const QString kRunning = QStringLiteral("Encodage");
const QString kStopped = QStringLiteral("Encodage STOP");
constexpr int kPollMs = 100;
// What a failed track wrote keeps its final name with this added, so that
// it never passes for a copied track.
const QString kPartial = QStringLiteral(".part");

}  // namespace

void pauseWithEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QString elapsedText(qint64 milliseconds) {
    qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

EncodingRun::EncodingRun(RunWindow& window, ProcessRunner& runner, QString programFolder,
                         bool console)
    : window_(window), runner_(runner), outputFolder_(outputFolder(programFolder)),
      console_(console) {}

void EncodingRun::log(const QString& message) {
    if (window_.setting(SettingKey::Debug) == QLatin1String("1"))
        appendErrorLog(outputFolder_, message);
}

void EncodingRun::logError(const QString& description) {
    log(QStringLiteral("Erreur générale sur Command2Button: ") + description +
        QStringLiteral(" sur CRITIQUE%= ") + QString::number(state_));
    log(QStringLiteral("Command2Button: ") + description + QStringLiteral(" // CRITIQUE%= ") +
        QString::number(state_));
}

void EncodingRun::showIdle() {
    window_.setTrackTitle(QString());
    window_.setTrackRunning(false);
    window_.showElapsed(false, QString());
    window_.showProgress(nullptr);
    window_.setStopShown(false);
}

void EncodingRun::start() {
    window_.showProgress(nullptr);
    // Between two tracks the buttons are enabled again, so the run itself
    // must also refuse to start a second one nested in its waits.
    if (running_ || !window_.encodingAllowed()) {
        window_.showMessage(MessageIcon::Exclamation, QStringLiteral("ATTENTION !"),
                            window_.text(1036));
        return;
    }
    if (window_.entryCount() == 0) {
        logError(QStringLiteral("Overflow"));
        window_.showMessage(MessageIcon::Exclamation, QStringLiteral("PLUMA"), window_.text(1035));
        showIdle();
        return;
    }
    QStringList entries = window_.selectedEntries();
    if (entries.isEmpty()) return;
    running_ = true;
    failures_ = 0;
    // A stop request of an earlier run must not end this one.
    listTag_ = kRunning;
    window_.setStopShown(false);
    window_.writePlaylist();

    QElapsedTimer runClock;
    runClock.start();
    bool abandoned = false;
    for (const QString& entry : entries) {
        if (listTag_ == kStopped) break;
        TrackEnd end = runTrack(entry);
        if (end == TrackEnd::Abandon) {
            abandoned = true;
            break;
        }
        if (end == TrackEnd::Stopped) break;
    }
    running_ = false;
    if (abandoned) return;

    window_.setProgressTimer(false);
    window_.showProgress(nullptr);
    log(QStringLiteral("Durée totale d'encodage : ") + elapsedText(runClock.elapsed()));
    state_ = 0;
    window_.setChildTag(QString());
    log(QStringLiteral("Command2Button(Fin encodage): Sortie BOUCLE Encodage :: List1.Tag= ") +
        listTag_);
    if (listTag_ == kStopped) return;
    // Said before the end sound and the power-off, so that a failed copy
    // never ends like a good one.
    if (failures_ > 0) reportFailures();
    window_.playEndSound();
    QCoreApplication::processEvents();
    pauseWithEvents(kPollMs);
    if (!window_.shutdownChecked()) return;
    pauseWithEvents(kPollMs);
    if (window_.powerOff() != 0)
        window_.showMessage(MessageIcon::Critical, QStringLiteral("PLUMA"),
                            QStringLiteral("Shutdown attempt failed !"));
    pauseWithEvents(500);
    window_.closeWindow();
}

EncodingRun::TrackEnd EncodingRun::runTrack(const QString& entry) {
    QElapsedTimer trackClock;
    trackClock.start();
    int track = entryTrackNumber(entry);
    if (track <= 0) {
        log(QStringLiteral("Command2Button :: pas de numéro de piste dans \"") + entry +
            QStringLiteral("\""));
        return TrackEnd::Next;
    }
    QString nn = twoDigitTrack(track);
    window_.showElapsed(true, QStringLiteral("0:0:0"));
    window_.setTrackTitle(window_.text(1037) + nn);
    listTag_ = kRunning;
    pauseWithEvents(10);

    // The length belongs to the track being encoded, whatever the entries
    // around it, so the progress compares with the right size.
    QString length = window_.trackLength(track);
    window_.showTrackLength(entry + QLatin1Char(' ') + length + QStringLiteral(" Minutes"));
    window_.storeSetting(SettingKey::CurrentTrack, QString::number(CdListing::seconds(length)));
    pauseWithEvents(10);
    log(QStringLiteral("Command2Button :: début copie CDA-WAV // piste #") + nn +
        QStringLiteral(" // Erreur #0"));

    window_.setTrackRunning(true);
    window_.setChildTag(QString());
    EncodeSettings settings = window_.encodeSettings();
    QStringList arguments = encodeArguments(settings, track);
    sizeFactor_ = sizeFactorText(settings.format, settings.kbps);
    TrackFileNames names = trackFileNames(
        entry, TrackList::extensionFor(window_.setting(SettingKey::FormatAudio)));
    window_.makeEntryCurrent(entry);

    if (!QFileInfo(outputFolder_).isDir()) {
        QDir().mkpath(outputFolder_);
        logError(QStringLiteral("Path not found"));
    }
    for (const QString& name : {names.shortName, names.engineName, names.finalName}) {
        removeIfPresent(name);
        removeIfPresent(name + kPartial);
    }
    pauseWithEvents(10);
    state_ = 1;
    window_.setStopShown(true);

    auto output = console_ ? ProcessRunner::Output::Console : ProcessRunner::Output::Hidden;
    if (runner_.start(arguments, output) != 0) {
        failNotFound();
        return TrackEnd::Abandon;
    }
    window_.setChildTag(QString::number(runner_.processId()));
    window_.setProgressTimer(true);
    progressFile_ = QDir(outputFolder_).filePath(names.engineName);
    progress_ = ProgressLabels();
    const int exitCode = runner_.waitPolling([&] {
        window_.setStopShown(true);
        window_.showElapsed(true, elapsedText(trackClock.elapsed()));
    });
    pauseWithEvents(kPollMs);
    const QString trackTime = elapsedText(trackClock.elapsed());

    if (listTag_ == kStopped) {
        // What a stopped track wrote stays under the final name.
        QDir out(outputFolder_);
        if (out.exists(names.shortName) && names.shortName != names.finalName)
            moveTo(names.shortName, names.finalName);
        if (out.exists(names.engineName) && names.engineName != names.finalName)
            moveTo(names.engineName, names.finalName);
        log(QStringLiteral("Command2Button(Fin encodage): STOPPED BY USER :: Action : KILL "
                           "MAPOLDMP$  :: List1.Tag = Encodage STOP // Durée encodage :: ") +
            trackTime);
        removeIfPresent(names.shortName);
    } else {
        const QString failure = finishTrack(names, exitCode, nn);
        if (failure.isEmpty()) {
            log(QStringLiteral("Command2Button(Fin encodage): encodage OK ! // piste #") + nn +
                QStringLiteral(" Durée encodage :: ") + trackTime);
        } else {
            ++failures_;
            log(QStringLiteral("Command2Button(Fin encodage): ECHEC encodage ! // piste #") + nn +
                QStringLiteral(" // ") + failure + QStringLiteral(" // Durée encodage :: ") + trackTime);
        }
    }

    window_.showElapsed(false, QString());
    window_.showProgress(nullptr);
    window_.setTrackTitle(QString());
    window_.setStopShown(false);
    window_.setTrackRunning(false);
    if (listTag_ == kStopped) {
        log(QStringLiteral("Command2Button(Fin encodage): STOPPED BY USER ! // Sortie boucle "
                           "Encodage  car List1.Tag= ") +
            listTag_);
        return TrackEnd::Stopped;
    }
    listTag_ = kRunning;
    window_.showElapsed(false, trackTime);
    progressFile_.clear();
    window_.setProgressTimer(false);
    return TrackEnd::Next;
}

QString EncodingRun::finishTrack(const TrackFileNames& names, int exitCode, const QString& nn) {
    QDir out(outputFolder_);
    QString written;
    if (out.exists(names.engineName))
        written = names.engineName;
    else if (out.exists(names.shortName))
        written = names.shortName;
    QString failure;
    if (exitCode != 0) {
        const QString message = runner_.lastLine();
        failure = QStringLiteral("code de sortie ") + QString::number(exitCode) + QStringLiteral(" // ") +
                  (message.isEmpty() ? QStringLiteral("(aucun message)") : message);
    } else if (written.isEmpty()) {
        log(QStringLiteral("Command2Button(Fin encodage): aucun fichier produit // piste #") + nn);
        failure = QStringLiteral("code de sortie 0 // aucun fichier produit");
    } else if (QFileInfo(out.filePath(written)).size() == 0) {
        failure = QStringLiteral("code de sortie 0 // fichier vide");
    } else if (written != names.finalName && moveTo(written, names.finalName) != 0) {
        failure = QStringLiteral("code de sortie 0 // renommage impossible");
    }
    if (!failure.isEmpty()) keepPartial(names);
    return failure;
}

void EncodingRun::keepPartial(const TrackFileNames& names) {
    QDir out(outputFolder_);
    for (const QString& candidate :
         {names.engineName + kPartial, names.engineName, names.shortName + kPartial, names.shortName}) {
        if (!out.exists(candidate)) continue;
        moveTo(candidate, names.finalName + kPartial);
        return;
    }
}

void EncodingRun::reportFailures() {
    QString text = window_.text(1067) + QString::number(failures_) + QLatin1Char('\n');
    if (window_.setting(SettingKey::Debug) == QLatin1String("1"))
        text += window_.text(1068) + QDir::toNativeSeparators(errorLogPath(outputFolder_));
    else
        text += window_.text(1069);
    window_.showMessage(MessageIcon::Exclamation, QStringLiteral("ATTENTION"), text);
}

void EncodingRun::failNotFound() {
    logError(QStringLiteral("File not found"));
    window_.setTrackRunning(false);
    window_.setStopShown(false);
    window_.setProgressTimer(false);
    window_.showElapsed(false, QString());
    window_.setTrackTitle(QString());
    window_.setChildTag(QString());
    state_ = 0;
    window_.showMessage(MessageIcon::Critical, QStringLiteral("ATTENTION"),
                        QStringLiteral("VOLTA.EXE non trouvé ou non déclaré dans le PATH !"));
}

int EncodingRun::moveTo(const QString& from, const QString& to) {
    QDir out(outputFolder_);
    if (out.exists(to)) {
        logError(QStringLiteral("File already exists"));
        out.remove(to);
    }
    if (out.rename(from, to)) return 0;
    logError(QStringLiteral("Cannot rename ") + from + QStringLiteral(" to ") + to);
    return 1;
}

void EncodingRun::removeIfPresent(const QString& name) {
    QDir out(outputFolder_);
    if (out.exists(name)) out.remove(name);
}

void EncodingRun::requestStop() {
    window_.focusNext();
    pauseWithEvents(10);
    if (!window_.askYesNo(QStringLiteral("STOP !"), window_.text(1050))) return;
    stop();
}

void EncodingRun::stop() {
    listTag_ = kStopped;
    log(QStringLiteral("Command2Button :: Encodage STOPPé // Erreur #0"));
    window_.setProgressTimer(false);
    if (window_.shutdownChecked()) window_.clearShutdown();
    runner_.terminate();
    pauseWithEvents(10);
    if (!window_.encodingAllowed()) {
        window_.setChildTag(QStringLiteral("Disque"));
        window_.setStopShown(false);
        window_.showElapsed(false, QString());
        window_.showProgress(nullptr);
    } else {
        window_.setChildTag(QString());
    }
}

void EncodingRun::progressTick() {
    if (window_.progressOff() || progressFile_.isEmpty()) return;
    ProgressInput input;
    QFileInfo file(progressFile_);
    // volta writes a track under its partial name until the track is whole.
    if (!file.exists()) file.setFile(progressFile_ + kPartial);
    if (file.exists()) input.fileSize = file.size();
    input.format = window_.encodeSettings().format;
    input.sizeFactor = sizeFactor_;
    input.trackSeconds = window_.setting(SettingKey::CurrentTrack).toLongLong();
    updateProgress(progress_, input);
    window_.showProgress(&progress_);
}
