// The two effects and the two music pieces, synthesised.
#pragma once

#include <vector>

namespace quadrel::assetgen {

// Mono, 44.1 kHz, -1..1.
std::vector<float> BarEffect();    // a round, rubbery "pock": a ball on a bar
std::vector<float> BlockEffect();  // a short bright "tink": walls, ceiling and blocks

struct Stereo {
  std::vector<float> left, right;
};

struct Music {
  Stereo intro;  // two bars leading into the loop
  Stereo loop;   // sixteen bars whose end runs on into their own start
};

// 126 beats a minute, C major. Deterministic.
Music ComposeMusic();

}  // namespace quadrel::assetgen
