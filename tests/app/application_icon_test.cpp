// The title bar's icon comes from the program itself when no icon theme has it, at every size a
// window manager asks for, without Qt's SVG image plugin.
#include "app/application_icon.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "qt_test_app.h"

namespace velgrin {
namespace {

TEST(ApplicationIconTest, DrawsTheIconAtTheTitleBarsSizes) {
    testing::TestApp();
    // No theme has the icon here: the built-in sizes must carry it.
    QIcon::setThemeSearchPaths({});
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        // The blue face fills the middle, the rounded corners stay clear.
        const QColor middle = image.pixelColor(size / 2, size / 3);
        EXPECT_EQ(middle.alpha(), 255) << size;
        EXPECT_GT(middle.blue(), middle.red()) << size;
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << size;
    }
}

}  // namespace
}  // namespace velgrin
