// The panels' status lines: whole when they fit, else the shorter form, else
// shortened with an ellipsis, never cut off at the edge.
#include "ui_services/StatusLine.h"

#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

using namespace km;

namespace {

// Whether the drawn text fits the line's width as drawn.
bool fits(const StatusLine& l) {
    return l.fontMetrics().horizontalAdvance(l.shownText()) <= l.contentsRect().width();
}

TEST(StatusLine, ShowsTheWholeTextTheShorterFormOrAnEllipsisNeverACutWord) {
    StatusLine info(StatusLine::Shorten::AtEnd);
    const QString full = "2,113,470,464,000 total, 1,234,567,890,000 available" + QString(70, ' ');
    const QString shorter = "2,113 GB total, 1,234 GB available";
    info.setTexts(full, shorter);
    const QFontMetrics fm = info.fontMetrics();
    info.resize(fm.horizontalAdvance(full.trimmed()) + 40, 18);
    EXPECT_EQ(info.shownText(), full.trimmed()) << "the padding needs no room";
    info.resize(fm.horizontalAdvance(shorter) + 20, 18);
    EXPECT_EQ(info.shownText(), shorter);
    EXPECT_EQ(info.text(), full) << "the whole text stays the label's";
    info.resize(fm.horizontalAdvance(shorter) / 2, 18);
    EXPECT_TRUE(info.shownText().endsWith(QChar(0x2026))) << info.shownText().toStdString();
    EXPECT_TRUE(fits(info));

    StatusLine path(StatusLine::Shorten::Path);
    path.setTexts("/home/user/projects/a-rather-long-directory-name/and-another-one/notes/*.*");
    path.resize(fm.horizontalAdvance("/home/user/projects/notes/*.*"), 18);
    EXPECT_TRUE(path.shownText().endsWith("/*.*")) << path.shownText().toStdString();
    EXPECT_TRUE(path.shownText().startsWith("/home")) << path.shownText().toStdString();
    EXPECT_TRUE(fits(path));
}

} // namespace
