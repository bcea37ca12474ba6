#include "ui/win32/transparent_label.h"

#include <uxtheme.h>

#include <string>

namespace vq::win32 {
namespace {

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void onPaint(HWND label) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(label, &paint);
  const std::wstring caption = windowText(label);
  if (!caption.empty()) {
    RECT area;
    GetClientRect(label, &area);
    const auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(label, GWLP_USERDATA));
    const HGDIOBJ previousFont =
        SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previousFont);
  }
  EndPaint(label, &paint);
}

LRESULT CALLBACK labelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      onPaint(label);
      return 0;
    case WM_ERASEBKGND:
      // The parent's own background, so a caption drawn again never lands on an older one.
      DrawThemeParentBackground(label, reinterpret_cast<HDC>(wParam), nullptr);
      return 1;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_SETFONT:
      SetWindowLongPtrW(label, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam) != 0) InvalidateRect(label, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(label, GWLP_USERDATA);
    default:
      return DefWindowProcW(label, message, wParam, lParam);
  }
}

}  // namespace

bool registerTransparentLabelClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = labelProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = transparentLabelClass;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace vq::win32
