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
// SIGNER: "settings" the signer this program was built to expect (the
// loopback settings' one, which the stand-ins' good leaf names), "product"
// the product's default signer, "gbk" a name with Chinese characters (the
// gbk-name leaf's), "empty" an empty expected signer.
#include <cstdio>
#include <string>

#include "app/headless/headless_window.h"
#include "app/installer_trust.h"
#include "app/settings.h"
#include "app/win32/held_installer.h"
#include "runtime/win32/wide.h"
#include "tests/support/installer_check_names.h"

int main(int argc, char** argv) {
  using namespace tavrel;
  if (argc < 5) return 2;
  std::string mode = argv[1], which = argv[2], dir = argv[3];
  FILE* results = std::fopen(argv[4], "wb");
  if (!results) return 3;
  // The same name as the script's gbk-name leaf carries.
  constexpr char kGbkSigner[] = "Tavrel 测试签名, Inc.";
  TextView signer = which == "settings" ? TextView(app::InstallerSigner())
                    : which == "product" ? TextView("Oracle America, Inc.")
                    : which == "gbk"     ? TextView(kGbkSigner)
                                         : TextView();
  app::headless::HeadlessWindow recorder;
  if (mode != "start-shown") recorder.Install();
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
    auto boxes = recorder.MessageBoxes();
    recorder.ClearMessageBoxes();
    std::fprintf(results, "%s %s %zu\n", argv[i], outcome.c_str(), boxes.size());
    for (const auto& box : boxes)
      std::fprintf(results, "%u\t%s\t%s\n", box.flags, box.title.c_str(), box.message.c_str());
    std::fflush(results);
  }
  std::fclose(results);
  return 0;
}
