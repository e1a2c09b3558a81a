#include "cli/arguments.h"

#include <charconv>
#include <stdexcept>

namespace qel::cli {

namespace {

// More workers than this only add memory: each one holds a whole picture.
constexpr int kMaxJobs = 256;

const std::string& ValueOf(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size()) throw std::invalid_argument(args[i] + " needs a value");
  return args[++i];
}

int ParseJobs(const std::string& option, const std::string& text) {
  int jobs = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, jobs);
  if (text.empty() || error != std::errc() || stop != end || jobs < 1 || jobs > kMaxJobs) {
    throw std::invalid_argument(option + " " + text + ": expected a number of workers from 1 to " +
                                std::to_string(kMaxJobs));
  }
  return jobs;
}

int ParseQuality(const std::string& text) {
  int quality = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, quality);
  if (text.empty() || error != std::errc() || stop != end || quality < 1 || quality > 100)
    throw std::invalid_argument("--quality " + text + ": expected a number from 1 to 100");
  return quality;
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& args) {
  Arguments a;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size();) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      a.paths.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--version") {
      a.version = true;
    } else if (arg == "--formats") {
      a.formats = true;
    } else if (arg == "--info") {
      a.info = true;
    } else if (arg == "--overwrite") {
      a.overwrite = true;
    } else if (arg == "--quality") {
      a.write_options.quality = ParseQuality(ValueOf(args, i));
    } else if (arg == "--lossless") {
      a.write_options.lossless = true;
    } else if (arg == "--reader") {
      if (ValueOf(args, i) != "import") throw std::invalid_argument("--reader takes the value \"import\"");
      a.import_reader = true;
    } else if (arg == "-o" || arg == "--output-dir") {
      a.output_folder = ValueOf(args, i);
      if (a.output_folder->empty()) throw std::invalid_argument(arg + " needs a folder name");
    } else if (arg == "--to") {
      a.extension = ValueOf(args, i);
    } else if (arg == "-j" || arg == "--jobs") {
      a.jobs = ParseJobs(arg, ValueOf(args, i));
    } else if (arg.starts_with("-j") && arg.size() > 2) {
      a.jobs = ParseJobs("-j", arg.substr(2));
    } else {
      if (ParseOperation(args, i, a.steps)) continue;
      throw std::invalid_argument("unknown option " + arg);
    }
    ++i;
  }
  return a;
}

}  // namespace qel::cli
