// The web layer as the engine builds it, measured on real photographs.
//
// Each photograph is signed with the layer alone (a random signature of ten
// characters), written losslessly, published through ImageMagick `convert`
// pipelines and read back with the engine's reader. The unsigned photograph
// goes through the same pipelines: any signature read from it is a false
// report.
//
//   web_layer_bench PHOTO_FOLDER [--photos=8] [--pipelines=all|quick] [--out=FILE]
//
// Not a test and not run by CTest: it needs ImageMagick and real photographs.
#include <FreeImage.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "engine/engine.h"
#include "engine/internal/web_code.h"
#include "engine/internal/web_layer.h"

namespace pmk::bench {
namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// The calling thread's processor time: what a step costs on an idle core,
// whatever else the machine runs.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Generated pictures of many kinds (noise, gradients, stripes, blocks, and
// mixtures), none signed: any read is a false report.
void Generate(int index, ImageRecord& picture) {
  std::uint64_t state = 0x9e3779b97f4a7c15ull * static_cast<std::uint64_t>(index + 1);
  const auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  };
  const int width = 200 + static_cast<int>(next() % 900);
  const int height = 200 + static_cast<int>(next() % 700);
  picture.Allocate(width, height, 3, 8);
  const int kind = index % 5;
  const int period = 2 + static_cast<int>(next() % 40);
  const int noise = static_cast<int>(next() % 40);
  const double angle = (next() % 628) / 100.0;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row<std::uint8_t>(y);
    for (int x = 0; x < width; ++x) {
      const double along = x * std::cos(angle) + y * std::sin(angle);
      double v = 0.0;
      switch (kind) {
        case 0:
          v = 128;
          break;
        case 1:
          v = along * 255.0 / (width + height);
          break;
        case 2:
          v = (static_cast<int>(along) / period) % 2 * 180 + 30;
          break;
        case 3:
          v = ((x / period + y / period) % 3) * 90 + 20;
          break;
        default:
          v = 128 + 100 * std::sin(along / period) * std::cos(y / (period + 3.0));
          break;
      }
      for (int c = 0; c < 3; ++c) {
        const int n = noise > 0 ? static_cast<int>(next() % (2 * noise + 1)) - noise : 0;
        row[3 * x + c] =
            static_cast<std::uint8_t>(std::clamp(static_cast<int>(v) + n + 10 * c, 0, 255));
      }
    }
  }
}

// The change's root mean square (green) in the flattest and the busiest
// quarter of 32 x 32 blocks, ranked by the original's luma deviation: how
// much of the change the shaping keeps out of flat areas.
std::pair<double, double> ChangeByDetail(const ImageRecord& before, const ImageRecord& after) {
  constexpr int kBlock = 32;
  std::vector<std::pair<double, double>> blocks;  // (detail, mean squared change)
  for (int by = 0; by + kBlock <= before.height(); by += kBlock) {
    for (int bx = 0; bx + kBlock <= before.width(); bx += kBlock) {
      double sum = 0.0, squares = 0.0, change = 0.0;
      for (int y = by; y < by + kBlock; ++y) {
        const std::uint8_t* b = before.Row<std::uint8_t>(y);
        const std::uint8_t* a = after.Row<std::uint8_t>(y);
        for (int x = bx; x < bx + kBlock; ++x) {
          const double luma = 0.114 * b[3 * x] + 0.587 * b[3 * x + 1] + 0.299 * b[3 * x + 2];
          sum += luma;
          squares += luma * luma;
          const double d = static_cast<double>(a[3 * x + 1]) - b[3 * x + 1];
          change += d * d;
        }
      }
      const double n = kBlock * kBlock;
      if (change == 0.0) continue;  // outside the layer
      blocks.emplace_back(std::sqrt(std::max(squares / n - sum * sum / (n * n), 0.0)), change / n);
    }
  }
  std::sort(blocks.begin(), blocks.end());
  const std::size_t quarter = std::max<std::size_t>(blocks.size() / 4, 1);
  double flat = 0.0, busy = 0.0;
  for (std::size_t i = 0; i < quarter && i < blocks.size(); ++i) {
    flat += blocks[i].second;
    busy += blocks[blocks.size() - 1 - i].second;
  }
  return {std::sqrt(flat / quarter), std::sqrt(busy / quarter)};
}

int Run(int argc, char** argv) {
  const int photo_count = std::stoi(TakeFlag(argc, argv, "photos", "8"));
  const std::string which = TakeFlag(argc, argv, "pipelines", "all");
  const bool quick = which == "quick";
  const bool none = which == "none";
  const std::string out_file = TakeFlag(argc, argv, "out", "");
  const int generated = std::stoi(TakeFlag(argc, argv, "generated", "0"));
  if (argc < 2) {
    std::cerr << "usage: web_layer_bench PHOTO_FOLDER [--photos=N] [--pipelines=all|quick]\n";
    return 2;
  }
  FreeImage_Initialise(FALSE);
  std::vector<std::pair<std::uintmax_t, std::filesystem::path>> jpegs;
  for (const auto& file : PicturesIn(argv[1])) {
    if (file.extension() == ".jpg") jpegs.emplace_back(std::filesystem::file_size(file), file);
  }
  std::sort(jpegs.rbegin(), jpegs.rend());
  jpegs.resize(std::min(jpegs.size(), static_cast<std::size_t>(photo_count)));
  std::vector<const Pipeline*> pipelines;
  for (const Pipeline& p : PublishingPipelines()) {
    if (!none && (!quick || p.quick)) pipelines.push_back(&p);
  }

  const auto work =
      std::filesystem::temp_directory_path() / ("web_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  std::ostringstream report;
  report << "| photo | size | level | step | solver | PSNR dB | RMS change flat / busy | embed s "
            "(cpu) | read s (cpu) |";
  for (const Pipeline* p : pipelines) report << " " << p->name << " |";
  report << " unsigned |\n|---|---|---|---|---|---|---|---|---|";
  for (std::size_t i = 0; i <= pipelines.size(); ++i) report << "---|";
  report << "\n";
  std::vector<int> decoded(pipelines.size(), 0);
  int false_reports = 0;
  int unsigned_reads = 0;
  std::int64_t hypotheses = 0;
  double slowest_published = 0.0;
  double slowest_unsigned = 0.0;
  for (std::size_t index = 0; index < jpegs.size(); ++index) {
    const auto& file = jpegs[index].second;
    ImageRecord original;
    ImageRecord signed_picture;
    if (!LoadColour(file, original)) continue;
    CopyPicture(signed_picture, original);
    std::string signature;
    std::uint64_t r = 0x5eedull + index * 7919;
    for (int i = 0; i < 10; ++i) {
      r = r * 6364136223846793005ull + 1442695040888963407ull;
      const char* alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";
      signature += alphabet[(r >> 33) % 63];
    }
    web::CodedBits coded;
    web::Encode(web::InfoFromSignature(signature), coded);
    web::EmbedDetails embedded;
    const auto start = Clock::now();
    const double start_cpu = ThreadSeconds();
    const std::uint8_t code = web::EmbedLayer(signed_picture, signature, 1234u, &embedded);
    const double embed_seconds = Seconds(start);
    const double embed_cpu = ThreadSeconds() - start_cpu;
    const double psnr = Psnr(original, signed_picture, -1);
    const auto [flat_change, busy_change] = ChangeByDetail(original, signed_picture);
    char text[16] = {};
    web::ReadDetails direct;
    const auto read_start = Clock::now();
    const double read_start_cpu = ThreadSeconds();
    const bool direct_ok =
        web::ReadLayer(signed_picture, {}, text, &direct, &coded) == kResultOk && signature == text;
    const double read_seconds = Seconds(read_start);
    const double read_cpu = ThreadSeconds() - read_start_cpu;
    report << "| " << file.filename().string() << " | " << original.width() << "x"
           << original.height() << " | " << std::fixed;
    report.precision(1);
    report << embedded.level << " | " << embedded.step << " | " << embedded.solver_iterations
           << " | ";
    report.precision(2);
    report << psnr << " | " << flat_change << " / " << busy_change << " | " << embed_seconds << " ("
           << embed_cpu << ") | " << read_seconds << " (" << read_cpu << ")"
           << (direct_ok && code == kResultOk ? "" : " FAIL") << " |";
    const auto signed_file = work / "signed.bmp";
    const auto plain_file = work / "plain.bmp";
    WriteBmp(signed_picture, signed_file);
    WriteBmp(original, plain_file);
    for (std::size_t k = 0; k < pipelines.size(); ++k) {
      const auto published = work / "published.jpg";
      ImageRecord attacked;
      if (!Publish(signed_file, *pipelines[k], published) || !LoadColour(published, attacked)) {
        report << " error |";
        continue;
      }
      web::ReadDetails reading;
      const auto t = Clock::now();
      const bool found = web::ReadLayer(attacked, {}, text, &reading, &coded) == kResultOk;
      slowest_published = std::max(slowest_published, Seconds(t));
      const bool ok = found && signature == text;
      decoded[k] += ok ? 1 : 0;
      report.precision(1);
      report << " " << (ok ? "ok" : (found ? "WRONG" : "no")) << " "
             << (100.0 * reading.fewest_errors / web::kCodedBits) << "% |";
      ImageRecord plain;
      if (Publish(plain_file, *pipelines[k], published) && LoadColour(published, plain)) {
        ++unsigned_reads;
        web::ReadDetails none;
        if (web::ReadLayer(plain, {}, text, &none) == kResultOk) ++false_reports;
        hypotheses += none.hypotheses;
      }
    }
    ++unsigned_reads;
    web::ReadDetails none;
    const double t = ThreadSeconds();
    const bool fp = web::ReadLayer(original, {}, text, &none) == kResultOk;
    slowest_unsigned = std::max(slowest_unsigned, ThreadSeconds() - t);
    hypotheses += none.hypotheses;
    false_reports += fp ? 1 : 0;
    report << " " << (fp ? "FALSE REPORT" : "none") << " |\n";
    std::cerr << file.filename().string() << " done\n";
  }
  report << "| **decoded** | | | | | | | | |";
  for (int d : decoded) report << " **" << d << "/" << jpegs.size() << "** |";
  report << " " << false_reports << " of " << unsigned_reads << " |\n";
  int generated_reports = 0;
  std::int64_t generated_hypotheses = 0;
  for (int i = 0; i < generated; ++i) {
    ImageRecord picture;
    Generate(i, picture);
    char text[16] = {};
    web::ReadDetails none;
    if (web::ReadLayer(picture, {}, text, &none) == kResultOk) ++generated_reports;
    generated_hypotheses += none.hypotheses;
  }
  if (generated > 0) {
    report << "\nGenerated unsigned pictures: " << generated_reports << " reported of " << generated
           << " (" << generated_hypotheses << " hypotheses).\n";
  }
  report.precision(2);
  report << "\nCells: decoded or not, and the fewest raw coded-bit errors over the hypotheses.\n"
         << "Unsigned reads: " << unsigned_reads << ", " << hypotheses
         << " hypotheses, slowest unsigned read of an original " << slowest_unsigned
         << " s of processor time; slowest read of a published signed picture " << slowest_published
         << " s.\n";
  std::filesystem::remove_all(work);
  std::cout << report.str();
  if (!out_file.empty()) std::ofstream(out_file) << report.str();
  FreeImage_DeInitialise();
  return 0;
}

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  return pmk::bench::Run(argc, argv);
}
