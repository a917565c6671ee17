#include "ui/Icons.h"

#include <gtest/gtest.h>

namespace nirvex {
namespace {

TEST(AnimationIcons, EightDistinctFramesOfSixteenPixels) {
    ASSERT_EQ(AnimationFrameCount(), 8);
    for (int i = 0; i < AnimationFrameCount(); ++i) {
        QImage a = AnimationImage(i);
        EXPECT_EQ(a.size(), QSize(16, 16)) << i;
        EXPECT_FALSE(a.isNull());
        for (int j = 0; j < i; ++j)
            EXPECT_NE(a, AnimationImage(j)) << i << " vs " << j; // every tick shows a new picture
    }
}

TEST(AnimationIcons, FramesRepeatAfterTheLast) {
    EXPECT_EQ(AnimationImage(8), AnimationImage(0));
    EXPECT_EQ(AnimationImage(-1), AnimationImage(7));
}

TEST(AnimationIcons, IconCarriesTheFrameAtSixteenPixels) {
    QIcon icon = AnimationIcon(3);
    ASSERT_FALSE(icon.isNull());
    QImage shown = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(shown, AnimationImage(3));
}

} // namespace
} // namespace nirvex
