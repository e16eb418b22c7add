#include "gui/SettingsFileMenu.h"

#include <QDir>
#include <QFileDialog>

#include <filesystem>
#include <system_error>
#include <utility>

#include "folders/DataFolders.h"
#include "folders/Utf8Path.h"
#include "protocol/Messages.h"
#include "settings/Profiles.h"

namespace vorna::gui {

SettingsFileMenu::SettingsFileMenu(EscSetupModel& model, ChooseFile choose, Present present,
                                   MayDiscard mayDiscard)
    : model_(model),
      choose_(std::move(choose)),
      present_(std::move(present)),
      mayDiscard_(std::move(mayDiscard)) {}

void SettingsFileMenu::Export(QWidget* parent) {
    const QString chosen = choose_(parent, true);
    if (chosen.isEmpty()) return;
    const ExportResult result =
        vorna::ExportSettings(model_.Snapshot(), PathFromUtf8(chosen.toStdString()));
    if (!result.ok) {
        present_(parent, QString::fromStdString(result.error), true);
        return;
    }
    // Said, so an export is never a silent outcome, with where the file is.
    present_(parent,
             QStringLiteral("The settings were saved in:\n%1")
                 .arg(QString::fromStdString(Utf8FromPath(result.writtenPath))),
             false);
}

void SettingsFileMenu::Import(QWidget* parent) {
    const QString chosen = choose_(parent, false);
    if (chosen.isEmpty()) return;
    // Read whole first: a refused file asks nothing, and the model's lock is held only to
    // apply it, never while a file is read.
    const SettingsFile file = ReadSettingsFile(PathFromUtf8(chosen.toStdString()));
    if (!file.ok) {
        present_(parent, QString(msg::kReadFileError) + "\n" + QString::fromStdString(file.error),
                 true);
        return;
    }
    // Tried on a copy first, so a file that selects nothing is refused before anything is asked.
    SetupState trial = model_.Snapshot();
    ImportResult result = ApplySettingsFile(trial, file);
    if (result.ok) {
        if (!mayDiscard_()) return;
        model_.Edit([&](SetupState& state) { result = ApplySettingsFile(state, file); });
    }
    QString text = QString::fromStdString(result.ok ? SkippedText(result) : result.error);
    if (!result.problems.empty()) {
        if (!text.isEmpty()) text += '\n';
        text += "Some settings in the file do not fit this ESC and were left as they were:";
        for (const auto& p : result.problems) {
            text += QString("\nline %1: %2=%3")
                        .arg(p.line)
                        .arg(QString::fromStdString(p.key), QString::fromStdString(p.value));
        }
    }
    for (const auto& p : result.ignored) {
        text += QString("%1line %2: %3 %4")
                    .arg(text.isEmpty() ? "" : "\n")
                    .arg(p.line)
                    .arg(QString::fromStdString(p.key), QString::fromStdString(p.why));
    }
    if (!text.isEmpty()) present_(parent, text, !result.ok);
}

QString DefaultSettingsFileChooser(QWidget* parent, bool save) {
    const QString filter = "config Files (*.cfg)";
    const std::filesystem::path own = UserFolder("Settings");
    std::error_code ec;
    if (save && !own.empty()) std::filesystem::create_directories(own, ec);
    const QString start = !own.empty() && std::filesystem::is_directory(own, ec)
                              ? QString::fromStdString(Utf8FromPath(own))
                              : QDir::homePath();
    return save ? QFileDialog::getSaveFileName(parent, "Export Settings", start, filter)
                : QFileDialog::getOpenFileName(parent, "Import Settings", start, filter);
}

}  // namespace vorna::gui
