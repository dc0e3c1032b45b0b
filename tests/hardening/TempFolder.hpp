// A fresh working folder per test, and makers of damaged files.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quadrel::test {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("quadrel-harden-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  static void Write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path().empty()
                                            ? "."
                                            : std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  // A FIFO with no writer: opening it for reading the usual way blocks forever.
  static void MakeFifo(const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }
  // A file of the given size that takes no disk space, beginning with head.
  static void MakeSparse(const std::string& path, const std::string& head, uint64_t size) {
    Write(path, head);
    std::filesystem::resize_file(path, size);
  }
  std::filesystem::path previous_, dir_;
};

// Seconds since start.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace quadrel::test
