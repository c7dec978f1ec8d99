// The fixture of the download service's end-to-end tests: a download, a
// recorder of its routines, a fresh folder, short time limits.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "runtime/download/download.h"
#include "runtime/download/log_text.h"
#include "tests/support/download_recorder.h"
#include "tests/support/loopback_http_server.h"

namespace tavrel::testing {

using namespace tavrel::download;

inline std::string Fmt(const char* format, int n) { return FormatLine(format, n); }
inline std::string Fmt(const char* format, const std::string& s) { return FormatLine(format, s.c_str()); }

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

inline std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(std::filesystem::path(folder))) ++n;
  return n;
}

// Compares a file read back with the expected bytes; on a difference tells
// the sizes and the first differing offset instead of both contents.
inline ::testing::AssertionResult SameBytes(const std::optional<std::string>& actual, const std::string& expected) {
  if (!actual) return ::testing::AssertionFailure() << "the file cannot be read";
  if (*actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual->size() && at < expected.size() && (*actual)[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "file of " << actual->size() << " bytes, expected " << expected.size()
                                       << "; first difference at " << at;
}

// The service's retry pause and limit for one test, as it was afterwards.
class ScopedRetrySettings {
 public:
  explicit ScopedRetrySettings(std::int32_t delayMs, std::int32_t limit = RetryLimit())
      : delayMs_(RetryDelayMs()), limit_(RetryLimit()) {
    SetRetryDelayMs(delayMs);
    SetRetryLimit(limit);
  }
  ~ScopedRetrySettings() {
    SetRetryDelayMs(delayMs_);
    SetRetryLimit(limit_);
  }
  ScopedRetrySettings(const ScopedRetrySettings&) = delete;
  ScopedRetrySettings& operator=(const ScopedRetrySettings&) = delete;

 private:
  std::int32_t delayMs_, limit_;
};

class HttpDownload : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = FreshTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
  void TearDown() override {
    StopDownload(download_);
    EXPECT_TRUE(WaitUntilIdle(download_, 10000));
  }

  TaskParam Param(const std::string& url, const std::string& localPath, std::int32_t connections = 5) {
    // The program's settings with shorter waits, so that failing rows end soon.
    TaskParam p = InteractiveTaskParam(url, localPath, connections);
    p.connectTimeoutMs = 2000;
    p.sendTimeoutMs = 2000;
    p.receiveTimeoutMs = 3000;
    recorder_.Attach(p, &download_);
    return p;
  }

  void Run(const TaskParam& p) {
    ASSERT_TRUE(StartDownload(download_, p));
    ASSERT_TRUE(recorder_.WaitForEnd(20000)) << recorder_.LogText();
    ASSERT_TRUE(WaitUntilIdle(download_, 5000));
  }

  // The task ended with every byte stored, the file equal to the content.
  void ExpectComplete(const std::string& path, const std::string& content) {
    auto file = ReadWholeFile(path);
    ASSERT_TRUE(file) << path << "\n" << recorder_.LogText();
    EXPECT_TRUE(SameBytes(file, content)) << recorder_.LogText();
    EXPECT_EQ(recorder_.EndedValue(), static_cast<std::int32_t>(content.size()));
    EXPECT_EQ(recorder_.DataReceivedSum(), static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(recorder_.Count(kTransferStarted), 1);
    auto codes = recorder_.Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.back(), kTaskEnded);
    EXPECT_EQ(recorder_.Count(kTaskEnded), 1);
    // The snapshot taken for the last DataReceived counts every byte.
    if (!content.empty()) {
      EXPECT_EQ(recorder_.LargestSnapshotDone(), static_cast<std::int32_t>(content.size()));
    }
  }

  // The task failed before any byte: the log line, one failed worker, no data.
  void ExpectFailedWith(const std::string& text) {
    EXPECT_TRUE(recorder_.HasLog(text, kLogError)) << text << "\n" << recorder_.LogText();
    EXPECT_EQ(recorder_.Count(kTransferStarted), 0);
    EXPECT_EQ(recorder_.Count(kWorkerFailed), 1);
    EXPECT_EQ(recorder_.Count(kDataReceived), 0);
    EXPECT_EQ(recorder_.EndedValue(), 0);
    EXPECT_EQ(recorder_.Codes().back(), kTaskEnded);
  }

  ScopedRetrySettings retries_{20};
  DownloadRecorder recorder_;  // outlives the download, whose routines use it
  Download download_;
  std::string folder_;
};

}  // namespace tavrel::testing
