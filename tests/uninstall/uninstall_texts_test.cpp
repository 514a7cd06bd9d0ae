// The boxes are checked end to end against these constants, so only this test sees a slip in
// the Hungarian wording.
#include "uninstall/uninstall_texts.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(UninstallTexts, AreTheHungarianTextsByteForByte) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } rows[] = {
      {kDialogTitle, "Vora eltávolítása"},
      {kConfirmationText,
       "Biztosan eltávolítod a Vorát?\n\nA mentett szervereid, kulcsaid és beállításaid "
       "megmaradnak: ha újra feltelepíted, minden ott lesz."},
      {kCompletionText, "A Vora el lett távolítva."},
  };
  for (const auto& row : rows) EXPECT_EQ(row.text, row.expected);
}

}  // namespace
}  // namespace vora
