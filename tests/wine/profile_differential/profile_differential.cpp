// Differential test of our portable profile store against kernel32's profile functions.
//
// A generator driven by a fixed random generator state (--start N; each file k also
// reruns alone with --start N --file k) makes INI files and operation sequences:
// sections and keys in mixed case, Chinese names and values in code page 936 (also
// characters whose trail byte is '[' or ']'), blanks, quotes, comments, duplicate keys
// and sections, CR LF / lone CR / lone LF line ends and a missing final line break.
// Each sequence runs through both stores, each on its own copy of the file; every read
// result and every write's return value is compared, and the file bytes after every
// write.
//
// Wine's kernel32 stands in for Windows, and where it is known to differ from Windows
// the generator stays away from the input or compares only what both must agree on:
// - Wine rewrites the whole file on every change: it drops blank lines, normalises the
//   spacing around names, '=' and values and the line ends, and puts a new key after the
//   comments that follow the last key of its section. Windows edits in place. So file
//   bytes are compared only for "canonical" files, written the way Wine writes them:
//   "[name]" headers and "key=value" lines ending in CR LF, comments only before the
//   first header, and values without blanks at their ends (Wine strips them).
//   "Free-form" files (blanks, blank lines, lone CR and LF, a missing final line break,
//   comments and stray lines anywhere) are compared through reads only: after every
//   write the written key is read back through both stores, and at the end every
//   name of the vocabulary is read from both files.
// - Windows trims the spaces around the caller's section and key names; in writes and
//   deletes Wine trims only the leading ones. Only reads pass names with spaces around.
// - Windows takes a line without '=' for no key at all; Wine takes it for a key without
//   a value, which then hides a later line of that name. Such lines never carry a name
//   of the vocabulary.
// - Only the first of two sections of the same name counts on Windows; Wine's deletes
//   (of a key or a section) also reach the later ones. Canonical files have no
//   duplicate section; free-form files may have them, and then see reads and writes
//   only, which Windows and Wine handle alike.
// - Wine finds a comment line ";name=..." when asked for the key ";name"; Windows gives
//   the default for any name that starts with ';'. Such names are asked for only in
//   canonical files.
// - Wine ignores case only in ASCII letters; Windows compares names in Unicode. The
//   vocabulary's only case pairs are ASCII.
// - Wine reaches the key lines before the first header through the section "", which
//   on Windows is "[]" alone (those lines belong to no section there); it rejects a
//   header without ']' and ends a name at the last ']' of the line. None of these are
//   generated, and the section "" is never asked for.
// - When a read cuts a value inside a double-byte character, Wine puts a NUL where the
//   lead byte was. A cut read is compared with the first size - 1 bytes of Wine's uncut
//   value, which is what Windows returns.
// - A delete in a missing file creates an empty file on Windows, not on Wine: an empty
//   file of ours then counts the same as Wine's missing one.
// - Wine recognises UTF-8 and UTF-16BE byte-order marks; no file starts with one.
//
// Some files are stored as UTF-16LE with its byte-order mark, and some are held open
// without sharing by another handle for the whole sequence: then every read gives the
// default in both stores, every write fails in both, and both files keep their bytes.
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "profilectl/profile_store.h"
#include "support/escaped.h"
#include "support/temp_dir.h"
#include "text/codepage.h"
#include "wine/support/files.h"

namespace {

using testing_support::Escaped;

using profilectl::ProfileStore;

std::string Ansi(std::u16string_view text) { return text::ToAnsi(text); }

// Names: ASCII case pairs, Chinese, and Chinese whose trail byte is ']' (乚 = 81 5D,
// 俔 = 82 5D) or '[' (乕 = 81 5B).
const std::vector<std::string> kSections = {
    "a", "A", "b", "Main", "MAIN", "main", "x y", Ansi(u"设置"), Ansi(u"常规"), Ansi(u"乚"), Ansi(u"乕俔"),
};
const std::vector<std::string> kKeys = {
    "k", "K", "key", "Key", "KEY", "x", "y", "k2", "a b", Ansi(u"名称"), Ansi(u"用户名"), Ansi(u"乚"), Ansi(u"俔x"),
};
// Values a canonical file may hold and a canonical write may write.
const std::vector<std::string> kValues = {
    "1", "", "v", "hello world", "x;y", "a=b", "[t]", "\"q\"", "'q'", "\"odd'", "\"", "#1",
    Ansi(u"测试值"), Ansi(u"张三 李四"), Ansi(u"乚乕"), "C:\\Temp\\x.ini",
};
// Values only free-form files hold or free-form writes write.
const std::vector<std::string> kFreeValues = {"  lead", "\t tab", " \" q \" ", "' x '  ", "\v", "trail  "};


class Random {
 public:
  explicit Random(std::uint64_t state) : engine_(state) {}
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[Below(v.size())]; }

 private:
  std::mt19937_64 engine_;
};

enum class Kind { kRead, kWrite, kDeleteKey, kDeleteSection };

struct Operation {
  Kind kind;
  std::string section, key, value;
  std::size_t size = 256;
};

std::string Describe(const Operation& op) {
  switch (op.kind) {
    case Kind::kRead:
      return "read " + Escaped(op.section) + " " + Escaped(op.key) + " size " + std::to_string(op.size);
    case Kind::kWrite:
      return "write " + Escaped(op.section) + " " + Escaped(op.key) + " = " + Escaped(op.value);
    case Kind::kDeleteKey:
      return "delete key " + Escaped(op.section) + " " + Escaped(op.key);
    case Kind::kDeleteSection:
      return "delete section " + Escaped(op.section);
  }
  return {};
}

struct Scenario {
  bool canonical = true;
  bool duplicateSections = false;
  bool utf16 = false;   // the file is stored as UTF-16LE
  bool locked = false;  // another handle holds the file open without sharing
  std::optional<std::string> file;  // none: no file at the start
  std::vector<Operation> operations;
};

bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A file written the way Wine writes one: byte comparison is meaningful.
std::string CanonicalFile(Random& random) {
  std::string text;
  for (std::size_t n = random.Below(3); n > 0 && random.Chance(30); --n)
    text += random.Chance(50) ? ";comment\r\n" : ";" + Ansi(u"注释") + " x=1\r\n";
  std::vector<std::string> used;
  for (std::size_t s = random.Below(5); s > 0; --s) {
    const std::string& section = random.Pick(kSections);
    for (const std::string& other : used)
      if (SameAsciiName(other, section)) return text;
    used.push_back(section);
    text += "[" + section + "]\r\n";
    for (std::size_t k = random.Below(5); k > 0; --k) text += random.Pick(kKeys) + "=" + random.Pick(kValues) + "\r\n";
  }
  return text;
}

std::string Blanks(Random& random) {
  static const std::vector<std::string> kBlanks = {"", "", "", " ", "  ", "\t", " \t "};
  return random.Pick(kBlanks);
}

// Anything Windows reads the same way as Wine, in any layout. `duplicates` tells whether
// a section name occurs twice.
std::string FreeFormFile(Random& random, bool& duplicates) {
  std::vector<std::string> used;
  static const std::vector<std::string> kBreaks = {"\r\n", "\r\n", "\n", "\r"};
  std::vector<std::string> lines;
  const auto stray = [&] {
    switch (random.Below(6)) {
      case 0: return std::string();
      case 1: return Blanks(random) + ";" + random.Pick(kKeys) + "=" + random.Pick(kValues);
      case 2: return std::string("#") + random.Pick(kKeys) + "=1";
      case 3: return Blanks(random) + "no equals sign";
      case 4: return Blanks(random) + "lonely";  // not a key name: Wine takes it for one
      default: return std::string(Blanks(random));
    }
  };
  // Key lines before the first header: in no section on Windows, the section "" on Wine.
  if (random.Chance(20)) lines.push_back(random.Pick(kKeys) + "=" + random.Pick(kValues));
  for (std::size_t s = random.Below(6); s > 0; --s) {
    if (random.Chance(30)) lines.push_back(stray());
    const std::string& section = random.Pick(kSections);
    for (const std::string& other : used) duplicates = duplicates || SameAsciiName(other, section);
    used.push_back(section);
    std::string header = Blanks(random) + "[" + Blanks(random) + section + Blanks(random) + "]";
    if (random.Chance(15)) header += " ;after";
    lines.push_back(header);
    for (std::size_t k = random.Below(6); k > 0; --k) {
      if (random.Chance(25)) {
        lines.push_back(stray());
        continue;
      }
      const std::string& value = random.Chance(20) ? random.Pick(kFreeValues) : random.Pick(kValues);
      lines.push_back(Blanks(random) + random.Pick(kKeys) + Blanks(random) + "=" + Blanks(random) + value +
                      Blanks(random));
    }
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || random.Chance(70)) text += random.Pick(kBreaks);
  }
  return text;
}

std::string Utf16LeWithMark(std::string_view ansi) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text::FromAnsi(ansi)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

Operation MakeOperation(Random& random, bool canonical, bool deletes) {
  Operation op;
  const std::size_t roll = random.Below(deletes ? 100 : 78);
  op.kind = roll < 45 ? Kind::kRead : roll < 78 ? Kind::kWrite : roll < 92 ? Kind::kDeleteKey : Kind::kDeleteSection;
  op.section = random.Pick(kSections);
  op.key = random.Pick(kKeys);
  if (op.kind == Kind::kRead) {
    // Spaces around the caller's names are trimmed (in writes Wine keeps the trailing ones).
    if (random.Chance(10)) op.section = " " + op.section + "  ";
    if (random.Chance(10)) op.key = "  " + op.key + " ";
    // A name that starts with ';' is never a key on Windows. Wine finds comment lines
    // under such names, so only canonical files, whose comments hold no name of the
    // vocabulary, are asked for them.
    if (canonical && random.Chance(5)) op.key = ";" + op.key;
    if (random.Chance(25)) op.size = 1 + random.Below(8);
  }
  if (op.kind == Kind::kWrite)
    op.value = !canonical && random.Chance(20) ? random.Pick(kFreeValues) : random.Pick(kValues);
  return op;
}

Scenario MakeScenario(Random& random) {
  Scenario scenario;
  scenario.canonical = random.Chance(50);
  if (!random.Chance(5))
    scenario.file = scenario.canonical ? CanonicalFile(random) : FreeFormFile(random, scenario.duplicateSections);
  scenario.utf16 = scenario.file && random.Chance(15);
  scenario.locked = scenario.file && random.Chance(5);
  if (scenario.utf16) scenario.file = Utf16LeWithMark(*scenario.file);
  return scenario;
}

// Holds `file` open without sharing until the handle is reset.
win::unique_handle Lock(const std::filesystem::path& file) {
  return wine_test::HoldOpen(file, GENERIC_READ | GENERIC_WRITE, 0);
}

struct Counts {
  std::size_t utf16Files = 0, lockedFiles = 0;
  std::size_t files = 0, canonicalFiles = 0, operations = 0, reads = 0, writes = 0, byteComparisons = 0,
              differences = 0, wineCutInsideCharacter = 0;
};

class Runner {
 public:
  Runner(std::uint64_t start, std::size_t opsPerFile) : start_(start), opsPerFile_(opsPerFile) {}

  // Runs file `index` of the run; false when the stores differed.
  bool RunFile(std::size_t index, Counts& counts) {
    Random random(start_ * 0x9E3779B97F4A7C15ull + index);
    Scenario scenario = MakeScenario(random);
    ++counts.files;
    if (scenario.canonical) ++counts.canonicalFiles;
    if (scenario.utf16) ++counts.utf16Files;
    if (scenario.locked) ++counts.lockedFiles;
    const std::string oursName = "o" + std::to_string(index) + ".ini";
    const std::string wineName = "w" + std::to_string(index) + ".ini";
    if (scenario.file) {
      dir_.Write(oursName, *scenario.file);
      dir_.Write(wineName, *scenario.file);
    }
    const std::string oursPath = Path(oursName);
    const std::string winePath = Path(wineName);
    win::unique_handle oursLock, wineLock;
    if (scenario.locked) {
      oursLock = Lock(dir_.path() / oursName);
      wineLock = Lock(dir_.path() / wineName);
    }
    std::vector<std::string> done;
    const auto differ = [&](const std::string& what, const std::string& ours, const std::string& wine) {
      ++counts.differences;
      if (counts.differences > 20) return false;
      std::printf("DIFFERENCE (--start %llu --file %zu, %s file): %s\n", static_cast<unsigned long long>(start_), index,
                  scenario.canonical ? "canonical" : "free-form", what.c_str());
      std::printf("  ours:   %s\n  kernel32: %s\n  file at the start: %s\n", Escaped(ours).c_str(), Escaped(wine).c_str(),
                  scenario.file ? Escaped(*scenario.file).c_str() : "(none)");
      for (const std::string& step : done) std::printf("  then %s\n", step.c_str());
      return false;
    };

    bool same = true;
    const auto compareRead = [&](const std::string& section, const std::string& key, std::size_t size) {
      ++counts.reads;
      const std::string ours = ours_->Read(oursPath, section, key, size);
      const std::string wineFull = kernel32_->Read(winePath, section, key, 4096);
      const std::string expected = wineFull.substr(0, size - 1);
      if (size <= wineFull.size() && kernel32_->Read(winePath, section, key, size) != expected)
        ++counts.wineCutInsideCharacter;
      if (ours != expected) {
        same = differ("read " + Escaped(section) + " " + Escaped(key) + " size " + std::to_string(size), ours, expected);
      }
    };

    bool deletedMissing = false;
    for (std::size_t n = 0; n < opsPerFile_; ++n) {
      const Operation op = MakeOperation(random, scenario.canonical, !scenario.duplicateSections);
      ++counts.operations;
      if (op.kind == Kind::kRead) {
        compareRead(op.section, op.key, op.size);
        done.push_back(Describe(op));
        continue;
      }
      ++counts.writes;
      const bool existed = std::filesystem::exists(dir_.path() / wineName);
      const bool oursOk = Apply(*ours_, op, oursPath);
      const bool wineOk = Apply(*kernel32_, op, winePath);
      if (!existed && op.kind != Kind::kWrite) deletedMissing = true;
      done.push_back(Describe(op));
      if (oursOk != wineOk) same = differ(Describe(op) + ": result", oursOk ? "true" : "false", wineOk ? "true" : "false");
      if (scenario.locked) {
        if (oursOk) same = differ(Describe(op) + ": result on a locked file", "true", "false");
      } else if (scenario.canonical) {
        ++counts.byteComparisons;
        const std::string ours = Bytes(oursName, deletedMissing);
        const std::string wine = Bytes(wineName, deletedMissing);
        if (ours != wine) same = differ(Describe(op) + ": file bytes", ours, wine);
      } else if (op.kind == Kind::kWrite) {
        compareRead(op.section, op.key, 4096);
      }
      if (!same) return false;
    }
    if (!scenario.canonical) {
      for (const std::string& section : kSections)
        for (const std::string& key : kKeys) compareRead(section, key, 4096);
    }
    if (scenario.locked && same) {
      oursLock.reset();
      wineLock.reset();
      if (Bytes(oursName, false) != *scenario.file) same = differ("locked file afterwards", Bytes(oursName, false), *scenario.file);
      if (Bytes(wineName, false) != *scenario.file) same = differ("kernel32's locked file afterwards", Bytes(wineName, false), *scenario.file);
    }
    return same;
  }

 private:
  static bool Apply(ProfileStore& store, const Operation& op, const std::string& path) {
    switch (op.kind) {
      case Kind::kRead: return true;
      case Kind::kWrite: return store.Write(path, op.section, op.key, op.value);
      case Kind::kDeleteKey: return store.DeleteKey(path, op.section, op.key);
      case Kind::kDeleteSection: return store.DeleteSection(path, op.section);
    }
    return false;
  }

  std::string Path(const std::string& name) const { return text::ToAnsi(dir_.path().u16string()) + "\\" + name; }

  // The file's bytes; "(none)" when missing, except that after a delete in a missing
  // file an empty file and no file count the same.
  std::string Bytes(const std::string& name, bool missingIsEmpty) const {
    if (std::filesystem::exists(dir_.path() / name)) return dir_.Read(name);
    return missingIsEmpty ? std::string() : "(none)";
  }

  const std::uint64_t start_;
  const std::size_t opsPerFile_;
  testing_support::TempDir dir_;
  std::unique_ptr<ProfileStore> ours_ = profilectl::MakePortableProfileStore();
  std::unique_ptr<ProfileStore> kernel32_ = profilectl::MakeKernel32ProfileStore();
};

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--start N] [--files F] [--ops M] [--file K]\n"
               "  --start N  random generator state of the run (default 1)\n"
               "  --files F  files to generate (default 200)\n"
               "  --ops M    operations per file (default 16)\n"
               "  --file K   run only file K of the run (to rerun a reported difference)\n",
               program);
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t start = 1;
  std::size_t files = 200, ops = 16;
  std::optional<std::size_t> only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage(argv[0]);
    char* end = nullptr;
    const unsigned long long number = std::strtoull(argv[++i], &end, 10);
    if (end == argv[i] || *end != '\0') return Usage(argv[0]);
    if (arg == "--start") {
      start = number;
    } else if (arg == "--files") {
      files = number;
    } else if (arg == "--ops") {
      ops = number;
    } else if (arg == "--file") {
      only = number;
    } else {
      return Usage(argv[0]);
    }
  }

  Runner runner(start, ops);
  Counts counts;
  bool same = true;
  for (std::size_t k = only.value_or(0); k < (only ? *only + 1 : files); ++k) same = runner.RunFile(k, counts) && same;
  std::printf(
      "--start %llu: %zu files (%zu canonical, %zu free-form; %zu UTF-16LE, %zu locked), %zu operations (%zu reads compared, %zu writes, %zu byte "
      "comparisons), %zu differences; Wine cut a value inside a character %zu times (not compared)\n",
      static_cast<unsigned long long>(start), counts.files, counts.canonicalFiles, counts.files - counts.canonicalFiles,
      counts.utf16Files, counts.lockedFiles, counts.operations, counts.reads, counts.writes, counts.byteComparisons, counts.differences,
      counts.wineCutInsideCharacter);
  return same ? 0 : 1;
}
