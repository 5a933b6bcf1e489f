// The table page and the home page as a real browser renders them: headless Chromium loads them
// from a running service and the test reads the DOM it built.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/server/scores_process.hpp"

namespace zw::scores::test {
namespace {

bool HaveChromium() {
  return std::system("command -v chromium >/dev/null 2>&1") == 0;
}

// The DOM Chromium made of a page, or "" when it did not run; console is what the page wrote
// to its console (a refusal by the page's security policy shows there).
std::string DumpDom(const std::string& url, std::string* console = nullptr) {
  TTempDir profile;
  const std::string logPath = profile.Path() + "/console.log";
  const std::string cmd =
      "timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--enable-logging=stderr --v=0 --user-data-dir=" +
      profile.Path() + " --dump-dom '" + url + "' 2>" + logPath;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  std::string dom;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) dom.append(buf, n);
  pclose(p);
  if (console) {
    std::ifstream in(logPath);
    std::string line;
    while (std::getline(in, line))
      if (line.find("CONSOLE") != std::string::npos || line.find("Refused") != std::string::npos)
        *console += line + "\n";
  }
  return dom;
}

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
