// What reaches an operator: the installed tree, the Debian package, the
// manual page and the supervision files, each checked by the tool that an
// operator's system would use on it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string source_dir = SENTREL_SOURCE_DIR;
const std::string build_dir = SENTREL_BUILD_DIR;

// The full path of `name` in $PATH, or "" when it is not there.
std::string find_on_path(const std::string &name) {
  const char *path = getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}

// The regular files below `root`, as paths relative to it, sorted.
std::vector<std::string> files_below(const std::string &root) {
  program_result found = run_program({"/usr/bin/env", "find", root, "-type", "f"});
  std::vector<std::string> files;
  std::istringstream lines(found.out);
  for (std::string line; std::getline(lines, line);) files.push_back(line.substr(root.size()));
  std::sort(files.begin(), files.end());
  return files;
}

void remove_tree(const std::string &dir) { run_program({"/bin/rm", "-rf", dir}); }

// Runs the program installed below `root` and checks that it is sentrel.
void expect_runnable_sentrel(const std::string &root, const std::string &prefix) {
  program_result version = run_program({root + prefix + "/bin/sentrel", "-V"});
  EXPECT_EQ(0, version.exit_status);
  EXPECT_EQ("sentrel, v" SENTREL_VERSION "\n", version.out);
}

// What an install puts below its prefix, as Debian wants it: the program,
// the license, the changelog and the manual page, the last two compressed.
const std::vector<std::string> installed_tree = {
    "/bin/sentrel", "/share/doc/sentrel/changelog.gz", "/share/doc/sentrel/copyright",
    "/share/man/man1/sentrel.1.gz"};

// The contents of the gzip file at `path`.
std::string decompressed(const std::string &path) {
  return run_program({"/usr/bin/env", "gzip", "-dc", path}).out;
}

TEST(install, puts_the_program_and_its_documents_below_the_prefix_and_destdir) {
  std::string tmp = make_temp_dir();

  program_result plain = run_program(
      {SENTREL_CMAKE, "--install", build_dir, "--prefix", tmp + "/prefix"});
  ASSERT_EQ(0, plain.exit_status) << plain.err;
  EXPECT_EQ(installed_tree, files_below(tmp + "/prefix"));
  expect_runnable_sentrel(tmp, "/prefix");
  EXPECT_EQ(read_file(source_dir + "/docs/sentrel.1"),
            decompressed(tmp + "/prefix/share/man/man1/sentrel.1.gz"));

  program_result staged = run_program({"/usr/bin/env", "DESTDIR=" + tmp + "/stage", SENTREL_CMAKE,
                                       "--install", build_dir, "--prefix", "/opt/sentrel"});
  ASSERT_EQ(0, staged.exit_status) << staged.err;
  EXPECT_EQ(installed_tree, files_below(tmp + "/stage/opt/sentrel"));
  expect_runnable_sentrel(tmp + "/stage", "/opt/sentrel");
  remove_tree(tmp);
}

TEST(install, debian_package_unpacks_to_a_runnable_sentrel_and_passes_lintian) {
  std::string dpkg_deb = find_on_path("dpkg-deb");
  if (dpkg_deb.empty()) GTEST_SKIP() << "dpkg-deb is not installed: no Debian package to check";
  if (access(SENTREL_CPACK, X_OK) != 0) GTEST_SKIP() << "no cpack beside cmake: " SENTREL_CPACK;
  std::string tmp = make_temp_dir();
  program_result packed = run_program({SENTREL_CPACK, "-G", "DEB", "--config",
                                       build_dir + "/CPackConfig.cmake", "-B", tmp}, "", 120);
  ASSERT_EQ(0, packed.exit_status) << packed.out << packed.err;
  std::vector<std::string> made = files_below(tmp);
  auto deb = std::find_if(made.begin(), made.end(), [](const std::string &file) {
    return file.rfind("/sentrel_" SENTREL_VERSION "_", 0) == 0 && file.size() > 4 &&
           file.compare(file.size() - 4, 4, ".deb") == 0;
  });
  ASSERT_NE(made.end(), deb) << "cpack made no sentrel_" SENTREL_VERSION "_<arch>.deb in " << tmp;
  std::string package = tmp + *deb;

  program_result fields = run_program({dpkg_deb, "--field", package, "Package", "Version"});
  EXPECT_EQ("Package: sentrel\nVersion: " SENTREL_VERSION "\n", fields.out) << fields.err;
  program_result unpacked = run_program({dpkg_deb, "-x", package, tmp + "/root"});
  ASSERT_EQ(0, unpacked.exit_status) << unpacked.err;
  EXPECT_EQ(installed_tree, files_below(tmp + "/root/usr"));
  expect_runnable_sentrel(tmp + "/root", "/usr");
  // A version raised without a changelog entry for it.
  std::string changelog = decompressed(tmp + "/root/usr/share/doc/sentrel/changelog.gz");
  EXPECT_EQ(0u, changelog.rfind("sentrel (" SENTREL_VERSION ") ", 0)) << changelog;

  std::string lintian = find_on_path("lintian");
  if (lintian.empty()) {
    remove_tree(tmp);
    SKIP_UNLESS_REQUIRED("lintian", "lintian is not installed: the package is not checked");
  }
  // Informational and pedantic tags are advice, but for the hardening ones;
  // errors and warnings fail.
  program_result lint = run_program({lintian, "-I", "--fail-on", "error,warning", package}, "", 300);
  EXPECT_EQ(0, lint.exit_status) << lint.out << lint.err;
  if (SENTREL_HARDENED) {
    EXPECT_EQ(std::string::npos, lint.out.find("hardening-")) << lint.out;
  }
  remove_tree(tmp);
}

TEST(manual, passes_mandoc_lint_and_shows_the_usage_text_as_the_program_prints_it) {
  std::string page = source_dir + "/docs/sentrel.1";
  std::string text = read_file(page);
  program_result usage = run_sentrel({"-?"});
  ASSERT_EQ(0, usage.exit_status);
  ASSERT_EQ(0u, usage.out.rfind("sentrel, v" SENTREL_VERSION "\n\n-f ", 0)) << usage.out;
  std::istringstream lines(usage.out);
  for (std::string line; std::getline(lines, line);)
    EXPECT_NE(std::string::npos, text.find(line + "\n")) << "the manual lacks: " << line;

  std::string mandoc = find_on_path("mandoc");
  if (mandoc.empty()) SKIP_UNLESS_REQUIRED("mandoc", "mandoc is not installed: the page is not linted");
  program_result lint = run_program({mandoc, "-T", "lint", "-W", "warning", page});
  EXPECT_EQ(0, lint.exit_status);
  EXPECT_EQ("", lint.out + lint.err);
}

TEST(contrib, supervision_and_serving_files_pass_their_checkers) {
  program_result rc_script = run_program({"/bin/sh", "-n", source_dir + "/contrib/rc.d/sentrel"});
  EXPECT_EQ(0, rc_script.exit_status) << rc_script.err;

  std::string analyze = find_on_path("systemd-analyze");
  if (analyze.empty()) GTEST_SKIP() << "systemd-analyze is not installed: units not verified";
  std::string tmp = make_temp_dir();
  // A unit that is certainly sound tells whether verify works here at all
  // (it needs no running systemd, but some containers still break it).
  write_file(tmp + "/probe.service", "[Unit]\nDescription=probe\n[Service]\nExecStart=/bin/true\n");
  program_result probe = run_program({analyze, "verify", tmp + "/probe.service"}, "", 60);
  if (probe.exit_status != 0 || !probe.err.empty() || !probe.out.empty()) {
    remove_tree(tmp);
    GTEST_SKIP() << "systemd-analyze verify does not work here: " << probe.err;
  }

  // Verify checks that the program and the manual page named in the unit
  // exist: point it at the built ones.
  std::string unit = read_file(source_dir + "/contrib/systemd/sentrel.service");
  std::string::size_type at = unit.find("ExecStart=/usr/bin/sentrel ");
  ASSERT_NE(std::string::npos, at);
  unit.replace(at, 26, std::string("ExecStart=") + SENTREL_BINARY);
  write_file(tmp + "/sentrel.service", unit);
  ASSERT_EQ(0, mkdir((tmp + "/man").c_str(), 0700));
  ASSERT_EQ(0, mkdir((tmp + "/man/man1").c_str(), 0700));
  write_file(tmp + "/man/man1/sentrel.1", read_file(source_dir + "/docs/sentrel.1"));
  for (const char *name : {"nagios-status.socket", "nagios-status@.service"})
    write_file(tmp + "/" + name, read_file(source_dir + "/contrib/systemd/" + name));

  program_result verified = run_program(
      {"/usr/bin/env", "MANPATH=" + tmp + "/man", analyze, "verify", tmp + "/sentrel.service",
       tmp + "/nagios-status.socket", tmp + "/nagios-status@.service"},
      "", 60);
  EXPECT_EQ(0, verified.exit_status);
  EXPECT_EQ("", verified.out + verified.err);
  remove_tree(tmp);
}

}  // namespace
