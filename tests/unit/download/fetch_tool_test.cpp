// tavrel-fetch, the host build's command over the download service.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/loopback_http_server.h"
#include "tests/support/test_paths.h"

namespace tavrel::testing {
namespace {

struct FetchRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

FetchRun Fetch(const std::string& arguments) {
  FetchRun run;
  std::string command = BinaryDir() + "/tavrel-fetch " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(FetchTool, ExitsZeroOnlyWhenEveryByteIsStored) {
  const std::string content = TestContent(300000, 29);
  LoopbackHttpServer server([&](const HttpRequest& r, ServerConnection& c) {
    if (r.target == "/missing.bin")
      c.Send(ResponseHead(404, "Content-Length: 0\r\n"));
    else if (r.target == "/short.bin" && r.RangeStart())
      c.Send(ResponseHead(403, "Content-Length: 0\r\n"));  // blocks refused: the task cannot finish
    else if (r.target == "/whole.bin")
      ServeContent(content, HttpRequest{}, c);  // Range ignored: always the whole file
    else
      ServeContent(content, r, c);
  });
  std::string folder = FreshTestFolder("fetch-tool");
  std::ofstream(folder + "taken.bin") << "already here";
  struct Row {
    std::string arguments;
    int exitCode;
    std::string output;  // a piece the output must hold
    std::string file;    // a file that must hold the content, "" none
  };
  const Row rows[] = {
      {server.Url("/a.bin") + " " + folder + "a.bin", 0, "", "a.bin"},
      {"--connections 1 " + server.Url("/b.bin") + " " + folder + "b.bin", 0, "", "b.bin"},
      {server.Url("/dir/named.bin") + " " + folder, 0, "", "named.bin"},
      {server.Url("/whole.bin") + " " + folder + "whole.bin", 0, "", "whole.bin"},
      {server.Url("/missing.bin") + " " + folder + "m.bin", 1, Utf8(u8"出现错误"), ""},
      {server.Url("/short.bin") + " " + folder + "s.bin", 1, "incomplete", ""},
      {server.Url("/a.bin") + " " + folder + "taken.bin", 1, "exists already", ""},
      {"https://127.0.0.1/x " + folder + "x.bin", 1, "cannot start", ""},
      {"--connections 0 " + server.Url("/a.bin") + " " + folder + "c.bin", 2, "usage", ""},
      {server.Url("/a.bin"), 2, "usage", ""},
  };
  for (const Row& row : rows) {
    FetchRun run = Fetch(row.arguments);
    EXPECT_EQ(run.exitCode, row.exitCode) << row.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(row.output), std::string::npos) << row.arguments << "\n" << run.output;
    if (!row.file.empty()) {
      EXPECT_EQ(ReadWholeFile(folder + row.file), content) << row.arguments;
    }
  }
  EXPECT_EQ(ReadWholeFile(folder + "taken.bin"), "already here");
}

}  // namespace
}  // namespace tavrel::testing
#endif
