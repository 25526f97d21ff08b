#pragma once
// Every dialog of the program fits the screen it opens on and shows its whole
// title: before a dialog is first shown it is widened to its title, and when
// its content is larger than the screen (a large font, a scale of 2 on a small
// screen) the content scrolls while the button row stays in view.
#include <QObject>
#include <QString>

class QDialog;
class QFont;

namespace km {

// The width a title bar needs to show `title` in `font` next to the window
// manager's icon and buttons.
int TitleBarWidth(const QString& title, const QFont& font);

class DialogFit : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; one per program.
    static void Install();
    // What the filter does on a dialog's first show; for dialogs shown
    // before the filter is there. Does nothing for a dialog fitted already.
    static void Fit(QDialog* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace km
