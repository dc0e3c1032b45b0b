// The single-instance lock falls back to the next location when one cannot
// be used for any reason other than another copy holding it.
#include "TempFolder.hpp"
#include "app/SingleInstance.hpp"

namespace quadrel::test {
namespace {

using app::SingleInstance;

class LockFallback : public TempFolder {};

TEST_F(LockFallback, AnUnusableFirstLocationFallsBackAndStillKeepsOneCopy) {
  const std::string here = dir_.string();
  std::filesystem::create_directory(here + "/folder.lock");  // the lock path is a folder
  std::filesystem::create_symlink(here + "/elsewhere", here + "/link.lock");
  for (const std::string& first :
       {here + "/folder.lock", here + "/missing/Quadrel.lock", here + "/link.lock"}) {
    const std::vector<std::string> paths = {first, here + "/second.lock"};
    SingleInstance one, two;
    ASSERT_TRUE(one.AcquireAny(paths)) << first;
    EXPECT_EQ(one.HeldPath(), here + "/second.lock") << first;
    EXPECT_FALSE(two.AcquireAny(paths)) << first;  // the second copy is still refused
    one.Release();
    EXPECT_TRUE(two.AcquireAny(paths)) << first;
  }
  EXPECT_FALSE(std::filesystem::exists(here + "/elsewhere"));  // a link is never followed
}

TEST_F(LockFallback, AHeldFirstLocationEndsTheSearch) {
  const std::string here = dir_.string();
  SingleInstance one, two;
  ASSERT_TRUE(one.AcquireAny({here + "/first.lock", here + "/second.lock"}));
  EXPECT_EQ(one.HeldPath(), here + "/first.lock");
  EXPECT_FALSE(two.AcquireAny({here + "/first.lock", here + "/second.lock"}));
  EXPECT_EQ(two.HeldPath(), "");
}

TEST_F(LockFallback, TheLocationsComeFromTheRuntimeFolderThenTmp) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  std::vector<std::string> paths = SingleInstance::LockPaths("Quadrel");
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], dir_.string() + "/Quadrel.lock");
  EXPECT_EQ(paths[1], "/tmp/Quadrel-" + std::to_string(getuid()) + ".lock");
  unsetenv("XDG_RUNTIME_DIR");
  paths = SingleInstance::LockPaths("Quadrel");
  EXPECT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], "/tmp/Quadrel-" + std::to_string(getuid()) + ".lock");
  if (saved) setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

}  // namespace
}  // namespace quadrel::test
