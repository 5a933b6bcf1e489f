// zapwheely-scores-fill: fills a score database with made-up results, in one transaction, for
// load measurements and for pictures of the pages.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "server/store.hpp"
#include "server/validate.hpp"

namespace {

const char* const Starts[] = {"Al", "Be", "Ca", "Da", "El",  "Fi", "Gu", "Ha", "Ivo", "Jo",
                              "Ka", "Lu", "Ma", "Ni", "Ola", "Pe", "Ro", "Sa", "Te",  "Vi"};
const char* const Ends[] = {"n", "x", "ra", "la", "ko", "mir", "na", "ssa", "to", "rik", "y"};
const char* const Countries[] = {"Sweden", "Italy", "Germany", "Poland", "Japan", "Brazil",
                                 "Canada", "Spain", "Norway",  "Chile",  "Kenya", "_______"};

}  // namespace

int main(int argc, char** argv) {
  std::string db;
  long rows = 0;
  unsigned seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--db"))
      db = argv[i + 1];
    else if (!std::strcmp(argv[i], "--rows"))
      rows = std::strtol(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--seed"))
      seed = static_cast<unsigned>(std::atol(argv[i + 1]));
  }
  if (db.empty() || rows <= 0) {
    std::fprintf(stderr,
                 "Usage: zapwheely-scores-fill --db PATH|postgresql://... --rows N "
                 "[--seed S]\n");
    return 2;
  }
  try {
    auto store = zw::scores::OpenScoreStore(db);
    std::mt19937 rng(seed);
    // Most games end early; a few riders get far: a skewed spread below the best a game reaches.
    std::exponential_distribution<double> spread(1.0 / 9000.0);
    const long long day = 86400;
    const long long start = 1'790'000'000;
    std::vector<zw::scores::TNewScore> batch;
    const long chunk = 100000;
    for (long done = 0; done < rows;) {
      batch.clear();
      for (long i = 0; i < chunk && done < rows; ++i, ++done) {
        zw::scores::TNewScore s;
        s.Name = std::string(Starts[rng() % 20]) + Ends[rng() % 11];
        if (rng() % 4 == 0) s.Name += " " + std::to_string(rng() % 100);
        s.Score = static_cast<int32_t>(std::min<double>(spread(rng), zw::scores::MaxGameScore));
        s.Score -= s.Score % 10;
        s.Country = Countries[rng() % 12];
        s.Submitted = start + done * (day * 30) / rows;
        batch.push_back(std::move(s));
      }
      store->AddScores(batch);
    }
    store->Optimize();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zapwheely-scores-fill: %s\n", e.what());
    return 1;
  }
  return 0;
}
