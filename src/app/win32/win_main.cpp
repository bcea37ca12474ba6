#include <windows.h>

#include "app/application.h"
#include "app/win32/win32_process.h"
#include "collection/win32/win32_desktop.h"
#include "raffle/win32/wininet_client.h"
#include "ui/win32/win32_window_system.h"

// The process entry: the platform's pieces live for the whole run; the HTTP session is closed
// when `http` goes, after the exit routine has run.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  vq::win32::Win32Process process;
  vq::win32::Win32WindowSystem windows;
  vq::win32::WinInetClient http;
  vq::win32::Win32Desktop desktop(vq::applicationState().runDirectory);
  vq::usePlatform(process, windows);
  vq::useHttpClient(http);
  vq::useDesktop(desktop);

  const int exitCode = vq::startProgram();
  vq::shutdownApplication();
  return exitCode;
}
