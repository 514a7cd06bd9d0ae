// show_dialog on a real box, answered from another thread of the same process.
#include <gtest/gtest.h>

#include <thread>

#include "demo/dialog_driver.hpp"
#include "dialog/dialog.hpp"

namespace vora {
namespace {

TEST(ShowDialog, TheUtf8TextsAreReleasedBeforeTheBoxIsShown) {
  DialogSpec spec{.title = "Vora show_dialog", .text = "x"};
  // A block of its own, which the heap hands back to the system when it is freed.
  constexpr std::size_t kTextBytes = std::size_t{64} << 20;
  spec.text.reserve(kTextBytes);
  const void* text_memory = spec.text.data();
  std::thread shows([&spec] { (void)show_dialog(std::move(spec)); });
  const std::optional<demo::BoxView> box =
      demo::wait_for_box(L"Vora show_dialog", GetCurrentProcessId(), 30000);
  MEMORY_BASIC_INFORMATION region{};
  VirtualQuery(text_memory, &region, sizeof region);
  ASSERT_TRUE(box);
  EXPECT_TRUE(demo::press(*box, IDOK));
  shows.join();
  // Freed, its pages are the system's again, or smaller blocks made since.
  EXPECT_TRUE(region.State != MEM_COMMIT || region.RegionSize < kTextBytes);
}

}  // namespace
}  // namespace vora
