#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Runs one engine child at a time: an argument list (no shell, so "$2" and
// "\" reach the engine untouched), standard input closed, standard output
// into a file, read and kept to ourselves, or read and passed on to PLUMA's
// own console.
class ProcessRunner {
public:
    enum class Output { File, Hidden, Console };

    // `program` empty: the engine was not found; start() then fails.
    ProcessRunner(QString program, QString workingFolder);

    const QString& program() const { return engine; }

    // 0 when the child started.
    int start(const QStringList& arguments, Output output = Output::Hidden, const QString& outputFile = {});

    // The running child's process id, 0 when none runs.
    qint64 processId() const;
    bool running() const;

    // Polls every 100 ms until the child has ended, processing window events
    // and calling `tick` each time round. Returns the child's exit code (-1
    // after a crash or when killed).
    int waitPolling(const std::function<void()>& tick = {});

    // The last line the child wrote to its standard output (Hidden and
    // Console), as lastMessageLine() finds it.
    QString lastLine() const { return lastMessageLine(tail); }

    // Asks the running child to end (SIGTERM) and kills it (SIGKILL) when
    // it is still there two seconds later.
    void terminate();

    // The last line of `output` that holds more than blanks, with control
    // characters blanked; progress bars end their cells with a carriage
    // return, so that ends a line as well.
    static QString lastMessageLine(const QByteArray& output);

private:
    void collectOutput();

    QString engine;
    QString folder;
    std::unique_ptr<QProcess> process;
    bool echo = false;
    QByteArray tail;  // the end of what the child wrote, enough for its last line
};
