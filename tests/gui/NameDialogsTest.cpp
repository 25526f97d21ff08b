// Every dialog that takes a name or a path gives back the bytes the user did
// not change, also where they are not UTF-8.
#include "archive/browser/ExtractDialog.h"
#include "archive/zip/ui/ZipDialogs.h"
#include "fileops/open_execute/ui/LineInputDialog.h"
#include "fileops/ui/CopyDialog.h"
#include "panels/ChangeDirDialog.h"
#include "support/DialogAnswerer.h"
#include "ui_services/LosslessText.h"

#include <QLineEdit>

#include <gtest/gtest.h>

using namespace km;

namespace {

const std::string kOdd = "/tmp/caf\xE9 dir/caf\xE9.bak"; // Latin-1 bytes

// Replaces the edit's text after its last '.' with `ending`, as a user does
// by going to the end and typing.
void editEnding(const QString& dialog, const QString& ending) {
    test::WithModal(dialog, [ending](QDialog* d) {
        auto* edit = d->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
        if (!edit)
            edit = d->findChild<QLineEdit*>();
        QString t = edit->text();
        t.truncate(t.lastIndexOf('.'));
        edit->setText(t + ending);
        d->accept();
    });
}

// Types `text` into the dialog's edit (pasted from a name shown elsewhere).
void typeText(const QString& dialog, const QString& text) {
    test::WithModal(dialog, [text](QDialog* d) {
        d->findChild<QLineEdit*>()->setText(text);
        d->accept();
    });
}

std::string withOld() { return kOdd.substr(0, kOdd.rfind('.')) + ".old"; }

} // namespace

TEST(NameDialogs, EditedNamesKeepTheirUntouchedBytes) {
    for (const bool move : {false, true}) {
        editEnding(move ? QStringLiteral("RENMOVE") : QStringLiteral("COPY"), QStringLiteral(".old"));
        const auto r = CopyDialog::Ask(move, "Copy x to:", kOdd, 1, false, nullptr);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->target, withOld()) << (move ? "RENMOVE" : "COPY");
    }

    editEnding(QStringLiteral("UNZIP"), QStringLiteral(".old"));
    EXPECT_EQ(ExtractDialog::Ask(kOdd, nullptr), std::optional<std::string>(withOld()));

    editEnding(QStringLiteral("ZIP"), QStringLiteral(".old"));
    const auto zip = ZipNameDialog::Ask(kOdd, false, nullptr);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->name, withOld());
}

TEST(NameDialogs, TypedNamesComeBackAsTheBytesShown) {
    // A name shown in one field and typed or pasted into another keeps its bytes.
    const QString shown = NameToText(kOdd);
    typeText(QStringLiteral("CD"), shown);
    EXPECT_EQ(ChangeDirDialog::Ask(nullptr), std::optional<std::string>(kOdd));
    const LineInputDialog::Layout layout{"NEWDIR", "KM - Make directory", "Directory name:", "edit1250", "OK"};
    typeText(QStringLiteral("NEWDIR"), shown);
    LineInputDialog dlg(layout, nullptr);
    EXPECT_EQ(dlg.ask(), std::optional<std::string>(kOdd));
}
