#include "ui_services/ProgressWindow.h"

#include "ui_services/AppState.h"
#include "ui_services/PathField.h"
#include "ui_services/ProgressGauge.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace km;

namespace {

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override { App().cancelFlag = false; }
    void TearDown() override {
        delete window.data();
        App().cancelFlag = false;
    }

    ProgressWindow* open(ProgressKind kind) {
        window = ProgressWindow::Create(kind, nullptr);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }
    QPushButton* cancelButton() const { return window->findChild<QPushButton*>("cancel"); }
    // Runs the deferred deletion a closed window has asked for.
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList labels() const {
        QStringList out;
        for (const QLabel* l : window->findChildren<QLabel*>())
            out << l->text();
        return out;
    }

    QPointer<ProgressWindow> window;
};

} // namespace

TEST_F(ProgressWindowTest, ResourcesHaveTheirControls) {
    open(ProgressKind::Copy);
    EXPECT_EQ(window->objectName(), "STATUSCOPY");
    EXPECT_EQ(labels(), (QStringList{"From:", "To:"}));
    EXPECT_EQ(window->field(1290), window->findChild<PathField*>("field1290"));
    EXPECT_EQ(window->gauge(), window->findChild<ProgressGauge*>("gauge1332"));
    ASSERT_NE(window->gauge(), nullptr);
    window->setTitle("KM - Zip");
    EXPECT_EQ(window->windowTitle(), "KM - Zip");
    delete window.data();

    open(ProgressKind::Remove);
    EXPECT_EQ(labels(), QStringList{"Deleting:"});
    EXPECT_NE(window->field(1260), nullptr);
    EXPECT_EQ(window->field(1290), nullptr);
    EXPECT_EQ(window->gauge(), nullptr);
    // Setters for controls the window lacks are harmless.
    window->setFieldText(1290, "x");
    window->setPosition(10);
}

TEST_F(ProgressWindowTest, CancelSetsTheFlagAndClosesAndDeletesTheWindow) {
    open(ProgressKind::Copy);
    QTest::mouseClick(cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(App().cancelFlag);
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(window->isVisible());
    flushDeletes();
    EXPECT_TRUE(window.isNull());
}

TEST_F(ProgressWindowTest, EnterEscapeAndTheTitleBarCancelToo) {
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        open(ProgressKind::Unzip);
        App().cancelFlag = false;
        QTest::keyClick(window, static_cast<Qt::Key>(key));
        EXPECT_TRUE(App().cancelFlag) << key;
        flushDeletes();
        EXPECT_TRUE(window.isNull()) << key;
    }
    open(ProgressKind::Search);
    App().cancelFlag = false;
    window->windowHandle()->close(); // as the window manager asks
    EXPECT_TRUE(App().cancelFlag);
    flushDeletes();
    EXPECT_TRUE(window.isNull());
}

TEST_F(ProgressWindowTest, FinishClosesWithoutCancelling) {
    open(ProgressKind::Copy);
    window->finish();
    EXPECT_FALSE(App().cancelFlag);
    flushDeletes();
    EXPECT_TRUE(window.isNull());
}

TEST_F(ProgressWindowTest, FtpWindowSurvivesCancelAndFinish) {
    open(ProgressKind::Ftp);
    EXPECT_EQ(window->objectName(), "STATUSFTP");
    EXPECT_EQ(window->windowTitle(), "KM - FTP transfer");
    QTest::mouseClick(cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(App().cancelFlag);
    // The transfer sees the flag at its next check and hides the window itself.
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    window->windowHandle()->close();
    EXPECT_TRUE(window->isVisible());

    window->finish();
    EXPECT_FALSE(window->isVisible());
    flushDeletes();
    ASSERT_FALSE(window.isNull());
    // Shown again for the next transfer.
    window->show();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ProgressWindowTest, FieldShowsUtf8NameAndRepaintsAtOnce) {
    open(ProgressKind::Copy);
    PathField* from = window->field(1260);
    int paints = 0;
    struct Counter : QObject {
        int* n;
        explicit Counter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            *n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(&paints);
    from->installEventFilter(&counter);
    from->setText("/tmp/R\xC3\xA9sum\xC3\xA9 & co.txt");
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(from->text(), QString::fromUtf8("/tmp/Résumé & co.txt"));
    EXPECT_EQ(from->shownText(), from->text());
}

TEST(PathField, LongPathKeepsItsBeginningAndFileName) {
    PathField field;
    field.resize(220, 20);
    const QFontMetrics fm = field.fontMetrics();
    const QString path = QStringLiteral(
        "/home/user/projects/some/very/deeply/nested/directory/structure/that/goes/on/report.txt");
    field.setText(path.toStdString());
    const QString shown = field.shownText();
    EXPECT_LE(fm.horizontalAdvance(shown), 220);
    EXPECT_TRUE(shown.startsWith("/home/")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("...")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("/report.txt")) << shown.toStdString();

    // A name much longer than half the field still survives whole.
    const QString longName = QStringLiteral("/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/s/"
                                            "quarterly-financial-summary.ods");
    const int wide = fm.horizontalAdvance("/a/b/c/...quarterly-financial-summary.ods");
    const QString e = ElidePath(longName, fm, wide);
    EXPECT_LE(fm.horizontalAdvance(e), wide);
    EXPECT_TRUE(e.startsWith("/a/b/c...")) << e.toStdString();
    EXPECT_TRUE(e.endsWith("/quarterly-financial-summary.ods")) << e.toStdString();

    // A name too wide on its own is shortened in the middle, and still fits.
    const QString huge = "/x/" + QString(200, QLatin1Char('n')) + ".txt";
    const QString h = ElidePath(huge, fm, 220);
    EXPECT_LE(fm.horizontalAdvance(h), 220);
    EXPECT_TRUE(h.startsWith("/x/")) << h.toStdString();
    EXPECT_TRUE(h.endsWith(".txt")) << h.toStdString();
}
