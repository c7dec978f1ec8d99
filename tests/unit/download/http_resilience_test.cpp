// Servers that are correct but unusual, or that misbehave in ways the task
// can get around: every case that a correct server can complete must end
// byte-exact, and no byte may ever land at the wrong place.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

#include "runtime/download/messages.h"
#include "tests/support/download_fixture.h"

namespace tavrel::download {
namespace {

using testing::ContentReply;
using testing::Fmt;
using testing::HttpDownload;
using testing::HttpRequest;
using testing::LoopbackHttpServer;
using testing::ResponseHead;
using testing::ServerConnection;
using testing::TestContent;

constexpr std::size_t kSize = 1000000;  // five blocks of 200000 bytes

// A 206 answer for [first, end of content) with the fields as given.
std::string PartialHead(std::size_t first, std::size_t length, std::size_t total, std::string_view lengthName,
                        std::string_view rangeName, std::string_view blank) {
  return ResponseHead(206, std::string(lengthName) + ":" + std::string(blank) + std::to_string(length) + "\r\n" +
                               std::string(rangeName) + ":" + std::string(blank) + "bytes " + std::to_string(first) +
                               "-" + std::to_string(first + length - 1) + "/" + std::to_string(total) + "\r\n");
}

TEST_F(HttpDownload, HeaderNamesInAnyCaseWithAnyBlank) {
  struct Row {
    const char* lengthName;
    const char* rangeName;
    const char* blank;
  };
  const Row rows[] = {
      {"content-length", "content-range", " "},
      {"CONTENT-LENGTH", "CONTENT-RANGE", " "},
      {"Content-Length", "Content-Range", "\t"},
      {"cOnTeNt-LeNgTh", "cOnTeNt-RaNgE", "  \t "},
  };
  const std::string content = TestContent(kSize, 31);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lengthName);
    testing::DownloadRecorder recorder;
    Download download;
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      std::size_t first = static_cast<std::size_t>(r.RangeStart().value_or(0));
      std::string head =
          first == 0 ? ResponseHead(200, std::string(row.lengthName) + ":" + row.blank + std::to_string(kSize) + "\r\n")
                     : PartialHead(first, kSize - first, kSize, row.lengthName, row.rangeName, row.blank);
      if (c.Send(head)) c.Send(std::string_view(content).substr(first));
    });
    std::string path = folder_ + "case" + std::to_string(&row - rows);
    TaskParam p = Param(server.Url("/c.bin"), path);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(20000));
    EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(path), content)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(kSize));
  }
}

// Block answers that must not be stored: each server misbehaves once for the
// block at 400000, then answers soundly.
TEST_F(HttpDownload, WrongPartialAnswersWriteNothingAndTheBlockIsFetchedAgain) {
  struct Row {
    const char* name;
    std::int64_t shift;  // where the answer's bytes really start, against the asked position
    std::int64_t total;  // the total the answer announces
    std::string log;
  };
  const Row rows[] = {
      {"4096 early", -4096, kSize, Fmt(msg::kWrongRange, "bytes 395904-999999/1000000")},
      {"4096 late", 4096, kSize, Fmt(msg::kWrongRange, "bytes 404096-999999/1000000")},
      {"other total", 0, kSize + 10, Fmt(msg::kWrongRange, "bytes 400000-999999/1000010")},
  };
  const std::string content = TestContent(kSize, 37);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DownloadRecorder recorder;
    Download download;
    std::atomic<int> misbehaved{0};
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      if (r.RangeStart() == 400000 && misbehaved++ == 0) {
        std::size_t first = static_cast<std::size_t>(400000 + row.shift);
        // The bytes sent are the content's bytes from first, so a write at the
        // asked position would show in the file.
        std::string head = PartialHead(first, kSize - first, static_cast<std::size_t>(row.total), "Content-Length",
                                       "Content-Range", " ");
        if (c.Send(head)) c.Send(std::string_view(content).substr(first));
        return;
      }
      testing::ServeContent(content, r, c);
    });
    std::string path = folder_ + "wrong" + std::to_string(&row - rows);
    TaskParam p = Param(server.Url("/w.bin"), path);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(20000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << recorder.LogText();
    EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(path), content)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(kSize));
  }
}

// Connections that end early: each case must still finish byte-exact.
TEST_F(HttpDownload, EarlyClosesLeaveNoBlockBehind) {
  struct Row {
    const char* name;
    std::size_t sendBeforeClose;  // body bytes sent before the close
    bool everyBlock;              // every block's first answer, or only the one at 600000
  };
  const Row rows[] = {
      {"short 206 then close", 30000, false},
      {"close mid-body on every connection once", 50000, true},
      {"close after whole buffers on every connection once", 40960, true},
  };
  const std::string content = TestContent(kSize, 41);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DownloadRecorder recorder;
    Download download;
    std::mutex lock;
    std::set<std::int64_t> closedOnce;
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      std::int64_t first = r.RangeStart().value_or(0);
      bool cut = false;
      {
        std::lock_guard guard(lock);
        if ((row.everyBlock || first == 600000) && first % 200000 == 0 && !closedOnce.count(first)) {
          closedOnce.insert(first);
          cut = true;
        }
      }
      ContentReply reply = testing::ReplyFor(content, r);
      if (!c.Send(reply.head)) return;
      c.Send(cut ? std::string_view(reply.body).substr(0, row.sendBeforeClose) : std::string_view(reply.body));
    });
    std::string path = folder_ + "early" + std::to_string(&row - rows);
    TaskParam p = Param(server.Url("/e.bin"), path);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(20000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(path), content)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(kSize));
  }
}

TEST_F(HttpDownload, ServerIgnoringRangeIsReadAsOneStream) {
  const std::string content = TestContent(kSize, 43);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    HttpRequest whole = r;
    whole.raw.clear();  // no Range seen: always the whole file
    testing::ServeContent(content, whole, c);
  });
  Run(Param(server.Url("/i.bin"), folder_ + "i.bin"));
  ExpectComplete(folder_ + "i.bin", content);
  int fallbacks = 0;
  for (const auto& l : recorder_.Logs()) fallbacks += l.text == msg::kSingleStream;
  EXPECT_EQ(fallbacks, 1);
  // The first request and the block requests made before the server was
  // found out (the four of the plan, a split or two when the first
  // connection was quick); none after.
  EXPECT_LE(server.Requests().size(), 7u);
}

TEST_F(HttpDownload, StallingServerEndsWithinTheRetryLimit) {
  SetRetryLimit(2);
  const std::string content = TestContent(kSize, 47);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    ContentReply reply = testing::ReplyFor(content, r);
    if (c.Send(reply.head)) c.Send(std::string_view(reply.body).substr(0, 1000));
    c.WaitForClientClose(10000);  // then nothing more, ever
  });
  TaskParam p = Param(server.Url("/stall.bin"), folder_ + "stall.bin");
  p.receiveTimeoutMs = 100;
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartDownload(download_, p));
  ASSERT_TRUE(recorder_.WaitForEnd(20000)) << recorder_.LogText();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  SetRetryLimit(999);
  EXPECT_LT(*recorder_.EndedValue(), static_cast<std::int32_t>(kSize));
  EXPECT_TRUE(recorder_.HasLog(msg::kReceiveTimedOut, kLogError));
  EXPECT_GE(recorder_.Count(kWorkerFailed), 1);
}

TEST_F(HttpDownload, StopEndsAStalledTaskPromptly) {
  const std::string content = TestContent(kSize, 53);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    ContentReply reply = testing::ReplyFor(content, r);
    if (c.Send(reply.head)) c.Send(std::string_view(reply.body).substr(0, 1000));
    c.WaitForClientClose(10000);
  });
  TaskParam p = Param(server.Url("/stop.bin"), folder_ + "stop.bin");
  p.receiveTimeoutMs = 5000;
  p.stopWaitMs = 300;
  ASSERT_TRUE(StartDownload(download_, p));
  // Let every connection reach its stalled receive.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (recorder_.Count(kBlockBegun) < 5 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto stopped = std::chrono::steady_clock::now();
  StopDownload(download_);
  ASSERT_TRUE(recorder_.WaitForEnd(5000));
  // Within the stop wait, and well within one receive wait.
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(300 + 1000));
  EXPECT_EQ(testing::ReadWholeFile(folder_ + "stop.bin")->size(), kSize);
}

}  // namespace
}  // namespace tavrel::download
