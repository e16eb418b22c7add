// Carries the setup model's change reports to the UI thread. The model reports on whatever
// thread made the change (mostly the link thread, while a read or a restore fills it), and
// may do so while the window is being torn down; a burst of reports becomes one queued
// `changed` signal carrying everything that changed.
#pragma once

#include <QObject>

#include <memory>

#include "firmware/FirmwarePageModel.h"
#include "settings/EscSetupModel.h"

namespace vorna::gui {

class SetupModelNews : public QObject {
    Q_OBJECT
public:
    enum Bit : unsigned { kLists = 1u, kSelections = 2u, kTexts = 4u, kAll = 7u };

    explicit SetupModelNews(EscSetupModel& model, QObject* parent = nullptr);
    ~SetupModelNews() override;

signals:
    void changed(unsigned changes);

private:
    struct Shared;
    void Deliver();

    EscSetupModel& model_;
    std::shared_ptr<Shared> shared_;
};

// The same for the firmware page's model: identity texts, requests, update status and progress
// reported from the link thread become one queued `changed` signal per burst.
class FirmwareModelNews : public QObject {
    Q_OBJECT
public:
    explicit FirmwareModelNews(FirmwarePageModel& model, QObject* parent = nullptr);
    ~FirmwareModelNews() override;

signals:
    void changed();

private:
    struct Shared;

    FirmwarePageModel& model_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace vorna::gui
