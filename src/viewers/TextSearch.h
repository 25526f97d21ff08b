#pragma once
// The editor's search rules as plain functions over the text, so they can be
// checked without a window. Positions are QString indexes, which are also
// the text control's cursor positions.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

namespace km {

// Where Find Next starts: one past the selection's start, or 0 when the
// selection is empty at position 0 (so a match at 0 can be found).
qsizetype FindNextStart(qsizetype selectionStart, qsizetype selectionEnd);

// The first match of `what` at or after `from`, up to the end of `text`
// (no wrap-around); -1 when there is none or `what` is empty.
qsizetype FindTextFrom(const QString& text, const QString& what, qsizetype from,
                       Qt::CaseSensitivity cs);

// The matches Replace All replaces, from `from` on: each search continues
// after the previous match, so matches do not overlap.
QList<qsizetype> MatchPositions(const QString& text, const QString& what, qsizetype from,
                                Qt::CaseSensitivity cs);

// Where the Find dialog goes when its frame covers the match, all in screen
// coordinates: above the match (bottom 20 pixels over it) when the dialog is
// shorter than the match's distance from the screen top, otherwise below it
// (top 40 pixels under it) when it fits there. nullopt: it stays.
std::optional<QPoint> DialogPositionAvoiding(const QRect& dialog, const QRect& match,
                                             const QRect& screen);

} // namespace km
