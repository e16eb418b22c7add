// The firmware page as the window shows it: its panels over FirmwarePageModel.
#pragma once

#include <QWidget>

#include "firmware/FirmwarePageModel.h"

namespace vorna::gui {

class FirmwarePage : public QWidget {
    Q_OBJECT

public:
    FirmwarePage(FirmwarePageModel& model, int textSize, QWidget* parent = nullptr);
};

}  // namespace vorna::gui
