#include "ui_services/DialogMnemonics.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace km {
bool TakesTypedCharacters(const QWidget* w) { return qobject_cast<const QAbstractItemView*>(w) || IsTextEntry(w); }

bool IsTextEntry(const QWidget* w) {
    if (!w)
        return false;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w))
        return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->isEditable();
    if (const auto* text = qobject_cast<const QTextEdit*>(w))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w))
        return !plain->isReadOnly();
    return false;
}

void DialogMnemonics::Install() {
    static DialogMnemonics* installed = nullptr;
    if (installed || !qApp)
        return;
    installed = new DialogMnemonics(qApp);
    qApp->installEventFilter(installed);
}

bool DialogMnemonics::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::ShiftModifier & ~Qt::KeypadModifier) != Qt::NoModifier || key->text().size() != 1 ||
        !key->text().at(0).isLetterOrNumber())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    QWidget* window = widget->window();
    auto* dialog = qobject_cast<QDialog*>(window);
    // The event arrives at each parent in turn; act on it once, for the focus.
    QWidget* focus = QApplication::focusWidget();
    if (!dialog || widget != (focus ? focus : window) || TakesTypedCharacters(widget))
        return false;
    const QKeySequence wanted = QKeySequence::mnemonic(QLatin1Char('&') + key->text());
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->window() != dialog || !b->isVisible() || !b->isEnabled())
            continue;
        if (QKeySequence::mnemonic(b->text()).matches(wanted) == QKeySequence::ExactMatch) {
            b->animateClick();
            return true;
        }
    }
    return false;
}

} // namespace km
