// How well a signature survives what happens to pictures: signs every
// photograph of a folder with a fixed seed, measures how much the signing
// changed it, then attacks the signed picture (JPEG, rescaling, both, or
// publishing through ImageMagick) and searches it the way PMKCmd checks
// (the web layer first, then DetectSignature on two cores). Unsigned
// originals are searched too, to count false positives.
//
//   robustness [FOLDER] [--out FILE] [--cores N] [--modes LIST]
//              [--attacks direct|pipelines|all] [--robust | --robust-only]
//
// FOLDER defaults to the committed test photographs. The report is Markdown,
// printed and, with --out, written to FILE. --modes names the signing modes
// set side by side, of classic (as specified, the default), robust (larger
// regions, PMKCmd -robust) and web (the classic mark, then the web layer,
// PMKCmd -web); --robust is "classic,robust", --robust-only "robust".
// --attacks picks the in-process attacks (direct, the default), the
// publishing pipelines (needs ImageMagick `convert`), or both.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "engine/engine.h"

namespace pmk::bench {
namespace {

constexpr char kSignature[] = "robust-26";
constexpr std::uint32_t kSeed = 20260611;

using AttackFunction = std::function<bool(const ImageRecord&, ImageRecord&)>;

struct Attack {
  std::string name;
  AttackFunction apply;
  bool on_original = false;  // the unsigned picture: a find is a false positive
};

AttackFunction Jpeg(int quality) {
  return [quality](const ImageRecord& in, ImageRecord& out) {
    return JpegRoundTrip(in, quality, out);
  };
}

AttackFunction Resize(int percent, FREE_IMAGE_FILTER filter) {
  return [percent, filter](const ImageRecord& in, ImageRecord& out) {
    const auto width = static_cast<std::int32_t>(std::lround(in.width() * percent / 100.0));
    const auto height = static_cast<std::int32_t>(std::lround(in.height() * percent / 100.0));
    return Rescale(in, width, height, filter, out);
  };
}

void AddDirectAttacks(std::vector<Attack>& attacks) {
  for (const int q : {95, 90, 80, 70, 60, 50}) {
    attacks.push_back({"JPEG quality " + std::to_string(q), Jpeg(q)});
  }
  for (const int percent : {110, 90, 75, 67, 50, 150}) {
    attacks.push_back(
        {"resize " + std::to_string(percent) + " % bicubic", Resize(percent, FILTER_BICUBIC)});
    attacks.push_back(
        {"resize " + std::to_string(percent) + " % Lanczos", Resize(percent, FILTER_LANCZOS3)});
  }
  attacks.push_back(
      {"JPEG 80, then resize 67 % bicubic", [](const ImageRecord& in, ImageRecord& out) {
         ImageRecord compressed;
         return JpegRoundTrip(in, 80, compressed) && Resize(67, FILTER_BICUBIC)(compressed, out);
       }});
}

AttackFunction Published(const Pipeline& pipeline) {
  return [&pipeline](const ImageRecord& in, ImageRecord& out) {
    return PublishPicture(in, pipeline, out);
  };
}

std::vector<Attack> Attacks(bool direct, bool pipelines) {
  std::vector<Attack> attacks;
  attacks.push_back({"none (signed file as written)",
                     [](const ImageRecord& in, ImageRecord& out) { return CopyPicture(out, in); }});
  if (direct) AddDirectAttacks(attacks);
  if (pipelines) {
    for (const Pipeline& pipeline : PublishingPipelines()) {
      attacks.push_back({std::string("`convert`: ") + pipeline.name, Published(pipeline)});
    }
  }
  attacks.push_back({"unsigned original (false positives)",
                     [](const ImageRecord& in, ImageRecord& out) { return CopyPicture(out, in); },
                     true});
  return attacks;
}

struct Verdict {
  bool found = false;
  std::string signature;
  std::string where;  // "web layer", or the first scale of the series that reads the mark
};

// The check as PMKCmd runs it: the web layer first, the mark's search when
// it says nothing. When the mark is found, the scales are tried again one by
// one (1.0 first, as the sequential search does) to tell at which it reads.
Verdict Detect(const ImageRecord& picture, const EngineControl& control) {
  Verdict verdict;
  OutputText text;
  if (DetectWebLayer(picture, text, control) == ResultCode::kOk) {
    return {true, text.Signature(), "web layer"};
  }
  if (DetectSignature(picture, text, control) != ResultCode::kOk) return verdict;
  verdict.found = true;
  verdict.signature = text.Signature();
  for (std::int32_t i = 0; i < kDetectionScaleCount; ++i) {
    const double scale = SequentialScale(DetectionMode::kDetection, i);
    OutputText again;
    if (DetectAtScale(picture, again, scale, control) == ResultCode::kOk) {
      char label[16];
      std::snprintf(label, sizeof label, "%.2f", scale);
      verdict.where = label;
      break;
    }
  }
  return verdict;
}

struct Row {
  int tried = 0;
  int correct = 0;
  std::vector<std::string> failures;  // picture names, with why
  std::map<std::string, int> scales;  // "1.00" or "web layer" -> how often
};

std::string Fixed(double value, int decimals) {
  if (std::isinf(value)) return "identical";
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out.empty() ? "–" : out;
}

struct Mode {
  std::string key;          // as --modes names it
  std::string label;        // in the tables
  std::string description;  // in the report's introduction
  bool larger_regions = false;
  bool web_layer = false;
};

const std::vector<Mode>& Modes() {
  static const std::vector<Mode> modes = {
      {"classic", "as specified", "as specified (smallest regions)", false, false},
      {"robust", "larger regions", "larger regions (`PMKCmd -robust`)", true, false},
      {"web", "web layer",
       "web layer (`PMKCmd -web`: the mark as specified, then the web layer with the same "
       "options)",
       false, true},
  };
  return modes;
}

// What one signing mode gave on the whole folder.
struct ModeResult {
  std::string label;
  std::string pictures;  // the Markdown rows of "What signing changes"
  std::vector<Row> rows;
};

// The unsigned originals read the same whatever the mode: searched once.
using UnsignedVerdicts = std::map<std::string, Verdict>;

ModeResult RunMode(const Mode& mode, const EngineControl& control,
                   const std::vector<std::filesystem::path>& files,
                   const std::vector<Attack>& attacks, UnsignedVerdicts& unsigned_verdicts,
                   std::vector<std::string>& skipped) {
  const std::string& label = mode.label;
  ModeResult result{label, "", std::vector<Row>(attacks.size())};
  const PayloadText payload = FormatPayload(kSignature);
  std::ostringstream pictures;
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    ImageRecord original;
    if (!LoadColour(file, original)) {
      skipped.push_back(name + " (not readable as 8-bit colour)");
      continue;
    }
    ImageRecord signed_picture;
    CopyPicture(signed_picture, original);
    EmbedOptions options;
    options.use_fixed_seed = true;
    options.fixed_seed = kSeed;
    options.larger_regions = mode.larger_regions;
    EmbedReport report;
    ResultCode signed_result = EmbedSignature(signed_picture, payload, control, options, &report);
    if (signed_result == ResultCode::kOk && mode.web_layer) {
      signed_result = EmbedWebLayer(signed_picture, payload, control, options);
    }
    if (signed_result != ResultCode::kOk) {
      skipped.push_back(name + " (" + label + " signing refused, code " +
                        std::to_string(CodeByte(signed_result)) + ")");
      continue;
    }
    std::fprintf(stderr, "%s (%s): signed in %d region(s)\n", name.c_str(), label.c_str(),
                 report.regions);
    pictures << "| " << name << " | " << original.width() << "×" << original.height() << " | "
             << report.regions << " | " << Fixed(Psnr(original, signed_picture, -1), 2) << " | "
             << Fixed(Psnr(original, signed_picture, 0), 2) << " | "
             << LargestChange(original, signed_picture) << " |\n";

    for (std::size_t a = 0; a < attacks.size(); ++a) {
      const Attack& attack = attacks[a];
      Row& row = result.rows[a];
      const auto known = unsigned_verdicts.find(name);
      Verdict verdict;
      if (attack.on_original && known != unsigned_verdicts.end()) {
        verdict = known->second;
      } else {
        ImageRecord attacked;
        if (!attack.apply(attack.on_original ? original : signed_picture, attacked)) {
          row.failures.push_back(name + " (attack failed)");
          continue;
        }
        verdict = Detect(attacked, control);
        if (attack.on_original) unsigned_verdicts[name] = verdict;
      }
      ++row.tried;
      if (attack.on_original) {
        // Here "correct" counts the pictures rightly left unreported.
        if (!verdict.found) {
          ++row.correct;
        } else {
          row.failures.push_back(name + " (reported \"" + verdict.signature + "\")");
        }
        continue;
      }
      if (verdict.found && verdict.signature == kSignature) {
        ++row.correct;
        ++row.scales[verdict.where];
      } else if (verdict.found) {
        row.failures.push_back(name + " (read \"" + verdict.signature + "\")");
      } else {
        row.failures.push_back(name);
      }
      std::fprintf(stderr, "  %-40s %s\n", attack.name.c_str(),
                   verdict.found ? ("found at " + verdict.where).c_str() : "not found");
    }
  }
  result.pictures = pictures.str();
  return result;
}

std::string Rate(const Row& row, bool false_positive_row) {
  return false_positive_row
             ? std::to_string(row.tried - row.correct) + " false of " + std::to_string(row.tried)
             : std::to_string(row.correct) + "/" + std::to_string(row.tried);
}

std::string Scales(const Row& row, bool false_positive_row) {
  if (false_positive_row) return "–";
  std::vector<std::string> scales;
  for (const auto& [scale, count] : row.scales) {
    scales.push_back(scale + (count > 1 ? " (" + std::to_string(count) + ")" : ""));
  }
  return Join(scales);
}

constexpr char kPictureHeader[] =
    "| Picture | Size | Regions | PSNR (dB) | PSNR blue (dB) | Largest change |\n"
    "|---|---|---|---|---|---|\n";

// "a, b and c"
std::string Enumerate(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  }
  return out;
}

// The modes named by a comma-separated list, in its order; empty when a
// name is unknown.
std::vector<Mode> ModesNamed(const std::string& list) {
  std::vector<Mode> chosen;
  std::stringstream names(list);
  std::string name;
  while (std::getline(names, name, ',')) {
    bool known = false;
    for (const Mode& mode : Modes()) {
      if (mode.key == name) {
        chosen.push_back(mode);
        known = true;
      }
    }
    if (!known) return {};
  }
  return chosen;
}

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  using namespace pmk;
  using namespace pmk::bench;
  std::string out_file;
  int cores = 2;
  std::string mode_list = "classic";
  std::string attack_set = "direct";
  std::filesystem::path folder = TestDataFolder();
  std::string folder_label = "tests/data";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--out" && i + 1 < argc) {
      out_file = argv[++i];
    } else if (argument == "--cores" && i + 1 < argc) {
      cores = std::atoi(argv[++i]);
    } else if (argument == "--modes" && i + 1 < argc) {
      mode_list = argv[++i];
    } else if (argument == "--attacks" && i + 1 < argc) {
      attack_set = argv[++i];
    } else if (argument == "--robust") {
      mode_list = "classic,robust";
    } else if (argument == "--robust-only") {
      mode_list = "robust";
    } else if (!argument.empty() && argument[0] != '-') {
      folder = argument;
      folder_label = argument;
    } else {
      mode_list.clear();
      break;
    }
  }
  const std::vector<Mode> chosen = ModesNamed(mode_list);
  const bool direct = attack_set == "direct" || attack_set == "all";
  const bool pipelines = attack_set == "pipelines" || attack_set == "all";
  if (chosen.empty() || !(direct || pipelines)) {
    std::fputs(
        "usage: robustness [FOLDER] [--out FILE] [--cores N] [--modes classic,robust,web]\n"
        "                  [--attacks direct|pipelines|all] [--robust | --robust-only]\n",
        stderr);
    return 2;
  }
  const EngineControl control{.threads = static_cast<std::uint8_t>(cores)};

  const std::vector<Attack> attacks = Attacks(direct, pipelines);
  const std::vector<std::filesystem::path> files = PicturesIn(folder);
  std::vector<std::string> skipped;
  UnsignedVerdicts unsigned_verdicts;
  std::vector<ModeResult> modes;
  for (const Mode& mode : chosen) {
    modes.push_back(RunMode(mode, control, files, attacks, unsigned_verdicts, skipped));
  }
  const bool several = modes.size() > 1;

  std::ostringstream report;
  report << "# Robustness report\n\n"
         << "Folder: `" << folder_label << "`; signature `" << kSignature << "`, fixed seed "
         << kSeed << "; detection as PMKCmd checks: `DetectWebLayer`, then `DetectSignature` on "
         << cores << " cores. Resizing uses FreeImage_Rescale; JPEG is written as PMKCmd writes it "
         << "(FreeImage, 4:2:0) and read back.";
  if (pipelines) {
    report << " The `convert` rows write the signed picture as BMP and publish it with "
           << "ImageMagick (arguments at the end).";
  }
  report << "\n\n";
  if (several) {
    std::vector<std::string> descriptions;
    for (const Mode& mode : chosen) descriptions.push_back(mode.description);
    const std::string count = chosen.size() == 2   ? "Two"
                              : chosen.size() == 3 ? "Three"
                                                   : std::to_string(chosen.size());
    report << count << " signing modes: " << Enumerate(descriptions)
           << "; detection is the same for " << (chosen.size() == 2 ? "both" : "all") << ".\n\n";
  }
  report << "## What signing changes\n\n";
  for (const ModeResult& mode : modes) {
    if (several) report << "### " << mode.label << "\n\n";
    report << kPictureHeader << mode.pictures << "\n";
  }
  report << "## Detection after attacks\n\n";
  // One column of each kind per mode, labelled by the mode when there are several.
  const auto heading = [&](const std::string& kind) {
    std::string cells;
    for (const ModeResult& mode : modes) cells += " | " + kind + (several ? ": " + mode.label : "");
    return cells;
  };
  report << "| Attack" << heading(several ? "Rate" : "Detection rate")
         << heading(several ? "Scales" : "Found at scale") << heading("Failures") << " |\n|---";
  for (std::size_t i = 0; i < 3 * modes.size(); ++i) report << "|---";
  report << "|\n";
  for (std::size_t a = 0; a < attacks.size(); ++a) {
    const bool fp = attacks[a].on_original;
    report << "| " << attacks[a].name;
    for (const ModeResult& mode : modes) report << " | " << Rate(mode.rows[a], fp);
    for (const ModeResult& mode : modes) report << " | " << Scales(mode.rows[a], fp);
    for (const ModeResult& mode : modes) report << " | " << Join(mode.rows[a].failures);
    report << " |\n";
  }
  if (pipelines) {
    report << "\n| `convert` row | `convert SIGNED.bmp … OUT.jpg` |\n|---|---|\n";
    for (const Pipeline& pipeline : PublishingPipelines()) {
      report << "| " << pipeline.name << " | `" << pipeline.arguments << "` |\n";
    }
  }
  if (!skipped.empty()) report << "\nNot used: " << Join(skipped) << ".\n";

  std::cout << report.str();
  if (!out_file.empty()) {
    std::ofstream out(out_file);
    out << report.str();
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", out_file.c_str());
      return 1;
    }
  }
  return 0;
}
