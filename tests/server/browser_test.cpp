// The table page and the home page as a real browser renders them: headless Chromium loads them
// from a running service and the test reads the DOM it built.
#include <gtest/gtest.h>

#include <string>

#include "tests/server/scores_process.hpp"

namespace zw::scores::test {
namespace {

TEST(ScoresBrowser, TableAndHomePageRenderInChromium) {
  if (!HaveChromium()) GTEST_SKIP() << "chromium is not installed: the pages were NOT checked";
  TTempDir dir;
  TScoresProcess service({"--db", dir.Path() + "/scores.db", "--quiet", "--docs",
                          std::string(ZW_SOURCE_DIR) + "/docs"});
  ASSERT_TRUE(service.Started()) << service.Log();
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Lena", 4200, "Sweden")).Status, 200);
  ASSERT_EQ(HttpGet(service.Port(), SubmitTarget("Tom", 6100, "<i>x</i>")).Status, 200);
  const std::string base = "http://127.0.0.1:" + std::to_string(service.Port());

  std::string console;
  const std::string table = DumpDom(base + "/cgi/version.pl?prg=ZapWheely&show&type=0", &console);
  ASSERT_NE(table.find("<table id=\"scores\">"), std::string::npos) << table;
  // Best first, the markup in a country shown as text (the browser made no <i> element of it).
  const size_t tom = table.find("<td>Tom</td><td class=\"num\">6100</td>");
  const size_t lena = table.find("<td>Lena</td><td class=\"num\">4200</td>");
  ASSERT_NE(tom, std::string::npos) << table;
  ASSERT_NE(lena, std::string::npos) << table;
  EXPECT_LT(tom, lena);
  EXPECT_NE(table.find("<td class=\"num\">1</td><td>Tom</td>"), std::string::npos);
  EXPECT_NE(table.find("&lt;i&gt;x&lt;/i&gt;"), std::string::npos);
  EXPECT_EQ(table.find("<i>"), std::string::npos);

  const std::string home = DumpDom(base + "/", &console);
  // The pages keep to their own security policy: nothing refused, no console errors.
  EXPECT_EQ(console, "");
  EXPECT_NE(home.find("<h1>Zap Wheely</h1>"), std::string::npos) << home;
  EXPECT_NE(home.find("id=\"table-link\""), std::string::npos);
  EXPECT_NE(home.find("bash scripts/run.sh"), std::string::npos);
  // The screenshots the page shows are served.
  EXPECT_EQ(HttpGet(service.Port(), "/docs/menu.png").Status, 200);
  EXPECT_EQ(HttpGet(service.Port(), "/docs/race-riding.png").Status, 200);
}

}  // namespace
}  // namespace zw::scores::test
