// The end-to-end suite's eyes inside Wine: a console program run in the same prefix as the
// program under test.
//
//   vq_window_probe.exe            prints, as one line of UTF-8 JSON, what the main window shows:
//                               its rectangles and styles, the screen size, the title, every child
//                               control (id, class, text, rectangle in client coordinates, styles,
//                               visibility) and which window has the focus.
//   vq_window_probe.exe hold PATH  opens PATH for reading and writing with no sharing at all, prints
//                               "held" (or "error N"), and keeps it open until a line or the end
//                               of standard input arrives, or ten minutes pass.
//
// Everything is read from outside through messages and user32 queries, as a person's tools would;
// nothing of the program is linked in.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr wchar_t mainWindowClass[] = L"VeltromQuenzoMainWindow";

void writeOut(const std::string& bytes) {
  // Straight to the handle: the C runtime's text mode would turn "\n" into "\r\n".
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string toCodePage(const std::wstring& text, UINT codePage, bool* lossy = nullptr) {
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  // UTF-8 refuses the "used default" flag; only code page 936 reports lost characters.
  BOOL* usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, usedDefaultOut);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, usedDefaultOut);
  if (lossy != nullptr) *lossy = usedDefault != FALSE;
  return bytes;
}

std::string jsonString(const std::wstring& text) {
  const std::string utf8 = toCodePage(text, CP_UTF8);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 0x0F];
  }
  return out;
}

std::string number(long long value) { return std::to_string(value); }

std::string rectJson(const RECT& r) {
  return "{\"left\":" + number(r.left) + ",\"top\":" + number(r.top) + ",\"right\":" +
         number(r.right) + ",\"bottom\":" + number(r.bottom) + ",\"width\":" +
         number(r.right - r.left) + ",\"height\":" + number(r.bottom - r.top) + "}";
}

std::string boolJson(bool value) { return value ? "true" : "false"; }

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The text the window itself reports. WM_GETTEXT is marshalled across processes, unlike
// GetWindowTextW, which for a foreign window returns the caption stored at creation.
std::wstring windowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return L"";
  }
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return L"";
  }
  return std::wstring(buffer.data(), copied);
}

std::string textFields(HWND window) {
  const std::wstring text = windowText(window);
  bool lossy = false;
  const std::string cp936 = toCodePage(text, 936, &lossy);
  return "\"text\":" + jsonString(text) + ",\"text_cp936_hex\":\"" + hex(cp936) +
         "\",\"text_cp936_lossy\":" + boolJson(lossy);
}

std::string windowIdentity(HWND window) {
  if (window == nullptr) return "null";
  return "{\"hwnd\":" + number(reinterpret_cast<LONG_PTR>(window)) +
         ",\"id\":" + number(GetDlgCtrlID(window)) + ",\"class\":" + jsonString(className(window)) +
         "}";
}

struct ChildList {
  HWND parent;
  std::vector<HWND> children;
};

BOOL CALLBACK collectChild(HWND child, LPARAM data) {
  auto* list = reinterpret_cast<ChildList*>(data);
  if (GetParent(child) == list->parent) list->children.push_back(child);
  return TRUE;
}

int dumpMainWindow() {
  HWND main = FindWindowW(mainWindowClass, nullptr);
  if (main == nullptr) {
    writeOut("{\"found\":false}\n");
    return 1;
  }

  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(main, &processId);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  const bool haveGui = GetGUIThreadInfo(threadId, &gui) != FALSE;

  RECT windowRect = {}, clientRect = {};
  GetWindowRect(main, &windowRect);
  GetClientRect(main, &clientRect);
  POINT clientOrigin = {0, 0};
  ClientToScreen(main, &clientOrigin);

  std::string json = "{\"found\":true";
  json += ",\"hwnd\":" + number(reinterpret_cast<LONG_PTR>(main));
  json += ",\"process_id\":" + number(processId);
  json += ",\"class\":" + jsonString(className(main));
  json += ",\"title\":" + jsonString(windowText(main));
  json += ",\"window_rect\":" + rectJson(windowRect);
  json += ",\"client_rect\":" + rectJson(clientRect);
  json += ",\"client_origin\":{\"x\":" + number(clientOrigin.x) + ",\"y\":" +
          number(clientOrigin.y) + "}";
  json += ",\"screen\":{\"width\":" + number(GetSystemMetrics(SM_CXSCREEN)) +
          ",\"height\":" + number(GetSystemMetrics(SM_CYSCREEN)) + "}";
  json += ",\"style\":" + number(static_cast<DWORD>(GetWindowLongW(main, GWL_STYLE)));
  json += ",\"exstyle\":" + number(static_cast<DWORD>(GetWindowLongW(main, GWL_EXSTYLE)));
  json += ",\"visible\":" + boolJson(IsWindowVisible(main) != FALSE);
  json += ",\"enabled\":" + boolJson(IsWindowEnabled(main) != FALSE);
  json += ",\"focus\":" + (haveGui ? windowIdentity(gui.hwndFocus) : std::string("null"));
  json += ",\"active\":" + (haveGui ? windowIdentity(gui.hwndActive) : std::string("null"));
  json += ",\"foreground\":" + windowIdentity(GetForegroundWindow());

  ChildList list = {main, {}};
  EnumChildWindows(main, collectChild, reinterpret_cast<LPARAM>(&list));
  json += ",\"controls\":[";
  int zOrder = 0;
  for (HWND child : list.children) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
    if (zOrder > 0) json += ",";
    json += "{\"hwnd\":" + number(reinterpret_cast<LONG_PTR>(child));
    json += ",\"id\":" + number(GetDlgCtrlID(child));
    json += ",\"z_order\":" + number(zOrder++);
    json += ",\"class\":" + jsonString(className(child));
    json += "," + textFields(child);
    json += ",\"rect\":" + rectJson(r);
    json += ",\"style\":" + number(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)));
    json += ",\"exstyle\":" + number(static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE)));
    json += ",\"visible\":" + boolJson(IsWindowVisible(child) != FALSE);
    json += ",\"enabled\":" + boolJson(IsWindowEnabled(child) != FALSE);
    json += "}";
  }
  json += "]}\n";
  writeOut(json);
  return 0;
}

int holdFile(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    writeOut("error " + number(GetLastError()) + "\n");
    return 1;
  }
  writeOut("held\n");

  // Released by a line or the end of standard input; the time limit keeps a forgotten holder
  // from outliving its test by much.
  struct Waiter {
    static DWORD WINAPI readLine(void*) {
      char byte = 0;
      DWORD got = 0;
      HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
      while (ReadFile(in, &byte, 1, &got, nullptr) && got == 1 && byte != '\n') {
      }
      return 0;
    }
  };
  HANDLE reader = CreateThread(nullptr, 0, Waiter::readLine, nullptr, 0, nullptr);
  WaitForSingleObject(reader, 10 * 60 * 1000);
  CloseHandle(file);
  writeOut("released\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 1) return dumpMainWindow();
  if (argc == 3 && lstrcmpW(argv[1], L"hold") == 0) return holdFile(argv[2]);
  writeOut("usage: vq_window_probe.exe | vq_window_probe.exe hold PATH\n");
  return 2;
}
