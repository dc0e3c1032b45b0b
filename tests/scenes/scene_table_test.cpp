// The scene table: a scene under a taken or impossible id is refused with a
// message, the table is incomplete until every id has its scene, and an
// unknown id finds none. (The program's own four are checked at its start.)
#include "SceneRig.hpp"
#include "net/MessageLog.hpp"
#include "scenes/SceneTable.hpp"

namespace quadrel::test {
namespace {

// A scene claiming any number it likes.
struct NumberedScene : Scene {
  explicit NumberedScene(int32_t id) : id(id) {}
  SceneId Id() const override { return static_cast<SceneId>(id); }
  FixedStepClock& Clock() override { return clock; }
  int32_t Initialise(AppContext&) override { return 0; }
  void Update(AppContext&) override {}
  void Draw(AppContext&) override {}
  int32_t id;
  FixedStepClock clock;
};

TEST(SceneTableTest, TakenAndImpossibleIdsAreRefusedAndUnknownIdsFindNothing) {
  SceneRig rig;
  MessageLog log;
  NumberedScene second{SceneNumber(SceneId::Title)}, below{-1}, above{kSceneCount};
  SceneTable scenes{&rig.title};
  EXPECT_FALSE(scenes.Register(&second));
  EXPECT_FALSE(scenes.Register(&below));
  EXPECT_FALSE(scenes.Register(&above));
  EXPECT_FALSE(scenes.Register(nullptr));
  EXPECT_EQ(log.shown.size(), 4u);
  EXPECT_FALSE(scenes.Complete());
  EXPECT_EQ(scenes.Find(SceneNumber(SceneId::Title)), &rig.title);  // the first stays
  for (int32_t id : {-1, SceneNumber(SceneId::Game), kSceneCount, 1000})
    EXPECT_EQ(scenes.Find(id), nullptr) << id;
}

}  // namespace
}  // namespace quadrel::test
