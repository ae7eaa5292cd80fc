#pragma once
// One QApplication for a whole test binary: made before the first test and destroyed after the
// last, so it never outlives Qt's own globals at the program's exit. Including this header in one
// source of the binary is enough; the binary must link Qt6::Widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace vimo_test {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "vimo-test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};

inline ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace vimo_test
