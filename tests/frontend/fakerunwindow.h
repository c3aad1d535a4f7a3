#pragma once
// A window for the encoding run made of plain fields, recording what the
// run shows and asks.

#include <QMap>
#include <QStringList>
#include <functional>

#include "frontend/runwindow.h"

struct ShownMessage {
    MessageIcon icon;
    QString title;
    QString text;
};

class FakeRunWindow : public RunWindow {
public:
    QStringList entries;
    QStringList selected;
    QMap<int, QString> lengths;  // track -> listing length
    QMap<SettingKey, QString> settings;
    EncodeSettings encode;  // its format comes from "Format_Audio"
    bool allowed = true;
    bool shutdown = false;
    bool progressDisabled = false;
    bool answerYes = true;
    int powerOffResult = 0;

    QString childTagText;
    bool stopShown = false;
    bool timerActive = false;
    QString title;
    QString elapsed;
    QString trackLengthText;
    QString current;
    QList<ShownMessage> messages;
    QList<ProgressLabels> progress;
    int playlistWrites = 0;
    int questions = 0;
    int sounds = 0;
    int powerOffs = 0;
    int closes = 0;
    QStringList events;  // "message", "sound" and "powerOff", in order
    std::function<void()> onTrackRunning;  // called each time a track starts
    std::function<void()> onPlaylist;

    QString text(int frenchId) const override { return QStringLiteral("string %1").arg(frenchId); }
    QString setting(SettingKey key) const override {
        switch (key) {
            case SettingKey::FormatAudio:
                return settings.value(key, QStringLiteral("MP3"));
            case SettingKey::Debug:
                return settings.value(key, QStringLiteral("1"));
            default:
                return settings.value(key, QStringLiteral("0"));
        }
    }
    void storeSetting(SettingKey key, const QString& value) override { settings[key] = value; }
    EncodeSettings encodeSettings() const override {
        EncodeSettings settings = encode;
        settings.format = audioFormatFromSetting(setting(SettingKey::FormatAudio));
        return settings;
    }
    int entryCount() const override { return static_cast<int>(entries.size()); }
    QStringList selectedEntries() const override { return selected; }
    void makeEntryCurrent(const QString& entry) override { current = entry; }
    QString trackLength(int track) const override { return lengths.value(track); }
    void showTrackLength(const QString& text) override { trackLengthText = text; }
    void writePlaylist() override {
        ++playlistWrites;
        if (onPlaylist) onPlaylist();
    }
    bool encodingAllowed() const override { return allowed; }
    void setTrackRunning(bool running) override {
        allowed = !running;
        if (running && onTrackRunning) onTrackRunning();
    }
    QString childTag() const override { return childTagText; }
    void setChildTag(const QString& tag) override { childTagText = tag; }
    void setStopShown(bool shown) override { stopShown = shown; }
    void setTrackTitle(const QString& t) override { title = t; }
    void showElapsed(bool, const QString& text) override { elapsed = text; }
    void showProgress(const ProgressLabels* labels) override {
        if (labels) progress.append(*labels);
    }
    void setProgressTimer(bool active) override { timerActive = active; }
    bool progressOff() const override { return progressDisabled; }
    bool shutdownChecked() const override { return shutdown; }
    void clearShutdown() override { shutdown = false; }
    void showMessage(MessageIcon icon, const QString& t, const QString& text) override {
        messages.append({icon, t, text});
        events << QStringLiteral("message");
    }
    bool askYesNo(const QString&, const QString&) override {
        ++questions;
        return answerYes;
    }
    void focusNext() override {}
    void playEndSound() override {
        ++sounds;
        events << QStringLiteral("sound");
    }
    int powerOff() override {
        ++powerOffs;
        events << QStringLiteral("powerOff");
        return powerOffResult;
    }
    void closeWindow() override { ++closes; }
};
