#pragma once
// A settings store on a private file, installed as the application's store
// for the length of one test.
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

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        App().colors.load(*store);
        App().nameCase = 2460;
    }
    void TearDown() override { App().store = nullptr; }

    // The store as a fresh start would read it from the file.
    std::unique_ptr<SettingsStore> reopened() const {
        return std::make_unique<SettingsStore>(dir.file("KM.reg"));
    }

    TempDir dir;
    std::unique_ptr<SettingsStore> store;
};

// Runs `act` on the next modal dialog named `objectName` once it is open.
inline void WhenModal(const QString& objectName, std::function<void(QDialog*)> act) {
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

inline void Click(QWidget* dialog, const char* name) {
    auto* b = dialog->findChild<QAbstractButton*>(QString::fromLatin1(name));
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

} // namespace km::test
