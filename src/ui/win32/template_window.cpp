#include "ui/win32/template_window.h"

#include <algorithm>

#include "core/win32/code_page.h"
#include "ui/win32/transparent_label.h"

namespace vq::win32 {
namespace {

constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed, no min/max

enum class KeyAction { focusNext, focusPrevious, pressDefaultButton, close };

// The keys the window takes before its controls: plain keys, Shift only where named.
struct KeyBinding {
  WPARAM key;
  bool shift;
  KeyAction action;
};
constexpr KeyBinding windowKeys[] = {
    {VK_TAB, false, KeyAction::focusNext},
    {VK_TAB, true, KeyAction::focusPrevious},
    {VK_RETURN, false, KeyAction::pressDefaultButton},
    {VK_ESCAPE, false, KeyAction::close},
};

bool keyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

const wchar_t* windowClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::transparentLabel:
      return transparentLabelClass;
    case ControlKind::pushButton:
      return L"Button";
    case ControlKind::editBox:
      return L"Edit";
  }
  return nullptr;
}

DWORD styleOf(const ControlTemplate& control) {
  const DWORD tabStop = control.tabStop ? WS_TABSTOP : 0;
  switch (control.kind) {
    case ControlKind::transparentLabel:
      return WS_CHILD;
    case ControlKind::pushButton:
      return WS_CHILD | tabStop | BS_MULTILINE | BS_CENTER | BS_VCENTER |
             (control.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    case ControlKind::editBox:
      // No ES_NOHIDESEL: the selection hides while the box lacks the focus. No horizontal
      // scrolling, so long lines wrap for display only.
      return WS_CHILD | tabStop | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
             ES_LEFT;
  }
  return WS_CHILD;
}

DWORD extendedStyleOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::transparentLabel:
      return WS_EX_TRANSPARENT;
    case ControlKind::editBox:
      return WS_EX_CLIENTEDGE;
    case ControlKind::pushButton:
      return 0;
  }
  return 0;
}

}  // namespace

bool TemplateWindow::registerClasses(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // The system colour is looked up at every paint.
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = templateWindowClass;
  const bool registered =
      RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered && registerTransparentLabelClass(instance);
}

TemplateWindow::TemplateWindow(const WindowTemplate& window, DestroyedCallback onDestroyed)
    : template_(window), onDestroyed_(std::move(onDestroyed)) {}

TemplateWindow::~TemplateWindow() {
  if (handle_ != nullptr) {
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
  if (icon_ != nullptr) DestroyIcon(icon_);
}

std::unique_ptr<TemplateWindow> TemplateWindow::create(const WindowTemplate& window,
                                                       HINSTANCE instance,
                                                       DestroyedCallback onDestroyed) {
  std::unique_ptr<TemplateWindow> created(new TemplateWindow(window, std::move(onDestroyed)));
  // Centred on the whole primary screen, taskbar included.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - window.width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - window.height) / 2;
  const HWND handle =
      CreateWindowExW(0, templateWindowClass, widen(window.title).c_str(), windowStyle, x, y,
                      window.width, window.height, nullptr, nullptr, instance, created.get());
  if (handle == nullptr) return nullptr;

  RECT outer;
  GetWindowRect(handle, &outer);
  if (outer.right - outer.left != window.width || outer.bottom - outer.top != window.height) {
    SetWindowPos(handle, nullptr, 0, 0, window.width, window.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  created->icon_ =
      static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
  SendMessageW(handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(created->icon_));
  SendMessageW(handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(created->icon_));
  SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);

  if (!created->createControls(instance)) return nullptr;
  return created;
}

bool TemplateWindow::createControls(HINSTANCE instance) {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  // Created in template order: each new child goes below the ones before it.
  for (const ControlTemplate& control : template_.controls) {
    const HWND child = CreateWindowExW(
        extendedStyleOf(control.kind), windowClassOf(control.kind), widen(control.caption).c_str(),
        styleOf(control), control.x, control.y, control.width, control.height, handle_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (child == nullptr) return false;
    SendMessageW(child, WM_SETFONT, font, FALSE);
    if (control.kind == ControlKind::editBox) SendMessageW(child, EM_SETLIMITTEXT, 0, 0);
  }
  return true;
}

bool TemplateWindow::showAfterCreatedEvent() {
  for (const ControlTemplate& control : template_.controls) {
    ShowWindow(GetDlgItem(handle_, control.id), SW_SHOW);
  }
  attachView(this);
  if (template_.onCreated != nullptr) template_.onCreated();
  if (handle_ == nullptr) return false;
  ShowWindow(handle_, SW_SHOWNORMAL);
  UpdateWindow(handle_);
  SetForegroundWindow(handle_);
  return true;
}

bool TemplateWindow::preTranslate(const MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  if (keyDown(VK_CONTROL) || keyDown(VK_MENU)) return false;
  const bool shift = keyDown(VK_SHIFT);
  const auto binding = std::find_if(
      std::begin(windowKeys), std::end(windowKeys),
      [&](const KeyBinding& b) { return b.key == message.wParam && b.shift == shift; });
  if (binding == std::end(windowKeys)) return false;

  switch (binding->action) {
    case KeyAction::focusNext:
      moveFocus(false);
      break;
    case KeyAction::focusPrevious:
      moveFocus(true);
      break;
    case KeyAction::pressDefaultButton:
      // The handler runs directly: the focus stays where it is.
      if (const ControlTemplate* button = defaultButton(template_);
          button != nullptr && button->onClicked != nullptr) {
        button->onClicked();
      }
      break;
    case KeyAction::close:
      SendMessageW(handle_, WM_CLOSE, 0, 0);
      break;
  }
  return true;
}

void TemplateWindow::moveFocus(bool backwards) {
  const HWND focus = GetFocus();
  const int currentId = focus != nullptr && IsChild(handle_, focus) ? GetDlgCtrlID(focus) : 0;
  if (const ControlTemplate* next = nextInTabRing(template_, currentId, backwards)) {
    SetFocus(GetDlgItem(handle_, next->id));
  }
}

HWND TemplateWindow::control(ControlKind kind) const {
  const auto found = std::find_if(template_.controls.begin(), template_.controls.end(),
                                  [kind](const ControlTemplate& c) { return c.kind == kind; });
  return found != template_.controls.end() ? GetDlgItem(handle_, found->id) : nullptr;
}

Text TemplateWindow::getEditBoxText() { return editBoxText_; }

void TemplateWindow::setEditBoxText(const Text& text) {
  const HWND editBox = control(ControlKind::editBox);
  const std::string_view shown = editBoxText_.view();
  // A fetch only adds to the end of the page: the box then takes just the new part instead of
  // laying out the whole page again. The shown text must end on a whole character (it does: an
  // entry ends in "</p>") for its wide form to be the start of the new one.
  const bool appended = !shown.empty() && text.view().starts_with(shown) &&
                        static_cast<unsigned char>(shown.back()) < 0x80;
  if (appended) {
    const LRESULT end = GetWindowTextLengthW(editBox);
    SendMessageW(editBox, EM_SETSEL, end, end);
    SendMessageW(editBox, EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(widen(text.view().substr(shown.size())).c_str()));
  } else {
    SetWindowTextW(editBox, widen(text.view()).c_str());
  }
  editBoxText_ = text;
  SendMessageW(editBox, EM_SETSEL, 0, 0);
  SendMessageW(editBox, EM_SCROLLCARET, 0, 0);
}

void TemplateWindow::setStatusCaption(const Text& caption) {
  const HWND label = control(ControlKind::transparentLabel);
  SetWindowTextW(label, widen(caption.view()).c_str());

  // The window paints its background under the label afresh, so no trace of the old caption
  // stays, then every child over that area paints at once, the label with its new caption.
  RECT area;
  GetWindowRect(label, &area);
  MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&area), 2);
  InvalidateRect(handle_, &area, TRUE);
  UpdateWindow(handle_);
  for (HWND child = GetWindow(handle_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT childArea, overlap;
    GetWindowRect(child, &childArea);
    MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&childArea), 2);
    if (IsWindowVisible(child) && IntersectRect(&overlap, &childArea, &area)) {
      RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
  }
  InvalidateRect(label, nullptr, TRUE);
}

LRESULT CALLBACK TemplateWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<TemplateWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TemplateWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->onMessage(message, wParam, lParam)
                         : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TemplateWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(wParam);
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:  // a read-only edit box asks with this one
      return onControlColor(reinterpret_cast<HDC>(wParam));
    case WM_ACTIVATE:
      onActivate(wParam);
      return 0;
    case WM_SETFOCUS:
      onSetFocus();
      return 0;
    case WM_DESTROY:
      attachView(nullptr);
      return 0;
    case WM_NCDESTROY: {
      const HWND window = handle_;
      handle_ = nullptr;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (onDestroyed_) onDestroyed_(this);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
      return DefWindowProcW(handle_, message, wParam, lParam);
  }
}

void TemplateWindow::onCommand(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  const int id = LOWORD(wParam);
  const auto found = std::find_if(template_.controls.begin(), template_.controls.end(),
                                  [id](const ControlTemplate& c) { return c.id == id; });
  if (found != template_.controls.end() && found->onClicked != nullptr) found->onClicked();
}

LRESULT TemplateWindow::onControlColor(HDC dc) {
  // Black on white, also while read-only.
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

void TemplateWindow::onActivate(WPARAM wParam) {
  if (LOWORD(wParam) != WA_INACTIVE) return;
  const HWND focus = GetFocus();
  if (focus != nullptr && IsChild(handle_, focus)) focusBeforeDeactivation_ = focus;
}

void TemplateWindow::onSetFocus() {
  if (focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_)) {
    SetFocus(focusBeforeDeactivation_);
  } else if (const ControlTemplate* first = nextInTabRing(template_, 0, false)) {
    SetFocus(GetDlgItem(handle_, first->id));
  }
}

}  // namespace vq::win32
