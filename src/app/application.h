#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/process_services.h"
#include "app/window_system.h"
#include "core/text.h"
#include "ui/window_template.h"

namespace vq {

using ExitRoutine = void (*)();

// The process record: one per process, alive until it ends.
struct ApplicationState {
  Text runDirectory;
  std::span<const WindowTemplate> windowTemplates;
  std::vector<ExitRoutine> exitRoutines;  // run in this order at a normal end; none twice
  bool oleInitialized = false;
};

ApplicationState& applicationState();

// The platform the process runs on; given by the process entry before startProgram.
void usePlatform(ProcessServices& process, WindowSystem& windows);

// The program's start routine: start-up, the main window, the event loop. Returns 0.
std::int32_t startProgram();

// Chooses the heap, initialises OLE, finds the run directory and makes it current, reads the
// window templates and routes the fatal path through the platform.
void initializeApplication();
void registerExitRoutine(ExitRoutine routine);
// Creates and shows the window of the template `windowId`; a failure is fatal.
void loadStartupWindow(std::uint32_t windowId);
// Returns when the quit request is taken, or at once when no window is open.
void runMessageLoop();
// Destroys what is left of the windows, runs the exit routines once and uninitialises OLE. A second
// call finds nothing left to do.
void shutdownApplication();

}  // namespace vq
