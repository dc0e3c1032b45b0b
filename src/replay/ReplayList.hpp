// The saved replays as the replay list shows them: each file's header only,
// read with one bounded read, so a folder of many long games lists quickly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replay/ReplayStore.hpp"

namespace quadrel {

struct ReplayListEntry {
  std::string fileName;  // without the folder
  // From the header; for a file that could not be read, score and date come from
  // the file name when it has the game's form, and the level is -1.
  int32_t score = 0;
  int32_t level = -1;    // 0..4, 5 for all levels cleared
  char dateTime[20]{};   // "YYYY/MM/DD hh:mm:ss"
  bool valid = false;    // read without error and of this game's format version
  ReplayReadStatus status = ReplayReadStatus::Ok;
};

// The header of one replay file. Rejects what ReadReplayFile would reject
// (missing, unreadable, larger than the store, wrong signature) and a file too
// short to hold the header area. Never reads more than the header area.
ReplayListEntry ReadReplayListEntry(const std::string& folder, const std::string& fileName);

// Every regular file "<folder>/*.rep", in descending name order: the names
// begin with the zero-padded score, so the best games come first. A missing
// folder gives an empty list; directories, pipes and devices are not listed.
std::vector<ReplayListEntry> ScanReplayFiles(const std::string& folder = kReplayFolder);

}  // namespace quadrel
