#include <gtest/gtest.h>

#include <QDate>
#include <set>

#include "EspeakVoice.h"
#include "SystemEnvironment.h"

namespace {

TEST(EspeakRateTest, RatesFollowTheWordsPerMinuteScale) {
  // The three slider positions: slow, espeak-ng's own pace, fast but followable.
  EXPECT_EQ(EspeakWordsPerMinute(-4), 120);
  EXPECT_EQ(EspeakWordsPerMinute(2), 175);
  EXPECT_EQ(EspeakWordsPerMinute(6), 225);
  EXPECT_EQ(EspeakWordsPerMinute(-10), 82);
  EXPECT_EQ(EspeakWordsPerMinute(10), 290);
  // Beyond what espeak-ng accepts the rate is held at its limits.
  EXPECT_EQ(EspeakWordsPerMinute(-40), 80);
  EXPECT_EQ(EspeakWordsPerMinute(40), 450);
}

TEST(ClockSeededRandomTest, DrawsAreInTheHalfOpenUnitRangeAndFollowTheSeed) {
  ClockSeededRandom first;
  ClockSeededRandom second;
  first.Seed(42);
  second.Seed(42);
  std::set<double> distinct;
  for (int i = 0; i < 10000; ++i) {
    const double r = first.NextUniform();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    ASSERT_EQ(r, second.NextUniform());
    distinct.insert(r);
  }
  EXPECT_GT(distinct.size(), 9990u);

  // Two programs started one after the other must not talk in step.
  first.SeedFromClock();
  second.SeedFromClock();
  EXPECT_NE(first.NextUniform(), second.NextUniform());
}

TEST(LocalClockTest, TodayIsTheLocalCalendarDate) {
  LocalClock clock;
  for (int attempt = 0; attempt < 2; ++attempt) {  // the date may turn between the two readings
    const QDate expected = QDate::currentDate();
    const auto today = clock.LocalToday();
    if (QDate::currentDate() != expected) continue;
    EXPECT_EQ(static_cast<int>(today.year()), expected.year());
    EXPECT_EQ(static_cast<unsigned>(today.month()), static_cast<unsigned>(expected.month()));
    EXPECT_EQ(static_cast<unsigned>(today.day()), static_cast<unsigned>(expected.day()));
    return;
  }
}

}  // namespace
