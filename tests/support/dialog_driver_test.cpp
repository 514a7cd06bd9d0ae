// The dialog driver on real message boxes: box_probe shows one, as the uninstaller will, and the
// driver reads and answers it from this process as a person at the screen would.
#include "demo/dialog_driver.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runtime/owned_handle.hpp"
#include "support/child_process.hpp"

namespace vora::testing {
namespace {

const std::wstring kTitle = L"Vora elt\u00E1vol\u00EDt\u00E1sa";
const std::wstring kQuestion =
    L"Biztosan elt\u00E1vol\u00EDtod a Vor\u00E1t?\n\n"
    L"A mentett be\u00E1ll\u00EDt\u00E1said \u00E9s a let\u00F6lt\u00F6tt f\u00E1jlok "
    L"a g\u00E9peden maradnak.";
const std::wstring kDone = L"A Vora el lett t\u00E1vol\u00EDtva.";

constexpr UINT kConfirmType = MB_YESNO | MB_ICONWARNING;
constexpr UINT kNoticeType = MB_OK | MB_ICONINFORMATION;

// The first box of a fresh Wine server also starts Wine's desktop process.
constexpr int kAppearMs = 30000;
// Wine keeps a process that showed a window alive for about two seconds after its last window.
constexpr DWORD kExitMs = 20000;
// How long a box that should stay open is given to close anyway.
constexpr int kStaysOpenMs = 1500;

std::wstring hexadecimal(UINT value) {
  std::wstring text;
  do {
    text.insert(text.begin(), L"0123456789abcdef"[value % 16]);
    value /= 16;
  } while (value != 0);
  return text;
}

std::wstring name_of(const std::wstring& entry) {
  // Entries such as "=C:=C:\dir" keep their leading "=" in the name.
  return entry.substr(0, entry.find(L'=', 1));
}

// This process's environment with the box's three variables set, in the sorted,
// double-terminated form CreateProcessW takes. The test's own environment stays as it was.
std::vector<wchar_t> box_environment(const std::wstring& text, const std::wstring& title,
                                     UINT type) {
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1)
      entries.emplace_back(entry);
    FreeEnvironmentStringsW(block);
  }
  std::erase_if(entries, [](const std::wstring& entry) {
    const std::wstring name = name_of(entry);
    return _wcsicmp(name.c_str(), L"VORA_BOX_TEXT") == 0 ||
           _wcsicmp(name.c_str(), L"VORA_BOX_TITLE") == 0 ||
           _wcsicmp(name.c_str(), L"VORA_BOX_TYPE") == 0;
  });
  entries.push_back(L"VORA_BOX_TEXT=" + text);
  entries.push_back(L"VORA_BOX_TITLE=" + title);
  entries.push_back(L"VORA_BOX_TYPE=" + hexadecimal(type));
  std::ranges::sort(entries, [](const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(name_of(a).c_str(), name_of(b).c_str()) < 0;
  });
  std::vector<wchar_t> block;
  for (const std::wstring& entry : entries) {
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// One run of box_probe. A probe still running when the test ends is ended, so that a failed
// test leaves no box behind for the next.
class Probe {
 public:
  Probe(const std::wstring& text, const std::wstring& title, UINT type) {
    std::vector<wchar_t> environment = box_environment(text, title, type);
    const std::wstring program = test_folder() + L"box_probe.exe";
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &info)) {
      ADD_FAILURE() << "CreateProcessW failed with " << GetLastError();
      return;
    }
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    id_ = info.dwProcessId;
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;
  ~Probe() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 99);
      WaitForSingleObject(process_.get(), kExitMs);
    }
  }

  bool started() const { return static_cast<bool>(process_); }
  DWORD id() const { return id_; }

  // The exit code, or empty if the probe is still running after `timeout_ms`.
  std::optional<DWORD> exit_code(DWORD timeout_ms) {
    if (WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
    return code;
  }

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

std::vector<int> ids(const BoxView& box) {
  std::vector<int> result;
  for (const auto& [id, caption] : box.buttons) result.push_back(id);
  return result;
}

class DialogDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display_available()) GTEST_SKIP() << "no DISPLAY: message boxes cannot be shown";
  }
};

TEST_F(DialogDriver, ReadsTheConfirmationAsShown) {
  Probe probe(kQuestion, kTitle, kConfirmType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->title, kTitle);
  // Wine's text control gives back the line feeds as they were passed, not turned into "\r\n".
  EXPECT_EQ(box->text, kQuestion);
  EXPECT_EQ(box->icon, L"warning");
  EXPECT_EQ(ids(*box), (std::vector<int>{IDYES, IDNO}));
  ASSERT_EQ(box->buttons.size(), 2u);
  EXPECT_FALSE(box->buttons[0].second.empty());
  EXPECT_FALSE(box->buttons[1].second.empty());
  EXPECT_NE(box->buttons[0].second, box->buttons[1].second);
  EXPECT_TRUE(box->yes_is_default);
  EXPECT_EQ(box->default_id, IDYES);

  ASSERT_TRUE(press(*box, IDNO));
  EXPECT_TRUE(wait_gone(box->window, kAppearMs));
  EXPECT_EQ(probe.exit_code(kExitMs), IDNO);
}

TEST_F(DialogDriver, YesEndsTheBoxWithIdYes) {
  Probe probe(kQuestion, kTitle, kConfirmType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  ASSERT_TRUE(press(*box, IDYES));
  EXPECT_TRUE(wait_gone(box->window, kAppearMs));
  EXPECT_EQ(probe.exit_code(kExitMs), IDYES);
}

TEST_F(DialogDriver, EnterPressesTheDefaultButton) {
  Probe probe(kQuestion, kTitle, kConfirmType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  ASSERT_TRUE(press_enter(*box));
  EXPECT_TRUE(wait_gone(box->window, kAppearMs));
  EXPECT_EQ(probe.exit_code(kExitMs), IDYES);
}

// The default is read from the box, not assumed to be its first button.
TEST_F(DialogDriver, SeesAnotherDefaultButton) {
  Probe probe(kQuestion, kTitle, kConfirmType | MB_DEFBUTTON2);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(ids(*box), (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(box->default_id, IDNO);
  EXPECT_FALSE(box->yes_is_default);
  ASSERT_TRUE(press_enter(*box));
  EXPECT_EQ(probe.exit_code(kExitMs), IDNO);
}

// Windows ignores Esc in a box without a Cancel button. Wine does not: its dialog loop turns Esc
// into IDCANCEL, and its box ends with that, a real key from the X server included.
TEST_F(DialogDriver, EscapeOnAYesNoBox) {
  Probe probe(kQuestion, kTitle, kConfirmType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  ASSERT_TRUE(press_escape(*box));
  if (running_under_wine()) {
    EXPECT_TRUE(wait_gone(box->window, kAppearMs));
    EXPECT_EQ(probe.exit_code(kExitMs), IDCANCEL);
    return;
  }
  EXPECT_FALSE(wait_gone(box->window, kStaysOpenMs));
  EXPECT_EQ(probe.exit_code(0), std::nullopt);

  // Still the same box, still answering.
  const std::optional<BoxView> again = wait_for_box(kTitle, probe.id(), 0);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->window, box->window);
  ASSERT_TRUE(press(*again, IDNO));
  EXPECT_EQ(probe.exit_code(kExitMs), IDNO);
}

TEST_F(DialogDriver, ReadsTheCompletionNotice) {
  Probe probe(kDone, kTitle, kNoticeType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, kDone);
  EXPECT_EQ(box->icon, L"information");
  EXPECT_EQ(ids(*box), std::vector<int>{IDOK});
  EXPECT_EQ(box->default_id, IDOK);
  EXPECT_FALSE(box->yes_is_default);
  ASSERT_TRUE(press(*box, IDOK));
  EXPECT_EQ(probe.exit_code(kExitMs), IDOK);
}

// Esc closes an OK box on both systems, but Windows reports IDOK and Wine IDCANCEL.
TEST_F(DialogDriver, EscapeClosesAnOkBox) {
  Probe probe(kDone, kTitle, kNoticeType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  ASSERT_TRUE(press_escape(*box));
  EXPECT_TRUE(wait_gone(box->window, kAppearMs));
  EXPECT_EQ(probe.exit_code(kExitMs), running_under_wine() ? IDCANCEL : IDOK);
}

// The icons are told apart, not merely found: each type shows its own, and none shows none.
struct IconCase {
  UINT type;
  const char* icon;
};

class DialogDriverIcon : public DialogDriver, public ::testing::WithParamInterface<IconCase> {};

TEST_P(DialogDriverIcon, NamesTheIconShown) {
  Probe probe(kDone, kTitle, GetParam().type);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  const std::string expected = GetParam().icon;
  EXPECT_EQ(box->icon, std::wstring(expected.begin(), expected.end()));
  ASSERT_TRUE(press(*box, IDOK));
  EXPECT_EQ(probe.exit_code(kExitMs), IDOK);
}

INSTANTIATE_TEST_SUITE_P(EachType, DialogDriverIcon,
                         ::testing::Values(IconCase{MB_OK | MB_ICONERROR, "error"},
                                           IconCase{MB_OK | MB_ICONQUESTION, "question"},
                                           IconCase{MB_OK | MB_ICONWARNING, "warning"},
                                           IconCase{MB_OK | MB_ICONINFORMATION, "information"},
                                           IconCase{MB_OK, "none"}),
                         [](const ::testing::TestParamInfo<IconCase>& icon_case) {
                           return std::string(icon_case.param.icon);
                         });

TEST_F(DialogDriver, FindsOnlyTheGivenProcessAndTitle) {
  Probe probe(kDone, kTitle, kNoticeType);
  ASSERT_TRUE(probe.started());
  ASSERT_TRUE(wait_for_box(kTitle, probe.id(), kAppearMs));
  EXPECT_FALSE(wait_for_box(kTitle + L" ", probe.id(), 200));
  EXPECT_FALSE(wait_for_box(kTitle, GetCurrentProcessId(), 200));
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), 0);
  ASSERT_TRUE(box);
  EXPECT_FALSE(press(*box, IDCANCEL)) << "an OK box has no Cancel button to press";
  ASSERT_TRUE(press(*box, IDOK));
  EXPECT_EQ(probe.exit_code(kExitMs), IDOK);
}

std::string file_bytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t little32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::uint32_t big32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The pixels of a PNG as the driver writes it (8-bit RGB, filter "none", stored deflate blocks),
// as 0xRRGGBB, row by row from the top; empty if it is not of that form.
std::vector<std::uint32_t> png_pixels(const std::string& png, std::uint32_t width,
                                      std::uint32_t height) {
  std::string zlib;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = big32(png, at);
    if (png.compare(at + 4, 4, "IDAT") == 0) zlib += png.substr(at + 8, length);
    at += 12u + length;
  }
  std::string rows;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    if (at + 5 > zlib.size() || (zlib[at] & 0x06) != 0) return {};
    last = (zlib[at] & 1) != 0;
    const std::size_t length = static_cast<unsigned char>(zlib[at + 1]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(zlib[at + 2]))
                                   << 8;
    rows += zlib.substr(at + 5, length);
    at += 5 + length;
  }
  if (rows.size() != static_cast<std::size_t>(height) * (1u + width * 3u)) return {};
  std::vector<std::uint32_t> pixels;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::size_t row = y * (1u + width * 3u);
    if (rows[row] != 0) return {};
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t pixel = row + 1 + x * 3u;
      pixels.push_back(static_cast<std::uint32_t>(static_cast<unsigned char>(rows[pixel])) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(rows[pixel + 1]))
                           << 8 |
                       static_cast<unsigned char>(rows[pixel + 2]));
    }
  }
  return pixels;
}

TEST_F(DialogDriver, SavesWhatTheBoxShows) {
  Probe probe(kQuestion, kTitle, kConfirmType);
  ASSERT_TRUE(probe.started());
  const std::optional<BoxView> box = wait_for_box(kTitle, probe.id(), kAppearMs);
  ASSERT_TRUE(box);
  // The whole window where its frame is drawn, else (Wine without a window manager) the client
  // area, the only part on screen.
  RECT rect{};
  RECT client{};
  ASSERT_TRUE(GetWindowRect(box->window, &rect));
  ASSERT_TRUE(GetClientRect(box->window, &client));
  const auto window_width = static_cast<std::uint32_t>(rect.right - rect.left);
  const auto client_width = static_cast<std::uint32_t>(client.right);

  const std::wstring stem = test_folder() + L"dialog_driver_box_" + std::to_wstring(probe.id());
  // A box that has just appeared may still be painting: take the PNG between two BMPs that agree,
  // so that both files show the same screen.
  std::string bmp;
  std::string png;
  for (int attempt = 0; attempt < 5; ++attempt) {
    ASSERT_TRUE(save_screenshot(*box, stem + L".bmp"));
    const std::string before = file_bytes(stem + L".bmp");
    ASSERT_TRUE(save_screenshot(*box, stem + L".png"));
    ASSERT_TRUE(save_screenshot(*box, stem + L".bmp"));
    bmp = file_bytes(stem + L".bmp");
    png = file_bytes(stem + L".png");
    if (bmp == before) break;
    Sleep(100);
  }
  EXPECT_FALSE(save_screenshot(*box, stem + L".gif"));
  ASSERT_TRUE(press(*box, IDNO));
  EXPECT_EQ(probe.exit_code(kExitMs), IDNO);
  DeleteFileW((stem + L".bmp").c_str());
  DeleteFileW((stem + L".png").c_str());

  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(little32(bmp, 2), bmp.size());
  const std::uint32_t width = little32(bmp, 18);
  const std::uint32_t height = little32(bmp, 22);
  if (width == window_width) {
    EXPECT_EQ(height, static_cast<std::uint32_t>(rect.bottom - rect.top));
  } else {
    EXPECT_EQ(width, client_width);
    EXPECT_EQ(height, static_cast<std::uint32_t>(client.bottom));
  }
  const std::uint32_t row = (width * 3 + 3) & ~3u;
  EXPECT_EQ(bmp.size(), 54u + row * height);
  std::vector<std::uint32_t> bmp_pixels;
  for (std::uint32_t y = height; y-- > 0 && bmp.size() == 54u + row * height;) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = 54u + y * row + x * 3u;
      bmp_pixels.push_back(
          static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
          static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
          static_cast<unsigned char>(bmp[at]));
    }
  }
  // A real picture of a box: its face, its text and its icon, not one flat colour.
  EXPECT_GT(std::set<std::uint32_t>(bmp_pixels.begin(), bmp_pixels.end()).size(), 8u);

  ASSERT_GE(png.size(), 8u + 25u + 12u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(big32(png, 16), width);
  EXPECT_EQ(big32(png, 20), height);
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
  // Both files hold the same picture.
  EXPECT_EQ(png_pixels(png, width, height), bmp_pixels);
}

}  // namespace
}  // namespace vora::testing
