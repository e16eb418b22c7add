// The about box: the program's name, version and year notice, closed by OK, Esc or its
// close box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vorna::gui {

inline constexpr int kIddAbout = 100;
inline constexpr const char* kAboutCaption = "About Kelvaran Racing VORNA USB Link";
inline constexpr const char* kAboutNotice = "Copyright (C) 2026 Kelvaran Racing";

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

private:
    QLabel* icon_;
    QLabel* title_;
    QLabel* notice_;
    QPushButton* ok_;
};

}  // namespace vorna::gui
