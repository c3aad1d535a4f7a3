#pragma once
// What the encoding run reads from and shows in the main window. The window
// implements it over its controls; tests implement it over plain fields.

#include <QString>
#include <QStringList>

#include "frontend/encodecommand.h"
#include "frontend/plumasettings.h"
#include "frontend/progressdisplay.h"

enum class MessageIcon { Exclamation, Critical };

class RunWindow {
public:
    virtual ~RunWindow() = default;

    // String `frenchId` (1000 + k) in the window's language.
    virtual QString text(int frenchId) const = 0;
    // A setting, its default when absent.
    virtual QString setting(SettingKey key) const = 0;
    virtual void storeSetting(SettingKey key, const QString& value) = 0;
    // The format, bit-rate menu, mode, ATAPI, detection and address boxes.
    virtual EncodeSettings encodeSettings() const = 0;

    virtual int entryCount() const = 0;
    virtual QStringList selectedEntries() const = 0;
    virtual void makeEntryCurrent(const QString& entry) = 0;
    // The listing's length text of a track ("03:49.00"); empty when unknown.
    virtual QString trackLength(int track) const = 0;
    virtual void showTrackLength(const QString& text) = 0;
    virtual void writePlaylist() = 0;

    // `Command1`'s enabled state: false while a track is encoded.
    virtual bool encodingAllowed() const = 0;
    // Disables (true) or restores (false) what must not be touched while
    // a track is encoded: buttons, menus, list, boxes.
    virtual void setTrackRunning(bool running) = 0;
    // `Command3`: its tag marks a running child; the button stops the run.
    virtual QString childTag() const = 0;
    virtual void setChildTag(const QString& tag) = 0;
    virtual void setStopShown(bool shown) = 0;
    // An empty title puts the window's own title back.
    virtual void setTrackTitle(const QString& title) = 0;
    // `Label1` and `Label6`.
    virtual void showElapsed(bool shown, const QString& text) = 0;
    // `Label7`, `Label12` and `Label13`; nullptr hides and empties them.
    virtual void showProgress(const ProgressLabels* labels) = 0;
    virtual void setProgressTimer(bool active) = 0;
    virtual bool progressOff() const = 0;  // `Check5`
    virtual bool shutdownChecked() const = 0;  // `Check2`
    virtual void clearShutdown() = 0;

    virtual void showMessage(MessageIcon icon, const QString& title, const QString& text) = 0;
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    virtual void focusNext() = 0;
    virtual void playEndSound() = 0;
    virtual int powerOff() = 0;
    virtual void closeWindow() = 0;
};
