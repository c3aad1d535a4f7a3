#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

// The desktop services the windows use: message boxes, the input box, the
// shell's "Open", the beep and the CD media commands. Tests put a recorder in their place.
class Shell {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };

    virtual ~Shell() = default;
    virtual void message(QWidget* owner, Icon icon, const QString& title, const QString& text) = 0;
    // True for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
    // OK and Cancel, critical icon, Cancel by default; true for OK.
    virtual bool askOkCancel(QWidget* owner, const QString& title, const QString& text) = 0;
    // Nothing when cancelled.
    virtual std::optional<QString> input(QWidget* owner, const QString& title, const QString& prompt,
                                         const QString& proposal) = 0;
    // False when nothing could open the address.
    virtual bool open(const QUrl& url) = 0;
    virtual void beep() = 0;

    enum class Media { StopAudio, CloseTray };
    // The CD media commands; failures are ignored.
    virtual void media(Media command) = 0;
};

class DesktopShell : public Shell {
public:
    void message(QWidget* owner, Icon icon, const QString& title, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
    bool askOkCancel(QWidget* owner, const QString& title, const QString& text) override;
    std::optional<QString> input(QWidget* owner, const QString& title, const QString& prompt,
                                 const QString& proposal) override;
    bool open(const QUrl& url) override;
    void beep() override;
    void media(Media command) override;
};
