#include "uninstall/encoded_command.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "uninstall/uninstall_texts.hpp"

namespace vora {
namespace {

std::string base64_of(std::string_view bytes) {
  return base64_encode(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST(EncodedCommand, Base64PadsTheLastGroup) {
  EXPECT_EQ(base64_of(""), "");
  EXPECT_EQ(base64_of("f"), "Zg==");
  EXPECT_EQ(base64_of("fo"), "Zm8=");
  EXPECT_EQ(base64_of("foo"), "Zm9v");
  EXPECT_EQ(base64_of("foobar"), "Zm9vYmFy");
  EXPECT_EQ(base64_of("\xFB\xFF\xBF"), "+/+/");
}

TEST(EncodedCommand, ScriptsAreEncodedAsUtf16LittleEndian) {
  EXPECT_EQ(encode_powershell_command(""), "");
  EXPECT_EQ(encode_powershell_command("a"), "YQA=");        // two bytes, one "="
  EXPECT_EQ(encode_powershell_command("abc"), "YQBiAGMA");  // six bytes, no padding
  // U+1F600 is the pair D83D DE00, each unit low byte first: 3D D8 00 DE.
  EXPECT_EQ(encode_powershell_command("\xF0\x9F\x98\x80"),
            base64_of(std::string_view("\x3D\xD8\x00\xDE", 4)));
  EXPECT_EQ(encode_powershell_command("\xC5\x91"), base64_of(std::string_view("\x51\x01", 2)));
}

TEST(EncodedCommand, TheShortcutRemovalScriptIs388Characters) {
  EXPECT_EQ(kShortcutRemovalScript,
            "foreach($d in 'Desktop','Programs'){ Remove-Item -Force -ErrorAction "
            "SilentlyContinue (Join-Path ([Environment]::GetFolderPath($d)) 'Vora.lnk') }");
  EXPECT_EQ(kShortcutRemovalScript.size(), 145u);
  const std::string encoded = encode_powershell_command(kShortcutRemovalScript);
  ASSERT_EQ(encoded.size(), 388u);
  EXPECT_EQ(encoded.back(), '=');
  EXPECT_NE(encoded[encoded.size() - 2], '=');
  EXPECT_EQ(encoded.substr(0, 24), "ZgBvAHIAZQBhAGMAaAAoACQA");  // "foreach($"
  EXPECT_EQ(encoded.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
}

TEST(UninstallTexts, AreTheHungarianTextsByteForByte) {
  EXPECT_EQ(kDialogTitle,
            "Vora elt\xC3\xA1vol\xC3\xAD"
            "t\xC3\xA1sa");
  EXPECT_EQ(kConfirmationText.size(), 138u);
  EXPECT_EQ(kConfirmationText,
            "Biztosan elt\xC3\xA1vol\xC3\xADtod a Vor\xC3\xA1t?\n\nA mentett szervereid, "
            "kulcsaid \xC3\xA9s be\xC3\xA1ll\xC3\xAD"
            "t\xC3\xA1said megmaradnak: ha \xC3\xBAjra feltelep\xC3\xADted, minden ott lesz.");
  EXPECT_EQ(kCompletionText.size(), 27u);
  EXPECT_EQ(kCompletionText,
            "A Vora el lett t\xC3\xA1vol\xC3\xAD"
            "tva.");
}

}  // namespace
}  // namespace vora
