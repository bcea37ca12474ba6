#include "app/application.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "collection/collection_state.h"
#include "collection/desktop.h"
#include "core/fatal_error.h"
#include "ui/main_window_template.h"

namespace vq {
namespace {

ProcessServices* process = nullptr;
WindowSystem* windows = nullptr;

// "载入启动窗口失败": failed to load the start-up window.
constinit const Text startupWindowFailed =
    Text::constant("\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC");

void uninitializeOleOnce() {
  ApplicationState& state = applicationState();
  if (state.oleInitialized) {
    process->uninitializeOle();
    state.oleInitialized = false;
  }
}

// After the box, the exit routines are dropped unrun: the state they release may be what failed.
class FatalPath final : public FatalErrorHandler {
 public:
  [[noreturn]] void terminate(const Text& boxText) override {
    process->showFatalErrorBox(boxText);
    applicationState().exitRoutines.clear();
    shutdownApplication();
    process->exitProcess(-1);
    std::abort();  // exitProcess does not return
  }
};

}  // namespace

ApplicationState& applicationState() {
  static ApplicationState state;
  return state;
}

void usePlatform(ProcessServices& processServices, WindowSystem& windowSystem) {
  process = &processServices;
  windows = &windowSystem;
}

std::int32_t startProgram() {
  initializeApplication();
  registerExitRoutine(releaseCollectionTexts);
  loadStartupWindow(mainWindowId);
  runMessageLoop();
  return 0;
}

void initializeApplication() {
  static FatalPath fatalPath;
  useFatalErrorHandler(fatalPath);
  useBlockHeap(process->processHeap());

  ApplicationState& state = applicationState();
  if (!state.oleInitialized) {
    process->initializeOle();
    state.oleInitialized = true;
  }
  state.runDirectory = directoryOf(process->executablePath());
  process->setCurrentDirectory(state.runDirectory);
  state.windowTemplates = windowTemplates();
}

void registerExitRoutine(ExitRoutine routine) {
  std::vector<ExitRoutine>& routines = applicationState().exitRoutines;
  if (std::find(routines.begin(), routines.end(), routine) == routines.end()) {
    routines.push_back(routine);
  }
}

void loadStartupWindow(std::uint32_t windowId) {
  const std::span<const WindowTemplate> templates = applicationState().windowTemplates;
  const auto found = std::find_if(templates.begin(), templates.end(),
                                  [windowId](const WindowTemplate& t) { return t.id == windowId; });
  if (found == templates.end() || !windows->loadWindow(*found)) {
    raiseFatalError(startupWindowFailed, 0);
  }
}

void runMessageLoop() {
  if (windows->anyWindowOpen()) windows->runEventLoop();
}

void shutdownApplication() {
  windows->destroyAllWindows();
  ApplicationState& state = applicationState();
  // Taken out of the record first, so that a routine cannot run twice whatever it calls.
  const std::vector<ExitRoutine> routines = std::exchange(state.exitRoutines, {});
  for (ExitRoutine routine : routines) routine();
  uninitializeOleOnce();
}

}  // namespace vq
