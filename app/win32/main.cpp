// Tavrel's entry point: start the runtime, build the program-wide state and
// the main window, run until the window closes, then end the program.
#include <windows.h>

#include "app/installer_download.h"
#include "app/win32/main_window.h"
#include "runtime/controls.h"
#include "runtime/program_end.h"
#include "runtime/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tavrel::StartRuntime();
  tavrel::app::CreateProgramState();

  tavrel::app::win32::MainWindow window(tavrel::app::MainWindowDescription());
  tavrel::g_uiHostSeam.Install(&window);
  if (!window.Create(instance)) {
    tavrel::g_uiHostSeam.Install(nullptr);
    tavrel::ExitProgram(1);
  }
  window.RunMessageLoop();
  tavrel::g_uiHostSeam.Install(nullptr);
  tavrel::ExitProgram(0);
}
