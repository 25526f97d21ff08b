#include "viewers/EditorFont.h"

#include "settings/SettingsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace km;

TEST(EditorFont, StoredFormatBecomesAFixedPitchFont) {
    test::TempDir dir;
    SettingsStore store(dir.file("KM.reg"));
    QFont f = EditorFontToQFont(ReadEditorFont(store));
    EXPECT_EQ(f.family(), QStringLiteral("Courier New"));
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 9.0);
    EXPECT_TRUE(f.fixedPitch());
    EXPECT_FALSE(f.bold() || f.italic() || f.underline() || f.strikeOut());

    store.PutInt("FileEdit", "FontHeight", 250);
    store.PutInt("FileEdit", "FontEffects", 0x4000003F);
    f = EditorFontToQFont(ReadEditorFont(store));
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 12.5);
    EXPECT_TRUE(f.bold() && f.italic() && f.underline() && f.strikeOut());

    // A damaged height must not ask for an absurd or negative size.
    for (int height : {0, -180, 1 << 30}) {
        store.PutInt("FileEdit", "FontHeight", height);
        EXPECT_DOUBLE_EQ(EditorFontToQFont(ReadEditorFont(store)).pointSizeF(), 9.0) << height;
    }
}

TEST(EditorFont, ChosenFontIsStoredInTwentiethsWithTheEffectBits) {
    QFont f(QStringLiteral("Mono"));
    f.setPointSizeF(10.5);
    f.setBold(true);
    f.setStrikeOut(true);
    const EditorFontSpec stored = EditorFontFromQFont(f, 204);
    EXPECT_EQ(stored.name, "Mono");
    EXPECT_EQ(stored.height, 210);
    EXPECT_EQ(stored.charSet, 204);
    EXPECT_EQ(stored.effects, 0x40000030 | EffectBold | EffectStrikeOut);
    // And back: the same font.
    const QFont back = EditorFontToQFont(stored);
    EXPECT_DOUBLE_EQ(back.pointSizeF(), 10.5);
    EXPECT_TRUE(back.bold() && back.strikeOut() && !back.italic());
}
