#include "gui/ModelNews.h"

#include <mutex>

namespace vorna::gui {
namespace {

unsigned BitOf(EscSetupModel::Change change) {
    switch (change) {
        case EscSetupModel::Change::Lists:
            return SetupModelNews::kLists;
        case EscSetupModel::Change::Selections:
            return SetupModelNews::kSelections;
        case EscSetupModel::Change::Texts:
            return SetupModelNews::kTexts;
    }
    return SetupModelNews::kAll;
}

}  // namespace

// Outlives the news object inside the model's listener, so a report racing the teardown
// finds no owner instead of a dead one.
struct SetupModelNews::Shared {
    std::mutex mutex;
    SetupModelNews* owner = nullptr;
    unsigned pending = 0;

    void Report(EscSetupModel::Change change) {
        std::lock_guard lock(mutex);
        if (owner == nullptr) return;
        const bool first = pending == 0;
        pending |= BitOf(change);
        if (first) {
            SetupModelNews* target = owner;
            QMetaObject::invokeMethod(
                target, [target] { target->Deliver(); }, Qt::QueuedConnection);
        }
    }
};

SetupModelNews::SetupModelNews(EscSetupModel& model, QObject* parent)
    : QObject(parent), model_(model), shared_(std::make_shared<Shared>()) {
    shared_->owner = this;
    model_.SetListener(
        [shared = shared_](EscSetupModel::Change change) { shared->Report(change); });
}

SetupModelNews::~SetupModelNews() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    model_.SetListener(nullptr);
}

void SetupModelNews::Deliver() {
    unsigned changes = 0;
    {
        std::lock_guard lock(shared_->mutex);
        changes = shared_->pending;
        shared_->pending = 0;
    }
    if (changes != 0) emit changed(changes);
}

struct FirmwareModelNews::Shared {
    std::mutex mutex;
    FirmwareModelNews* owner = nullptr;
    bool pending = false;

    void Report() {
        std::lock_guard lock(mutex);
        if (owner == nullptr || pending) return;
        pending = true;
        FirmwareModelNews* target = owner;
        QMetaObject::invokeMethod(
            target,
            [target, this] {
                {
                    std::lock_guard inner(mutex);
                    pending = false;
                }
                emit target->changed();
            },
            Qt::QueuedConnection);
    }
};

FirmwareModelNews::FirmwareModelNews(FirmwarePageModel& model, QObject* parent)
    : QObject(parent), model_(model), shared_(std::make_shared<Shared>()) {
    shared_->owner = this;
    model_.SetListener([shared = shared_] { shared->Report(); });
}

FirmwareModelNews::~FirmwareModelNews() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
    }
    model_.SetListener(nullptr);
}

}  // namespace vorna::gui
