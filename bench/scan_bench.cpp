// The line scans against grep on the same file.
//
//   scan_bench [--lists] [--large-writes] [FOLDER]
//
// Writes a 64 MiB INI file into FOLDER (default: the system's temporary folder), then
// times SectionExists and KeyInSection for the last section and its last key against
// `grep -F -x -c` for the same line, with a warm page cache, and reports the peak
// memory of a process that only scans. Then the lists: the portable store's list scan
// in this process, and the `tesvar sections` and `tesvar keys` commands as processes,
// against `grep -c '^\['`, and the tool's peak memory while listing this file and one
// four times its size. With --lists only the lists are measured. Beside the key scans,
// reading the file alone against the same grep shows the most that any scan can reach.
// Each operation runs in turn with its grep, round after round, and is reported with
// the median of the rounds' ratios.
//
// The files are written through a stream's usual 8 KiB buffer. With --large-writes they
// are written 4 MiB at a time: Linux then keeps them in the page cache in large pieces
// (folios), which a read copies at about twice the speed. Reading is most of a scan's
// time and much of grep's, so the ratios depend on how the file was written.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "profilectl/ini_scan.h"
#include "profilectl/profile_store.h"
#include "text/codepage.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 11;
constexpr std::size_t kFileSize = 64u << 20;
bool largeWrites = false;

const char* WrittenHow() { return largeWrites ? "4 MiB at a time" : "8 KiB at a time"; }

// Sections of `keys` keys until the file reaches `size` bytes; returns the last
// section's name. Line by line through the stream's buffer, whatever the shape, so that
// every file of a run is written in writes of the same size.
std::string WriteIni(const std::string& path, int keys, std::string& lastKeyLine, std::size_t size = kFileSize) {
  std::vector<char> buffer(largeWrites ? 4u << 20 : 0);
  std::ofstream out;
  if (largeWrites) out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  out.open(path, std::ios::binary | std::ios::trunc);
  std::size_t written = 0;
  std::string section;
  for (int s = 0; written < size; ++s) {
    section = "section" + std::to_string(s);
    const std::string header = "[" + section + "]\r\n";
    out << header;
    written += header.size();
    for (int k = 0; k < keys && written < size; ++k) {
      lastKeyLine = "key" + std::to_string(k) + "=value of key " + std::to_string(k) + " in " + section;
      out << lastKeyLine << "\r\n";
      written += lastKeyLine.size() + 2;
    }
  }
  return section;
}

// Seconds of processor time used so far by this process and its waited-for children.
double CpuSeconds() {
  double total = 0;
  for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage usage {};
    getrusage(who, &usage);
    total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  }
  return total;
}

// One run, in seconds: by the clock, and of processor time (user and system, of this
// process or the command it runs), which depends far less on what else the machine is
// doing.
struct Timing {
  double wall = 0;
  double cpu = 0;
};

Timing Measure(const std::function<void()>& run) {
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  run();
  return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds() - cpuStart};
}

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// An operation against grep in kRuns rounds. Each round runs both, grep first in every
// other round, so that what else the machine does falls on both alike; the speed is the
// median of the rounds' ratios, and the times are the medians of each side's.
struct Comparison {
  Timing grep, ours;
  double speed = 0, cpuSpeed = 0;  // grep's time over ours
};

Comparison Compare(const std::function<void()>& grep, const std::function<void()>& ours) {
  std::vector<double> grepWall, grepCpu, oursWall, oursCpu, speed, cpuSpeed;
  for (int round = 0; round < kRuns; ++round) {
    Timing g, o;
    if (round % 2 == 0) {
      g = Measure(grep);
      o = Measure(ours);
    } else {
      o = Measure(ours);
      g = Measure(grep);
    }
    grepWall.push_back(g.wall);
    grepCpu.push_back(g.cpu);
    oursWall.push_back(o.wall);
    oursCpu.push_back(o.cpu);
    speed.push_back(g.wall / o.wall);
    cpuSpeed.push_back(g.cpu / o.cpu);
  }
  return {{MedianOf(grepWall), MedianOf(grepCpu)},
          {MedianOf(oursWall), MedianOf(oursCpu)},
          MedianOf(speed),
          MedianOf(cpuSpeed)};
}

// One line of the report: our time, grep's, and the speed relative to grep by both
// measures.
void Report(const std::string& what, const Comparison& c) {
  std::printf("%-26s %6.1f ms (cpu %5.1f)   grep %6.1f ms (cpu %5.1f)   %.2fx grep's speed (cpu %.2fx)\n",
              what.c_str(), c.ours.wall * 1e3, c.ours.cpu * 1e3, c.grep.wall * 1e3, c.grep.cpu * 1e3, c.speed,
              c.cpuSpeed);
}

// Runs a command and returns its exit status. Its output goes to `out` (grep stops at
// the first match when it writes to /dev/null), its errors to `err` when given.
int Spawn(std::vector<std::string> args, const char* out = "/dev/null", const char* err = nullptr) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (err != nullptr) posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid;
  const int started = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (started != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The peak resident memory, in KiB, of a command on its own, measured by peak_rss (a
// process started from this one would count this one's memory too); -1 on failure.
long CommandPeakKiB(const std::vector<std::string>& command, const std::string& scratch) {
  std::vector<std::string> args = {PEAK_RSS};
  args.insert(args.end(), command.begin(), command.end());
  if (Spawn(args, "/dev/null", scratch.c_str()) != 0) return -1;
  std::ifstream in(scratch);
  long peak = -1;
  in >> peak;
  std::filesystem::remove(scratch);
  return peak;
}

// Peak resident memory, in KiB, of a child process that runs `work`.
long ChildPeakKiB(const std::function<void()>& work) {
  const pid_t pid = fork();
  if (pid == 0) {
    work();
    _exit(0);
  }
  int status;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return usage.ru_maxrss;
}

void Fail(const char* what) {
  std::fprintf(stderr, "scan_bench: %s\n", what);
  std::exit(1);
}

// Reads the whole file through a window of the scans' size and looks at nothing: the
// time no scan of the file can beat.
void ReadAlone(const fileio::Path& file) {
  auto reader = fileio::Reader::Open(file);
  if (!reader) Fail("cannot open the file");
  const fileio::ReadBuffer buffer(profilectl::inimd::kScanWindow);
  for (;;) {
    const auto n = reader->Read(buffer.get(), profilectl::inimd::kScanWindow);
    if (!n || *n == 0) return;
  }
}

// Counts the entries of a list and keeps none of them, as a streaming consumer does.
class EntryCounter final : public profilectl::ListVisitor {
 public:
  bool Entry(std::string_view) override {
    ++count;
    return true;
  }
  std::size_t count = 0;
};

std::size_t VisitSectionNames(profilectl::ProfileStore& store, const std::string& path) {
  EntryCounter counter;
  store.VisitSectionNames(path, counter);
  return counter.count;
}

std::size_t VisitKeyNames(profilectl::ProfileStore& store, const std::string& path, const std::string& section) {
  EntryCounter counter;
  store.VisitKeyNames(path, section, counter);
  return counter.count;
}

// The lists on the file at `path`, whose last section is `section`: all section names
// and the key names of the last section, in this process and through the tool. Then the
// tool's peak memory while listing this file and one four times its size.
void MeasureLists(const std::string& path, const std::string& section) {
  auto store = profilectl::MakePortableProfileStore();
  const std::size_t sectionCount = VisitSectionNames(*store, path);
  if (sectionCount < 2 || VisitKeyNames(*store, path, section) == 0) Fail("the lists came back empty");
  const std::string tool = TESVAR_TOOL;
  if (Spawn({tool, path, "keys", section}) != 0) Fail("tesvar keys failed");

  const std::string grepOut = path + ".count";
  const auto grepHeaders = [&] { Spawn({"grep", "-c", "^\\[", path}, grepOut.c_str()); };
  std::printf("against grep -c '^\\[' (counts the header lines):\n");
  Report("section names (" + std::to_string(sectionCount) + ")",
         Compare(grepHeaders, [&] { (void)VisitSectionNames(*store, path); }));
  Report("key names (last section)", Compare(grepHeaders, [&] { (void)VisitKeyNames(*store, path, section); }));
  Report("tesvar sections", Compare(grepHeaders, [&] { Spawn({tool, path, "sections"}); }));
  Report("tesvar keys (last section)", Compare(grepHeaders, [&] { Spawn({tool, path, "keys", section}); }));
  std::filesystem::remove(grepOut);

  // The tool's peak memory while listing, against the tool on an empty file.
  struct Peaks {
    double mib;
    long sections, keys;
  };
  const std::string scratch = path + ".peak";
  const auto peaksOf = [&](const std::string& file, const std::string& last) {
    return Peaks{static_cast<double>(std::filesystem::file_size(file)) / (1 << 20),
                 CommandPeakKiB({tool, file, "sections"}, scratch), CommandPeakKiB({tool, file, "keys", last}, scratch)};
  };
  const Peaks small = peaksOf(path, section);
  const std::string largePath = path + ".x4";
  std::string lastKeyLine;
  const std::string largeSection = WriteIni(largePath, 20, lastKeyLine, 4 * kFileSize);
  const Peaks large = peaksOf(largePath, largeSection);
  std::ofstream(largePath, std::ios::trunc).close();
  const long empty = CommandPeakKiB({tool, largePath, "sections"}, scratch);
  std::filesystem::remove(largePath);
  std::printf("peak memory of the tool     %6.0f MiB file  %6.0f MiB file   (on an empty file: %ld KiB)\n",
              small.mib, large.mib, empty);
  std::printf("tesvar sections              %8ld KiB    %8ld KiB\n", small.sections, large.sections);
  std::printf("tesvar keys (last section)   %8ld KiB    %8ld KiB\n", small.keys, large.keys);
}

}  // namespace

int main(int argc, char** argv) {
  int next = 1;
  bool listsOnly = false;
  for (; argc > next && argv[next][0] == '-'; ++next) {
    const std::string option = argv[next];
    if (option == "--lists") {
      listsOnly = true;
    } else if (option == "--large-writes") {
      largeWrites = true;
    } else {
      std::fprintf(stderr, "usage: scan_bench [--lists] [--large-writes] [FOLDER]\n");
      return 64;
    }
  }
  const std::filesystem::path folder = argc > next ? argv[next] : std::filesystem::temp_directory_path();
  const std::string path = (folder / "scan_bench.ini").string();
  std::string keyLine;
  const std::string section = WriteIni(path, 20, keyLine);
  if (listsOnly) {
    std::printf("file: %.1f MiB, written %s, medians of %d rounds, warm cache\n",
                static_cast<double>(std::filesystem::file_size(path)) / (1 << 20), WrittenHow(), kRuns);
    MeasureLists(path, section);
    std::filesystem::remove(path);
    return 0;
  }
  const std::string header = "[" + section + "]";
  const std::string key = keyLine.substr(0, keyLine.find('='));
  const fileio::Path file = text::FromUtf8(path);
  const std::u16string wideSection = text::FromUtf8(section);
  const std::u16string wideKey = text::FromUtf8(key);

  // Warm the page cache and check the answers once.
  if (Spawn({"grep", "-F", "-x", "-q", header + "\r", path}) != 0) Fail("grep did not find the header");
  if (profilectl::inimd::SectionExists(file, wideSection) != true) Fail("SectionExists missed the header");
  if (profilectl::inimd::KeyInSection(file, wideSection, wideKey) != true) Fail("KeyInSection missed the key");

  const auto grepHeader = [&] { Spawn({"grep", "-F", "-x", "-c", header + "\r", path}); };
  const auto grepKey = [&] { Spawn({"grep", "-F", "-x", "-c", keyLine + "\r", path}); };
  const Comparison lastSection =
      Compare(grepHeader, [&] { (void)profilectl::inimd::SectionExists(file, wideSection); });
  const Comparison absentSection = Compare(grepHeader, [&] { (void)profilectl::inimd::SectionExists(file, u"absent"); });
  const Comparison lastKey =
      Compare(grepKey, [&] { (void)profilectl::inimd::KeyInSection(file, wideSection, wideKey); });

  const long idlePeak = ChildPeakKiB([] {});
  const long scanPeak = ChildPeakKiB([&] { (void)profilectl::inimd::KeyInSection(file, wideSection, wideKey); });

  const double mib = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  std::printf("file: %.1f MiB, written %s, medians of %d rounds, warm cache\n", mib, WrittenHow(), kRuns);
  std::printf("against grep -F -x -c (the header line, or the key's line):\n");
  Report("SectionExists (last)", lastSection);
  Report("SectionExists (absent)", absentSection);
  Report("KeyInSection (last key)", lastKey);
  Report("reading alone (the floor)", Compare(grepKey, [&] { ReadAlone(file); }));
  MeasureLists(path, section);

  // One section that fills the file: the key scan looks at every line.
  std::string bigKeyLine;
  const std::string bigSection = WriteIni(path, 1 << 30, bigKeyLine);
  const std::u16string wideBigKey = text::FromUtf8(bigKeyLine.substr(0, bigKeyLine.find('=')));
  if (profilectl::inimd::KeyInSection(file, text::FromUtf8(bigSection), wideBigKey) != true)
    Fail("KeyInSection missed the key of the big section");
  const auto grepBigKey = [&] { Spawn({"grep", "-F", "-x", "-c", bigKeyLine + "\r", path}); };
  const Comparison bigKey = Compare(
      grepBigKey, [&] { (void)profilectl::inimd::KeyInSection(file, text::FromUtf8(bigSection), wideBigKey); });
  const Comparison bigRead = Compare(grepBigKey, [&] { ReadAlone(file); });
  std::printf("one section of %.1f MiB, against grep -F -x -c:\n",
              static_cast<double>(std::filesystem::file_size(path)) / (1 << 20));
  Report("KeyInSection (last key)", bigKey);
  Report("reading alone (the floor)", bigRead);

  std::printf("peak memory of a scanning process: %ld KiB (a process that does nothing: %ld KiB)\n", scanPeak,
              idlePeak);
  std::filesystem::remove(path);
  return 0;
}
