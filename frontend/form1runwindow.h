#pragma once
// The encoding run's view of `Form1`: its controls, settings, texts and
// listing, and the end-of-run sound and power-off.

#include <QPointer>
#include <memory>
#include <utility>
#include <vector>

#include "frontend/runwindow.h"

class Form1;
class SoundPlayer;

class Form1RunWindow : public RunWindow {
public:
    explicit Form1RunWindow(Form1& form);
    ~Form1RunWindow() override;

    QString text(int frenchId) const override;
    QString setting(SettingKey key) const override;
    void storeSetting(SettingKey key, const QString& value) override;
    EncodeSettings encodeSettings() const override;
    int entryCount() const override;
    QStringList selectedEntries() const override;
    void makeEntryCurrent(const QString& entry) override;
    QString trackLength(int track) const override;
    void showTrackLength(const QString& text) override;
    void writePlaylist() override;
    bool encodingAllowed() const override;
    void setTrackRunning(bool running) override;
    QString childTag() const override;
    void setChildTag(const QString& tag) override;
    void setStopShown(bool shown) override;
    void setTrackTitle(const QString& title) override;
    void showElapsed(bool shown, const QString& text) override;
    void showProgress(const ProgressLabels* labels) override;
    void setProgressTimer(bool active) override;
    bool progressOff() const override;
    bool shutdownChecked() const override;
    void clearShutdown() override;
    void showMessage(MessageIcon icon, const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void focusNext() override;
    void playEndSound() override;
    int powerOff() override;
    void closeWindow() override;

private:
    Form1& form_;
    // What a track disabled, with the state it had, put back after it.
    std::vector<std::pair<QPointer<QObject>, bool>> disabled_;
    std::unique_ptr<SoundPlayer> sound_;
};
