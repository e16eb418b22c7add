#include "gui/SettingsFileMenu.h"
#include "gui/QtText.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/DataFolders.h"
#include "base/Utf8Path.h"
#include "protocol/Messages.h"
#include "settings/Backups.h"
#include "settings/IniFile.h"
#include "settings/Profiles.h"

namespace vorna::gui {
namespace {

// With the system's own separators: the file dialog answers with '/' on Windows too.
QString PathText(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(ToQString(Utf8FromPath(path)));
}

QString SideName(const SettingsSide& side) {
    return side.kind == SettingsSide::Kind::Esc ? QStringLiteral("the ESC (as last read)")
                                                : PathText(side.path.filename());
}

bool IsSheet(const QString& path) {
    return path.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive);
}

// A file to compare, read whole: a setup sheet by its ".ini", else a settings file or backup.
// Nothing, after the refusal was said.
std::optional<SettingsSide> ReadSide(const QString& chosen,
                                     const SettingsFileMenu::Present& present, QWidget* parent) {
    const std::filesystem::path path = PathFromUtf8(chosen.toStdString());
    if (IsSheet(chosen)) {
        const Result<SheetFile> sheet = ReadSetupSheet(path);
        if (!sheet || !sheet->found) {
            present(parent,
                    QString(msg::kReadFileError) + "\n" +
                        (!sheet ? ToQString(sheet.Detail())
                                : QStringLiteral("There is no file \"%1\".").arg(chosen)),
                    true);
            return std::nullopt;
        }
        return SetupSheetSide(*sheet);
    }
    const Result<SettingsFile> file = ReadSettingsFile(path);
    if (!file) {
        present(parent, QString(msg::kReadFileError) + "\n" + ToQString(file.Detail()), true);
        return std::nullopt;
    }
    return SettingsFileSide(*file);
}

}  // namespace

CompareRequest CompareWithEsc(const SetupState& escValues, const SettingsSide& other) {
    CompareRequest request;
    request.comparison = vorna::Compare(EscSide(escValues), other, &escValues);
    request.firstName = QStringLiteral("the ESC (as last read)");
    request.secondName = SideName(other);
    request.secondFile = PathText(other.path.filename());
    request.loadable = true;
    return request;
}

bool CompareAndLoad(QWidget* parent, EscSetupModel& model, const SettingsSide& other,
                    const CompareChooser& compare, const SettingsFileMenu::Present& present,
                    std::vector<ParamId>* loaded) {
    const CompareRequest request = CompareWithEsc(model.EscValues(), other);
    const std::optional<std::vector<ParamId>> checked = compare(parent, request);
    if (!checked) return false;
    const std::vector<ParamId> set = model.LoadCompared(request.comparison, *checked);
    if (loaded != nullptr) *loaded = set;
    if (set.size() < checked->size()) {
        present(parent,
                QStringLiteral("Not every checked setting was loaded: the ESC's settings were "
                               "read again meanwhile. Compare again to see what differs now."),
                true);
    }
    return true;
}

SettingsFileMenu::SettingsFileMenu(EscSetupModel& model, ChooseFile choose, Present present,
                                   MayDiscard mayDiscard, CompareChooser compare,
                                   BackupChooser backups)
    : model_(model),
      choose_(std::move(choose)),
      present_(std::move(present)),
      mayDiscard_(std::move(mayDiscard)),
      compare_(std::move(compare)),
      backups_(std::move(backups)) {}

void SettingsFileMenu::Export(QWidget* parent) {
    const QString chosen =
        choose_(parent, Choice::Export,
                ToQString(SuggestedSettingsFileName(model_.ModelType(), std::time(nullptr))));
    if (chosen.isEmpty()) return;
    const Result<std::filesystem::path> result =
        vorna::ExportSettings(model_.Snapshot(), PathFromUtf8(chosen.toStdString()));
    if (!result) {
        present_(parent, ToQString(result.Detail()), true);
        return;
    }
    // Said, so an export is never a silent outcome, with where the file is.
    present_(parent, QStringLiteral("The settings were saved in:\n%1").arg(PathText(*result)),
             false);
}

void SettingsFileMenu::Import(QWidget* parent) {
    const QString chosen = choose_(parent, Choice::Import, QString());
    if (chosen.isEmpty()) return;
    // Read whole first: a refused file asks nothing, and the model's lock is held only to
    // apply it, never while a file is read.
    const Result<SettingsFile> read = ReadSettingsFile(PathFromUtf8(chosen.toStdString()));
    if (!read) {
        present_(parent, QString(msg::kReadFileError) + "\n" + ToQString(read.Detail()), true);
        return;
    }
    const SettingsFile& file = *read;
    // With the ESC's values on the page, the user sees what the file would change and picks.
    if (model_.HasValidRecord()) {
        CompareAndLoad(parent, model_, SettingsFileSide(file), compare_, present_);
        return;
    }
    // Tried on a copy first, so a file that selects nothing is refused before anything is asked.
    SetupState trial = model_.Snapshot();
    ImportOutcome outcome = ApplySettingsFile(trial, file);
    if (outcome.Done()) {
        if (!mayDiscard_()) return;
        model_.Edit([&](SetupState& state) { outcome = ApplySettingsFile(state, file); });
    }
    const ImportReport& result = outcome.report;
    QString text = ToQString(outcome.Done() ? SkippedText(result) : outcome.refusal->detail);
    // With no ESC read there is nothing a value could fail to fit: the refusal says why alone.
    if (!result.problems.empty() && result.settings > 0) {
        if (!text.isEmpty()) text += '\n';
        text += "Some settings in the file do not fit this ESC and were left as they were:";
        for (const auto& p : result.problems) {
            text +=
                QString("\nline %1: %2=%3").arg(p.line).arg(ToQString(p.key), ToQString(p.value));
        }
    }
    for (const auto& p : result.ignored) {
        text += QString("%1line %2: %3 %4")
                    .arg(text.isEmpty() ? "" : "\n")
                    .arg(p.line)
                    .arg(ToQString(p.key), ToQString(p.why));
    }
    if (!text.isEmpty()) present_(parent, text, !outcome.Done());
}

void SettingsFileMenu::Compare(QWidget* parent) {
    const QString first = choose_(parent, Choice::Compare, QString());
    if (first.isEmpty()) return;
    const std::optional<SettingsSide> a = ReadSide(first, present_, parent);
    if (!a) return;
    if (model_.HasValidRecord()) {
        CompareAndLoad(parent, model_, *a, compare_, present_);
        return;
    }
    // No ESC read: one file against another, to look at.
    const QString second = choose_(parent, Choice::Compare, QString());
    if (second.isEmpty()) return;
    const std::optional<SettingsSide> b = ReadSide(second, present_, parent);
    if (!b) return;
    CompareRequest request;
    request.comparison = vorna::Compare(*a, *b, nullptr);
    request.firstName = SideName(*a);
    request.secondName = SideName(*b);
    request.firstFile = request.firstName;
    request.secondFile = request.secondName;
    request.loadable = false;
    (void)compare_(parent, request);
}

void SettingsFileMenu::Backups(QWidget* parent) {
    BackupsRequest request;
    request.folder = BackupFolder();
    request.backups = ListBackups(request.folder);
    request.canCompare = model_.HasValidRecord();
    request.escModelType = model_.ModelType();
    if (!request.canCompare) {
        request.why = QStringLiteral(
            "Read an ESC first: choose Esc in the Device menu and connect it. File > Compare "
            "compares two files without one.");
    }
    const std::optional<std::filesystem::path> chosen = backups_(parent, request);
    if (!chosen || !model_.HasValidRecord()) return;
    const Result<SettingsFile> file = ReadSettingsFile(*chosen);
    if (!file) {
        present_(parent, QString(msg::kReadFileError) + "\n" + ToQString(file.Detail()), true);
        return;
    }
    CompareAndLoad(parent, model_, SettingsFileSide(*file), compare_, present_);
}

QString DefaultSettingsFileChooser(QWidget* parent, SettingsFileMenu::Choice choice,
                                   const QString& suggestion) {
    using Choice = SettingsFileMenu::Choice;
    const bool save = choice == Choice::Export;
    const std::filesystem::path own = UserFolder("Settings");
    std::error_code ec;
    if (save && !own.empty()) std::filesystem::create_directories(own, ec);
    const QString start =
        !own.empty() && std::filesystem::is_directory(own, ec) ? PathText(own) : QDir::homePath();
    QFileDialog dialog(parent);
    dialog.setWindowTitle(save                       ? QStringLiteral("Export Settings")
                          : choice == Choice::Import ? QStringLiteral("Import Settings")
                                                     : QStringLiteral("Compare Settings"));
    dialog.setDirectory(start);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters{QStringLiteral("config Files (*.cfg)")};
    if (choice == Choice::Compare) filters << QStringLiteral("Setup sheets (*.ini)");
    dialog.setNameFilters(filters);
    if (save && !suggestion.isEmpty()) dialog.selectFile(suggestion);
    // In the program's own dialog (where the system offers none) the size, type and date
    // columns take the room their texts need instead of a cut-off third each.
    // Its widgets are there once it shows.
    QTimer::singleShot(0, &dialog, [&dialog] {
        if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
            view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
            view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
            view->header()->setStretchLastSection(false);
            dialog.resize(std::max(dialog.width(), 760), std::max(dialog.height(), 460));
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace vorna::gui
