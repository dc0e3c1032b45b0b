#include "Admin.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Registration.hpp"
#include "Storage.hpp"

namespace quadrel::server {
namespace {

bool ToId(const std::string& text, int64_t& id) {
  if (text.empty() || text.size() > 18 || text[0] == '0') return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  id = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

int RemoveCommand(int argc, char** argv) {
  std::string db;
  std::vector<int64_t> ids;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    int64_t id = 0;
    if (arg == "--db" && i + 1 < argc) {
      db = argv[++i];
    } else if (ToId(arg, id)) {
      ids.push_back(id);
    } else {
      std::fprintf(stderr, "quadrel-ranking-server remove: bad argument %s\n", arg.c_str());
      ids.clear();
      break;
    }
  }
  if (db.empty() || ids.empty()) {
    std::fprintf(stderr, "usage: quadrel-ranking-server remove --db FILE|postgresql://URL ID...\n");
    return 2;
  }
  // Removing from a database that is not there would create an empty one.
  const bool postgres = db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0;
  if (!postgres && access(db.c_str(), F_OK) != 0) {
    std::fprintf(stderr, "quadrel-ranking-server remove: %s: %s\n", db.c_str(),
                 std::strerror(errno));
    return 1;
  }
  int status = 0;
  try {
    const std::unique_ptr<RankingStorage> storage = OpenStorage(db, 1);
    for (const int64_t id : ids) {
      const std::optional<RankingRow> row = storage->Remove(id);
      if (!row) {
        std::fprintf(stderr, "quadrel-ranking-server remove: no entry %lld\n",
                     static_cast<long long>(id));
        status = 1;
        continue;
      }
      std::printf("removed %lld: %d %s\n", static_cast<long long>(id), row->score,
                  row->name.c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quadrel-ranking-server remove: %s\n", e.what());
    return 1;
  }
  return status;
}

}  // namespace quadrel::server
