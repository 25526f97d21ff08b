#include "mainwindow/AppButton.h"
#include "mainwindow/FunctionKeyActions.h"
#include "ui_services/ReadableColor.h"
#include "mainwindow/FunctionKeyDialog.h"

#include "StoreFixture.h"

#include <QApplication>
#include <QComboBox>

namespace km::test {
namespace {

using FunctionKeyTest = StoreFixture;

const char* const kNames[] = {"Print",     "View",     "Edit",     "Copy",      "RenMove",
                              "MkDir",     "Delete",   "ExitWin",  "Search",    "Attributes",
                              "Associate", "FileComp", "DirComp",  "CalcSpace", "Refresh",
                              "Invert",    "Zip",      "FTP sites"};

QComboBox* List(QWidget* dlg, int key) {
    return Child<QComboBox>(dlg, QStringLiteral("list%1").arg(2980 + key - 2));
}

TEST_F(FunctionKeyTest, StoredIndexesMapToTheirCommands) {
    ASSERT_EQ(FunctionKeyCount(), 18);
    const std::pair<int, int> commands[] = {{0, 1320}, {3, 1190},  {6, 1220}, {7, 1380},
                                            {9, 6000}, {16, 6100}, {17, 6257}};
    for (auto [index, command] : commands)
        EXPECT_EQ(FunctionKeyActionAt(index).command, command) << index;
}

TEST_F(FunctionKeyTest, ListsHoldEveryActionAndShowTheDefaults) {
    FunctionKeyDialog dlg;
    EXPECT_EQ(dlg.objectName(), QStringLiteral("FKEYS"));
    for (int key = 2; key <= 9; ++key) {
        QComboBox* list = List(&dlg, key);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 18);
        for (int i = 0; i < 18; ++i)
            EXPECT_EQ(list->itemText(i), QString::fromLatin1(kNames[i]));
        EXPECT_EQ(list->currentIndex(), key - 2);
    }
}

TEST_F(FunctionKeyTest, ZipOnF4IsStoredAndSurvivesARestart) {
    std::optional<std::array<int, 8>> chosen;
    WhenModal(QStringLiteral("FKEYS"), [](QDialog* dlg) {
        List(dlg, 4)->setCurrentIndex(16);
        Click(dlg, "ok");
    });
    chosen = FunctionKeyDialog::Ask(nullptr);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ((*chosen)[2], 16);

    auto next = reopened();
    EXPECT_EQ(next->GetInt("FKeys", "FK4", -1), 16);
    EXPECT_EQ(ReadFunctionKeyAssignment(*next), (std::array<int, 8>{0, 1, 16, 3, 4, 5, 6, 7}));
    App().store = next.get();
    FunctionKeyDialog again;
    EXPECT_EQ(List(&again, 4)->currentIndex(), 16);
    App().store = store.get();
}

TEST_F(FunctionKeyTest, CancelStoresNothing) {
    WhenModal(QStringLiteral("FKEYS"), [](QDialog* dlg) {
        List(dlg, 5)->setCurrentIndex(17);
        Click(dlg, "cancel");
    });
    EXPECT_FALSE(FunctionKeyDialog::Ask(nullptr).has_value());
    EXPECT_EQ(store->GetInt("FKeys", "FK5", -1), -1);
}

TEST_F(FunctionKeyTest, OutOfRangeStoredValuesFallBackToTheKeysDefault) {
    store->PutInt("FKeys", "FK3", 18);
    store->PutInt("FKeys", "FK5", -1);
    store->PutInt("FKeys", "FK9", 17);
    EXPECT_EQ(ReadFunctionKeyAssignment(*store), (std::array<int, 8>{0, 1, 2, 3, 4, 5, 6, 17}));
    FunctionKeyDialog dlg;
    EXPECT_EQ(List(&dlg, 3)->currentIndex(), 1);
    EXPECT_EQ(List(&dlg, 5)->currentIndex(), 3);
    EXPECT_EQ(List(&dlg, 9)->currentIndex(), 17);
}

TEST(FunctionKeyLook, KeyNumbersAndNamesAreReadableInLightAndDarkThemes) {
    // White on the light grey face could not be read.
    EXPECT_LT(ContrastRatio(Qt::white, QColor(0xEF, 0xEF, 0xEF)), kReadableContrast);
    QPalette dark;
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Link, QColor(0x20, 0x40, 0x90)); // too dark on a dark face
    for (const QPalette& palette : {QApplication::palette(), dark}) {
        const FunctionKeyColors c = FunctionKeyColorsFor(palette);
        EXPECT_GE(ContrastRatio(c.face, c.number), kReadableContrast);
        EXPECT_GE(ContrastRatio(c.face, c.name), kReadableContrast);
    }
    EXPECT_EQ(FunctionKeyColorsFor(QApplication::palette()).number, QApplication::palette().color(QPalette::Link))
        << "the link colour where it reads";
}

} // namespace
} // namespace km::test
