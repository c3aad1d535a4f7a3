#pragma once

#include <QString>

class QWidget;
class Shell;

// Thin operations over the desktop and the system. Power operations go
// through logind, or through the program named in PLUMA_POWEROFF_COMMAND
// (given "reboot", "logoff" or "poweroff") when that variable is set.
class clsAPIstuff {
public:
    enum class Power { Reboot, LogOff, PowerOff };

    // The address the download opens: "http://" added when missing, one "/"
    // between site and file. Empty when either is empty.
    static QString downloadAddress(QString site, QString file);
    int DownLoadFile(Shell& shell, const QString& site, const QString& file);

    // With `confirm`, asks first; Cancel ends PLUMA. 0 when the request went out.
    int RestartWindows(Shell& shell, bool confirm);
    int LogOffWindows(Shell& shell, bool confirm);
    int ShutDownWindows(Shell& shell, bool confirm);
    static QString confirmationText(Power what);

    [[noreturn]] static void FatalErrorExit(const QString& message);
    int DesktopShortcut(const QString& linkName, const QString& target);
    int StartMenuShortcut(const QString& linkName, const QString& target);
    static void FlashWinEXON(QWidget* window);
    static void FlashWin(QWidget* window);
    static void FlashWinEXOFF(QWidget* window);
    // Only the modifier keys can be asked about (16 Shift, 17 Control, 18 Alt).
    static bool GetPressedKey(int keyCode);
    static QString FreeDiscSpace(const QString& path);
    static QString Get_DriveType(const QString& path);
    static QString CharType(char32_t code);
    int LaunchWebBrowser(Shell& shell, const QString& address);
    static void MaxWindow(QWidget* window);
    static void MinWindow(QWidget* window);
    static void NormWindow(QWidget* window);
    static int GetPercent(qint64 part, qint64 whole);

    // Reversible scrambling; an empty key uses the built-in one.
    QString Scramble(const QString& text, QString key = {});
    // Empty, after telling the user, when the text or key is wrong.
    QString Unscramble(Shell& shell, const QString& text, QString key = {});

private:
    int power(Shell& shell, Power what, bool confirm);
    static int writeShortcut(const QString& folder, const QString& linkName, const QString& target);
};
