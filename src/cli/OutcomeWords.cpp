#include "cli/OutcomeWords.h"

#include "cli/SystemInfo.h"
#include "cli/TerminalText.h"
#include "cli/Vornactl.h"

namespace vorna::cli {

int ExitCodeFor(const Problem& problem) {
    switch (problem.kind) {
        case ProblemKind::Missing:
        case ProblemKind::Folder:
        case ProblemKind::NotRegular:
        case ProblemKind::TooLarge:
        case ProblemKind::BadName:
        case ProblemKind::ReadOnly:
        case ProblemKind::Unreadable:
        case ProblemKind::Unwritable:
        case ProblemKind::BadContent:
        case ProblemKind::NothingToDo:
            return kExitFile;
        case ProblemKind::NoBridge:
        case ProblemKind::NoDriver:
        case ProblemKind::NoComPort:
        case ProblemKind::NoDeviceList:
        case ProblemKind::PortBusy:
        case ProblemKind::NoPermission:
        case ProblemKind::CannotOpen:
        case ProblemKind::CannotSetUp:
        case ProblemKind::System:
        case ProblemKind::NotAPort:
            return kExitDevice;
    }
    return kExitDevice;
}

std::string NextStepWords(NextStep next, const std::string& image) {
    const std::string shownImage = image.empty() ? "IMAGE" : ShellWord(Shown(image), SystemShell());
    switch (next) {
        case NextStep::None:
        case NextStep::ChooseEsc:
            return {};
        case NextStep::WaitForRead:
            return "Check that 'vornactl read' shows the ESC's settings, then try again.";
        case NextStep::Reconnect:
            return "Check that the USB link is plugged in and the device is connected to it and "
                   "switched on, then run the command again.";
        case NextStep::SendAgain:
        case NextStep::TryAgain:
            return "Run the command again.";
        case NextStep::ReadBeforeDriving:
            return "Connect the ESC again and check its settings with 'vornactl read' before you "
                   "drive.";
        case NextStep::RepairEsc:
            return "Repair it in Fix Mode: vornactl flash-esc " + shownImage + " --fix";
        case NextStep::FlashCardAgain:
            return "Run vornactl flash-card " + shownImage +
                   " again; if the card is not found, unplug it and plug it in again first.";
    }
    return {};
}

std::string FailureLines(const std::string& message, NextStep next, const std::string& deviceText,
                         const std::string& image) {
    std::string lines = "vornactl: " + ShownLines(message) + "\n";
    const std::string words = NextStepWords(next, image);
    if (!words.empty()) lines += "vornactl: what to do: " + words + "\n";
    if (!deviceText.empty()) lines += "vornactl: the device said: " + deviceText + "\n";
    return lines;
}

}  // namespace vorna::cli
