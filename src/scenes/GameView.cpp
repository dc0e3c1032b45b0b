#include "scenes/GameView.hpp"

#include "base/Diagnostics.hpp"
#include "base/Translate.hpp"
#include "scenes/SceneSetup.hpp"

namespace quadrel {

using namespace render;

const char* const kGameModelFiles[kGameModelCount] = {
    "./model/ball.x",    "./model/block_b.x", "./model/block_g.x", "./model/block_p.x",
    "./model/block_r.x", "./model/block_s.x", "./model/bar.x",     "./model/ground.x",
    "./model/wall.x",    "./model/option.x",  "./model/extend.x",
};

namespace {

enum Model { BallModel = 0, BarModel = 6, GroundModel = 7, WallModel = 8, OptionModel = 9, ExtendModel = 10 };

}  // namespace

int32_t GameView::Load(Graphics& g) {
  g.DestroyAllMeshes();
  models_.fill(nullptr);
  for (int i = 0; i < kGameModelCount; ++i) {
    g.CreateMeshObject(models_[i]);
    if (!models_[i] || models_[i]->Load(kGameModelFiles[i]) < 0) {
      ReportFatalError(Tr("Could not read a model file."), "GameMain", 244, kGameModelFiles[i]);
      return kFail;
    }
  }
  // The device comes back from a mode switch or reset with its own defaults:
  // the load step puts the game's back, as every scene's does.
  g.ResetRenderStates();
  Light light{};
  light.type = kLightDirectional;
  light.diffuse = ColourValue{1.0f, 1.0f, 1.0f, 1.0f};
  light.specular = ColourValue{0.8f, 0.8f, 0.8f, 1.0f};
  light.ambient = ColourValue{0.2f, 0.2f, 0.2f, 1.0f};
  g.SetMainLight(light, Vec3{0, 0, 0}, 1);
  LoadSceneView(g, ColourValue{0.3137255f, 0.3137255f, 0.3137255f, 0.5882353f});
  g.DestroyAllFonts();
  g.CreateFontObject(smallFont_);
  g.CreateFontObject(bigFont_);
  if (smallFont_) smallFont_->Create("Times New Roman", 20, 700, 0);
  if (bigFont_) bigFont_->Create("Times New Roman", 32, 700, 0);
  g.LoadBackground("./texture/back.dds", 640, 480);
  return kOk;
}

void GameView::DrawField(Graphics& g, const GameState& game) {
  g.SetRenderState(rs::FogEnable, 0);
  g.SetRenderState(rs::Lighting, 0);
  g.SetRenderState(rs::StencilEnable, 0);
  Mesh& ground = *models_[GroundModel];
  ground.SetScale(30, 30, 30);
  ground.SetPosition(0, 0, 0);
  ground.Draw(0);
  g.SetRenderState(rs::Lighting, 1);
  g.SetRenderState(rs::FogEnable, 1);

  Mesh& wall = *models_[WallModel];
  for (double x : {-24.5, 24.5}) {
    wall.SetPosition(x, 28.0, 0);
    wall.Draw(1);
  }

  for (int k = 0; k < kBlockCount; ++k) {
    const Block& b = game.blocks[k];
    if (b.alive != 1) continue;
    const int32_t colour = game.colourTable[k];
    if (colour < 1 || colour > 5) continue;
    Mesh& m = *models_[colour];
    m.SetScale(b.scale, b.scale, b.scale);
    m.SetRotation(0.5, -1.0, -1.0, b.angle);
    m.SetPosition(b.x, b.y, b.z);
    g.SetRenderState(rs::AlphaBlendEnable, BlockBlended(b) ? 1 : 0);
    m.Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);

  for (const Item& item : game.items) {
    if (item.active != 1) continue;
    if (item.kind != OptionItem && item.kind != ExtendItem) continue;
    Mesh& m = *models_[item.kind == OptionItem ? OptionModel : ExtendModel];
    m.SetScale(ItemWidthScale(item), item.scale, item.scale);
    m.SetRotation(-1, 0, 0, item.angle);
    m.SetPosition(item.x, item.y, item.z);
    m.Draw(1);
  }

  Mesh& ball = *models_[BallModel];
  for (const Ball& b : game.balls) {
    if (b.launched != 1) continue;
    ball.SetScale(b.scale, b.scale, b.scale);
    ball.SetPosition(b.x, b.y, b.z);
    ball.Draw(1);
  }

  Mesh& bar = *models_[BarModel];
  for (int j = 0; j < kBarCount; ++j) {
    const Bar& b = game.bars[j];
    if (b.active != 1) continue;
    g.SetRenderState(rs::AlphaBlendEnable, j == 0 ? 0 : 1);
    bar.SetScale(b.scale, b.scale, b.scale);
    bar.SetPosition(b.x, b.y, b.z);
    if (BarShown(b)) bar.Draw(1);
  }
  g.SetRenderState(rs::AlphaBlendEnable, 0);
}

void GameView::DrawTexts(const HudLayout& layout) {
  for (int i = 0; i < layout.count; ++i) {
    const HudText& t = layout.texts[i];
    Font* font = t.font == HudFont::Big ? bigFont_ : smallFont_;
    if (!font) continue;
    if (t.shadow) {
      font->DrawTextShadow(t.text, t.x, t.y, kTextShadowOffset, t.format, t.colour, t.shadowColour);
    } else {
      font->DrawText(t.text, t.x, t.y, t.format, t.colour);
    }
  }
}

void GameView::PlaceCamera(const GameVars& v, Camera& camera) {
  camera.eye = Vec3{v.cameraEye[0], v.cameraEye[1], v.cameraEye[2]};
}

}  // namespace quadrel
