#include "demo/dialog_driver.hpp"

#include <wincodec.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "demo/com.hpp"

namespace vora::demo {
namespace {

// A box whose thread stops answering must fail the test rather than hang it.
constexpr UINT kAnswerTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;

std::optional<LRESULT> send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                           &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

ULONGLONG deadline_after(int timeout_ms) {
  return GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
}

bool same_name(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring class_name(HWND window) {
  std::array<wchar_t, 256> name{};
  const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return std::wstring(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

// For another process's window GetWindowTextW reads the caption that user32 keeps, without a
// message that a busy thread could leave unanswered.
std::wstring caption(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

// What the control itself answers, which is what it draws.
std::optional<std::wstring> control_text(HWND control) {
  const std::optional<LRESULT> length = send(control, WM_GETTEXTLENGTH);
  if (!length || *length < 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(*length) + 1, L'\0');
  const std::optional<LRESULT> copied =
      send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied || *copied < 0) return std::nullopt;
  text.resize(std::min(static_cast<std::size_t>(*copied), text.size() - 1));
  return text;
}

DWORD style_of(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

bool is_icon_control(HWND control) {
  return same_name(class_name(control), L"Static") &&
         (style_of(control) & SS_TYPEMASK) == static_cast<DWORD>(SS_ICON);
}

// Owns a memory DC with a top-down 32-bit DIB selected into it.
class Surface {
 public:
  Surface(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    if (dc_) bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap_) {
      previous_ = SelectObject(dc_, bitmap_);
      bits_ = static_cast<std::uint32_t*>(bits);
    }
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface() {
    if (previous_) SelectObject(dc_, previous_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }

  bool valid() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  std::size_t count() const {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  }
  void fill(std::uint32_t colour) {
    GdiFlush();
    std::fill(bits_, bits_ + count(), colour);
  }
  std::vector<std::uint32_t> pixels() const {
    GdiFlush();
    return std::vector<std::uint32_t>(bits_, bits_ + count());
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

constexpr std::uint32_t kRgb = 0x00FFFFFF;

// True if every sampled point of `rect` (screen coordinates) shows `window`'s own top-level
// window, so that copying the screen there copies the box and nothing lying over it.
bool in_view(HWND window, const RECT& rect) {
  const HWND root = GetAncestor(window, GA_ROOT);
  const LONG right = rect.right - 1;
  const LONG bottom = rect.bottom - 1;
  const std::array<POINT, 5> samples{{{rect.left, rect.top},
                                      {right, rect.top},
                                      {rect.left, bottom},
                                      {right, bottom},
                                      {(rect.left + right) / 2, (rect.top + bottom) / 2}}};
  return std::ranges::all_of(
      samples, [root](POINT at) { return GetAncestor(WindowFromPoint(at), GA_ROOT) == root; });
}

// Copies what `window` shows on screen: the whole window with its frame, or its client area.
// Wine refuses to copy from a DC on another process's window (BitBlt fails), but the screen's DC
// serves, as long as nothing covers the window.
std::optional<Picture> capture(HWND window, bool whole_window) {
  RECT rect{};
  if (whole_window) {
    if (!GetWindowRect(window, &rect)) return std::nullopt;
  } else {
    POINT top_left{0, 0};
    POINT bottom_right{0, 0};
    if (!GetClientRect(window, &rect)) return std::nullopt;
    bottom_right = {rect.right, rect.bottom};
    if (!ClientToScreen(window, &top_left) || !ClientToScreen(window, &bottom_right)) {
      return std::nullopt;
    }
    rect = {top_left.x, top_left.y, bottom_right.x, bottom_right.y};
  }
  if (rect.right <= rect.left || rect.bottom <= rect.top || !in_view(window, rect)) {
    return std::nullopt;
  }
  Picture picture{rect.right - rect.left, rect.bottom - rect.top, {}};
  Surface surface(picture.width, picture.height);
  if (!surface.valid()) return std::nullopt;
  HDC screen = GetDC(nullptr);
  if (!screen) return std::nullopt;
  const BOOL copied = BitBlt(surface.dc(), 0, 0, picture.width, picture.height, screen, rect.left,
                             rect.top, SRCCOPY | CAPTUREBLT);
  ReleaseDC(nullptr, screen);
  if (!copied) return std::nullopt;
  picture.pixels = surface.pixels();
  for (std::uint32_t& pixel : picture.pixels) pixel &= kRgb;
  return picture;
}

struct KnownIcon {
  const wchar_t* name;
  WORD resource;  // the IDI_ value; the IDI_ macros are narrow strings without UNICODE
};

constexpr std::array<KnownIcon, 4> kKnownIcons{{
    {L"warning", 32515},
    {L"information", 32516},
    {L"error", 32513},
    {L"question", 32514},
}};

HICON system_icon(WORD resource) {
  return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(resource)));
}

std::vector<std::uint32_t> drawn_on(HICON icon, int width, int height, std::uint32_t background) {
  Surface surface(width, height);
  if (!surface.valid()) return {};
  surface.fill(background);
  if (!DrawIconEx(surface.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL)) return {};
  std::vector<std::uint32_t> pixels = surface.pixels();
  for (std::uint32_t& pixel : pixels) pixel &= kRgb;
  return pixels;
}

// The share of `icon`'s opaque pixels that `shown` has in exactly the same colour. Pixels that
// come out differently on black and on white are see-through or blended with whatever lies below,
// so only the others can be compared without knowing the box's background.
double opaque_match(const Picture& shown, HICON icon) {
  const std::vector<std::uint32_t> on_black = drawn_on(icon, shown.width, shown.height, 0);
  const std::vector<std::uint32_t> on_white = drawn_on(icon, shown.width, shown.height, kRgb);
  if (on_black.size() != shown.pixels.size() || on_white.size() != shown.pixels.size()) return 0;
  std::size_t opaque = 0;
  std::size_t equal = 0;
  for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
    if (on_black[i] != on_white[i]) continue;
    ++opaque;
    if (shown.pixels[i] == on_black[i]) ++equal;
  }
  // An icon that covers almost nothing proves nothing either way.
  if (opaque * 4 < shown.pixels.size()) return 0;
  return static_cast<double>(equal) / static_cast<double>(opaque);
}

// On Windows the system icons are shared, so the box's handle equals the one LoadIconW gives
// here. Under Wine every process loads its own copy, and user32 refuses GetIconInfo on another
// process's icon, so the icon is recognised by the pixels that the control draws instead.
std::wstring identify_icon(HWND control) {
  const std::optional<LRESULT> handle = send(control, STM_GETICON);
  if (!handle) return L"unknown";
  if (*handle == 0) return L"none";
  const HICON shown_icon = reinterpret_cast<HICON>(*handle);
  for (const KnownIcon& known : kKnownIcons) {
    if (shown_icon == system_icon(known.resource)) return known.name;
  }
  // The box may not have painted the control yet; give it a moment.
  const ULONGLONG deadline = deadline_after(2000);
  for (;;) {
    if (const std::optional<Picture> shown = capture(control, false)) {
      for (const KnownIcon& known : kKnownIcons) {
        if (opaque_match(*shown, system_icon(known.resource)) >= 0.99) return known.name;
      }
    }
    if (GetTickCount64() >= deadline) return L"unknown";
    Sleep(kPollMs);
  }
}

std::optional<BoxView> read_box(HWND window) {
  BoxView view;
  view.window = window;
  view.title = caption(window);
  HWND icon_control = nullptr;
  int bold_id = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring kind = class_name(child);
    if (same_name(kind, L"Button")) {
      const std::optional<std::wstring> label = control_text(child);
      if (!label) return std::nullopt;
      const int id = GetDlgCtrlID(child);
      view.buttons.emplace_back(id, *label);
      if ((style_of(child) & BS_TYPEMASK) == static_cast<DWORD>(BS_DEFPUSHBUTTON)) bold_id = id;
    } else if (is_icon_control(child)) {
      icon_control = child;
    } else if (same_name(kind, L"Static")) {
      // Both systems give the message text the id 0xFFFF, but an extra static (a box with
      // MB_HELP, a future layout) must not be taken for it: the message is the longest text.
      const std::optional<std::wstring> text = control_text(child);
      if (!text) return std::nullopt;
      if (text->size() > view.text.size()) view.text = *text;
    }
  }
  for (std::size_t at; (at = view.text.find(L"\r\n")) != std::wstring::npos;)
    view.text.erase(at, 1);
  // A box caught while user32 is still laying it out has no buttons yet.
  if (view.buttons.empty()) return std::nullopt;

  // Wine's DM_GETDEFID names IDOK even in a Yes/No box, which has no such button; the default
  // push button style is what the box draws and what Enter follows.
  view.default_id = bold_id;
  if (view.default_id == 0) {
    const std::optional<LRESULT> answer = send(window, DM_GETDEFID);
    if (answer && HIWORD(*answer) == DC_HASDEFID) {
      const int id = LOWORD(*answer);
      const bool exists = std::ranges::any_of(
          view.buttons, [id](const std::pair<int, std::wstring>& b) { return b.first == id; });
      if (exists) view.default_id = id;
    }
  }
  view.icon = icon_control ? identify_icon(icon_control) : L"none";
  return view;
}

struct Search {
  const std::wstring* title;
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK consider(HWND window, LPARAM context) {
  Search& search = *reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.process_id || !IsWindowVisible(window)) return TRUE;
  if (class_name(window) != L"#32770" || caption(window) != *search.title) return TRUE;
  search.found = window;
  return FALSE;
}

// Writes the picture as a PNG file through the system's image encoder, in 8-bit RGB.
bool write_png(const Picture& picture, const std::wstring& path) {
  const auto width = static_cast<UINT>(picture.width);
  const auto height = static_cast<UINT>(picture.height);
  std::vector<BYTE> bgr;
  bgr.reserve(std::size_t{width} * height * 3);
  for (const std::uint32_t pixel : picture.pixels) {
    bgr.insert(bgr.end(), {static_cast<BYTE>(pixel), static_cast<BYTE>(pixel >> 8),
                           static_cast<BYTE>(pixel >> 16)});
  }
  const ComApartment apartment;
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICStream> stream;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  // The encoder answers with the nearest format it can write, which must be the one asked for.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  return apartment.usable() &&
         SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, factory.out())) &&
         SUCCEEDED(factory->CreateStream(stream.put())) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
         SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) &&
         SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height)) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
         SUCCEEDED(
             frame->WritePixels(height, width * 3, static_cast<UINT>(bgr.size()), bgr.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

std::optional<BoxView> wait_for_box(const std::wstring& title, DWORD process_id, int timeout_ms) {
  const ULONGLONG deadline = deadline_after(timeout_ms);
  for (;;) {
    Search search{&title, process_id, nullptr};
    EnumWindows(consider, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      if (std::optional<BoxView> view = read_box(search.found)) return view;
    }
    if (GetTickCount64() >= deadline) return std::nullopt;
    Sleep(kPollMs);
  }
}

bool press(const BoxView& box, int button_id) {
  HWND button = GetDlgItem(box.window, button_id);
  if (!button || !same_name(class_name(button), L"Button") || !IsWindowVisible(button) ||
      !IsWindowEnabled(button)) {
    return false;
  }
  // Sending returns once the box's own thread has handled the click; the box only ends its
  // modal loop afterwards, so nothing here waits on the box closing.
  return send(button, BM_CLICK).has_value();
}

bool wait_gone(HWND window, int timeout_ms) {
  const ULONGLONG deadline = deadline_after(timeout_ms);
  for (;;) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

bool save_screenshot(const BoxView& box, const std::wstring& path) {
  // Without a window manager Wine leaves the caption and the frame to one that is not there: only
  // the client area reaches the screen, so that is all there is to copy.
  std::optional<Picture> picture = capture(box.window, true);
  if (!picture) picture = capture(box.window, false);
  return picture && write_png(*picture, path);
}

}  // namespace vora::demo
