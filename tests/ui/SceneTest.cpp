#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "Scene.h"

namespace {

// The holiday animation is drawn to this layout, so the landmarks must stay where they are.
struct Landmark {
  const char* what;
  int x;
  int y;
  QColor colour;
};

const Landmark kLandmarks[] = {
    {"sky above the bubble", 470, 10, QColor(170, 215, 255)},
    {"sky at the right edge", 600, 150, QColor(170, 215, 255)},
    {"grass at the left", 5, 195, QColor(90, 170, 70)},
    {"grass at the right", 590, 181, QColor(90, 170, 70)},
    {"flag cloth under the text", 100, 60, QColor(255, 255, 255)},
    {"flag cloth corner", 25, 120, QColor(255, 255, 255)},
    {"pole above the flag", 188, 5, QColor(120, 80, 40)},
    {"pole below the flag", 189, 170, QColor(120, 80, 40)},
    {"antenna ball", 265, 10, QColor(230, 40, 40)},
    {"body", 265, 140, QColor(120, 190, 240)},
    {"bubble under the reply", 470, 60, QColor(255, 255, 255)},
    {"bubble's tail", 340, 63, QColor(255, 255, 255)},
};

TEST(BuiltInSceneTest, IsA24BitPictureOfTheRightSize) {
  const QImage scene = BuiltInScene();
  EXPECT_EQ(scene.size(), QSize(603, 202));
  EXPECT_EQ(scene.format(), QImage::Format_RGB888);
}

TEST(BuiltInSceneTest, LandmarksLieWhereTheAnimationExpectsThem) {
  const QImage scene = BuiltInScene();
  for (const Landmark& landmark : kLandmarks) {
    SCOPED_TRACE(landmark.what);
    EXPECT_EQ(scene.pixelColor(landmark.x, landmark.y), landmark.colour);
  }
}

TEST(BuiltInSceneTest, FlagAndBubbleAreClearWhereTheirTextsLie) {
  const QImage scene = BuiltInScene();
  // Medd lies at 27,10 (153 x 113) and Svar at 376,32 (185 x 65): their texts need a plain
  // white ground to be read.
  for (const QRect& area : {QRect(27, 10, 153, 113), QRect(376, 32, 185, 65)}) {
    for (int y = area.top(); y <= area.bottom(); y += 4) {
      for (int x = area.left(); x <= area.right(); x += 4) {
        ASSERT_EQ(scene.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
      }
    }
  }
}

}  // namespace
