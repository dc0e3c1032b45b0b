// The scene backgrounds (640 x 480) and the floor texture.
#pragma once

#include "Canvas.hpp"

namespace quadrel::assetgen {

inline constexpr int kScreenWidth = 640, kScreenHeight = 480;
inline constexpr int kFloorSize = 512;

// Behind the game field: night sky with a dim planet at the left, dark where
// the score and the right-hand column of counters are drawn.
Canvas PaintGameBackdrop();
// Title: sky over a glowing grid, blocks of the five colours and a ball at the
// sides; the middle stays dark for the game name and the three buttons.
Canvas PaintTitle();
// Ranking: blue, light from above, laurels beside the heading, a dark panel
// under the ten rows and a plain band for the questions below it.
Canvas PaintRanking();
// Replay selection: film strips at the sides, a dark panel for the list and a
// plate behind the button that leads back.
Canvas PaintReplaySelect();
// Floor: dark tiles with glowing lines along the side walls (seen unlit,
// scaled to 60 x 60 units, far edge at the top).
Canvas PaintFloor();

}  // namespace quadrel::assetgen
