#pragma once
#include "ui_services/AppState.h"

#include <QColor>
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QFont;
class QLineEdit;

namespace km {

class FocusRectExample;

// "COLORS": the thirteen panel colours with an example of each pair.
class ColorsDialog : public QDialog {
    Q_OBJECT
public:
    // The colour chooser behind every Foreground/Background button; nullopt when
    // the user cancels. Tests replace it so no system dialog opens.
    using ColorPicker =
        std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;
    static ColorPicker pickColor;

    // Starts from the cached colours; the examples use `panelFont`.
    ColorsDialog(const QFont& panelFont, QWidget* parent = nullptr);

    // True when OK stored new colours (the caller then refreshes the panels).
    static bool Ask(QWidget* parent, const QFont& panelFont);

    const std::array<int32_t, ColCount>& colors() const { return refs_; }

private:
    void choose(int index);
    void setDefaultColors();
    void updateExamples();
    void store();

    std::array<int32_t, ColCount> refs_{};
    std::array<QLineEdit*, 6> examples_{};
    FocusRectExample* focusExample_ = nullptr;
};

// Colour reference (red in bits 0–7) of a QColor.
int32_t RefFromColor(const QColor& c);

} // namespace km
