#pragma once
// One of the panels' status lines (drive space, path, selection): a sunken
// label whose text is never cut off mid-word. What does not fit the width is
// shown in a shorter form when the owner gives one, else shortened with an
// ellipsis: a path in the middle, keeping its last component; other text at
// the end.
#include <QLabel>

namespace km {

class StatusLine : public QLabel {
    Q_OBJECT
public:
    enum class Shorten { AtEnd, Path };
    explicit StatusLine(Shorten how, QWidget* parent = nullptr);

    // The whole text (text()) and, optionally, a shorter form of it for a
    // narrow line; an empty one is none.
    void setTexts(const QString& full, const QString& shorter = {});
    // What is drawn at the current width and font.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;

    Shorten how_;
    QString shorter_;
};

} // namespace km
