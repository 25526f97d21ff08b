// The copy and delete engines' boxes through the real progress window: each
// box is about the file the progress window shows, however throttled.
#include "fileops/ui/QtFileOpUi.h"
#include "support/DialogAnswerer.h"
#include "ui_services/PathField.h"

#include <QApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

using namespace km;

namespace {

QString shownFrom() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* p = qobject_cast<ProgressWindow*>(w); p && p->isVisible())
            return p->field(ProgressWindow::kFieldFrom)->text();
    }
    return {};
}

} // namespace

TEST(FileOpProgress, EveryBoxShowsTheFileItIsAbout) {
    QtFileOpUi ui(nullptr, ProgressKind::Copy, nullptr);
    ui.ShowPaths("/src/first.txt", "/dst/first.txt");
    ASSERT_EQ(shownFrom(), QStringLiteral("/src/first.txt"));
    struct Seen {
        QString field, text;
    };
    auto answerAndKeep = [](Seen* seen) {
        test::WithModal(QStringLiteral("MESSAGEBOX"), [seen](QDialog* d) {
            seen->field = shownFrom();
            seen->text = static_cast<QMessageBox*>(d)->text();
            d->accept();
        });
    };
    // Paths given in quick succession are not all painted; the box comes
    // after the last one is.
    Seen warning;
    ui.ShowPaths("/src/second.txt", "/dst/second.txt");
    ui.ShowPaths("/src/unreadable.txt", "/dst/unreadable.txt");
    answerAndKeep(&warning);
    ui.Warning(4197, "/src/unreadable.txt");
    EXPECT_EQ(warning.field, QStringLiteral("/src/unreadable.txt"));
    EXPECT_EQ(warning.text, QStringLiteral("Cannot open input file\n/src/unreadable.txt"));

    Seen message;
    ui.ShowPaths("/src/locked/a", {});
    answerAndKeep(&message);
    ui.Message("Error deleting /src/locked/a", false);
    EXPECT_EQ(message.field, QStringLiteral("/src/locked/a"));
}
