// libFuzzer target: any bytes given to the score record decoder and to the service's request
// handling end in a valid record or a refusal, never a crash, and nothing refused is stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "online/score_record.hpp"
#include "server/service.hpp"
#include "server/store.hpp"
#include "server/validate.hpp"

namespace {

using namespace zw::scores;

struct TFixture {
  std::unique_ptr<IScoreStore> store = OpenScoreStore(":memory:");
  TScoreService service{*store, TServiceOptions{0, ""}};
};

TFixture& Fixture() {
  static TFixture f;
  return f;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// Sends a submission and checks that it was stored exactly when it should have been.
void Submit(const std::string& inf, bool shouldStore) {
  TFixture& f = Fixture();
  const int64_t before = f.store->Count();
  THttpRequest r;
  r.Path = "/cgi/version.pl";
  r.Query = "hs&prg=ZapWheely&inf=" + inf;
  r.Client = "127.0.0.1";
  const THttpReply reply = f.service.Handle(r, 1'800'000'000);
  const int64_t after = f.store->Count();
  if (r.Query.size() + r.Path.size() + 1 > MaxTargetLength) {
    Check(reply.Status == 414 && after == before);
    return;
  }
  Check(reply.Status == 200 || reply.Status == 400);
  Check((reply.Status == 200) == shouldStore);
  Check(after == before + (shouldStore ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0: {
      // Raw bytes as an inf value: a decoded record re-encodes to exactly the same text.
      zw::online::TScoreRecord rec;
      std::string reason;
      const bool decoded = zw::online::DecodeScoreRecord(rest, rec, reason);
      Check(decoded ? zw::online::EncodeScoreRecord(rec) == rest : !reason.empty());
      std::string name, country;
      Submit(rest, decoded && ValidateRecord(rec, name, country, reason));
      break;
    }
    case 1: {
      // A record the fuzzer builds field by field, encoded as the game would: accepted exactly
      // when it passes the rules.
      if (rest.size() < 6) return 0;
      zw::online::TScoreRecord rec;
      const size_t nameLen = static_cast<uint8_t>(rest[0]) % 16;
      uint32_t score = 0;
      for (int i = 0; i < 4; ++i) score = score * 256 + static_cast<uint8_t>(rest[1 + i]);
      rec.Score = static_cast<int32_t>(score);
      const std::string text = rest.substr(5);
      rec.Name = text.substr(0, std::min(nameLen, text.size()));
      rec.Country = text.substr(rec.Name.size());
      zw::online::TScoreRecord back;
      std::string reason, name, country;
      // A name or country holding the record's own separators can read back differently; the
      // service must still refuse or store it without harm.
      const bool roundTrips =
          zw::online::DecodeScoreRecord(zw::online::EncodeScoreRecord(rec), back, reason) &&
          back == rec;
      if (roundTrips)
        Submit(zw::online::EncodeScoreRecord(rec), ValidateRecord(rec, name, country, reason));
      break;
    }
    default: {
      // Any path and query: some reply, never an exception or a crash.
      THttpRequest r;
      const size_t q = rest.find('?');
      r.Path = rest.substr(0, q);
      if (q != std::string::npos) r.Query = rest.substr(q + 1);
      r.Client = "127.0.0.2";
      const THttpReply reply = Fixture().service.Handle(r, 0);
      Check(reply.Status >= 200 && reply.Status < 600);
      break;
    }
  }
  return 0;
}
