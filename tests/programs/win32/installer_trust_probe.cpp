// Runs the product's installer check over stand-in installers, in a process
// of its own so that it sees the trusted roots as they are now:
//   installer_trust_probe MODE SIGNER DIR RESULTS NAME...
// writes to RESULTS, for each DIR\NAME.exe, a line "NAME OUTCOME BOXES"
// followed by one line "FLAGS<tab>TITLE<tab>MESSAGE" per message box shown.
// MODE:
//   verdicts     the check alone: nothing started, removed or shown
//   start        starting it as the progress timer does; message boxes are
//                recorded and answered OK at once
//   start-shown  the same with real message boxes (BOXES is then 0)
//   install-button
//                DIR is the program's directory: selects JDK 11.0.9, clicks
//                the install button and ticks the timer until it stops, as
//                the window would; one line "button CAPTION BOXES" with the
//                percentage caption (or "still-ticking")
// SIGNER: "settings" the signer this program was built to expect (the
// loopback settings' one, which the stand-ins' good leaf names), "product"
// the product's default signer, "gbk" a name with Chinese characters (the
// gbk-name leaf's), "empty" an empty expected signer.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
#include "app/installer_download.h"
#include "app/main_window_ids.h"
#include "app/installer_trust.h"
#include "app/settings.h"
#include "app/win32/held_installer.h"
#include "runtime/win32/wide.h"
#include "tests/support/installer_check_names.h"

using namespace tavrel;

namespace {

// The program's directory is the test's folder, so the download lands there.
class FolderShell final : public ShellHost {
 public:
  explicit FolderShell(Text dir) : dir_(std::move(dir)) {}
  Text ExecutableDirectory() override { return dir_; }
  bool StartProcess(const Text& line, std::int32_t show, bool wait) override {
    return platform::DefaultShellHost().StartProcess(line, show, wait);
  }
  void OpenWithShell(const Text&) override {}

 private:
  Text dir_;
};

std::string ClickInstall(app::headless::HeadlessWindow& window, const Text& dir) {
  FolderShell shell(dir);
  g_shellHostSeam.Install(&shell);
  app::CreateProgramState();
  window.Create(false);
  window.ComboInsertItem(app::kMainWindow, app::ctl::kReleaseBox, 0, "Java 8u271", 0);
  window.ComboInsertItem(app::kMainWindow, app::ctl::kReleaseBox, 1, "Java 11.0.9", 0);
  window.SelectItem(app::ctl::kReleaseBox, 1);
  window.Click(app::ctl::kInstallButton);
  bool ticking = true;
  for (int waited = 0; waited < 60000 && (ticking = window.Tick(app::ctl::kTimer)); waited += 50) ::Sleep(50);
  std::string caption = ticking ? "still-ticking" : window.Caption(app::ctl::kPercentLabel);
  app::ReleaseProgramState(0);
  g_shellHostSeam.Install(nullptr);
  return caption;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  std::string mode = argv[1], which = argv[2], dir = argv[3];
  FILE* results = std::fopen(argv[4], "wb");
  if (!results) return 3;
  // The same name as the script's gbk-name leaf carries.
  constexpr char kGbkSigner[] = "Tavrel 测试签名, Inc.";
  TextView signer = which == "settings"  ? TextView(app::InstallerSigner())
                    : which == "product" ? TextView("Oracle America, Inc.")
                    : which == "gbk"     ? TextView(kGbkSigner)
                                         : TextView();
  app::headless::HeadlessWindow recorder;
  if (mode != "start-shown") recorder.Install();
  auto report = [&](const std::string& name, const std::string& outcome) {
    auto boxes = recorder.MessageBoxes();
    recorder.ClearMessageBoxes();
    std::fprintf(results, "%s %s %zu\n", name.c_str(), outcome.c_str(), boxes.size());
    for (const auto& box : boxes)
      std::fprintf(results, "%u\t%s\t%s\n", box.flags, box.title.c_str(), box.message.c_str());
    std::fflush(results);
  };
  if (mode == "install-button") report("button", ClickInstall(recorder, dir));
  for (int i = 5; i < argc; ++i) {
    Text path = dir + "\\" + argv[i] + ".exe";
    std::string outcome;
    if (mode == "verdicts") {
      app::HeldInstaller installer(win32::WideFromAnsi(path));
      outcome = testing::NameOf(installer.Verify(win32::WideFromGbk(signer)));
    } else if (mode == "start" || mode == "start-shown") {
      // The program's own entry point when its built-in signer is asked for.
      outcome = testing::NameOf(which == "settings" ? app::StartVerifiedInstaller(path)
                                                    : app::StartVerifiedInstaller(path, signer));
    } else {
      outcome = "no-such-mode";
    }
    report(argv[i], outcome);
  }
  std::fclose(results);
  return 0;
}
