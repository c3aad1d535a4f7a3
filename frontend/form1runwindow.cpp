#include "frontend/form1runwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "frontend/bitrates.h"
#include "frontend/clsapistuff.h"
#include "frontend/controltag.h"
#include "frontend/form1.h"
#include "frontend/sdl/soundplayer.h"
#include "frontend/stringtable.h"

namespace {

bool isEnabled(const QObject* control) {
    if (auto* menu = qobject_cast<const QMenu*>(control)) return menu->menuAction()->isEnabled();
    if (auto* action = qobject_cast<const QAction*>(control)) return action->isEnabled();
    return static_cast<const QWidget*>(control)->isEnabled();
}

void setEnabled(QObject* control, bool enabled) {
    if (auto* menu = qobject_cast<QMenu*>(control))
        menu->menuAction()->setEnabled(enabled);
    else if (auto* action = qobject_cast<QAction*>(control))
        action->setEnabled(enabled);
    else
        static_cast<QWidget*>(control)->setEnabled(enabled);
}

Shell::Icon shellIcon(MessageIcon icon) {
    return icon == MessageIcon::Critical ? Shell::Icon::Critical : Shell::Icon::Exclamation;
}

}  // namespace

Form1RunWindow::Form1RunWindow(Form1& form) : form_(form) {}

Form1RunWindow::~Form1RunWindow() = default;

QString Form1RunWindow::text(int frenchId) const {
    return StringTable::text(frenchId, form_.languageOffset());
}

QString Form1RunWindow::setting(SettingKey key) const { return form_.settings().value(key); }

void Form1RunWindow::storeSetting(SettingKey key, const QString& value) {
    form_.settings().setValue(key, value);
}

EncodeSettings Form1RunWindow::encodeSettings() const {
    EncodeSettings settings;
    settings.format = audioFormatFromSetting(setting(SettingKey::FormatAudio));
    settings.kbps = 0;
    for (QAction* item : form_.bitRateActions)
        if (item->isChecked())
            for (const BitRateItem& rate : bitRateItems())
                if (item->objectName() == QLatin1String(rate.itemName)) settings.kbps = rate.kbps;
    settings.onTheFly = form_.Check3->isChecked();
    settings.atapi = form_.Check1->isChecked();
    settings.autoDetect = form_.Check4->isChecked();
    settings.host = form_.Text1->text().toInt();
    settings.target = form_.Text2->text().toInt();
    settings.unit = form_.Text3->text().toInt();
    return settings;
}

int Form1RunWindow::entryCount() const { return form_.List1->count(); }

QStringList Form1RunWindow::selectedEntries() const {
    QStringList entries;
    for (int row = 0; row < form_.List1->count(); ++row)
        if (form_.List1->item(row)->isSelected()) entries << form_.List1->item(row)->text();
    return entries;
}

void Form1RunWindow::makeEntryCurrent(const QString& entry) {
    const QList<QListWidgetItem*> found = form_.List1->findItems(entry, Qt::MatchExactly);
    // The selection stays: only the current entry moves.
    if (!found.isEmpty())
        form_.List1->setCurrentRow(form_.List1->row(found.first()), QItemSelectionModel::NoUpdate);
}

QString Form1RunWindow::trackLength(int track) const { return form_.listing().lengthOfTrack(track); }

void Form1RunWindow::showTrackLength(const QString& text) {
    form_.List1->setToolTip(QString());
    form_.Label11->setText(text);
}

void Form1RunWindow::writePlaylist() { form_.writePlaylist(); }

bool Form1RunWindow::encodingAllowed() const { return form_.Command1->isEnabled(); }

void Form1RunWindow::setTrackRunning(bool running) {
    if (running) {
        disabled_.clear();
        const std::initializer_list<QObject*> controls = {
            form_.Command1, form_.Command2,  form_.Command7,  form_.Fichier,  form_.Supprimer,
            form_.Detecter, form_.Restaure,  form_.Quitter,   form_.Renommer, form_.TauxComp,
            form_.Command5, form_.Command6,  form_.List1,     form_.Check1,   form_.Check3,
            form_.Check5};
        for (QObject* control : controls) {
            disabled_.emplace_back(control, isEnabled(control));
            setEnabled(control, false);
        }
        return;
    }
    // Put back what was there: a WAV run must not leave the bit-rate menu on.
    for (const auto& [control, wasEnabled] : disabled_)
        if (control) setEnabled(control, wasEnabled);
    disabled_.clear();
    for (QPushButton* button : {form_.Command1, form_.Command2, form_.Command7}) button->setEnabled(true);
}

QString Form1RunWindow::childTag() const { return tagOf(form_.Command3); }

void Form1RunWindow::setChildTag(const QString& tag) { setTag(form_.Command3, tag); }

void Form1RunWindow::setStopShown(bool shown) { form_.Command3->setVisible(shown); }

void Form1RunWindow::setTrackTitle(const QString& title) {
    form_.setWindowTitle(title.isEmpty() ? Form1::baseTitle() : title);
}

void Form1RunWindow::showElapsed(bool shown, const QString& text) {
    form_.Label6->setText(text);
    form_.Label1->setVisible(shown);
    form_.Label6->setVisible(shown);
}

void Form1RunWindow::showProgress(const ProgressLabels* labels) {
    if (!labels) {
        for (QLabel* label : {form_.Label7, form_.Label12, form_.Label13}) label->hide();
        form_.Label12->clear();
        form_.Label13->clear();
        return;
    }
    form_.Label12->setText(labels->size);
    form_.Label13->setText(labels->percent);
    form_.Label7->setVisible(!labels->size.isEmpty());
    form_.Label12->setVisible(!labels->size.isEmpty());
    form_.Label13->setVisible(labels->percentShown);
}

void Form1RunWindow::setProgressTimer(bool active) {
    if (active)
        form_.Timer1->start();
    else
        form_.Timer1->stop();
}

bool Form1RunWindow::progressOff() const { return form_.Check5->isChecked(); }

bool Form1RunWindow::shutdownChecked() const { return form_.Check2->isChecked(); }

void Form1RunWindow::clearShutdown() { form_.Check2->setChecked(false); }

void Form1RunWindow::showMessage(MessageIcon icon, const QString& title, const QString& text) {
    form_.shell().message(&form_, shellIcon(icon), title, text);
}

bool Form1RunWindow::askYesNo(const QString& title, const QString& text) {
    return form_.shell().askYesNo(&form_, title, text);
}

void Form1RunWindow::focusNext() {
    if (QWidget* focus = form_.focusWidget()) focus->nextInFocusChain()->setFocus(Qt::TabFocusReason);
}

void Form1RunWindow::playEndSound() {
    QFile resource(QStringLiteral(":/sounds/end.wav"));
    if (!resource.open(QIODevice::ReadOnly)) return;
    // Opened on first use: a session without runs never touches the audio system.
    if (!sound_) sound_ = std::make_unique<SdlSoundPlayer>();
    sound_->play(resource.readAll());
}

int Form1RunWindow::powerOff() {
    clsAPIstuff api;
    return api.ShutDownWindows(form_.shell(), false);
}

void Form1RunWindow::closeWindow() { form_.close(); }
