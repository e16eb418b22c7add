// File > Import Settings, Export Settings, Compare and Backups: the setup page's settings to
// and from settings files (.cfg), and the compare view between the ESC and a file, a setup
// sheet or a backup, through which every import of an ESC's page goes.
#pragma once

#include <QString>

#include <functional>

#include "gui/dialogs/BackupsDialog.h"
#include "gui/dialogs/CompareDialog.h"
#include "settings/Compare.h"
#include "settings/EscSetupModel.h"

class QWidget;

namespace vorna::gui {

class SettingsFileMenu {
public:
    // What a file chooser is asked for.
    enum class Choice {
        Export,   // a settings file to save to; `suggestion` is the name offered
        Import,   // a settings file to read
        Compare,  // a settings file, a backup or a setup sheet to compare
    };
    // Asks for a file; empty: cancelled.
    using ChooseFile =
        std::function<QString(QWidget* parent, Choice choice, const QString& suggestion)>;
    // Tells the user an outcome; returns when it was dismissed.
    using Present = std::function<void(QWidget* parent, const QString& text, bool errorIcon)>;
    // Before an import replaces the page's values: true when nothing unsent would be lost, or
    // the user lets the unsent changes go.
    using MayDiscard = std::function<bool()>;

    SettingsFileMenu(EscSetupModel& model, ChooseFile choose, Present present,
                     MayDiscard mayDiscard, CompareChooser compare, BackupChooser backups);

    void Export(QWidget* parent);
    // With the ESC's settings read, through the compare view; before, as the file says.
    void Import(QWidget* parent);
    // The ESC against a file; with no ESC read, one file against another (shown only).
    void Compare(QWidget* parent);
    void Backups(QWidget* parent);

private:
    EscSetupModel& model_;
    ChooseFile choose_;
    Present present_;
    MayDiscard mayDiscard_;
    CompareChooser compare_;
    BackupChooser backups_;
};

// What the compare view shows of the ESC's values (as last read) against `other`.
CompareRequest CompareWithEsc(const SetupState& escValues, const SettingsSide& other);

// Shows the ESC's values as last read against `other` in the compare view and puts the rows
// the user checks on the page as unsent changes. False when the user cancelled; `loaded` gets
// the lists set. Says so when another ESC came meanwhile and nothing could be loaded.
bool CompareAndLoad(QWidget* parent, EscSetupModel& model, const SettingsSide& other,
                    const CompareChooser& compare, const SettingsFileMenu::Present& present,
                    std::vector<ParamId>* loaded = nullptr);

// Settings files start in the user's own folder for them, made on the first export; an import
// starts there once it exists, else in the home folder, where files from elsewhere are. An
// export offers `suggestion` as the name.
QString DefaultSettingsFileChooser(QWidget* parent, SettingsFileMenu::Choice choice,
                                   const QString& suggestion);

}  // namespace vorna::gui
