#include <gtest/gtest.h>

#include "EveryOtherError.h"

TEST(EveryOtherError, OfErrorsInARowEveryOtherBringsADialogAndTheContextsShareTheFlag) {
  bool flag = false;
  EveryOtherError start(flag);
  EXPECT_FALSE(start.LastShown());
  EXPECT_TRUE(start.DialogDue());
  EXPECT_TRUE(flag);
  EXPECT_FALSE(start.DialogDue());
  EXPECT_TRUE(start.DialogDue());
  // A second reporter of the same context continues the same alternation.
  EveryOtherError sameContext(flag);
  EXPECT_FALSE(sameContext.DialogDue());
  EXPECT_FALSE(start.LastShown());
  start.MarkShown();
  EXPECT_TRUE(sameContext.LastShown());
  EXPECT_FALSE(sameContext.DialogDue());
}
