#include "game/Physics.hpp"

#include <algorithm>
#include <cmath>

#include "game/Field.hpp"
#include "game/GameMain.hpp"
#include "game/Turns.hpp"

namespace quadrel {
namespace {

constexpr double kBallRadius = 1.0;
constexpr double kWallX = 22.0;
constexpr double kCeilingY = 54.0;
constexpr double kFloorY = 1.0;
constexpr double kBarHalfWidth = 3.5;
constexpr double kBarHeight = 1.0;
constexpr double kBlockHalfWidth = 2.0;
constexpr double kBlockHalfHeight = 1.0;
constexpr double kDodgeReach = 10.0;

// A ball centre farther than this from a block centre cannot touch its box;
// the margin of half a unit beyond radius plus half size is far wider than
// any rounding, so the cheap test never changes a result.
constexpr double kBlockFarX = kBlockHalfWidth + kBallRadius + 0.5;
constexpr double kBlockFarY = kBlockHalfHeight + kBallRadius + 0.5;

// state mod 4 = 0, for any sign: the two low bits are clear.
bool CanBeHit(const Block& b) { return b.alive == 1 && (b.state & 3) == 0; }

}  // namespace

void NormalizeVector2(double& x, double& y) {
  const double length = std::sqrt(x * x + y * y);
  x = x / length;
  y = y / length;
}

static void Rotate(double& x, double& y, double c, double s) {
  const double rx = x * c - y * s;
  const double ry = x * s + y * c;
  x = rx;
  y = ry;
}

// The game turns only by quarter turns; their sines and cosines are written
// out so that every build and C library sees the same bits.
void RotateVector2(double& x, double& y, double degrees) {
  if (degrees == 90.0) {
    Rotate(x, y, kQuarterTurnCos, kQuarterTurnSin);
  } else if (degrees == -90.0) {
    Rotate(x, y, kQuarterTurnCos, -kQuarterTurnSin);
  } else {
    const double a = degrees * 3.1415926538 / 180.0;
    double c, s;
    PortableCosSin(a, c, s);
    Rotate(x, y, c, s);
  }
}

int CollideBallWithBox(double px, double py, double top, double bottom, double left, double right,
                       Ball& ball) {
  const double qx = px > right ? right : (px < left ? left : px);
  const double qy = py > top ? top : (py < bottom ? bottom : py);
  if (qx == px && qy == py) {
    px -= ball.vx;
    py -= ball.vy;
  }
  const double d = std::sqrt((qx - px) * (qx - px) + (qy - py) * (qy - py));
  if (!(d < kBallRadius)) return 0;
  double nx = px - qx;
  double ny = py - qy;
  // A centre that lands exactly on the box after stepping back has no normal:
  // the hit counts but the velocity is left as it is (never a NaN).
  if (nx == 0.0 && ny == 0.0) return 1;
  NormalizeVector2(nx, ny);
  ball.vx += 2.0 * std::fabs(ball.vx) * nx;
  ball.vy += 2.0 * std::fabs(ball.vy) * ny;
  return 1;
}

bool LaunchBall(GameState& g) {
  for (int i = 0; i < g.ballStock && i < kBallSlots; ++i) {
    Ball& b = g.balls[i];
    if (b.launched != 0) continue;
    b.x = g.bars[0].x;
    b.y = 6.0;
    b.z = 0.0;
    b.scale = 1.0;
    b.speed = g.level * 0.05 + 0.3;
    b.vx = kLaunchCos * b.speed;
    b.vy = kLaunchSin * b.speed;
    b.launched = 1;
    b.lost = 0;
    g.ballsLaunched += 1;
    return true;
  }
  return false;
}

void SpawnItem(GameState& g, double x, double y, int32_t kind) {
  for (Item& item : g.items) {
    if (item.active != 0) continue;
    item.x = x;
    item.y = y;
    item.z = 0.1;
    item.scale = 1.0;
    item.angle = 0.0;
    item.caught = 0;
    item.kind = kind;
    item.active = 1;
    return;
  }
}

// The blocks a ball may hit this step, in index order. Blocks do not move
// while the balls step; one struck by an earlier ball is skipped when met.
struct HitCandidates {
  int count = 0;
  double lowest = 0.0;   // band of the candidates' centres
  double highest = 0.0;
  int index[kBlockCount];
  double x[kBlockCount];
  double y[kBlockCount];
};

static void StepBall(GameState& g, Ball& ball, const HitCandidates& candidates, StepEvents& ev) {
  ball.x += ball.vx;
  ball.y += ball.vy;
  const double px = ball.x;
  const double py = ball.y;

  if (px < -kWallX || px > kWallX) {
    ball.vx = -ball.vx;
    ball.x = (px / std::fabs(px)) * kWallX;
    ev.Hit();
  }
  if (py > kCeilingY) {
    ball.y = kCeilingY;
    ball.vy = -ball.vy;
    ev.Hit();
  }
  if (py < kFloorY) {
    ball.lost = 1;
    g.ballsLost += 1;
    if (g.ballsLost == g.ballStock && g.phase != AllClear && g.phase != GameOver) {
      g.phase = GameOver;
      ev.stopSound = true;
    }
  }

  for (const Bar& bar : g.bars) {
    if (bar.active == 0 || bar.barState != BarNormal) continue;
    if (CollideBallWithBox(px, py, bar.y + kBarHeight, bar.y, bar.x - kBarHalfWidth,
                           bar.x + kBarHalfWidth, ball)) {
      ball.vy = std::fabs(ball.vy);
      ball.speed += 0.05;
      ball.vx += (px - bar.x) / 10.0;
      ev.Bar();
      break;
    }
  }

  const bool inBand = candidates.count > 0 && py >= candidates.lowest - kBlockFarY &&
                      py <= candidates.highest + kBlockFarY;
  for (int n = 0; inBand && n < candidates.count; ++n) {
    if (std::fabs(px - candidates.x[n]) > kBlockFarX || std::fabs(py - candidates.y[n]) > kBlockFarY)
      continue;
    Block& block = g.blocks[candidates.index[n]];
    if (!CanBeHit(block)) continue;
    if (CollideBallWithBox(px, py, block.y + kBlockHalfHeight, block.y - kBlockHalfHeight,
                           block.x - kBlockHalfWidth, block.x + kBlockHalfWidth, ball)) {
      block.state = Struck;
      const int32_t inPlay = g.BallsInPlay();
      g.score = WrappingAdd(g.score, 1000 * inPlay * inPlay);
      ev.Hit();
      if (block.itemKind != NoItem) SpawnItem(g, block.x, block.y, block.itemKind);
      break;
    }
  }

  const double cap = g.level * 0.1 + 0.6;
  if (ball.speed > cap) ball.speed = cap;
  if (std::fabs(ball.vy) < 0.2) {
    // A vertical velocity of exactly zero has no sign: it climbs.
    ball.vy = ball.vy == 0.0 ? 0.2 : (ball.vy / std::fabs(ball.vy)) * 0.2;
  }
  NormalizeVector2(ball.vx, ball.vy);
  ball.vx *= ball.speed;
  ball.vy *= ball.speed;
}

void StepBalls(GameState& g, StepEvents& ev) {
  HitCandidates candidates;
  double lowest = 1e300;
  double highest = -1e300;
  int count = 0;
  for (int k = 0; k < kBlockCount; ++k) {
    const Block& block = g.blocks[k];
    // Written every time, counted only for a block that can be hit.
    candidates.index[count] = k;
    candidates.x[count] = block.x;
    candidates.y[count] = block.y;
    if (CanBeHit(block)) {
      lowest = std::min(lowest, block.y);
      highest = std::max(highest, block.y);
      ++count;
    }
  }
  candidates.count = count;
  candidates.lowest = lowest;
  candidates.highest = highest;
  for (int i = 0; i < g.ballStock && i < kBallSlots; ++i) {
    Ball& ball = g.balls[i];
    if (ball.launched == 1 && ball.lost == 0) StepBall(g, ball, candidates, ev);
  }
}

void UpdateOptionBars(GameState& g) {
  for (int j = 1; j <= 2; ++j) {
    Bar& bar = g.bars[j];
    for (int m = 0; m < kHistoryLength - 1; ++m) bar.history[m] = bar.history[m + 1];
    bar.history[kHistoryLength - 1] = g.bars[j - 1].x;
    bar.x = bar.history[0];
    if (bar.active == 0) continue;
    bar.lifetime -= 1;
    if (bar.lifetime == 0) bar.barState = BarVanishing;
    if (bar.barState == BarAppearing) {
      bar.scale -= 0.1;
      if (bar.scale <= 1.0) {
        bar.scale = 1.0;
        bar.barState = BarNormal;
      }
    } else if (bar.barState == BarVanishing) {
      bar.scale -= 0.05;
      if (bar.scale < 0.0) bar.active = 0;
    }
  }
}

void AddOptionBar(GameState& g) {
  g.bars[2].lifetime = g.bars[1].lifetime;
  g.bars[1].lifetime = g.bars[0].lifetime;
  for (int j = 1; j <= 2; ++j) {
    Bar& bar = g.bars[j];
    if (bar.active == 0 || bar.barState == BarVanishing) {
      bar.active = 1;
      bar.barState = BarAppearing;
      bar.scale = 4.0;
      bar.y = 3.9;
      bar.z = 0.2;
      return;
    }
  }
}

void UpdateItems(GameState& g) {
  const Bar& bar = g.bars[0];
  for (Item& item : g.items) {
    if (item.active == 0) continue;
    if (item.caught == 0 && bar.x + 4.0 > item.x - 2.0 && bar.x - 4.0 < item.x + 2.0 &&
        bar.y + 1.0 > item.y - 1.0 && bar.y - 1.0 < item.y + 1.0) {
      if (item.kind == OptionItem) {
        item.caught = 1;
        AddOptionBar(g);
      } else if (item.kind == ExtendItem) {
        item.caught = 1;
        g.ballStock += 1;
      }
    }
    if (item.caught == 0) {
      item.y -= 0.2;
      item.angle += 5.0;
      if (item.y < -1.0) item.active = 0;
    } else {
      item.scale -= 0.05;
      if (item.scale < 0.0) item.active = 0;
    }
  }
}

// Launched balls (lost ones included) in slot order; balls do not move while
// the blocks step.
struct DodgeThreats {
  int count = 0;
  double x[kBallSlots];
  double y[kBallSlots];
};

static void Dodge(const DodgeThreats& threats, Block& block, int k) {
  for (int i = 0; i < threats.count; ++i) {
    double dx = block.x - threats.x[i];
    double dy = block.y - threats.y[i];
    const double squared = dx * dx + dy * dy;
    // sqrt is monotonic and sqrt(100) is 10: no square of 100 or more is near.
    if (squared >= kDodgeReach * kDodgeReach || !(std::sqrt(squared) < kDodgeReach)) continue;
    // A ball exactly on the block centre gives no direction: the block stays.
    if (dx == 0.0 && dy == 0.0) return;
    NormalizeVector2(dx, dy);
    RotateVector2(dx, dy, (k % 2 == 1) ? 90.0 : -90.0);
    block.x += 0.8 * dx;
    block.y += 0.8 * dy;
    if (block.x > 21.0) block.x = 21.0;
    if (block.x < -21.0) block.x = -21.0;
    if (block.y > 53.0) {
      block.y = 53.0;
    } else if (block.y < 10.0) {
      block.y = 10.0;
    }
    return;
  }
}

void StepBlocks(GameState& g) {
  DodgeThreats threats;
  for (const Ball& ball : g.balls) {
    if (ball.launched != 1) continue;
    threats.x[threats.count] = ball.x;
    threats.y[threats.count] = ball.y;
    ++threats.count;
  }
  for (int k = 0; k < kBlockCount; ++k) {
    Block& block = g.blocks[k];
    if (block.alive != 1) continue;
    switch (block.state) {
      case Struck:
        block.z += 2.0;
        block.angle += 4.0;
        if (block.z > 120.0) {
          block.alive = 0;
          block.state = Cleared;
          g.blocksCleared += 1;
        }
        break;
      case Settling:
        SettleBlock(g, block, k);
        break;
      case Dodging:
        Dodge(threats, block, k);
        break;
      default:
        break;
    }
    if (g.level == 4 && block.alive == 1 && 90 - g.blocksCleared <= 40 && (block.state & 3) == 0)
      block.state = Dodging;
  }
}

}  // namespace quadrel
