#pragma once

#include "frontend/shell.h"

#include <QStringList>
#include <QUrl>

#include <vector>

// Stands in for the desktop: remembers every box and address, answers the
// input box with a prepared text.
class RecordingShell : public Shell {
public:
    struct Message {
        Icon icon;
        QString title;
        QString text;
    };

    void message(QWidget*, Icon icon, const QString& title, const QString& text) override {
        messages.push_back({icon, title, text});
    }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return yes; }
    bool askOkCancel(QWidget*, const QString&, const QString&) override { return yes; }
    std::optional<QString> input(QWidget*, const QString& title, const QString& prompt,
                                 const QString& proposal) override {
        inputs << title + QLatin1Char('|') + prompt + QLatin1Char('|') + proposal;
        return answer;
    }
    bool open(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    void beep() override { ++beeps; }
    void media(Media command) override { mediaCommands.push_back(command); }

    std::vector<Message> messages;
    QStringList inputs;
    std::vector<QUrl> opened;
    std::optional<QString> answer;
    bool yes = true;
    int beeps = 0;
    std::vector<Media> mediaCommands;
};
