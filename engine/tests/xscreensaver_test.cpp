// The installed hack under Debian's xscreensaver daemon, end to end: install
// the build into a scratch prefix, make it the only saver of a throwaway
// user (the daemon will not start hacks as root), run the daemon on a
// private virtual display, activate, look at the screen, deactivate.
// Needs root (useradd); skipped otherwise.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <dirent.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kUser = "sorvane-xss";
const char* const kDisplay = ":35";

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

pid_t Spawn(std::vector<std::string> args, const std::string& log) {
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (FILE* f = std::freopen(log.c_str(), "a", stdout)) dup2(fileno(f), 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  kill(pid, SIGTERM);
  for (int i = 0; i < 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(20000);
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Processes whose command line starts with `program`, and their environments.
std::vector<pid_t> ProcessesOf(const std::string& program) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* e = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
    if (pid <= 0) continue;
    const std::string cmdline = ReadFile("/proc/" + std::string(e->d_name) + "/cmdline");
    if (cmdline.compare(0, program.size() + 1, program + '\0') == 0) found.push_back(pid);
  }
  closedir(proc);
  return found;
}

std::string EnvironmentValue(pid_t pid, const std::string& name) {
  const std::string env = ReadFile("/proc/" + std::to_string(pid) + "/environ");
  std::istringstream in(env);
  std::string entry;
  while (std::getline(in, entry, '\0')) {
    if (entry.compare(0, name.size() + 1, name + "=") == 0) return entry.substr(name.size() + 1);
  }
  return "";
}

class Xscreensaver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (getuid() != 0) GTEST_SKIP() << "needs root to add the throwaway user";
    if (Shell("command -v xscreensaver >/dev/null && command -v xscreensaver-command >/dev/null") != 0) {
      GTEST_SKIP() << "xscreensaver is not installed";
    }
    char dir[] = "/tmp/sorvane-xss-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    scratch_ = dir;
    chmod(dir, 0755);  // the user must reach the installed hack
    prefix_ = scratch_ + "/prefix";
    if (!getpwnam(kUser)) {
      ASSERT_EQ(Shell(std::string("useradd -m -s /bin/sh ") + kUser), 0);
    }
    home_ = getpwnam(kUser)->pw_dir;
  }
  void TearDown() override {
    if (!daemon_ && !xserver_) {
      if (!scratch_.empty()) Shell("rm -rf " + scratch_);
      return;
    }
    AsUser("xscreensaver-command -exit >/dev/null 2>&1");
    End(daemon_);
    for (pid_t p : ProcessesOf(hack_)) kill(p, SIGKILL);
    End(xserver_);
    // Whatever the throwaway user still runs was started here.
    if (const passwd* user = getpwnam(kUser)) {
      const uid_t uid = user->pw_uid;
      if (DIR* proc = opendir("/proc")) {
        while (dirent* e = readdir(proc)) {
          struct stat st;
          const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
          if (pid > 0 && stat(("/proc/" + std::string(e->d_name)).c_str(), &st) == 0 && st.st_uid == uid) {
            kill(pid, SIGKILL);
          }
        }
        closedir(proc);
      }
    }
    Shell(std::string("userdel -r ") + kUser + " 2>/dev/null");
    Shell("rm -rf " + scratch_);
  }

  int AsUser(const std::string& command) {
    return Shell(std::string("runuser -u ") + kUser + " -- env HOME=" + home_ + " DISPLAY=" + kDisplay + " sh -c '" +
               command + "'");
  }

  // The build installed in the layout xscreensaver expects, as the user's
  // only saver (`entry` goes before its command in the list).
  void InstallAsTheOnlySaver(const std::string& entry) {
    ASSERT_EQ(Shell(std::string(SORVANE_CMAKE) + " --install " + SORVANE_BUILD_DIR + " --prefix " + prefix_ +
                  " >/dev/null"),
              0);
    hack_ = prefix_ + "/libexec/xscreensaver/sorvane";
    ASSERT_EQ(access(hack_.c_str(), X_OK), 0) << hack_;
    Shell("chmod -R a+rX " + scratch_);
    // The user's settings: this hack alone, no fading, no locking.
    {
      std::ofstream rc(home_ + "/.xscreensaver");
      rc << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
            "timeout: 0:30:00\nprograms: " << entry << hack_ << " --root \\n\n";
    }
    ASSERT_EQ(Shell("chown " + std::string(kUser) + ": " + home_ + "/.xscreensaver"), 0);
  }

  // A private display that lets the user in.
  Display* StartDisplay() {
    xserver_ = Spawn({"Xvfb", kDisplay, "-ac", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
                     scratch_ + "/xvfb.log");
    Display* d = nullptr;
    for (int i = 0; i < 200 && !d; ++i) {
      d = XOpenDisplay(kDisplay);
      if (!d) usleep(50000);
    }
    return d;
  }

  void StartDaemon() {
    daemon_ = Spawn({"runuser", "-u", kUser, "--", "env", "HOME=" + home_, std::string("DISPLAY=") + kDisplay,
                     "xscreensaver", "--no-splash"},
                    scratch_ + "/daemon.log");
    bool ready = false;
    for (double end = Now() + 20; !ready && Now() < end; usleep(200000)) {
      ready = AsUser("xscreensaver-command -time >/dev/null 2>&1") == 0;
    }
    ASSERT_TRUE(ready) << "the daemon did not answer:\n" << ReadFile(scratch_ + "/daemon.log");
  }

  std::string scratch_, prefix_, home_, hack_;
  pid_t xserver_ = 0, daemon_ = 0;
};

TEST_F(Xscreensaver, InstalledHackDrawsInTheDaemonWindowAndEndsOnDeactivate) {
  InstallAsTheOnlySaver("");
  ASSERT_FALSE(HasFatalFailure());
  const std::string config = ReadFile(prefix_ + "/share/xscreensaver/config/sorvane.xml");
  EXPECT_NE(config.find("<screensaver name=\"sorvane\" _label=\"Sorvane\" gl=\"yes\">"), std::string::npos)
      << config;
  EXPECT_NE(config.find("<command arg=\"--root\"/>"), std::string::npos);
  for (const char* option : {"arg=\"--music %\"", "arg=\"--cd %\""}) {
    EXPECT_NE(config.find(option), std::string::npos) << option;
  }
  EXPECT_NE(config.find("<_description>"), std::string::npos);
  Display* d = StartDisplay();
  ASSERT_NE(d, nullptr) << "Xvfb " << kDisplay << " did not start";
  const Window root = DefaultRootWindow(d);
  StartDaemon();
  ASSERT_FALSE(HasFatalFailure());

  ASSERT_EQ(AsUser("xscreensaver-command -activate >/dev/null"), 0);
  // The hack runs with the daemon's window, and lit puffs show over black.
  std::vector<pid_t> hacks;
  long lit = 0, coloured = -1;
  for (double end = Now() + 10; Now() < end; usleep(200000)) {
    hacks = ProcessesOf(hack_);
    if (hacks.empty()) continue;
    XImage* image = XGetImage(d, root, 0, 0, 1024, 768, AllPlanes, ZPixmap);
    if (!image) continue;
    lit = coloured = 0;
    for (int y = 0; y < 768; ++y) {
      for (int x = 0; x < 1024; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        coloured += r != g || g != b;
        lit += r > 60 && x > 1024 / 3 && x < 2048 / 3 && y > 384;
      }
    }
    XDestroyImage(image);
    if (lit > 2000 && coloured == 0) break;
  }
  ASSERT_EQ(hacks.size(), 1u) << "the daemon did not start the hack:\n" << ReadFile(scratch_ + "/daemon.log");
  const std::string given = EnvironmentValue(hacks[0], "XSCREENSAVER_WINDOW");
  EXPECT_FALSE(given.empty());
  EXPECT_NE(ReadFile("/proc/" + std::to_string(hacks[0]) + "/cmdline").find("--root"), std::string::npos);
  EXPECT_GT(lit, 2000) << "no puffs in the lower middle of the screen";
  EXPECT_EQ(coloured, 0) << "white light over black only";

  ASSERT_EQ(AsUser("xscreensaver-command -deactivate >/dev/null"), 0);
  const double deactivated = Now();
  while (!ProcessesOf(hack_).empty() && Now() - deactivated < 5) usleep(20000);
  const double took = Now() - deactivated;
  EXPECT_LT(took, 2.0) << "the hack outlived -deactivate";
  XCloseDisplay(d);
}

// The settings program previews the chosen hack by running its line from the
// list with --window-id added ("GL: sorvane --root" becomes "sorvane --root
// --window-id ID"): the puffs must show in that pane.
TEST_F(Xscreensaver, SettingsPreviewDrawsTheHackIntoItsPane) {
  InstallAsTheOnlySaver("GL: ");
  ASSERT_FALSE(HasFatalFailure());
  Display* d = StartDisplay();
  ASSERT_NE(d, nullptr) << "Xvfb " << kDisplay << " did not start";
  StartDaemon();  // else the settings program asks first whether to start it
  ASSERT_FALSE(HasFatalFailure());
  const pid_t settings = Spawn({"runuser", "-u", kUser, "--", "env", "HOME=" + home_,
                                std::string("DISPLAY=") + kDisplay, "xscreensaver-settings"},
                               scratch_ + "/settings.log");
  std::string cmdline;
  Window pane = 0;
  for (double end = Now() + 20; !pane && Now() < end; usleep(200000)) {
    for (pid_t hack : ProcessesOf(hack_)) {
      cmdline = ReadFile("/proc/" + std::to_string(hack) + "/cmdline");
      const size_t at = cmdline.find(std::string("--window-id") + '\0');
      if (at != std::string::npos) pane = std::strtoul(cmdline.c_str() + at + 12, nullptr, 0);
    }
  }
  ASSERT_NE(pane, 0u) << "no preview running; the settings program said:\n" << ReadFile(scratch_ + "/settings.log");
  EXPECT_NE(cmdline.find(std::string("--root") + '\0'), std::string::npos) << "the list's own option goes along";

  long lit = 0, coloured = -1;
  XWindowAttributes wa = {};
  for (double end = Now() + 10; Now() < end && !(lit > 200 && coloured == 0); usleep(200000)) {
    Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(d, pane, &wa) ||
        !XTranslateCoordinates(d, pane, DefaultRootWindow(d), 0, 0, &x, &y, &child)) {
      continue;
    }
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(wa.width),
                              static_cast<unsigned>(wa.height), AllPlanes, ZPixmap);
    if (!image) continue;
    lit = coloured = 0;
    for (int j = 0; j < wa.height; ++j) {
      for (int i = 0; i < wa.width; ++i) {
        const unsigned long p = XGetPixel(image, i, j);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        coloured += r != g || g != b;
        lit += r > 60;
      }
    }
    XDestroyImage(image);
  }
  EXPECT_GT(lit, 200) << "no puffs in the " << wa.width << "x" << wa.height << " preview pane";
  EXPECT_EQ(coloured, 0) << "white light over black only";
  EXPECT_FALSE(ProcessesOf(hack_).empty()) << "the preview hack has ended";
  End(settings);
  XCloseDisplay(d);
}

}  // namespace
