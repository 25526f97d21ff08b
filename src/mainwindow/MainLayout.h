#pragma once
// Where the main window's controls go for a given outer window size.
#include <QRect>

namespace km {

struct LayoutOptions {
    bool appButtons = true;
    bool secondRow = false;
    bool commandPrompt = true;
    bool functionKeys = true;
};

struct PanelGeometry {
    QRect driveBar;  // closed height; the drop-down reaches T + 250
    QRect infoLine;
    QRect pathLine;
    QRect list;
    QRect summary;
    QRect smallButtons[4]; // "All", "None", "CD \", "CD .."
    QRect frame;           // the active-panel frame's outer rectangle
};

struct MainLayout {
    int T = 0, P = 0, F = 0, U = 0;
    PanelGeometry panel[2]; // 0 left, 1 right
    QRect appButtons[20];
    QRect functionKeys[10];
    QRect promptText, promptEdit, runButton;
};

// W and H are the outer width and height of the window.
MainLayout ComputeMainLayout(int W, int H, const LayoutOptions& o);

} // namespace km
