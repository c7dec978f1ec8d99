// The download's file: created new, given its whole size on disk before any
// byte is written, mapped whole; a file that cannot get its size is not left
// behind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "runtime/download/platform.h"
#include "tests/support/loopback_http_server.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace tavrel::download::platform {
namespace {

TEST(MappedFile, CreatedNewWithItsWholeSizeAndWrittenThroughTheMapping) {
  std::string folder = testing::FreshTestFolder("mapped-file");
  for (std::int32_t size : {0, 1, 4096, 20480, 1000001}) {
    std::string path = folder + "f" + std::to_string(size);
    {
      MappedFile f = MappedFile::CreateNew(path, size);
      ASSERT_TRUE(f.IsOpen()) << size;
      EXPECT_EQ(f.Size(), size);
      EXPECT_EQ(FileSize(path), size);  // the size is there before any write
      if (size > 0) {
        ASSERT_NE(f.Data(), nullptr);
        f.Data()[size - 1] = 'z';
        f.Data()[0] = 'a';
      }
      MappedFile moved = std::move(f);
      EXPECT_FALSE(f.IsOpen());
      EXPECT_TRUE(moved.IsOpen());
    }  // unmapped and closed here
    auto bytes = testing::ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), static_cast<std::size_t>(size));
    if (size > 0) {
      EXPECT_EQ(bytes->front(), 'a');
      EXPECT_EQ(bytes->back(), size > 1 ? 'z' : 'a');
      if (size > 2) {
        EXPECT_EQ((*bytes)[size / 2], '\0');
      }
    }
  }
  // An existing file is never opened again, nor changed.
  std::ofstream(std::filesystem::path(folder + "taken")) << "keep";
  EXPECT_FALSE(MappedFile::CreateNew(folder + "taken", 100).IsOpen());
  EXPECT_EQ(testing::ReadWholeFile(folder + "taken"), "keep");
  // A missing folder or a negative size fails, creating nothing.
  EXPECT_FALSE(MappedFile::CreateNew(folder + "missing" + folder.back() + "f", 10).IsOpen());
  EXPECT_FALSE(MappedFile::CreateNew(folder + "negative", -1).IsOpen());
  EXPECT_FALSE(PathExists(folder + "negative"));
  EXPECT_TRUE(RemoveFile(folder + "taken"));
  EXPECT_FALSE(PathExists(folder + "taken"));
}

#ifndef _WIN32
// 0 when a file under the limit is made and one over it fails and is gone.
int CreateUnderAndOverAFileSizeLimit(const std::string& folder) {
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{1 << 20, 1 << 20};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  bool small = MappedFile::CreateNew(folder + "small", 1 << 19).IsOpen();
  bool large = MappedFile::CreateNew(folder + "large", 8 << 20).IsOpen();
  return small && !large && !PathExists(folder + "large") ? 0 : 1;
}

// A disk that cannot hold the file: here a file-size limit of 1 MiB, which
// makes the system refuse the space exactly as a full disk does.
TEST(MappedFileDeathTest, NoRoomOnDiskIsACreationFailureThatLeavesNoFile) {
  std::string folder = testing::FreshTestFolder("mapped-file-full");
  EXPECT_EXIT(std::_Exit(CreateUnderAndOverAFileSizeLimit(folder)), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tavrel::download::platform
