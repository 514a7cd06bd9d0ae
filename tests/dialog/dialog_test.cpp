#include "dialog/dialog.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

// 0 is a box that could not be shown; 2 to 5 are Cancel, Abort, Retry and Ignore.
TEST(Dialog, EveryResultThatIsNotYesNoOrOkIsCancel) {
  const struct {
    int result;
    std::string_view answer;
  } rows[] = {{6, "Yes"}, {7, "No"}, {1, "Ok"}, {0, "Cancel"}, {2, "Cancel"}, {5, "Cancel"}};
  for (const auto& row : rows) {
    EXPECT_EQ(answer_text(answer_for_result(row.result)), row.answer) << row.result;
  }
}

}  // namespace
}  // namespace vora
