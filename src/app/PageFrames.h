// The ESC setup page and the firmware page as the window shows them.
#pragma once

#include <QWidget>

#include <filesystem>

#include "firmware/FirmwarePageModel.h"
#include "settings/EscSetupModel.h"

namespace vorna::app {

QWidget* CreateSetupPage(QWidget* parent, EscSetupModel& model,
                         const std::filesystem::path& programFolder, int textSize);
QWidget* CreateFirmwarePage(QWidget* parent, FirmwarePageModel& model, int textSize);

}  // namespace vorna::app
