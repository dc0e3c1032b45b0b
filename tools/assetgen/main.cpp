// quadrel-assetgen OUTPUT_FOLDER
// Writes the game's models, pictures and sounds into OUTPUT_FOLDER/model,
// texture and sound, and its icon into OUTPUT_FOLDER/icon (one PNG per size). Everything is made from code; the same program always
// writes the same files.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "AudioFiles.hpp"
#include "Dds.hpp"
#include "Icon.hpp"
#include "Models.hpp"
#include "Pictures.hpp"
#include "Sounds.hpp"

namespace fs = std::filesystem;
using namespace quadrel::assetgen;

namespace {

uintmax_t totalBytes = 0;
int fileCount = 0;

// Written beside the target and renamed over it, so an interrupted run never
// leaves a half-written asset that looks up to date.
void WriteFile(const fs::path& path, const std::string& bytes) {
  const fs::path temporary = path.string() + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  fs::rename(temporary, path);
  totalBytes += bytes.size();
  ++fileCount;
}

std::string Picture(const Canvas& canvas, bool mipChain) {
  return EncodeDds(canvas.Width(), canvas.Height(), canvas.ToArgb(), mipChain);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit fails the write instead
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  try {
    const fs::path root = argv[1];
    for (const char* folder : {"model", "texture", "sound", "icon"}) fs::create_directories(root / folder);

    for (const NamedModel& model : BuildModels())
      WriteFile(root / "model" / model.fileName, model.mesh.ToXText(fs::path(model.fileName).stem().string()));

    WriteFile(root / "texture" / "back.dds", Picture(PaintGameBackdrop(), false));
    WriteFile(root / "texture" / "title.dds", Picture(PaintTitle(), false));
    WriteFile(root / "texture" / "ranking.dds", Picture(PaintRanking(), false));
    WriteFile(root / "texture" / "select.dds", Picture(PaintReplaySelect(), false));
    WriteFile(root / "texture" / fs::path(kFloorTexture).filename(), Picture(PaintFloor(), true));

    WriteFile(root / "sound" / "bar.wav", EncodeWave(BarEffect(), 1, kSampleRate));
    WriteFile(root / "sound" / "block.wav", EncodeWave(BlockEffect(), 1, kSampleRate));
    const Music music = ComposeMusic();
    WriteFile(root / "sound" / "bgm_1.ogg", EncodeOggVorbis(music.intro.left, music.intro.right, kSampleRate, 0.45f, 1));
    WriteFile(root / "sound" / "bgm_2.ogg", EncodeOggVorbis(music.loop.left, music.loop.right, kSampleRate, 0.45f, 2));
    for (const int size : kIconSizes)
      WriteFile(root / "icon" / ("quadrel-" + std::to_string(size) + ".png"), EncodePng(PaintIcon(size)));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quadrel-assetgen: %s\n", e.what());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("quadrel-assetgen: wrote %d files, %.1f MiB, in %.2f s\n", fileCount, totalBytes / 1048576.0, seconds);
  return 0;
}
