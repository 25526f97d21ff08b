#pragma once
// A settings store on a private file, installed as the application's store for
// one test, and helpers for driving the dialogs.
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace km::test {

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
    }
    void TearDown() override { App().store = nullptr; }

    // What the next start reads from the file.
    std::unique_ptr<SettingsStore> reopened() const {
        return std::make_unique<SettingsStore>(dir.file("KM.reg"));
    }

    TempDir dir;
    std::unique_ptr<SettingsStore> store;
};

// Runs `act` on the next modal dialog named `objectName` once it is open. A
// dialog by another name is rejected after two seconds so the test fails
// instead of hanging.
inline void WhenModal(const QString& objectName, std::function<void(QDialog*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!w || (w->objectName() != objectName && ++*ticks < 200))
            return;
        timer->stop();
        timer->deleteLater();
        if (w->objectName() != objectName) {
            ADD_FAILURE() << "expected dialog " << objectName.toStdString() << ", got "
                          << w->objectName().toStdString();
            w->reject();
            return;
        }
        act(w);
    });
    timer->start();
}

template <typename T> T* Child(QWidget* parent, const QString& name) {
    auto* w = parent->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

inline void Click(QWidget* dialog, const char* name) {
    if (auto* b = Child<QAbstractButton>(dialog, QString::fromLatin1(name)))
        b->click();
}

} // namespace km::test
