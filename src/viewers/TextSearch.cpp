#include "viewers/TextSearch.h"

namespace km {

qsizetype FindNextStart(qsizetype selectionStart, qsizetype selectionEnd) {
    if (selectionStart == 0 && selectionEnd == 0)
        return 0;
    return selectionStart + 1;
}

qsizetype FindTextFrom(const QString& text, const QString& what, qsizetype from,
                       Qt::CaseSensitivity cs) {
    // An empty pattern would match everywhere and never move on.
    if (what.isEmpty() || from < 0 || from > text.size())
        return -1;
    return text.indexOf(what, from, cs);
}

QList<qsizetype> MatchPositions(const QString& text, const QString& what, qsizetype from,
                                Qt::CaseSensitivity cs) {
    QList<qsizetype> found;
    for (qsizetype at = FindTextFrom(text, what, from, cs); at >= 0;
         at = FindTextFrom(text, what, at + what.size(), cs))
        found.append(at);
    return found;
}

std::optional<QPoint> DialogPositionAvoiding(const QRect& dialog, const QRect& match,
                                             const QRect& screen) {
    if (!dialog.intersects(match))
        return std::nullopt;
    if (dialog.height() < match.top() - screen.top())
        return QPoint(dialog.left(), match.top() - 20 - dialog.height());
    const int below = match.top() + 40;
    if (below + dialog.height() <= screen.top() + screen.height())
        return QPoint(dialog.left(), below);
    return std::nullopt;
}

} // namespace km
