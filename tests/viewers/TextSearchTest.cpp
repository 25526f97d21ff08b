#include "viewers/TextSearch.h"

#include <gtest/gtest.h>

using namespace km;

TEST(TextSearch, FindNextStartsOnePastTheSelectionExceptAtTheVeryStart) {
    EXPECT_EQ(FindNextStart(0, 0), 0);
    EXPECT_EQ(FindNextStart(0, 3), 1); // a selected match at 0 is not found again
    EXPECT_EQ(FindNextStart(5, 5), 6);
    EXPECT_EQ(FindNextStart(5, 9), 6);
}

TEST(TextSearch, FindsForwardOnlyWithTheChosenCase) {
    const QString text = QStringLiteral("Alpha beta ALPHA alpha");
    EXPECT_EQ(FindTextFrom(text, QStringLiteral("alpha"), 0, Qt::CaseInsensitive), 0);
    EXPECT_EQ(FindTextFrom(text, QStringLiteral("alpha"), 0, Qt::CaseSensitive), 17);
    EXPECT_EQ(FindTextFrom(text, QStringLiteral("alpha"), 1, Qt::CaseInsensitive), 11);
    // No wrap-around, and nothing past the end or for an empty pattern.
    EXPECT_EQ(FindTextFrom(text, QStringLiteral("Alpha"), 1, Qt::CaseSensitive), -1);
    EXPECT_EQ(FindTextFrom(text, QStringLiteral("a"), text.size() + 1, Qt::CaseSensitive), -1);
    EXPECT_EQ(FindTextFrom(text, QString(), 0, Qt::CaseSensitive), -1);
    EXPECT_TRUE(MatchPositions(text, QString(), 0, Qt::CaseSensitive).isEmpty());
}

TEST(TextSearch, ReplaceAllMatchesDoNotOverlapAndStartAtTheSelection) {
    const QString text = QStringLiteral("aaaaa xaa");
    EXPECT_EQ(MatchPositions(text, QStringLiteral("aa"), 0, Qt::CaseSensitive),
              (QList<qsizetype>{0, 2, 7}));
    EXPECT_EQ(MatchPositions(text, QStringLiteral("aa"), 3, Qt::CaseSensitive),
              (QList<qsizetype>{3, 7}));
    EXPECT_EQ(MatchPositions(text, QStringLiteral("AA"), 0, Qt::CaseInsensitive).size(), 3);
}

TEST(TextSearch, DialogMovesAboveOrBelowAMatchItCovers) {
    const QRect screen(0, 0, 1000, 800);
    const QRect dialog(100, 300, 300, 150);
    // Not covering the match: stays.
    EXPECT_FALSE(DialogPositionAvoiding(dialog, QRect(600, 320, 40, 16), screen));
    // Room above: its bottom goes 20 pixels over the match.
    EXPECT_EQ(DialogPositionAvoiding(dialog, QRect(150, 350, 40, 16), screen),
              QPoint(100, 350 - 20 - 150));
    // Too little room above: 40 pixels below the match.
    const QRect high(100, 50, 300, 150);
    EXPECT_EQ(DialogPositionAvoiding(high, QRect(150, 100, 40, 16), screen), QPoint(100, 140));
    // Neither fits: stays.
    const QRect tall(100, 0, 300, 700);
    EXPECT_FALSE(DialogPositionAvoiding(tall, QRect(150, 300, 40, 16), QRect(0, 0, 1000, 800)));
}
