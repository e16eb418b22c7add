// What the window says when a procedure on the device ends: the outcome's own words, then what
// to do next in the window's terms (its menus and buttons), then the device's own short text
// as a detail line.
#pragma once

#include <QString>

#include "protocol/LinkView.h"
#include "protocol/Outcomes.h"

namespace vorna::gui {

QString OutcomeText(const WriteOutcome& outcome);
QString OutcomeText(const RestoreOutcome& outcome);
QString OutcomeText(const UpdateOutcome& outcome);
// The Retry / Cancel question after a write or restore the ESC did not take: its cause and
// what each button does.
QString RetryQuestion(const std::string& text, LinkView::RetryOf what);

}  // namespace vorna::gui
