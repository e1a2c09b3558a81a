// Damaged copies of every real file and every fuzz seed: each one cut short at many
// places and with bytes changed at many places must load either as a picture or
// with a clean Error. Nothing else may come out of a reader (no other exception, no
// crash), and the sanitizer build catches any read or write out of bounds. The
// variants are the same on every run; QEL_SWEEP_SCALE (a whole number, default 1)
// multiplies their count for longer runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/format_manifest.h"
#include "import/framework/format_registry.h"
#include "import/pcd/layout.h"
#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A file to damage and the classes that read it.
struct Subject {
  std::string name;
  Bytes bytes;
  std::vector<const GraphicClass*> readers;
};

int Scale() {
  const char* text = std::getenv("QEL_SWEEP_SCALE");
  const int scale = text ? std::atoi(text) : 1;
  return std::clamp(scale, 1, 100);
}

// The reader the viewer would use for a file of this extension (without the dot), then
// the other classes registered for it (the import library's own readers of GIF and PNG
// besides those of the libraries).
std::vector<const GraphicClass*> ReadersFor(const std::string& extension) {
  std::vector<const GraphicClass*> readers;
  if (const GraphicClass* c = FindPictureClass(extension)) readers.push_back(c);
  for (const FormatRow& row : FormatManifest()) {
    const GraphicClass* c = &row.graphic_class();
    if (row.extension == extension && std::find(readers.begin(), readers.end(), c) == readers.end())
      readers.push_back(c);
  }
  return readers;
}

// Whether the viewer reads files of this extension with the reader.
bool Wins(const ReaderRow& reader, std::string_view extension) {
  return FindPictureClass(extension) == &reader.graphic_class();
}

std::string LowerExtension(const fs::path& path) {
  std::string ext = LowerCase(path.extension().string());
  return ext.empty() ? ext : ext.substr(1);
}

// The file a fuzz input stands for: the Dr. Halo target's inputs carry the palette file
// in front, the Photo-CD target's a byte that asks for the file to be lengthened.
Bytes FileOfSeed(const std::string& extension, Bytes input) {
  if (extension == "cut") {
    const std::size_t palette = input.size() >= 2 ? std::size_t(input[0] | input[1] << 8) : 0;
    input.erase(input.begin(), input.begin() + long(std::min(input.size(), 2 + palette)));
  } else if (extension == "pcd" && !input.empty()) {
    const bool lengthen = input[0] & 1;
    input.erase(input.begin());
    const std::size_t base_end =
        std::size_t(PcdImageSector(kPcdBaseResolution, false)) * kPcdSectorSize + 768 * 512 * 3 / 2;
    const std::size_t given = input.size();
    if (lengthen && given > 0 && given < base_end) {
      input.resize(base_end);
      for (std::size_t i = given; i < base_end; ++i) input[i] = input[i % given];
    }
  }
  return input;
}

// The real files and the seeds (and regression inputs) of the reader fuzz targets whose
// extension is one of the group's; a target of a reader that does not read its own
// extension in the viewer has the inputs of the one that does. Copies of real files among the seeds are left
// out, and so are the inputs fuzzing found and kept for their coverage (named by their SHA-1): they are
// damaged copies already, and the fuzz run replays them.
std::vector<Subject> SubjectsOf(const std::vector<std::string>& extensions) {
  const auto wanted = [&](const std::string& ext) {
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
  };
  std::vector<Subject> subjects;
  for (const auto& entry : fs::recursive_directory_iterator(test::CorpusDir())) {
    const std::string ext = LowerExtension(entry.path());
    if (!entry.is_regular_file() || !wanted(ext)) continue;
    subjects.push_back({fs::relative(entry.path(), test::CorpusDir()).string(),
                        test::ReadFileBytes(entry.path()), ReadersFor(ext)});
  }
  for (const ReaderRow& reader : ReaderManifest()) {
    const std::string target(reader.fuzz_target), ext(reader.fuzz_extension);
    const fs::path folder = test::SourceDir() / "fuzz" / "corpus" / target;
    if (!wanted(ext) || !Wins(reader, ext) || !fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("seed-peer-")) continue;
      if (!name.starts_with("seed-") && !name.starts_with("regress-")) continue;
      subjects.push_back(
          {target + "/" + name, FileOfSeed(ext, test::ReadFileBytes(entry.path())), ReadersFor(ext)});
    }
  }
  std::sort(subjects.begin(), subjects.end(),
            [](const Subject& a, const Subject& b) { return a.name < b.name; });
  return subjects;
}

// What became of loading the bytes: "" for a picture or a clean Error, else a
// description of what escaped or of the inconsistent picture. Counts the pictures.
std::string LoadOutcome(const GraphicClass& reader, const Bytes& bytes, std::size_t& pictures) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  try {
    const Picture picture = LoadPictureStream(stream, reader);
    if (!picture.Empty() && picture.Bytes().size() != picture.RowSize() * std::size_t(picture.Height()))
      return "a picture whose pixels do not cover its rows";
    ++pictures;
  } catch (const Error&) {
  } catch (const std::exception& e) {
    return std::string("an exception that is no Error: ") + e.what();
  } catch (...) {
    return "an exception of unknown type";
  }
  return "";
}

// Small pseudo-random numbers, the same on every run.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Next() { return (state_ = state_ * 1664525u + 1013904223u) >> 8; }

 private:
  std::uint32_t state_;
};

// The damaged variants of a file: cut at the start, inside the first bytes (headers)
// and spread over the whole file; bytes changed in the first 256 bytes and anywhere,
// to random values and to the extremes that size fields fear most. Large files get
// fewer variants, since each load of them takes longer.
std::vector<Bytes> Variants(const Bytes& good, std::uint32_t seed, int scale) {
  std::vector<Bytes> variants;
  if (good.empty()) return variants;
  const int count = (good.size() > (512u << 10) ? 4 : good.size() > (64u << 10) ? 12 : 40) * scale;
  Lcg random(seed);
  for (int i = 0; i < count; ++i) {
    // Cuts: the first few bytes one by one, then evenly over the file, then at random.
    std::size_t at = i < 4 ? std::size_t(i) * 7 : good.size() * std::size_t(i) / std::size_t(count + 1);
    if (i % 3 == 2) at = random.Next() % good.size();
    variants.emplace_back(good.begin(), good.begin() + long(std::min(at, good.size() - 1)));
  }
  for (int i = 0; i < count; ++i) {
    Bytes bad = good;
    const std::size_t span = i % 2 ? bad.size() : std::min<std::size_t>(bad.size(), 256);
    const int changes = 1 + int(random.Next() % 4);
    for (int k = 0; k < changes; ++k) {
      const std::uint32_t pick = random.Next();
      bad[random.Next() % span] = pick % 4 == 0 ? 0xFF : pick % 4 == 1 ? 0x00 : std::uint8_t(pick >> 8);
    }
    variants.push_back(std::move(bad));
  }
  return variants;
}

struct Group {
  std::string name;
  std::vector<std::string> extensions;
};

void PrintTo(const Group& group, std::ostream* out) {
  *out << group.name;
}

// One group a reader of the manifest: the extensions the viewer reads with it.
std::vector<Group> ReaderGroups() {
  RegisterStartupFormats();
  std::vector<Group> groups;
  for (const ReaderRow& reader : ReaderManifest()) {
    Group group{std::string(reader.graphic_class().Name()), {}};
    for (const FormatRow& row : FormatManifest()) {
      const std::string ext(row.extension);
      if (Wins(reader, ext) &&
          std::find(group.extensions.begin(), group.extensions.end(), ext) == group.extensions.end())
        group.extensions.push_back(ext);
    }
    if (!group.extensions.empty()) groups.push_back(std::move(group));
  }
  return groups;
}

class CorruptionSweep : public testing::TestWithParam<Group> {};

TEST_P(CorruptionSweep, DamagedFilesLoadOrFailCleanly) {
  const std::vector<Subject> subjects = SubjectsOf(GetParam().extensions);
  ASSERT_FALSE(subjects.empty()) << "no files of " << GetParam().name;
  const int scale = Scale();
  std::size_t loads = 0, pictures = 0;
  for (const Subject& subject : subjects) {
    std::uint32_t seed = 2166136261u;
    for (char c : subject.name) seed = (seed ^ std::uint8_t(c)) * 16777619u;
    const std::vector<Bytes> variants = Variants(subject.bytes, seed, scale);
    for (const GraphicClass* reader : subject.readers) {
      // The undamaged file first: whatever it gives, it must give it cleanly too.
      EXPECT_EQ(LoadOutcome(*reader, subject.bytes, pictures), "")
          << subject.name << " with " << reader->Name();
      for (std::size_t v = 0; v < variants.size(); ++v) {
        const std::string outcome = LoadOutcome(*reader, variants[v], pictures);
        EXPECT_EQ(outcome, "") << subject.name << " with " << reader->Name() << ", variant " << v << " ("
                               << variants[v].size() << " bytes)";
        ++loads;
      }
    }
  }
  RecordProperty("loads", int(loads));
  std::printf("%s: %zu files, %zu damaged copies, %zu loads gave a picture\n", GetParam().name.c_str(),
              subjects.size(), loads, pictures);
}

INSTANTIATE_TEST_SUITE_P(Formats, CorruptionSweep, testing::ValuesIn(ReaderGroups()),
                         [](const testing::TestParamInfo<Group>& info) { return info.param.name; });

}  // namespace
}  // namespace qel
