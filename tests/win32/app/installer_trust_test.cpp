#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless/headless_window.h"
#include "app/installer_trust.h"
#include "app/settings.h"
#include "app/win32/held_installer.h"
#include "runtime/win32/wide.h"
#include "tests/support/installer_check_names.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/test_paths.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/dialog_watcher.h"
#include "tests/support/win32/test_root_store.h"

namespace tavrel::app {
namespace {

using testing::NameOf;
using V = InstallerVerdict;

// Where the build put the test PKI and the stand-in installers.
std::string TrustDir() {
  std::string path = "Z:" TAVREL_BINARY_DIR "/tests/trust";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Built by appending: GCC 12 misreads "\"" + text + "\"" as an overlap.
std::string Quoted(const std::string& text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh folder, a blank in its name, holding copies of stand-in
// installers; removed with all it holds at the end.
class InstallerFolder {
 public:
  explicit InstallerFolder(const std::vector<std::string>& names)
      : path_(testing::TempPath("trust folder " + std::to_string(++count_))) {
    ::CreateDirectoryA(path_.c_str(), nullptr);
    for (const std::string& name : names)
      copied_ =
          ::CopyFileA((TrustDir() + "\\installers\\" + name + ".exe").c_str(), File(name).c_str(), FALSE) && copied_;
  }
  ~InstallerFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string file = path_ + "\\" + found.cFileName;
        // A started stand-in may still be ending.
        for (int i = 0; i < 50 && Exists(file) && !::DeleteFileA(file.c_str()); ++i) ::Sleep(20);
      } while (::FindNextFileA(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryA(path_.c_str());
  }
  InstallerFolder(const InstallerFolder&) = delete;
  InstallerFolder& operator=(const InstallerFolder&) = delete;

  bool Copied() const { return copied_; }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name + ".exe"; }
  bool Has(const std::string& name) const { return Exists(File(name)); }
  // The command line the stand-in saw, once it has run; empty if it never ran.
  std::string StartedWith(const std::string& name, DWORD waitMs) const {
    std::string marker = File(name) + ".started";
    for (DWORD waited = 0; !Exists(marker) && waited < waitMs; waited += 20) ::Sleep(20);
    for (int i = 0; i < 50; ++i) {  // written, but maybe not yet closed
      std::string text = ReadFile(marker);
      if (!text.empty() || !Exists(marker)) return text;
      ::Sleep(20);
    }
    return {};
  }

 private:
  static inline int count_ = 0;
  std::string path_;
  bool copied_ = true;
};

struct ProbeBox {
  std::uint32_t flags;
  std::string title;
  std::string message;
};
struct ProbeOutcome {
  std::string outcome;
  std::vector<ProbeBox> boxes;
};
struct ProbeRun {
  std::map<std::string, ProbeOutcome> files;
  std::vector<testing::SeenDialog> dialogs;  // real message boxes seen
  bool ended = false;
};

// Runs the product's check in a process of its own, which sees the trusted
// roots as they are now; answers and records its real message boxes.
ProbeRun RunProbe(const std::string& mode, const std::string& signer, const std::string& dir,
                  const std::vector<std::string>& names) {
  std::string results = testing::TempPath("probe-" + mode + ".txt");
  ::DeleteFileA(results.c_str());
  std::string line = Quoted(testing::TestProgram("installer_trust_probe"));
  for (const std::string& arg : {mode, signer, Quoted(dir), Quoted(results)}) line += " " + arg;
  for (const std::string& name : names) line += " " + name;
  ProbeRun run;
  testing::ChildProcess probe(line);
  if (!probe.Valid()) return run;
  {
    testing::DialogWatcher watcher(probe.Id());
    auto code = probe.Wait(90000);
    if (!code) probe.Kill();
    run.ended = code == 0u;
    run.dialogs = watcher.Seen();
  }
  std::istringstream text(ReadFile(results));
  std::string name;
  for (ProbeOutcome file; text >> name >> file.outcome;) {
    std::size_t count = 0;
    text >> count;
    text.ignore(1);
    for (std::string boxLine; count > 0 && std::getline(text, boxLine); --count) {
      std::size_t tab1 = boxLine.find('\t'), tab2 = boxLine.find('\t', tab1 + 1);
      if (tab2 == std::string::npos) break;
      file.boxes.push_back({static_cast<std::uint32_t>(std::stoul(boxLine.substr(0, tab1))),
                            boxLine.substr(tab1 + 1, tab2 - tab1 - 1), boxLine.substr(tab2 + 1)});
    }
    run.files[name] = std::move(file);
    file = {};
  }
  ::DeleteFileA(results.c_str());
  return run;
}

// Every stand-in installer and what the check must find, with the test root
// trusted and without it.
struct MatrixRow {
  const char* file;
  V trusted;
  V untrusted;
};
constexpr MatrixRow kMatrix[] = {
    {"good", V::Genuine, V::UntrustedChain},
    {"unsigned", V::Unsigned, V::Unsigned},
    {"code-changed", V::BadSignature, V::BadSignature},
    {"overlay-changed", V::BadSignature, V::BadSignature},
    {"data-appended", V::Unsigned, V::Unsigned},
    {"other-signer", V::WrongSigner, V::UntrustedChain},
    {"near-miss", V::WrongSigner, V::UntrustedChain},
    {"case-differs", V::WrongSigner, V::UntrustedChain},
    {"organisation-only", V::WrongSigner, V::UntrustedChain},
    {"common-name-only", V::WrongSigner, V::UntrustedChain},
    {"gbk-name", V::WrongSigner, V::UntrustedChain},
    {"server-auth-only", V::NotForCodeSigning, V::UntrustedChain},
    {"no-usage-list", V::NotForCodeSigning, V::UntrustedChain},
    {"expired", V::UntrustedChain, V::UntrustedChain},
    {"impostor", V::UntrustedChain, V::UntrustedChain},
};

std::vector<std::string> MatrixFiles() {
  std::vector<std::string> names;
  for (const MatrixRow& row : kMatrix) names.push_back(row.file);
  return names;
}

class InstallerTrustMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lock_.Held());
    root_ = testing::ReadCertificate(TrustDir() + "\\root.cer");
    ASSERT_FALSE(root_.empty()) << "the build makes the test PKI in " << TrustDir();
    ASSERT_TRUE(testing::EnsureRootNotTrusted(root_));
  }
  void TearDown() override { testing::EnsureRootNotTrusted(root_); }

  // Starts every file of the matrix through the product's check and
  // expects only those marked genuine to start, the rest to be refused,
  // removed and reported once each.
  void ExpectOnlyGenuineStart(bool rootTrusted) {
    InstallerFolder folder(MatrixFiles());
    ASSERT_TRUE(folder.Copied());
    ProbeRun run = RunProbe("start", "settings", folder.Path(), MatrixFiles());
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.dialogs.empty());
    for (const MatrixRow& row : kMatrix) {
      SCOPED_TRACE(row.file);
      const ProbeOutcome& file = run.files[row.file];
      if ((rootTrusted ? row.trusted : row.untrusted) == V::Genuine) {
        EXPECT_EQ(file.outcome, NameOf(InstallerCheck::Started));
        EXPECT_TRUE(file.boxes.empty());
        EXPECT_TRUE(folder.Has(row.file));
        EXPECT_EQ(folder.StartedWith(row.file, 5000), Quoted(folder.File(row.file)));
      } else {
        EXPECT_EQ(file.outcome, NameOf(InstallerCheck::Refused));
        EXPECT_FALSE(folder.Has(row.file));
        EXPECT_EQ(folder.StartedWith(row.file, 0), "");
        ASSERT_EQ(file.boxes.size(), 1u);
        EXPECT_EQ(file.boxes[0].flags, 16u | MB_TASKMODAL);
        EXPECT_EQ(file.boxes[0].title, "信息：");
        EXPECT_EQ(file.boxes[0].message, "安装程序签名校验失败，未启动");
      }
    }
  }

  void ExpectVerdicts(bool rootTrusted) {
    InstallerFolder folder(MatrixFiles());
    ASSERT_TRUE(folder.Copied());
    ProbeRun run = RunProbe("verdicts", "settings", folder.Path(), MatrixFiles());
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.dialogs.empty());
    for (const MatrixRow& row : kMatrix) {
      EXPECT_EQ(run.files[row.file].outcome, NameOf(rootTrusted ? row.trusted : row.untrusted)) << row.file;
      EXPECT_TRUE(run.files[row.file].boxes.empty()) << row.file;
      EXPECT_TRUE(folder.Has(row.file)) << row.file;  // the check alone removes nothing
    }
  }

  testing::RootStoreLock lock_;
  std::vector<BYTE> root_;
};

TEST_F(InstallerTrustMatrix, WithTheRootTrustedEachFileFailsForItsOwnReason) {
  testing::TrustedRoot trusted(root_);
  ASSERT_TRUE(trusted.Trusted());
  ExpectVerdicts(true);
}

TEST_F(InstallerTrustMatrix, WithTheRootTrustedOnlyTheGenuineInstallerStarts) {
  testing::TrustedRoot trusted(root_);
  ASSERT_TRUE(trusted.Trusted());
  ExpectOnlyGenuineStart(true);
}

TEST_F(InstallerTrustMatrix, WithoutTheRootNoChainIsTrusted) { ExpectVerdicts(false); }

TEST_F(InstallerTrustMatrix, WithoutTheRootEveryInstallerIsRefusedRemovedAndReported) { ExpectOnlyGenuineStart(false); }

TEST_F(InstallerTrustMatrix, OnlyTheExpectedSignerIsAccepted) {
  testing::TrustedRoot trusted(root_);
  ASSERT_TRUE(trusted.Trusted());
  InstallerFolder folder({"good", "gbk-name"});
  ASSERT_TRUE(folder.Copied());
  // A name with Chinese characters matches only when the expected signer,
  // a GBK text, is read the same way as the certificate's; the product's
  // default signer is not the tests' one; an empty expected signer must not
  // match anything.
  struct Row {
    const char* signer;
    V good;
    V gbkName;
  };
  for (Row r : {Row{"gbk", V::WrongSigner, V::Genuine}, Row{"product", V::WrongSigner, V::WrongSigner},
                Row{"empty", V::WrongSigner, V::WrongSigner}}) {
    ProbeRun run = RunProbe("verdicts", r.signer, folder.Path(), {"good", "gbk-name"});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.files["good"].outcome, NameOf(r.good)) << r.signer;
    EXPECT_EQ(run.files["gbk-name"].outcome, NameOf(r.gbkName)) << r.signer;
  }
}

// The user sees the refusal in a real message box, and the file is gone by
// the time the box appears.
TEST_F(InstallerTrustMatrix, TheRefusalIsShownInAMessageBox) {
  testing::TrustedRoot trusted(root_);
  ASSERT_TRUE(trusted.Trusted());
  InstallerFolder folder({"impostor"});
  ASSERT_TRUE(folder.Copied());
  ProbeRun run = RunProbe("start-shown", "settings", folder.Path(), {"impostor"});
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.files["impostor"].outcome, NameOf(InstallerCheck::Refused));
  ASSERT_EQ(run.dialogs.size(), 1u);
  EXPECT_EQ(run.dialogs[0].title, L"信息：");
  EXPECT_EQ(run.dialogs[0].text, L"安装程序签名校验失败，未启动");
  EXPECT_FALSE(folder.Has("impostor"));
}

// The install button end to end: the installer comes from the download
// server, and at 100% only a genuine one is started; a tampered or foreign
// one is removed and reported.
TEST_F(InstallerTrustMatrix, TheInstallButtonStartsOnlyAGenuineDownload) {
  testing::TrustedRoot trusted(root_);
  ASSERT_TRUE(trusted.Trusted());
  struct Row {
    const char* served;
    bool starts;
  };
  for (Row r : {Row{"good", true}, Row{"overlay-changed", false}, Row{"other-signer", false}}) {
    SCOPED_TRACE(r.served);
    const std::string content = ReadFile(TrustDir() + "\\installers\\" + r.served + ".exe");
    ASSERT_FALSE(content.empty());
    testing::LoopbackHttpServer server(
        [&content](const testing::HttpRequest& request, testing::ServerConnection& connection) {
          testing::ServeContent(content, request, connection);
        });
    ASSERT_TRUE(server.Listening());
    testing::ChildPorts ports(server.Port(), 0);
    std::string runDir = testing::FreshTestFolder(std::string("install button ") + r.served);
    runDir.pop_back();
    ProbeRun run = RunProbe("install-button", "settings", runDir, {});
    ASSERT_TRUE(run.ended);
    const ProbeOutcome& button = run.files["button"];
    EXPECT_EQ(button.outcome, "100%");
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests()[0].target, "/jdk-11.0.9_windows-x64_bin.exe");

    std::string installer = runDir + "\\download\\jdk-11.0.9_windows-x64_bin.exe";
    std::string started;
    for (int i = 0; i < 250 && r.starts && (started = ReadFile(installer + ".started")).empty(); ++i) ::Sleep(20);
    if (r.starts) {
      EXPECT_TRUE(button.boxes.empty());
      EXPECT_EQ(started, Quoted(installer));
      EXPECT_TRUE(ReadFile(installer) == content) << "the genuine installer stays as it was served";
    } else {
      EXPECT_EQ(ReadFile(installer + ".started"), "");
      EXPECT_FALSE(Exists(installer));
      ASSERT_EQ(button.boxes.size(), 1u);
      EXPECT_EQ(button.boxes[0].flags, 16u | MB_TASKMODAL);
      EXPECT_EQ(button.boxes[0].message, "安装程序签名校验失败，未启动");
    }
  }
}

std::wstring Wide(const std::string& path) { return win32::WideFromAnsi(path); }

TEST(HeldInstaller, OthersMayOnlyReadTheFileWhileItIsHeld) {
  InstallerFolder folder({"unsigned", "good"});
  ASSERT_TRUE(folder.Copied());
  std::wstring path = Wide(folder.File("unsigned"));
  std::wstring other = Wide(folder.File("good"));
  std::wstring moved = Wide(folder.Path() + "\\moved.exe");
  auto openWith = [&path](DWORD access, DWORD share) {
    HANDLE h = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    return error;
  };
  auto result = [](BOOL ok) { return ok ? 0ul : ::GetLastError(); };
  struct Attempt {
    const char* what;
    std::function<DWORD()> attempt;
    DWORD whileHeld;
  };
  const Attempt attempts[] = {
      {"open for writing", [&] { return openWith(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE); }, 32},
      {"open for deleting", [&] { return openWith(DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE); },
       32},
      {"open for reading", [&] { return openWith(GENERIC_READ, FILE_SHARE_READ); }, 0},
      {"delete", [&] { return result(::DeleteFileW(path.c_str())); }, 32},
      {"rename away", [&] { return result(::MoveFileExW(path.c_str(), moved.c_str(), 0)); }, 32},
      {"copy over", [&] { return result(::CopyFileW(other.c_str(), path.c_str(), FALSE)); }, 32},
  };
  HeldInstaller held(path);
  ASSERT_TRUE(held.Held());
  for (const Attempt& a : attempts) EXPECT_EQ(a.attempt(), a.whileHeld) << a.what;
  EXPECT_TRUE(ReadFile(folder.File("unsigned")) == ReadFile(TrustDir() + "\\installers\\unsigned.exe"))
      << "the held file was changed";
  held.Release();
  EXPECT_EQ(attempts[0].attempt(), 0u) << "released";
  EXPECT_EQ(result(::DeleteFileW(path.c_str())), 0u) << "released";
}

TEST(HeldInstaller, StartsNothingThatWasNotFoundGenuine) {
  InstallerFolder folder({"unsigned"});
  ASSERT_TRUE(folder.Copied());
  HeldInstaller notChecked(Wide(folder.File("unsigned")));
  EXPECT_FALSE(notChecked.Start());
  HeldInstaller checked(Wide(folder.File("unsigned")));
  EXPECT_EQ(checked.Verify(win32::WideFromGbk(InstallerSigner())), V::Unsigned);
  EXPECT_FALSE(checked.Start());
  EXPECT_EQ(folder.StartedWith("unsigned", 300), "");
}

TEST(HeldInstaller, SaysWhyAFileCannotBeHeld) {
  InstallerFolder folder({"unsigned"});
  ASSERT_TRUE(folder.Copied());
  EXPECT_EQ(HeldInstaller(Wide(folder.Path() + "\\absent.exe")).OpenVerdict(), V::Missing);
  EXPECT_EQ(HeldInstaller(Wide(folder.Path() + "\\no folder\\absent.exe")).OpenVerdict(), V::Missing);
  EXPECT_EQ(HeldInstaller(Wide(folder.Path())).OpenVerdict(), V::Unreadable);  // a folder
  win32::UniqueFile writer(::CreateFileW(Wide(folder.File("unsigned")).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  HeldInstaller busy(Wide(folder.File("unsigned")));
  EXPECT_FALSE(busy.Held());
  EXPECT_EQ(busy.OpenVerdict(), V::Busy);
  EXPECT_EQ(busy.Verify(L"x"), V::Busy);
}

class StartVerifiedInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override { window_.Install(); }
  std::vector<headless::MessageBoxCall> Boxes() const { return window_.MessageBoxes(); }
  headless::HeadlessWindow window_;
};

// Right after the last bytes are counted the download may still hold the
// file for writing, through a handle or a mapped view; the check then waits
// for the next tick instead of refusing a file it could not read.
TEST_F(StartVerifiedInstallerTest, LeavesAFileAloneWhileItIsStillBeingWritten) {
  struct Writer {
    const char* how;
    bool mapped;
  };
  for (Writer w : {Writer{"handle", false}, Writer{"mapped view", true}}) {
    SCOPED_TRACE(w.how);
    InstallerFolder folder({"unsigned"});
    ASSERT_TRUE(folder.Copied());
    std::string path = folder.File("unsigned");
    win32::UniqueFile writer(
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    win32::UniqueKernelHandle mapping;
    win32::UniqueMappedView view;
    if (w.mapped) {
      mapping.Reset(::CreateFileMappingA(writer.Get(), nullptr, PAGE_READWRITE, 0, 0, nullptr));
      ASSERT_TRUE(mapping);
      view.Reset(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 0));
      ASSERT_TRUE(view);
      writer.Reset();
      mapping.Reset();
    }
    EXPECT_EQ(StartVerifiedInstaller(path, InstallerSigner()), InstallerCheck::Busy);
    EXPECT_TRUE(folder.Has("unsigned"));
    EXPECT_TRUE(Boxes().empty());
    writer.Reset();
    view.Reset();
    EXPECT_EQ(StartVerifiedInstaller(path, InstallerSigner()), InstallerCheck::Refused);
    EXPECT_FALSE(folder.Has("unsigned"));
    ASSERT_EQ(Boxes().size(), 1u);
    window_.ClearMessageBoxes();
  }
}

TEST_F(StartVerifiedInstallerTest, RefusesWithTheMessageAndFlagsOfAFailedCheck) {
  InstallerFolder folder({"code-changed"});
  ASSERT_TRUE(folder.Copied());
  EXPECT_EQ(StartVerifiedInstaller(folder.File("code-changed")), InstallerCheck::Refused);
  EXPECT_FALSE(folder.Has("code-changed"));
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message, "安装程序签名校验失败，未启动");
  EXPECT_EQ(boxes[0].flags, 16u | MB_TASKMODAL);
  EXPECT_EQ(boxes[0].title, "信息：");
  EXPECT_EQ(folder.StartedWith("code-changed", 0), "");
}

}  // namespace
}  // namespace tavrel::app
