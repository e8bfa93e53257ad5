// Shared ground of the fuzz targets: a scratch folder, files from the fuzzer's bytes, one reused player.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/headless/headless.h"

namespace fuzz {

const std::string& Scratch() {
  // Never destroyed: the removal at exit still needs the name.
  static const std::string& dir = *new std::string([] {
    const char* base = std::getenv("DEMO_FUZZ_SCRATCH");
    // Memory-backed when it can be: targets write a file per execution.
    std::string pattern = std::string(base ? base : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")) +
                          "/demo-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("demo-fuzz: scratch folder");
      std::abort();
    }
    if (chdir(pattern.c_str()) != 0) std::abort();
    // The folder goes when the process ends normally; a crash leaves it for inspection.
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Scratch(), ec);
    });
    return pattern;
  }());
  return dir;
}

std::string WriteScratch(const std::string& name, std::string_view bytes) {
  const std::string path = Scratch() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return path;
}

std::string StackBytes(int width, int tiles) {
  std::string bytes;
  bytes.push_back(static_cast<char>(width >> 8));
  bytes.push_back(static_cast<char>(width & 255));
  for (int t = 0; t < tiles; ++t)
    for (int x = 0; x < width * 3; ++x) bytes.push_back(static_cast<char>(t * 7 + x * 13));
  return bytes;
}

demo::Player& SharedPlayer() {
  static demo::Player* player = [] {
    Scratch();
    headless::Reset();
    auto* p = new demo::Player();
    p->out = std::fopen("/dev/null", "w");
    p->frameBuffer.Create();
    p->displayBuffer.Create();
    p->inactiveBuffer.Create();
    return p;
  }();
  return *player;
}

demo::Player& UseSideFiles(std::string_view flow, int width, int height) {
  static const std::string stack = WriteScratch(demo::kSideStackName, StackBytes(64, 400));
  demo::Player& p = SharedPlayer();
  const std::string path = WriteScratch(demo::kSideFlowName, flow);
  demo::DemoPackage& pkg = p.package;
  pkg.programFileName = "player";
  pkg.flowPath = demo::kSideFlowName;
  pkg.stackPath = demo::kSideStackName;
  pkg.frameWidth = width;
  pkg.frameHeight = height;
  pkg.flowStart = 0;
  pkg.flowEnd = static_cast<int64_t>(flow.size());
  pkg.stackBase = 2;
  (void)path;
  (void)stack;
  return p;
}

}  // namespace fuzz
