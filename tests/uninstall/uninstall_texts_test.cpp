// The boxes are checked end to end against these constants, so only this test sees a slip in
// the Hungarian wording.
#include "uninstall/uninstall_texts.hpp"

#include <gtest/gtest.h>

namespace vora {
namespace {

TEST(UninstallTexts, AreTheHungarianTextsByteForByte) {
  EXPECT_EQ(kDialogTitle, "Vora eltávolítása");
  EXPECT_EQ(kConfirmationText,
            "Biztosan eltávolítod a Vorát?\n\nA mentett szervereid, kulcsaid és beállításaid "
            "megmaradnak: ha újra feltelepíted, minden ott lesz.");
  EXPECT_EQ(kCompletionText, "A Vora el lett távolítva.");
}

}  // namespace
}  // namespace vora
