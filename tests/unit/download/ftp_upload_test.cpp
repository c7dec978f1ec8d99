// FTP uploads against a real FTP server (vsftpd) on loopback, and against a
// scripted one that refuses REST.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/download/messages.h"
#include "tests/support/download_fixture.h"
#include "tests/support/scripted_stream_server.h"
#include "tests/support/vsftpd_server.h"

namespace tavrel::download {
namespace {

using testing::StreamPeer;
using testing::TestContent;
using testing::VsftpdServer;

enum class FirstUpload { kBroken, kNeverRead };

// A server whose first upload goes wrong: broken after some bytes, or never
// read until the client gives up. It then reports what it holds, refuses
// REST and takes the rest with APPE.
void ServeWithoutRest(StreamPeer& control, int session, FirstUpload first, std::string& stored) {
  std::size_t consumed = 0;
  auto command = [&]() -> std::string {
    if (!control.ReadUntil([&](const std::string& r) { return r.find("\r\n", consumed) != std::string::npos; }))
      return "";
    std::size_t end = control.received.find("\r\n", consumed);
    std::string line = control.received.substr(consumed, end - consumed);
    consumed = end + 2;
    return line;
  };
  control.Send("220 ready\r\n");
  testing::sock::Handle listener = testing::sock::kInvalid;
  for (std::string line = command(); !line.empty(); line = command()) {
    std::string verb = line.substr(0, 4);
    if (verb == "USER") {
      control.Send("331 password\r\n");
    } else if (verb == "PASS") {
      control.Send("230 in\r\n");
    } else if (verb == "TYPE") {
      control.Send("200 type\r\n");
    } else if (verb == "SIZE") {
      control.Send("213 " + std::to_string(stored.size()) + "\r\n");
    } else if (verb == "REST") {
      control.Send("502 no restarts here\r\n");
    } else if (verb == "PASV") {
      std::uint16_t port = 0;
      listener = testing::sock::ListenLoopback(port);
      control.Send("227 passive (127,0,0,1," + std::to_string(port >> 8) + "," + std::to_string(port & 0xFF) + ")\r\n");
    } else if (verb == "STOR" || verb == "APPE") {
      control.Send("150 send\r\n");
      StreamPeer data(testing::sock::Accept(listener, 5000));
      testing::sock::Close(listener);
      if (session == 0 && first == FirstUpload::kNeverRead) {
        control.ReadUntil([](const std::string&) { return false; });  // until the client closes
        return;
      }
      if (session == 0) {
        data.ReadUntil([](const std::string& r) { return r.size() >= 50000; });
        stored = data.received;
        data.Abort();
        control.Abort();
        return;
      }
      data.WaitForClose();
      stored += data.received;
      data.Close();
      control.Send("226 stored\r\n");
    } else {
      control.Send("500 what\r\n");
    }
  }
}

using FtpScriptedUpload = testing::HttpDownload;

TEST_F(FtpScriptedUpload, SendsTheRestAfterAFailedSend) {
  struct Row {
    FirstUpload first;
    std::size_t size;  // more than loopback buffers hold, where the server never reads
    std::vector<std::pair<std::string, std::int32_t>> logs;
  };
  const Row rows[] = {
      {FirstUpload::kBroken, 300000, {{"APPE /a.bin", kLogRequest}}},
      {FirstUpload::kNeverRead, 16 << 20, {{msg::kWaitTimedOut, kLogError}, {msg::kSendFailed, kLogError}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    const std::string content = TestContent(row.size, 41);
    std::string stored;
    int session = 0;
    auto server = std::make_unique<testing::ScriptedStreamServer>(
        [&](StreamPeer& peer) { ServeWithoutRest(peer, session++, row.first, stored); }, 2);
    testing::WriteFile(folder_ + "a.local", content);
    TaskParam p = Param("ftp://127.0.0.1:" + std::to_string(server->Port()) + "/a.bin", folder_ + "a.local");
    p.mode = kModeDownload | kModeUpload;
    testing::DownloadRecorder recorder;
    Download download;
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(30000)) << recorder.LogText();
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    server.reset();
    EXPECT_TRUE(testing::SameBytes(stored, content)) << recorder.LogText();
    for (const auto& [text, level] : row.logs) EXPECT_TRUE(recorder.HasLog(text, level)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(row.size));
    EXPECT_EQ(recorder.DataReceivedSum(), static_cast<std::int64_t>(row.size));
  }
}

#ifndef _WIN32
std::uintmax_t FileSizeOr0(const std::string& path) {
  std::error_code error;
  auto size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

class FtpUpload : public testing::HttpDownload {
 protected:
  // vsftpd serves a root only its owner may write to; uploads go to up/,
  // which the anonymous user may write to.
  std::string ServedRoot() {
    namespace fs = std::filesystem;
    std::string root = testing::FreshTestFolder(std::string("served-") + Name());
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(root + "up");
    fs::permissions(root + "up", fs::perms::all);
    return root;
  }
  static std::string Name() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

  TaskParam UploadParam(const std::string& url, const std::string& localPath) {
    TaskParam p = Param(url, localPath, 5);
    p.mode = kModeDownload | kModeUpload;
    return p;
  }
};

TEST_F(FtpUpload, SendsTheFileWholeOrAfterABreak) {
  if (!testing::VsftpdAvailable()) GTEST_SKIP() << "vsftpd is not installed";
  struct Row {
    const char* name;
    bool passive;
    bool broken;  // the server's sessions are killed after the first bytes
    const char* request;
  };
  const Row rows[] = {{"pasv", true, false, "STOR /up/pasv.bin"},
                      {"port", false, false, "STOR /up/port.bin"},
                      {"broken", true, true, "REST "}};
  std::string root = ServedRoot();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    VsftpdServer server(root, row.passive, true);
    ASSERT_TRUE(server.Running());
    testing::DownloadRecorder recorder;
    Download download;
    const std::string content = TestContent(300000, 29);
    const std::string local = folder_ + row.name + ".local";
    testing::WriteFile(local, content);
    TaskParam p = UploadParam(server.Url(std::string("/up/") + row.name + ".bin"), local);
    if (row.broken) p.speedLimit = 100000;  // a third of the file a second
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    if (row.broken) {
      // The break comes once the server holds some of the file.
      const std::string stored = root + "up/" + row.name + ".bin";
      ASSERT_TRUE(recorder.WaitUntil([&] { return FileSizeOr0(stored) > 0; }, 10000)) << recorder.LogText();
      server.DropSessions();
    }
    ASSERT_TRUE(recorder.WaitForEnd(20000)) << recorder.LogText();
    EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(root + "up/" + row.name + ".bin"), content))
        << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), 300000);
    EXPECT_EQ(recorder.DataReceivedSum(), 300000);
    EXPECT_EQ(recorder.Count(kWorkerFailed), 0);
    bool requested = false;
    for (const auto& l : recorder.Logs())
      requested = requested || (l.level == kLogRequest && l.text.rfind(row.request, 0) == 0);
    EXPECT_TRUE(requested) << recorder.LogText();
    EXPECT_TRUE(WaitUntilIdle(download, 5000));
  }
}

TEST_F(FtpUpload, RefusalsEndTheTaskVisibly) {
  if (!testing::VsftpdAvailable()) GTEST_SKIP() << "vsftpd is not installed";
  std::string root = ServedRoot();
  VsftpdServer server(root, true, true);
  ASSERT_TRUE(server.Running());
  const std::string local = folder_ + "x.local";
  testing::WriteFile(local, TestContent(5000, 3));
  struct Row {
    std::string url, localPath, log;
  };
  const Row rows[] = {
      {server.Url("/none/x.bin"), local, FormatLine(msg::kFtpCommandFailed, "STOR", 553)},
      {server.Url("/up/y.bin"), folder_ + "missing",
       FormatLine(msg::kUploadSourceFailed, (folder_ + "missing").c_str())},
      {server.Url("/up/z.bin"), folder_, FormatLine(msg::kUploadSourceFailed, folder_.c_str())},
      {"http://127.0.0.1:9/up/x.bin", local, FormatLine(msg::kUnsupportedUpload, "http://127.0.0.1:9/up/x.bin")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.url);
    testing::DownloadRecorder recorder;
    Download download;
    TaskParam p = UploadParam(row.url, row.localPath);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(10000));
    EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << recorder.LogText();
    EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
    EXPECT_EQ(recorder.EndedValue(), 0);
  }
  // Nothing was stored on the server for a file that cannot be sent.
  EXPECT_EQ(testing::FilesIn(root + "up/"), 0u);
}

#endif

}  // namespace
}  // namespace tavrel::download
