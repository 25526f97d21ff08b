#pragma once
// Answers the next modal dialog with the given object name by clicking a
// button whose text contains `button` (or rejecting it when empty).
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace km::test {

// Calls `act` with the next modal dialog named `objectName` once it shows.
inline void WithModal(const QString& objectName, std::function<void(QDialog*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!w || w->objectName() != objectName)
            return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
}

inline void AnswerModal(const QString& objectName, const QString& button, int* seen = nullptr) {
    WithModal(objectName, [=](QDialog* w) {
        if (seen)
            ++*seen;
        if (button.isEmpty()) {
            w->reject();
            return;
        }
        // An exact caption wins over one that merely contains the text
        // ("Copy" must not hit "Copy only newer files").
        const auto buttons = w->findChildren<QAbstractButton*>();
        for (int exact = 1; exact >= 0; --exact) {
            for (auto* b : buttons) {
                const QString t = b->text().remove(QLatin1Char('&'));
                if (exact ? t.compare(button, Qt::CaseInsensitive) == 0 : t.contains(button, Qt::CaseInsensitive)) {
                    b->click();
                    return;
                }
            }
        }
        w->reject();
    });
}

} // namespace km::test
