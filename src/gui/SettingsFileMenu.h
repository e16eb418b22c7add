// File > Import Settings and Export Settings: the setup page's settings to and from settings
// files (.cfg).
#pragma once

#include <QString>

#include <functional>

#include "settings/EscSetupModel.h"

class QWidget;

namespace vorna::gui {

class SettingsFileMenu {
public:
    // Asks for a settings file to export to (save) or import from; empty: cancelled.
    using ChooseFile = std::function<QString(QWidget* parent, bool save)>;
    // Tells the user an outcome; returns when it was dismissed.
    using Present = std::function<void(QWidget* parent, const QString& text, bool errorIcon)>;
    // Before an import replaces the page's values: true when nothing unsent would be lost, or
    // the user lets the unsent changes go.
    using MayDiscard = std::function<bool()>;

    SettingsFileMenu(EscSetupModel& model, ChooseFile choose, Present present,
                     MayDiscard mayDiscard);

    void Export(QWidget* parent);
    void Import(QWidget* parent);

private:
    EscSetupModel& model_;
    ChooseFile choose_;
    Present present_;
    MayDiscard mayDiscard_;
};

// Settings files start in the user's own folder for them, made on the first export; an import
// starts there once it exists, else in the home folder, where files from elsewhere are.
QString DefaultSettingsFileChooser(QWidget* parent, bool save);

}  // namespace vorna::gui
