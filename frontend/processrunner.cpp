#include "frontend/processrunner.h"

#include <QCoreApplication>
#include <QTimer>

ProcessRunner::ProcessRunner(QString program, QString workingFolder)
    : engine(std::move(program)), folder(std::move(workingFolder)) {}

int ProcessRunner::start(const QStringList& arguments, Output output, const QString& outputFile) {
    if (engine.isEmpty() || running()) return 1;
    // A fresh process each time, so no redirection of an earlier child stays.
    process = std::make_unique<QProcess>();
    process->setProgram(engine);
    process->setArguments(arguments);
    process->setWorkingDirectory(folder);
    process->setStandardInputFile(QProcess::nullDevice());
    switch (output) {
        case Output::File:
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->setStandardOutputFile(outputFile);
            break;
        case Output::Discard:
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->setStandardOutputFile(QProcess::nullDevice());
            break;
        case Output::Console:
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            break;
    }
    process->start();
    return process->waitForStarted() ? 0 : 1;
}

qint64 ProcessRunner::processId() const { return running() ? process->processId() : 0; }

bool ProcessRunner::running() const { return process && process->state() != QProcess::NotRunning; }

int ProcessRunner::waitPolling(const std::function<void()>& tick) {
    while (running()) {
        QCoreApplication::processEvents();
        if (tick) tick();
        process->waitForFinished(100);
    }
    if (!process) return -1;
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
}

void ProcessRunner::terminate() {
    if (!running()) return;
    QProcess* child = process.get();
    child->terminate();
    // The process object is the timer's context: once it is gone, so is the
    // kill, and no signal can reach a pid the system has handed on.
    QTimer::singleShot(2000, child, [child] {
        if (child->state() != QProcess::NotRunning) child->kill();
    });
}
