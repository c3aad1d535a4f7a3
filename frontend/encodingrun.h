#pragma once
// The encoding run: one `volta` child per selected track, waited for while
// the window stays responsive, its file renamed after the list entry.

#include <QElapsedTimer>
#include <QString>

#include "frontend/processrunner.h"
#include "frontend/progressdisplay.h"
#include "frontend/runwindow.h"

class EncodingRun {
public:
    // `console`: "/CONSOLE" was given, the child's output goes to ours.
    EncodingRun(RunWindow& window, ProcessRunner& runner, QString programFolder, bool console);
    EncodingRun(const EncodingRun&) = delete;
    EncodingRun& operator=(const EncodingRun&) = delete;

    void start();         // `Command2`
    void requestStop();   // `Command3`
    // The stop without the question, for a session that ends.
    void stop();
    void progressTick();  // `Timer1`
    // True from the start of a run to its end, between tracks too.
    bool running() const { return running_; }
    QString listTag() const { return listTag_; }

private:
    enum class TrackEnd { Next, Stopped, Abandon };

    TrackEnd runTrack(const QString& entry);
    // Puts what the engine wrote under the final name; says why the track
    // failed instead (the exit code and the engine's last line, a missing
    // or empty file), empty when it did not.
    QString finishTrack(const TrackFileNames& names, int exitCode, const QString& nn);
    // A failed track's file goes to the final name plus ".part".
    void keepPartial(const TrackFileNames& names);
    void reportFailures();
    // Within the output folder, replacing what is in the way.
    int moveTo(const QString& from, const QString& to);
    void removeIfPresent(const QString& name);
    void showIdle();
    void failNotFound();
    void logError(const QString& description);
    void log(const QString& message);

    RunWindow& window_;
    ProcessRunner& runner_;
    QString outputFolder_;
    bool console_;
    QString listTag_;
    bool running_ = false;
    int state_ = 0;
    int failures_ = 0;  // tracks of this run that ended without their file
    QString progressFile_;  // `Timer1`'s tag
    QString sizeFactor_;    // `Label1`'s tag
    ProgressLabels progress_;
};

// Waits while the event loop runs, as the run's waits do.
void pauseWithEvents(int milliseconds);
// "hh:mm:ss".
QString elapsedText(qint64 milliseconds);
