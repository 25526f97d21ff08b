#include "mainwindow/MainLayout.h"

namespace km {
namespace {
QRect edges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}
} // namespace

MainLayout ComputeMainLayout(int W, int H, const LayoutOptions& o) {
    MainLayout L;
    L.T = !o.appButtons ? -35 : (o.secondRow ? 26 : 0);
    L.P = o.commandPrompt ? 0 : 30;
    L.F = o.functionKeys ? 0 : 30;
    L.U = (W - 30) / 10;
    const int T = L.T, P = L.P, F = L.F, U = L.U;

    for (int i = 1; i <= 10; ++i) {
        L.appButtons[i - 1] = edges((i - 1) * U + 6, 10, i * U + 5, 35);
        L.appButtons[i + 9] = edges((i - 1) * U + 6, 36, i * U + 5, 61);
    }
    const int half = (W - 40) / 2;
    const int colLeft[2] = {6, W / 2 + 4};
    const int colRight[2] = {half, W - 22};
    const int barRight[2] = {half - 141, W - 163};
    for (int s = 0; s < 2; ++s) {
        PanelGeometry& g = L.panel[s];
        g.driveBar = edges(colLeft[s], T + 45, barRight[s], T + 65);
        g.infoLine = edges(colLeft[s], T + 68, colRight[s], T + 84);
        g.pathLine = edges(colLeft[s], T + 85, colRight[s], T + 101);
        g.list = edges(colLeft[s], T + 102, colRight[s], H + P + F - 149);
        g.summary = edges(colLeft[s], H + P + F - 148, colRight[s], H + P + F - 132);
        for (int k = 0; k < 4; ++k) {
            g.smallButtons[k] = s == 0 ? edges(half + 35 * k - 139, T + 45, half + 35 * k - 105, T + 65)
                                       : edges(W + 35 * k - 161, T + 45, W + 35 * k - 127, T + 65);
        }
        g.frame = s == 0 ? edges(2, T + 40, half + 4, H + P + F - 128)
                         : edges(W / 2, T + 40, W - 18, H + P + F - 128);
    }
    L.promptText = edges(6, H + F - 113, W / 2, H + F - 99);
    L.promptEdit = edges(W / 2 + 4, H + F - 116, 9 * U, H + F - 96);
    L.runButton = edges(9 * U + 6, H + F - 116, 10 * U + 5, H + F - 96);
    for (int k = 0; k < 10; ++k)
        L.functionKeys[k] = edges(k * U + 6, H - 86, (k + 1) * U + 5, H - 61);
    return L;
}

} // namespace km
