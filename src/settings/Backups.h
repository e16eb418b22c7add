// The settings backups in the user's backups/ folder: why each was made, recorded in the file
// itself as a comment line that settings-file readers pass over, and the list of them as the
// window and vornactl show it. The backups are written by BackUpSettings (Profiles.h); nothing
// here deletes one.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

// Why a backup was made: the procedure about to replace the ESC's settings.
enum class BackupReason {
    EscFirmwareUpdate,
    FactorySettings,
};

struct BackupReasonRow {
    BackupReason reason;
    std::string_view words;  // as the backup records it and the lists show it
};

inline constexpr std::array<BackupReasonRow, 2> kBackupReasons = {{
    {BackupReason::EscFirmwareUpdate, "before an ESC firmware update"},
    {BackupReason::FactorySettings, "before factory settings"},
}};

// Shown for a backup that does not say why it was made (those written before it was recorded).
inline constexpr std::string_view kReasonNotRecorded = "reason not recorded";

std::string_view BackupReasonWords(BackupReason reason);

// The lines a backup starts with, before its [option] section: a comment naming the reason.
std::string BackupHeader(BackupReason reason);

// The reason a backup's text records: its first comment line of the recorded form, before the
// first section, whose words are in kBackupReasons. Nothing when there is none.
std::optional<BackupReason> ReadBackupReason(std::string_view fileText);

struct BackupEntry {
    std::filesystem::path path;
    std::string made;    // "2026-12-07 23:10:05", from the name; empty when the name has none
    int modelType = -1;  // from the name; -1 when it has none
    std::optional<BackupReason> reason;

    std::string ReasonText() const;
};

// The model type a backup's file name gives ("..._model-16.cfg"); -1 when it gives none.
int ModelTypeInName(std::string_view fileName);

// The settings files (*.cfg, any case) in `folder`, newest first (by the time in their names;
// names without one last, by name). A missing folder lists nothing.
std::vector<BackupEntry> ListBackups(const std::filesystem::path& folder);

}  // namespace vorna
