// Servers that are correct but unusual, or that misbehave in ways the task
// can get around: every case that a correct server can complete must end
// byte-exact, and no byte may ever land at the wrong place.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "runtime/download/block_plan.h"
#include "runtime/download/platform.h"

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

#ifdef _WIN32
constexpr int kConnectionReset = 10054;  // WSAECONNRESET
constexpr bool kUnderWine = true;        // the Windows suites run only there
#else
constexpr int kConnectionReset = ECONNRESET;
constexpr bool kUnderWine = false;
#endif

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

// Block answers whose bytes cannot be placed for certain: the block
// connection that meets one fails at once and stores nothing, and the block
// is fetched by a connection that works. The server misbehaves once, for
// the block at 400000, and answers the others only once that connection has
// gone, so that they are still working when its block comes free.
TEST_F(HttpDownload, BlockAnswersThatCannotBePlacedStoreNothing) {
  struct Row {
    const char* name;
    std::string head;  // the answer for the block at 400000
    std::size_t from;  // the content's offset its body starts at
    std::string log;
  };
  const std::string etag = "ETag: \"v1\"\r\n";
  const Row rows[] = {
      {"4096 early", PartialHead(395904, kSize - 395904, kSize, "Content-Length", "Content-Range", " "), 395904,
       Fmt(msg::kWrongRange, "bytes 395904-999999/1000000")},
      {"4096 late", PartialHead(404096, kSize - 404096, kSize, "Content-Length", "Content-Range", " "), 404096,
       Fmt(msg::kWrongRange, "bytes 404096-999999/1000000")},
      {"other total", PartialHead(400000, kSize - 400000, kSize + 10, "Content-Length", "Content-Range", " "), 400000,
       Fmt(msg::kWrongRange, "bytes 400000-999999/1000010")},
      {"length beyond the range",
       ResponseHead(206, "Content-Length: 600000\r\nContent-Range: bytes 400000-400099/1000000\r\n"), 400000,
       Fmt(msg::kWrongRange, "bytes 400000-400099/1000000")},
      {"chunked", ResponseHead(206, "Transfer-Encoding: chunked\r\nContent-Range: bytes 400000-999999/1000000\r\n"),
       400000, msg::kNoFileSize},
      {"error page", ResponseHead(200, "Content-Length: 600000\r\n" + etag), 0, msg::kServerError},
      {"another version", ResponseHead(200, "Content-Length: 1000000\r\nETag: \"v2\"\r\n"), 0, msg::kServerError},
      {"another version's range",
       ResponseHead(206, "Content-Length: 600000\r\nContent-Range: bytes 400000-999999/1000000\r\nETag: \"v2\"\r\n"),
       400000, msg::kServerError},
  };
  const std::string content = TestContent(kSize, 37);
  const std::string other = TestContent(kSize, 38);  // what a wrong write would leave
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DownloadRecorder recorder;
    Download download;
    std::mutex lock;
    std::condition_variable gone;
    bool badDone = false;
    std::atomic<int> misbehaved{0};
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      if (r.RangeStart() == 400000 && misbehaved++ == 0) {
        if (c.Send(row.head)) c.Send(std::string_view(other).substr(row.from));
        c.WaitForClientClose(10000);
        std::lock_guard guard(lock);
        badDone = true;
        gone.notify_all();
        return;
      }
      ContentReply reply = testing::ReplyFor(content, r, etag);
      if (!c.Send(reply.head)) return;
      std::unique_lock guard(lock);
      gone.wait_for(guard, std::chrono::seconds(10), [&] { return badDone; });
      guard.unlock();
      c.Send(reply.body);
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
    EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
    EXPECT_FALSE(recorder.HasLog(Fmt(msg::kRetryAfter, 0), kLogProgress)) << "a header failure is not retried";
  }
}

// Failures read from a block answer's header end that connection at once:
// no retries, no new connection for its block; the task ends as soon as no
// connection is left, with block 0 (the first answer's) stored.
TEST_F(HttpDownload, HeaderFailuresEndABlockConnectionAtOnce) {
  testing::ScopedRetrySettings retries(20, 20);
  struct Row {
    const char* name;
    std::string answer;
    std::string log;
  };
  const Row rows[] = {
      {"503", ResponseHead(503, "Content-Length: 0\r\n"), Fmt(msg::kUnsupportedStatus, 503)},
      {"302", ResponseHead(302, "Location: /elsewhere\r\nContent-Length: 0\r\n"), Fmt(msg::kUnsupportedStatus, 302)},
      {"header too long", ResponseHead(206, "X-Filler: " + std::string(4100, 'f') + "\r\n"), msg::kHeaderTooLong},
  };
  const std::string content = TestContent(kSize, 39);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::DownloadRecorder recorder;
    Download download;
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      if (r.RangeStart())
        c.Send(row.answer);
      else
        testing::ServeContent(content, r, c);
    });
    TaskParam p = Param(server.Url("/h.bin"), folder_ + "header" + std::to_string(&row - rows));
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(20000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), 200000);
    // The first request, one per block connection, and at most one more by
    // the first connection for a block the others let go.
    EXPECT_LE(server.Requests().size(), 6u);
  }
}

// Connections that end early: each case must still finish byte-exact.
TEST_F(HttpDownload, EarlyClosesLeaveNoBlockBehind) {
  struct Row {
    const char* name;
    std::size_t sendBeforeClose;  // body bytes sent before the close
    bool everyBlock;              // every block's first answer, or only the one at 600000
    bool reset = false;           // the cut is a reset, not a close
  };
  const Row rows[] = {
      {"short 206 then close", 30000, false},
      {"close mid-body on every connection once", 50000, true},
      {"close after whole buffers on every connection once", 40960, true},
      {"reset mid-body", 50000, false, true},
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
      if (cut && row.reset) c.Abort();
    });
    std::string path = folder_ + "early" + std::to_string(&row - rows);
    TaskParam p = Param(server.Url("/e.bin"), path);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(20000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(path), content)) << recorder.LogText();
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(kSize));
    // A failed receive is told by the system's own text for its code (Wine
    // reports this reset as an orderly close).
    if (row.reset && !kUnderWine) {
      EXPECT_TRUE(recorder.HasLog(platform::ErrorText(kConnectionReset), kLogError)) << recorder.LogText();
    }
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
  testing::ScopedRetrySettings retries(20, 2);
  const std::string content = TestContent(kSize, 47);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    ContentReply reply = testing::ReplyFor(content, r);
    if (c.Send(reply.head)) c.Send(std::string_view(reply.body).substr(0, 1000));
    c.WaitForClientClose(10000);  // then nothing more, ever
  });
  TaskParam p = Param(server.Url("/stall.bin"), folder_ + "stall.bin");
  p.receiveTimeoutMs = 100;
  ASSERT_TRUE(StartDownload(download_, p));
  ASSERT_TRUE(recorder_.WaitForEnd(20000)) << recorder_.LogText();
  EXPECT_LT(*recorder_.EndedValue(), static_cast<std::int32_t>(kSize));
  EXPECT_TRUE(recorder_.HasLog(msg::kReceiveTimedOut, kLogError));
  EXPECT_GE(recorder_.Count(kWorkerFailed), 1);
}

// A stop ends receives that would otherwise wait far longer than the test:
// each connection stores what it received and the task ends. Each sends
// one whole buffer, whose store is the event that it arrived.
TEST_F(HttpDownload, StopEndsStalledReceives) {
  const std::string content = TestContent(kSize, 53);
  constexpr std::int32_t kSent = kBufferBytes;
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    ContentReply reply = testing::ReplyFor(content, r);
    if (c.Send(reply.head)) c.Send(std::string_view(reply.body).substr(0, kSent));
    c.WaitForClientClose(60000);
  });
  TaskParam p = Param(server.Url("/stop.bin"), folder_ + "stop.bin");
  p.receiveTimeoutMs = 60000;
  p.stopWaitMs = 300;
  p.readChunk = kSent;
  ASSERT_TRUE(StartDownload(download_, p));
  ASSERT_TRUE(recorder_.WaitUntil([&] { return recorder_.DataReceivedSum() >= 5 * kSent; }, 20000));
  StopDownload(download_);
  ASSERT_TRUE(recorder_.WaitForEnd(30000));
  EXPECT_FALSE(recorder_.HasLog(msg::kReceiveTimedOut, kLogError));
  EXPECT_EQ(recorder_.EndedValue(), 5 * kSent);
  EXPECT_EQ(testing::ReadWholeFile(folder_ + "stop.bin")->size(), kSize);
}

}  // namespace
}  // namespace tavrel::download
