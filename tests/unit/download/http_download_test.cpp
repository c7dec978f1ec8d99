// The download service end to end over loopback, against a server that
// answers each request as the case scripts it. Every case ends with the file
// byte-exact or with a visible failure: the right log line and events.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <thread>

#include "runtime/download/download.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/resolver.h"
#include "tests/support/download_fixture.h"
#include "tests/support/download_recorder.h"
#include "tests/support/loopback_http_server.h"

namespace tavrel::download {
namespace {

using testing::DownloadRecorder;
using testing::FilesIn;
using testing::Fmt;
using testing::HttpDownload;
using testing::HttpRequest;
using testing::LoopbackHttpServer;
using testing::ResponseHead;
using testing::ServerConnection;
using testing::TestContent;
using testing::WriteFile;

TEST_F(HttpDownload, FiveConnectionsStoreEveryByteInPlace) {
  const std::string content = TestContent(1000001);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c); });
  ASSERT_TRUE(server.Listening());
  std::string path = folder_ + "file.bin";
  Run(Param(server.Url("/dir/file.bin"), path));
  ExpectComplete(path, content);

  // Five connections, or one more when a connection finished its block
  // before the last one was opened and that one took half of a block.
  auto requests = server.Requests();
  ASSERT_GE(requests.size(), 5u);
  std::string host = "127.0.0.1:" + std::to_string(server.Port());
  EXPECT_EQ(requests[0].raw,
            "GET /dir/file.bin HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "Accept: */*\r\n"
                "Referer: http://" +
                host +
                "/dir\r\n"
                "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                "Pragma: no-cache\r\n"
                "Cache-Control: no-cache\r\n"
                "Connection: close\r\n"
                "\r\n");
  std::vector<std::string> ranges;
  for (std::size_t i = 1; i < requests.size(); ++i) ranges.push_back(requests[i].Header("Range"));
  for (const char* start : {"bytes=200000-", "bytes=400000-", "bytes=600000-", "bytes=800000-"})
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), start), ranges.end()) << start;
  const std::int32_t connections = recorder_.Count(kWorkerStarted);
  EXPECT_GE(connections, 5);
  EXPECT_LE(connections, 6);

  // Each connection: started, began its block, received, succeeded, in order.
  auto events = recorder_.Events();
  for (std::int32_t connection = 1; connection <= connections; ++connection) {
    std::vector<std::int32_t> codes;
    for (const auto& e : events)
      if (e.connection == connection && e.code != kDataReceived) codes.push_back(e.code);
    ASSERT_GE(codes.size(), 3u) << connection;
    EXPECT_EQ(codes.front(), kWorkerStarted) << connection;
    EXPECT_EQ(codes.back(), kWorkerSucceeded) << connection;
    if (connection == 1) {
      EXPECT_EQ(codes[1], kTransferStarted);
      EXPECT_EQ(codes[2], kBlockBegun);
    } else {
      EXPECT_EQ(codes[1], kBlockBegun) << connection;
    }
  }
  auto begun = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.code == kBlockBegun; });
  ASSERT_NE(begun, events.end());
  EXPECT_EQ(begun->value3, 0);
  EXPECT_EQ(begun->value4, 200000);
  auto started = std::find_if(events.begin(), events.end(), [](const auto& e) { return e.code == kTransferStarted; });
  EXPECT_EQ(started->value3, 1000001);

  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kResolving, "127.0.0.1"), kLogProgress));
  EXPECT_TRUE(recorder_.HasLog(FormatLine(msg::kConnected, "127.0.0.1", server.Port()), kLogProgress));
  EXPECT_TRUE(recorder_.HasLog(FormatLine(msg::kBlockConnected, "127.0.0.1", server.Port()), kLogProgress));
  auto logs = recorder_.Logs();
  ASSERT_FALSE(logs.empty());
  EXPECT_NE(logs.front().time.find("年"), std::string::npos);
  EXPECT_NE(logs.front().time.find("日"), std::string::npos);
}

TEST_F(HttpDownload, SmallFilesUseOneConnectionAndEmptyFilesAreCreated) {
  struct Row {
    std::size_t size;
    std::int32_t connections;
  };
  for (const Row& row : {Row{10000, 5}, Row{0, 5}, Row{4095, 3}, Row{30000, 1}}) {
    SCOPED_TRACE(row.size);
    DownloadRecorder recorder;
    Download download;
    const std::string content = TestContent(row.size, 7);
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c); });
    std::string path = folder_ + "small" + std::to_string(row.size);
    TaskParam p = Param(server.Url("/s"), path, row.connections);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(10000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(testing::ReadWholeFile(path), content);
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(row.size));
    EXPECT_EQ(recorder.Count(kWorkerSucceeded), 1);
  }
}

// First answers that end the task before a byte is stored.
TEST_F(HttpDownload, FirstAnswersThatFailTheTask) {
  struct Row {
    const char* name;
    std::string answer;
    std::string log;
  };
  std::string longPath(1101, 'p');
  longPath[0] = '/';
  const Row rows[] = {
      {"no length", ResponseHead(200) + "body", msg::kNoFileSize},
      {"chunked", ResponseHead(200, "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n") + "5\r\nhello\r\n0\r\n\r\n",
       msg::kNoFileSize},
      {"2 GiB", ResponseHead(200, "Content-Length: 2147483648\r\n"), msg::kNoFileSize},
      {"negative", ResponseHead(200, "Content-Length: -5\r\n"), msg::kNoFileSize},
      {"huge", ResponseHead(200, "Content-Length: 99999999999999999999\r\n"), msg::kNoFileSize},
      {"206 unknown total", ResponseHead(206, "Content-Range: bytes 0-9/*\r\n"), msg::kNoFileSize},
      {"400", ResponseHead(400, "Content-Length: 0\r\n"), msg::kServerError},
      {"403", ResponseHead(403, "Content-Length: 0\r\n"), msg::kServerError},
      {"404", ResponseHead(404, "Content-Length: 0\r\n"), msg::kServerError},
      {"500", ResponseHead(500, "Content-Length: 0\r\n"), Fmt(msg::kUnsupportedStatus, 500)},
      {"304", ResponseHead(304), Fmt(msg::kUnsupportedStatus, 304)},
      {"garbled status", "HTTP/1.1 OK\r\n\r\n", Fmt(msg::kUnsupportedStatus, -1)},
      {"302 without Location", ResponseHead(302), msg::kNoRedirectTarget},
      {"ftp Location", ResponseHead(302, "Location: ftp://127.0.0.1/f.bin\r\n"), msg::kBadRedirect},
      {"https Location", ResponseHead(301, "Location: https://127.0.0.1/f.bin\r\n"), msg::kBadRedirect},
      {"Location too long", ResponseHead(302, "Location: " + longPath + "\r\n"), msg::kBadRedirect},
      {"cookie too long", ResponseHead(302, "Set-Cookie: c=" + std::string(4085, 'x') + "\r\nLocation: /next\r\n"),
       msg::kHeaderTooLong},
      // A bare line break would start a header line of the server's choosing.
      {"cookie with a line break", ResponseHead(302, "Set-Cookie: a=b\nX-Injected: 1\r\nLocation: /next\r\n"),
       msg::kBadRedirect},
      {"cookie makes request too long",
       ResponseHead(302, "Set-Cookie: c=" + std::string(1000, 'x') + "; Path=/\r\nLocation: /next\r\n"),
       msg::kBadRedirect},
      {"header too long", ResponseHead(200, "X-Filler: " + std::string(4100, 'f') + "\r\nContent-Length: 5\r\n"),
       msg::kHeaderTooLong},
      {"206 elsewhere", ResponseHead(206, "Content-Range: bytes 100-199/1000\r\nContent-Length: 100\r\n"),
       Fmt(msg::kWrongRange, "bytes 100-199/1000")},
      {"device name", ResponseHead(200, "Content-Length: 5\r\nContent-Disposition: attachment; filename=CON\r\n"),
       msg::kCreateFileFailed},
      {"colon in name",
       ResponseHead(200, "Content-Length: 5\r\nContent-Disposition: attachment; filename=\"a:b.exe\"\r\n"),
       msg::kCreateFileFailed},
      {"dot dot", ResponseHead(200, "Content-Length: 5\r\nContent-Disposition: attachment; filename=\"..\"\r\n"),
       msg::kCreateFileFailed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DownloadRecorder recorder;
    Download download;
    std::string folder = testing::FreshTestFolder(std::string("first-answer-") + std::to_string(&row - rows));
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
      if (r.target == "/next") {
        testing::ServeContent("never", r, c);
        return;
      }
      c.Send(row.answer);
    });
    TaskParam p = Param(server.Url("/f.bin"), folder);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(10000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << row.log << "\n" << recorder.LogText();
    EXPECT_EQ(recorder.Count(kTransferStarted), 0);
    EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
    EXPECT_EQ(recorder.EndedValue(), 0);
    EXPECT_EQ(recorder.Codes().back(), kTaskEnded);
    EXPECT_EQ(FilesIn(folder), 0u) << "nothing may be written";
    // Failures read from a header are not retried.
    EXPECT_LE(server.Requests().size(), 2u);
  }
}

TEST_F(HttpDownload, RedirectLoopEndsAfterTwentyRedirections) {
  LoopbackHttpServer server([&](const HttpRequest&, ServerConnection& c) {
    c.Send(ResponseHead(302, "Location: /loop\r\nContent-Length: 0\r\n"));
  });
  Run(Param(server.Url("/start"), folder_));
  ExpectFailedWith(msg::kBadRedirect);
  EXPECT_EQ(server.Requests().size(), 21u);  // the first request and 20 redirections
  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kRedirectedTo, "/loop"), kLogProgress));
}

TEST_F(HttpDownload, RedirectsToAnotherHostCarryCookieAndReferer) {
  const std::string content = TestContent(300000, 3);
  LoopbackHttpServer final([&](const HttpRequest& r, ServerConnection& c) {
    if (r.target == "/files/b.bin")
      c.Send(ResponseHead(301, "Location: /final/c.bin\r\nContent-Length: 0\r\n"));
    else
      testing::ServeContent(content, r, c);
  });
  std::string finalHost = "localhost:" + std::to_string(final.Port());
  LoopbackHttpServer first([&](const HttpRequest&, ServerConnection& c) {
    c.Send(ResponseHead(302, "Set-Cookie: sid=42; Path=/; HttpOnly\r\nLocation: http://" + finalHost +
                                 "/files/b.bin\r\nContent-Length: 0\r\n"));
  });
  std::string path = folder_ + "c.bin";
  Run(Param(first.Url("/a.bin"), path, 3));
  ExpectComplete(path, content);

  auto requests = final.Requests();
  ASSERT_GE(requests.size(), 4u);  // one more when a block was split
  EXPECT_EQ(requests[0].target, "/files/b.bin");
  EXPECT_EQ(requests[0].Header("Host"), finalHost);
  EXPECT_EQ(requests[0].Header("Cookie"), "sid=42");
  EXPECT_EQ(requests[0].Header("Referer"), "http://" + finalHost + "/files");
  EXPECT_EQ(requests[1].target, "/final/c.bin");
  EXPECT_EQ(requests[1].Header("Cookie"), "sid=42");
  EXPECT_EQ(requests[1].Header("Referer"), "http://" + finalHost + "/final");
  EXPECT_EQ(requests[1].Header("Range"), "");
  for (std::size_t i = 2; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].target, "/final/c.bin");
    EXPECT_NE(requests[i].Header("Range"), "");
    EXPECT_EQ(requests[i].Header("Cookie"), "");  // the range line takes its place
    EXPECT_EQ(requests[i].Header("Referer"), "http://" + finalHost + "/final");
  }
  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kRedirectedTo, "http://" + finalHost + "/files/b.bin"), kLogProgress));
  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kRedirectedTo, "/final/c.bin"), kLogProgress));
}

TEST_F(HttpDownload, SpacesInThePathAreSentEncodedAndNameTheFile) {
  const std::string content = TestContent(5000, 9);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c); });
  Run(Param(server.Url("/my dir/a b.bin"), folder_));
  ExpectComplete(folder_ + "a b.bin", content);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].target, "/my%20dir/a%20b.bin");
}

TEST_F(HttpDownload, ServerChosenNamesAreReducedToTheFolder) {
  struct Row {
    const char* path;
    std::string fields;
    const char* stored;
  };
  const Row rows[] = {
      {"/x.bin", "Content-Disposition: attachment; filename=\"../../escape.bin\"\r\n", "escape.bin"},
      {"/x.bin", "Content-Disposition: attachment; filename=\"..\\\\up.bin\"\r\n", "up.bin"},
      {"/..%2F..%2Fencoded.bin", "", "encoded.bin"},
      {"/dir/plain.bin?x=1", "", "plain.bin"},
  };
  const std::string content = TestContent(3000, 5);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    DownloadRecorder recorder;
    Download download;
    std::string root = testing::FreshTestFolder(std::string("names-") + std::to_string(&row - rows));
    std::string folder = root + "inner";
    std::filesystem::create_directories(std::filesystem::path(folder));
    folder += root.back();
    LoopbackHttpServer server(
        [&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c, row.fields); });
    TaskParam p = Param(server.Url(row.path), folder);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(10000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    EXPECT_EQ(testing::ReadWholeFile(folder + row.stored), content) << recorder.LogText();
    EXPECT_EQ(FilesIn(root), 1u) << "only the inner folder may be in the root";
  }
}

TEST_F(HttpDownload, ExistingFileAnswers) {
  struct Row {
    const char* name;
    std::vector<std::string> existing;  // files present before the start
    std::string target;                 // the local file asked for
    std::int32_t answer;
    std::string stored;  // where the data lands; "" none
    std::string log;
    std::int32_t level;
    bool stop = false;  // the caller stops the task before answering
  };
  const Row rows[] = {
      {"rename", {"f.bin", "f(1).bin"}, "f.bin", kRenameItself, "f(2).bin", msg::kAutoRenamed, kLogProgress},
      {"raise counter", {"g(3).bin"}, "g(3).bin", kRenameItself, "g(4).bin", msg::kAutoRenamed, kLogProgress},
      {"abandon", {"h.bin"}, "h.bin", kAbandon, "", msg::kUserAbandoned, kLogError},
      {"caller renamed", {"k.bin"}, "k.bin", kNameChanged, "chosen.bin", msg::kUserRenamed, kLogProgress},
      {"other answer", {"m.bin"}, "m.bin", 7, "", "", kLogError},
      // A stop while the caller is asked: nothing is made, whatever the answer.
      {"stopped while asked", {"q.bin"}, "q.bin", kRenameItself, "", "", kLogError, true},
  };
  const std::string content = TestContent(50000, 11);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DownloadRecorder recorder;
    Download download;
    std::string folder = testing::FreshTestFolder(std::string("exists-") + row.name);
    for (const auto& f : row.existing) WriteFile(folder + f, "old contents of " + f);
    std::int32_t askedSize = -1, askedTotal = -1;
    recorder.onFileExists = [&](std::int32_t size, std::int32_t total, TaskRef task) {
      askedSize = size;
      askedTotal = total;
      if (row.answer == kNameChanged) {
        EXPECT_TRUE(ChangeTaskFileName(task, folder + "chosen.bin"));
      }
      if (row.stop) StopDownload(download);
      return row.answer;
    };
    LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c); });
    TaskParam p = Param(server.Url("/x.bin"), folder + row.target, 2);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    ASSERT_TRUE(recorder.WaitForEnd(10000));
    ASSERT_TRUE(WaitUntilIdle(download, 5000));

    EXPECT_EQ(askedSize, static_cast<std::int32_t>(("old contents of " + row.target).size()));
    EXPECT_EQ(askedTotal, 50000);
    for (const auto& f : row.existing) EXPECT_EQ(testing::ReadWholeFile(folder + f), "old contents of " + f);
    if (!row.stored.empty()) {
      EXPECT_EQ(testing::ReadWholeFile(folder + row.stored), content) << recorder.LogText();
      EXPECT_EQ(recorder.EndedValue(), 50000);
      std::string named = row.log == msg::kAutoRenamed || row.log == msg::kUserRenamed
                              ? FormatLine(row.log.c_str(), (folder + row.stored).c_str())
                              : row.log;
      EXPECT_TRUE(recorder.HasLog(named, row.level)) << recorder.LogText();
    } else {
      EXPECT_EQ(FilesIn(folder), row.existing.size());
      EXPECT_EQ(recorder.EndedValue(), 0);
      EXPECT_EQ(recorder.Count(kTransferStarted), 0);
      EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
      EXPECT_EQ(server.Requests().size(), 1u);
      if (!row.log.empty()) {
        EXPECT_TRUE(recorder.HasLog(row.log, row.level)) << recorder.LogText();
      } else {
        for (const auto& l : recorder.Logs()) EXPECT_NE(l.level, kLogError) << l.text;
      }
    }
  }
}

TEST_F(HttpDownload, ExistingNameExhaustsTheRenames) {
  WriteFile(folder_ + "n.bin", "x");
  for (int i = 1; i <= 99; ++i) WriteFile(folder_ + "n(" + std::to_string(i) + ").bin", "x");
  recorder_.onFileExists = [](std::int32_t, std::int32_t, TaskRef) { return kRenameItself; };
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent("data", r, c); });
  Run(Param(server.Url("/n.bin"), folder_ + "n.bin"));
  ExpectFailedWith(msg::kTooManyRenames);
  EXPECT_EQ(FilesIn(folder_), 100u);
}

TEST_F(HttpDownload, MissingFolderIsACreationFailure) {
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent("data", r, c); });
  Run(Param(server.Url("/d.bin"), folder_ + "missing" + folder_.back() + "d.bin"));
  ExpectFailedWith(msg::kCreateFileFailed);
}

TEST_F(HttpDownload, ProxyRequestForm) {
  const std::string content = TestContent(100000, 13);
  LoopbackHttpServer proxy([&](const HttpRequest& r, ServerConnection& c) { testing::ServeContent(content, r, c); });
  TaskParam p = Param("http://files.invalid:88/pub/x y.bin", folder_ + "x.bin", 3);
  p.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  Run(p);
  ExpectComplete(folder_ + "x.bin", content);
  auto requests = proxy.Requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[0].raw,
            "GET http://files.invalid:88/pub/x%20y.bin HTTP/1.1\r\n"
            "Host: files.invalid:88\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "\r\n");
  for (std::size_t i = 1; i < requests.size(); ++i) EXPECT_NE(requests[i].Header("Range"), "");
  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kResolvingProxy, "127.0.0.1"), kLogProgress));
  EXPECT_TRUE(recorder_.HasLog(FormatLine(msg::kConnectingProxy, "127.0.0.1", proxy.Port()), kLogProgress));
}

TEST_F(HttpDownload, CloseAfterWholeBuffersIsRetriedFromTheStoredPosition) {
  const std::string content = TestContent(1000000, 17);
  std::atomic<int> served{0};
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    if (r.RangeStart() == 400000 && served++ == 0) {
      auto reply = testing::ReplyFor(content, r);
      c.Send(reply.head);
      c.Send(std::string_view(reply.body).substr(0, 2 * 20480));
      return;  // closes with nothing held by the client: a failed receive
    }
    testing::ServeContent(content, r, c);
  });
  TaskParam p = Param(server.Url("/r.bin"), folder_ + "r.bin");
  p.readChunk = 20480;  // a buffer of 20480 bytes: two of them are stored before the close
  Run(p);
  ExpectComplete(folder_ + "r.bin", content);
  std::vector<std::string> ranges;
  for (const auto& r : server.Requests()) ranges.push_back(r.Header("Range"));
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), "bytes=440960-"), ranges.end());
  EXPECT_TRUE(recorder_.HasLog(msg::kReceiveFailed, kLogError));
  EXPECT_TRUE(recorder_.HasLog(Fmt(msg::kRetryAfter, 0), kLogProgress));
}

TEST_F(HttpDownload, StallLongerThanTheReceiveTimeIsRetried) {
  const std::string content = TestContent(1000000, 19);
  std::atomic<int> stalls{0};
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    if (r.RangeStart() == 600000 && stalls++ == 0) {
      auto reply = testing::ReplyFor(content, r);
      c.Send(reply.head);
      c.Send(std::string_view(reply.body).substr(0, 30000));
      c.WaitForClientClose(5000);  // says nothing more until the client gives up
      return;
    }
    testing::ServeContent(content, r, c);
  });
  TaskParam p = Param(server.Url("/s.bin"), folder_ + "s.bin");
  p.receiveTimeoutMs = 300;
  Run(p);
  ExpectComplete(folder_ + "s.bin", content);
  EXPECT_TRUE(recorder_.HasLog(msg::kReceiveTimedOut, kLogError));
  std::vector<std::string> ranges;
  for (const auto& r : server.Requests()) ranges.push_back(r.Header("Range"));
  EXPECT_NE(std::find(ranges.begin(), ranges.end(), "bytes=630000-"), ranges.end());
}

TEST_F(HttpDownload, StopMidTransferKeepsTheFullSizeAndReportsBytesStored) {
  const std::string content = TestContent(2000000, 23);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    auto reply = testing::ReplyFor(content, r);
    if (c.Send(reply.head)) c.SendPaced(reply.body, 8192, 5);
  });
  std::string path = folder_ + "stop.bin";
  ASSERT_TRUE(StartDownload(download_, Param(server.Url("/stop.bin"), path, 3)));
  ASSERT_TRUE(recorder_.WaitUntil([&] { return recorder_.LargestSnapshotDone() >= 100000; }, 20000));
  const std::int32_t done = recorder_.LargestSnapshotDone();
  StopDownload(download_);
  ByteSet after;
  EXPECT_FALSE(GetTaskSnapshot(download_, after));  // idle at once
  EXPECT_EQ(ReadTransferCounter(download_), 0);
  ASSERT_TRUE(recorder_.WaitForEnd(5000));
  ASSERT_TRUE(WaitUntilIdle(download_, 5000));

  auto stored = recorder_.EndedValue();
  ASSERT_TRUE(stored);
  EXPECT_GE(*stored, done);
  EXPECT_LT(*stored, 2000000);
  auto file = testing::ReadWholeFile(path);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->size(), content.size());
  // Every byte is the content's or still zero, and at least the count
  // reported holds the content's bytes.
  std::size_t same = 0;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if ((*file)[i] == content[i])
      ++same;
    else
      ASSERT_EQ((*file)[i], '\0') << "byte " << i;
  }
  EXPECT_GE(same, static_cast<std::size_t>(*stored));
  EXPECT_EQ(recorder_.Codes().back(), kTaskEnded);
}

TEST_F(HttpDownload, StartRefusals) {
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    auto reply = testing::ReplyFor(TestContent(500000), r);
    if (c.Send(reply.head)) c.SendPaced(reply.body, 4096, 5);
  });
  for (const char* bad : {"", "https://127.0.0.1/x", "http://127.0.0.1", "http:///x", "file:///etc/passwd"})
    EXPECT_FALSE(StartDownload(download_, Param(bad, folder_ + "x"))) << bad;
  ASSERT_TRUE(StartDownload(download_, Param(server.Url("/busy.bin"), folder_ + "busy.bin")));
  EXPECT_FALSE(StartDownload(download_, Param(server.Url("/other.bin"), folder_ + "other.bin")));
  StopDownload(download_);
  // Idle again at once: a new task may start while the old one winds down.
  DownloadRecorder second;
  TaskParam p = Param(server.Url("/again.bin"), folder_ + "again.bin", 1);
  second.Attach(p, &download_);
  EXPECT_TRUE(StartDownload(download_, p));
  StopDownload(download_);
  EXPECT_TRUE(WaitUntilIdle(download_, 10000));
}

// A name lookup that never answers for one host, as a resolver whose server
// has gone; released when the test ends.
class SilentLookups {
 public:
  static constexpr char kHost[] = "silent.invalid";
  SilentLookups() { InstallResolver(&Lookup); }
  ~SilentLookups() {
    InstallResolver(nullptr);
    std::lock_guard guard(lock_);
    released_ = true;
    release_.notify_all();
  }

 private:
  static std::vector<platform::Endpoint> Lookup(const std::string& host, std::uint16_t port) {
    if (host != kHost) return platform::Resolve(host, port);
    std::unique_lock lock(lock_);
    release_.wait(lock, [] { return released_; });
    return {};
  }
  static inline std::mutex lock_;
  static inline std::condition_variable release_;
  static inline bool released_ = false;
};

TEST_F(HttpDownload, NameLookupEndsWithTheDeadlineOrTheStop) {
  testing::ScopedRetrySettings retries(20, 1);
  SilentLookups lookups;
  struct Row {
    const char* name;
    std::int32_t connectTimeoutMs;
    bool stop;
  };
  for (const Row& row : {Row{"deadline", 200, false}, Row{"stop", 600000, true}}) {
    SCOPED_TRACE(row.name);
    DownloadRecorder recorder;
    Download download;
    TaskParam p = Param(std::string("http://") + SilentLookups::kHost + "/f.bin", folder_ + row.name);
    p.connectTimeoutMs = row.connectTimeoutMs;
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    if (row.stop) {
      ASSERT_TRUE(recorder.WaitUntil(
          [&] { return recorder.HasLog(Fmt(msg::kResolving, SilentLookups::kHost), kLogProgress); }, 20000));
      StopDownload(download);
    }
    ASSERT_TRUE(recorder.WaitForEnd(20000)) << recorder.LogText();
    EXPECT_EQ(recorder.HasLog(Fmt(msg::kResolveFailed, SilentLookups::kHost), kLogError), !row.stop);
    EXPECT_EQ(recorder.EndedValue(), 0);
    EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
  }
}

}  // namespace
}  // namespace tavrel::download
