// The POSIX platform on what a path can name besides a file: each kind must be told apart, and none
// may block (a FIFO without a writer blocks a plain open for ever).
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "runtime/arena.h"
#include "tests/support/failing_heap.h"

namespace {

struct Place {
  const char *fault;  // what would go wrong if the platform took it for a file
  std::string path;
  Status stamp, read;
};

TEST(PlatformPosix, WhatAPathNamesBesidesAFile) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "maneshade_platform_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string file = (dir / "ManeShade.ini").string();
  std::ofstream(file, std::ios::binary) << "[corvin]\nenabled = yes\n";
  std::string fifo = (dir / "fifo.ini").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string loop = (dir / "loop.ini").string();
  ASSERT_EQ(::symlink(loop.c_str(), loop.c_str()), 0);
  std::string socket_path = (dir / "socket.ini").string();
  int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);

  const Place places[] = {
      {"a file", file, STATUS_OK, STATUS_OK},
      {"a FIFO: opening it waits for a writer", fifo, status_fail(FAILURE_FILE_TIME, OS_NOT_A_FILE),
       status_fail(FAILURE_OPEN, OS_NOT_A_FILE)},
      {"a folder: read as an empty file, or called a permission problem", dir.string(),
       status_fail(FAILURE_FILE_TIME, OS_IS_A_FOLDER), status_fail(FAILURE_OPEN, OS_IS_A_FOLDER)},
      {"a link to itself: called \"Other\"", loop, status_fail(FAILURE_FILE_TIME, OS_SYMLINK_LOOP),
       status_fail(FAILURE_OPEN, OS_SYMLINK_LOOP)},
      {"nothing", (dir / "missing.ini").string(), status_fail(FAILURE_FILE_TIME, OS_FILE_NOT_FOUND),
       status_fail(FAILURE_OPEN, OS_FILE_NOT_FOUND)},
      {"a path with a NUL: names another file", file + std::string(1, '\0') + "x",
       status_fail(FAILURE_FILE_TIME, OS_INVALID_PATH), status_fail(FAILURE_OPEN, OS_INVALID_PATH)},
      {"a socket: called \"Other\" when opened", socket_path, status_fail(FAILURE_FILE_TIME, OS_NOT_A_FILE),
       status_fail(FAILURE_OPEN, OS_NOT_A_FILE)},
      {"a path through a file: called missing", file + "/x", status_fail(FAILURE_FILE_TIME, OS_PATH_NOT_FOUND),
       status_fail(FAILURE_OPEN, OS_PATH_NOT_FOUND)},
      {"a name too long: called \"Other\"", (dir / std::string(300, 'n')).string(),
       status_fail(FAILURE_FILE_TIME, OS_INVALID_PATH), status_fail(FAILURE_OPEN, OS_INVALID_PATH)},
  };
  Arena scratch{};
  for (const Place &p : places) {
    Result<File_Stamp> stamp = platform_file_stamp(&scratch, p.path);
    EXPECT_EQ(stamp.status(), p.stamp) << p.fault;
    Result<std::string_view> read = platform_read_file(&scratch, p.path, UINT64_MAX);
    EXPECT_EQ(read.status(), p.read) << p.fault;
  }
  EXPECT_EQ(platform_file_stamp(&scratch, file).value().size_bytes, 23u);
  // A bound on the read: a file past it is not read at all.
  EXPECT_EQ(platform_read_file(&scratch, file, 22).status(), status_fail(FAILURE_READ, OS_TOO_LARGE));
  Result<std::string_view> exact = platform_read_file(&scratch, file, 23);
  ASSERT_TRUE(exact.ok());
  EXPECT_EQ(exact.value(), "[corvin]\nenabled = yes\n");
  arena_destroy(&scratch);

  // No room for the path, or for the bytes after it: out of memory, not a file that is missing.
  {
    Failing_Heap_Scope no_heap(0);
    EXPECT_EQ(platform_file_stamp(&scratch, file).status().failure, FAILURE_OUT_OF_MEMORY);
    EXPECT_EQ(platform_read_file(&scratch, file, UINT64_MAX).status().failure, FAILURE_OUT_OF_MEMORY);
  }
  {
    Failing_Heap_Scope one_block(1);
    scratch.block_bytes = 1;  // the path's block holds nothing more
    EXPECT_EQ(platform_read_file(&scratch, file, UINT64_MAX).status().failure, FAILURE_OUT_OF_MEMORY);
    arena_destroy(&scratch);
  }
  ::close(listener);
  std::filesystem::remove_all(dir);
}

// The file beside the running program: its folder, whatever the working folder.
TEST(PlatformPosix, TheFileBesideTheModule) {
  Arena arena{};
  Result<std::string_view> beside = platform_beside_module(&arena, "ManeShade.ini");
  ASSERT_TRUE(beside.ok());
  EXPECT_EQ(std::filesystem::path(beside.value()), std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ManeShade.ini");
  {
    Failing_Heap_Scope no_heap(0);
    Arena empty{};
    EXPECT_EQ(platform_beside_module(&empty, "ManeShade.ini").status(), status_fail(FAILURE_OUT_OF_MEMORY));
  }
  arena_destroy(&arena);
}

}  // namespace
