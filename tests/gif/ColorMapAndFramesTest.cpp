#include <gtest/gtest.h>

#include <stdexcept>

#include "gif/clsColorMap.h"
#include "gif/clsFrame.h"

namespace vimo {
namespace {

TEST(rbgColorTest, PacksRedHighForColorAndLowForVBColor) {
  const rbgColor color(0x12, 0x34, 0x56);
  EXPECT_EQ(color.Color(), 0x123456);
  EXPECT_EQ(color.VBColor(), 0x563412);

  rbgColor white;
  white.Red(0xFF);
  white.Green(0xFF);
  white.Blue(0xFF);
  EXPECT_EQ(white.Color(), 0xFFFFFF);
  EXPECT_EQ(white.VBColor(), 0xFFFFFF);
}

TEST(clsColorMapTest, ItemCountsFromZeroAndRemoveFromOne) {
  clsColorMap map;
  map.Add(0x00, 0x00, 0x00);
  map.Add(0xFF, 0xFF, 0xFF);
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Item(0).Color(), 0);
  EXPECT_EQ(map.Item(1).Color(), 0xFFFFFF);

  // Remove(1) takes away the colour that Item(0) returned.
  map.Remove(1);
  ASSERT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Item(0).Color(), 0xFFFFFF);

  EXPECT_THROW(map.Item(1), std::out_of_range);
  EXPECT_THROW(map.Item(-1), std::out_of_range);
  EXPECT_THROW(map.Remove(0), std::out_of_range);
  EXPECT_THROW(map.Remove(2), std::out_of_range);
}

TEST(clsColorMapTest, EnumeratesInTableOrder) {
  clsColorMap map;
  map.Add(1, 2, 3);
  map.Add(4, 5, 6);
  std::vector<std::int32_t> colors;
  for (const rbgColor& color : map) colors.push_back(color.Color());
  EXPECT_EQ(colors, (std::vector<std::int32_t>{0x010203, 0x040506}));
}

TEST(clsFramesTest, CountsFromOneInTheOrderAdded) {
  clsFrames frames;
  frames.Add().DelayTime(10);
  frames.Add().DelayTime(20);
  frames.Add().DelayTime(30);
  ASSERT_EQ(frames.Count(), 3);
  EXPECT_EQ(frames.Item(1).DelayTime(), 10);
  EXPECT_EQ(frames.Item(3).DelayTime(), 30);

  frames.Remove(1);
  EXPECT_EQ(frames.Count(), 2);
  EXPECT_EQ(frames.Item(1).DelayTime(), 20);

  std::vector<int> delays;
  for (const auto& frame : frames) delays.push_back(frame->DelayTime());
  EXPECT_EQ(delays, (std::vector<int>{20, 30}));

  EXPECT_THROW(frames.Item(0), std::out_of_range);
  EXPECT_THROW(frames.Item(3), std::out_of_range);
  EXPECT_THROW(frames.Remove(3), std::out_of_range);
}

TEST(clsFrameTest, NewFrameHasEmptyColorMapAndNoRasters) {
  clsFrames frames;
  clsFrame& frame = frames.Add();
  EXPECT_EQ(frame.ColorMap().Count(), 0);
  EXPECT_FALSE(frame.TCFlag());
  EXPECT_EQ(frame.TransparentColor(), 0);
  EXPECT_EQ(frame.Image(), nullptr);
  EXPECT_EQ(frame.Picture(), nullptr);
  EXPECT_EQ(frame.hdc(), nullptr);

  // A reference from Add() stays the frame's through later additions.
  frame.xLeft(7);
  for (int i = 0; i < 100; ++i) frames.Add();
  EXPECT_EQ(frame.xLeft(), 7);
  EXPECT_EQ(&frames.Item(1), &frame);
}

}  // namespace
}  // namespace vimo
