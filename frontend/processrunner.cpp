#include "frontend/processrunner.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

// A message line is short; progress cells around it are not kept for ever.
constexpr qsizetype kTailBytes = 4096;

}  // namespace

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
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (output == Output::File) process->setStandardOutputFile(outputFile);
    echo = output == Output::Console;
    tail.clear();
    process->start();
    return process->waitForStarted() ? 0 : 1;
}

qint64 ProcessRunner::processId() const { return running() ? process->processId() : 0; }

bool ProcessRunner::running() const { return process && process->state() != QProcess::NotRunning; }

void ProcessRunner::collectOutput() {
    const QByteArray chunk = process->readAllStandardOutput();
    if (chunk.isEmpty()) return;
    if (echo) {
        std::fwrite(chunk.constData(), 1, static_cast<size_t>(chunk.size()), stdout);
        std::fflush(stdout);
    }
    tail += chunk;
    if (tail.size() > kTailBytes) tail = tail.right(kTailBytes);
}

int ProcessRunner::waitPolling(const std::function<void()>& tick) {
    while (running()) {
        QCoreApplication::processEvents();
        if (tick) tick();
        process->waitForFinished(100);
        collectOutput();
    }
    if (!process) return -1;
    collectOutput();
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

QString ProcessRunner::lastMessageLine(const QByteArray& output) {
    qsizetype end = output.size();
    while (end > 0) {
        qsizetype start = end;
        while (start > 0 && output[start - 1] != '\n' && output[start - 1] != '\r') --start;
        QString line = QString::fromUtf8(output.mid(start, end - start));
        for (QChar& c : line)
            if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
        line = line.trimmed();
        if (!line.isEmpty()) return line;
        end = start - 1;
    }
    return {};
}
