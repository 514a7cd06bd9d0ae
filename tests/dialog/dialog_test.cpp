#include "dialog/dialog.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(Dialog, TheTypeIsTheIconFlagWithTheButtonFlagAndNothingElse) {
  EXPECT_EQ(dialog_type(DialogLevel::Warning, DialogButtons::YesNo), 0x34u);  // the confirmation
  EXPECT_EQ(dialog_type(DialogLevel::Info, DialogButtons::Ok), 0x40u);        // the notice
  EXPECT_EQ(dialog_type(DialogLevel::Error, DialogButtons::OkCancel), 0x11u);
  EXPECT_EQ(dialog_type(DialogLevel::Info, DialogButtons::YesNoCancel), 0x43u);
}

TEST(Dialog, EveryResultThatIsNotYesNoOrOkIsCancel) {
  const struct {
    int result;
    DialogAnswer answer;
    std::string_view text;
  } rows[] = {
      {1, DialogAnswer::Ok, "Ok"},         {2, DialogAnswer::Cancel, "Cancel"},
      {3, DialogAnswer::Cancel, "Cancel"}, {4, DialogAnswer::Cancel, "Cancel"},
      {5, DialogAnswer::Cancel, "Cancel"}, {6, DialogAnswer::Yes, "Yes"},
      {7, DialogAnswer::No, "No"},         {0, DialogAnswer::Cancel, "Cancel"},
      {8, DialogAnswer::Cancel, "Cancel"}, {-1, DialogAnswer::Cancel, "Cancel"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(answer_for_result(row.result), row.answer) << row.result;
    EXPECT_EQ(answer_text(answer_for_result(row.result)), row.text) << row.result;
  }
}

}  // namespace
}  // namespace vora
