#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace qel::test {

namespace fs = std::filesystem;

fs::path SourceDir() {
  return QEL_SOURCE_DIR;
}
fs::path BinaryDir() {
  return QEL_BINARY_DIR;
}
fs::path CorpusDir() {
  return SourceDir() / "tests" / "corpus" / "peer";
}
fs::path ConvertTool() {
  return BinaryDir() / "qel-convert";
}

std::vector<fs::path> CorpusFiles(std::initializer_list<const char*> exts) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(CorpusDir())) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* wanted : exts) {
      if (ext == wanted) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/qel-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only folders writable again so that they can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

int RunCommand(const std::string& command, std::string* output) {
  std::string full = "(" + command + ") 2>&1";
  FILE* pipe = ::popen(full.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buffer{};
  std::string text;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
  int status = ::pclose(pipe);
  if (output) *output = text;
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::vector<std::uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::optional<Picture> ReadPPMFile(const fs::path& path) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  std::size_t pos = 0;
  auto token = [&]() -> std::string {
    while (pos < bytes.size()) {
      if (bytes[pos] == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      } else if (std::isspace(bytes[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    std::string t;
    while (pos < bytes.size() && !std::isspace(bytes[pos])) t += char(bytes[pos++]);
    return t;
  };
  if (token() != "P6") return std::nullopt;
  int w = std::atoi(token().c_str()), h = std::atoi(token().c_str()), maxval = std::atoi(token().c_str());
  ++pos;  // the single whitespace after the maximum value
  if (w <= 0 || h <= 0 || maxval != 255 || bytes.size() < pos + std::size_t(w) * h * 3) return std::nullopt;
  Picture picture = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < w; ++x, pos += 3) {
      row[3 * x] = bytes[pos + 2];
      row[3 * x + 1] = bytes[pos + 1];
      row[3 * x + 2] = bytes[pos];
    }
  }
  return picture;
}

void WritePPMFile(const fs::path& path, const Picture& picture) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << picture.Width() << " " << picture.Height() << "\n255\n";
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x) {
      const char rgb[3] = {char(row[3 * x + 2]), char(row[3 * x + 1]), char(row[3 * x])};
      out.write(rgb, 3);
    }
  }
}

std::optional<Picture> PeerDecode(const std::string& command_prefix, const fs::path& file) {
  static std::mt19937_64 rng{std::random_device{}()};
  fs::path out = fs::temp_directory_path() / ("qel-peer-" + std::to_string(rng()) + ".ppm");
  std::string log;
  int status =
      RunCommand(command_prefix + " " + ShellQuote(file.string()) + " " + ShellQuote(out.string()), &log);
  std::optional<Picture> picture;
  if (status == 0) picture = ReadPPMFile(out);
  std::error_code ec;
  fs::remove(out, ec);
  return picture;
}

std::optional<Picture> PillowDecode(const fs::path& file, bool ignore_alpha) {
  std::string script = ShellQuote((SourceDir() / "tests" / "tools" / "pillow_decode.py").string());
  std::string prefix = "/usr/bin/python3 " + script;
  if (!ignore_alpha) return PeerDecode(prefix, file);
  // The flag goes after the two paths.
  static std::mt19937_64 rng{std::random_device{}()};
  fs::path out = fs::temp_directory_path() / ("qel-peer-" + std::to_string(rng()) + ".ppm");
  std::optional<Picture> picture;
  if (RunCommand(prefix + " " + ShellQuote(file.string()) + " " + ShellQuote(out.string()) +
                 " --keep-alpha-ignored") == 0) {
    picture = ReadPPMFile(out);
  }
  std::error_code ec;
  fs::remove(out, ec);
  return picture;
}

std::string PictureDifference::Describe() const {
  std::ostringstream s;
  if (!same_size) return "sizes differ";
  s << differing_pixels << " pixels differ, by at most " << max_channel_difference;
  if (differing_pixels) s << ", first at (" << first_x << ", " << first_y << ")";
  return s.str();
}

PictureDifference Compare(const Picture& a, const Picture& b) {
  PictureDifference d;
  d.same_size = a.Width() == b.Width() && a.Height() == b.Height();
  if (!d.same_size) return d;
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* ra = a.Row(y);
    const std::uint8_t* rb = b.Row(y);
    for (int x = 0; x < a.Width(); ++x) {
      int m = 0;
      for (int c = 0; c < 3; ++c) m = std::max(m, std::abs(int(ra[3 * x + c]) - int(rb[3 * x + c])));
      if (m) {
        if (!d.differing_pixels) {
          d.first_x = x;
          d.first_y = y;
        }
        ++d.differing_pixels;
        d.max_channel_difference = std::max(d.max_channel_difference, m);
      }
    }
  }
  return d;
}

Picture PictureFromColors(const std::vector<std::vector<TColor>>& rows) {
  const int h = int(rows.size());
  const int w = h ? int(rows[0].size()) : 0;
  Picture picture = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) picture.SetPixel(x, y, rows[std::size_t(y)][std::size_t(x)]);
  return picture;
}

Picture GreyRow(const std::vector<int>& levels) {
  Picture picture = NewPicture(int(levels.size()), 1, kNoColor);
  for (std::size_t x = 0; x < levels.size(); ++x) {
    const auto v = std::uint8_t(levels[x]);
    picture.SetPixel(int(x), 0, RGBColor(v, v, v));
  }
  return picture;
}

}  // namespace qel::test
