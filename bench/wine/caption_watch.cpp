// Tells the benchmark the moment a control's text changes, from inside Wine:
//
//   vq_caption_watch.exe CLASS CONTROL_ID
//
// finds the top-level window of class CLASS and its child CONTROL_ID, prints "ready". Then, for
// each line read from standard input, it takes the control's text as it is, prints "armed", and
// asks again until the text differs, then prints "changed". It asks only between "armed" and
// "changed", so the program under test is left alone the rest of the time; while the program's
// window thread is busy the question waits, and is answered as soon as the thread is free.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool readText(HWND control, std::wstring& text) {
  wchar_t buffer[1024];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           60000, &length)) {
    return false;
  }
  text.assign(buffer, length);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vq_caption_watch CLASS CONTROL_ID\n");
    return 2;
  }
  HWND window = nullptr;
  for (int attempt = 0; attempt < 3000 && window == nullptr; ++attempt) {
    window = FindWindowW(argv[1], nullptr);
    if (window == nullptr) Sleep(10);
  }
  const HWND control = window != nullptr ? GetDlgItem(window, _wtoi(argv[2])) : nullptr;
  if (control == nullptr) {
    std::printf("error no such window or control\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    std::wstring before, now;
    if (!readText(control, before)) return 1;
    std::printf("armed\n");
    std::fflush(stdout);
    do {
      Sleep(1);
      if (!readText(control, now)) return 1;
    } while (now == before);
    std::printf("changed\n");
    std::fflush(stdout);
  }
  return 0;
}
