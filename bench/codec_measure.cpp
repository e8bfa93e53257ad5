// codec_measure: sizes and decoding times of a stack file's rows in independently compressed blocks, to choose the block size.
//
// usage: codec_measure STACK_FILE [--flow FLOW_TEXT] [--runs N] [--levels 3,9,19] [--blocks 8,16,...,0] [--dict]
//   block 0 is the whole pool as one block; --flow also counts the blocks each
//   frame's tile line touches, and so what showing a frame costs with no cache;
//   --dict adds blocks compressed with a dictionary trained on the pool itself.
//
// Results (zstd 1.5.4, zlib 1.2.13; 2 shared cores, so times vary by some 30%).
// Bytes of all blocks; decoding time per row; a cold frame: the blocks its
// tile line touches, each decoded once. "long": one stream over the pool
// with long-distance matching, no random access.
//
// sample (build/sample: 33 frames of 800 x 600, 1,948 rows, 4,675,200 raw;
// its 32 screenshots as PNG 683,492 bytes, unpacked to 34 PNGs 782,928):
//   rows    zstd3 bytes us/row frame  zstd9 bytes us/row frame  zstd19 bytes us/row frame  zlib6 bytes
//   8           134974  0.66  247us       124519  0.76  283us       109415  0.66  246us       133265
//   16          121750  0.57  235us       112545  0.63  263us        97414  0.51  214us       122585
//   32          113605  0.48  231us       104597  0.56  268us        89951  0.43  207us       117875
//   64          109230  0.45  240us        99498  0.51  276us        85114  0.38  203us       115550
//   128         101956  0.38  232us        93075  0.54  330us        77428  0.32  192us       114259
//   256          95886  0.35  285us        85817  0.50  412us        70198  0.28  226us       114168
//   all          82725                     62264                     47726                    114046
//   long         65520                     62264                     46675
//
// generated (demo_gen defaults: 983 frames of 994 x 722, 37,695 rows,
// 112,406,490 raw; unpacked to 983 PNGs 49,896,093 bytes); pack = compressing
// the whole pool once: 0.1 s at level 3, 0.7 s at 9, 16-22 s at 19:
//   rows    zstd3 bytes us/row frame  zstd9 bytes us/row frame  zstd19 bytes us/row frame  zlib6 bytes
//   8          4219644  1.29  1.0ms      3200721  0.93  0.7ms      2616225  0.77  0.6ms      3380560
//   16         4015259  1.28  1.3ms      2995869  0.83  0.8ms      2382993  0.59  0.6ms      3239459
//   32         3883523  1.23  1.8ms      2852910  0.78  1.1ms      2230710  0.58  0.8ms      3167018
//   64         3843200  1.47  3.0ms      2776642  0.73  1.5ms      2113929  0.42  0.9ms      3132329
//   128        3802017  1.12  3.3ms      2736893  0.76  2.2ms      2016455  0.48  1.4ms      3116484
//   256        3791177  1.09  4.5ms      2707545  0.70  2.9ms      1907751  0.36  1.5ms      3110600
//   all        3783092    51ms/pool      2669100    37ms/pool      1380585    25ms/pool      3105466
//   long       2278487                   1831296                   1322661
// A frame of the generated demo touches 97.6 blocks of 8 rows, 64.2 of 16,
// 44.5 of 32, 32.0 of 64, 22.9 of 128, 16.2 of 256 (its rows come in short runs).
// zlib inflates at 2-3 us/row. A dictionary trained on the pool's own blocks
// gains under 1.5% (sample: nothing; its trained dictionaries are 1-8 KB).

#include <zdict.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Pool {
  int32_t width = 0;
  size_t rowBytes = 0;
  int64_t rows = 0;
  std::vector<uint8_t> bytes;  // rows only, without the width
};

Pool ReadPool(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (all.size() < 2) throw std::runtime_error(path + " is too short");
  Pool pool;
  pool.width = all[0] << 8 | all[1];
  pool.rowBytes = static_cast<size_t>(3) * pool.width;
  if (pool.rowBytes == 0) throw std::runtime_error(path + " has width 0");
  pool.rows = static_cast<int64_t>((all.size() - 2) / pool.rowBytes);
  pool.bytes.assign(all.begin() + 2, all.begin() + 2 + pool.rows * pool.rowBytes);
  return pool;
}

// Rows each frame's tile line names ('$' and four characters a row), in order.
std::vector<std::vector<int32_t>> ReadFrameRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<std::vector<int32_t>> frames;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != '$' || (line.size() - 1) % 4 != 0) continue;
    std::vector<int32_t> rows;
    for (size_t i = 1; i + 4 <= line.size(); i += 4) {
      int32_t t = 0;
      for (int d = 0; d < 4; ++d) t = t * 80 + (static_cast<unsigned char>(line[i + d]) - 43);
      rows.push_back(t);
    }
    frames.push_back(std::move(rows));
  }
  return frames;
}

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Blocks {
  std::vector<std::string> packed;
  std::vector<size_t> rawSizes;
  size_t Total() const {
    size_t n = 0;
    for (const auto& b : packed) n += b.size();
    return n;
  }
};

Blocks CompressZstd(const Pool& pool, int64_t rowsPerBlock, int level) {
  Blocks blocks;
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level);
  const size_t blockBytes = rowsPerBlock * pool.rowBytes;
  for (size_t at = 0; at < pool.bytes.size(); at += blockBytes) {
    const size_t n = std::min(blockBytes, pool.bytes.size() - at);
    std::string out(ZSTD_compressBound(n), '\0');
    const size_t got = ZSTD_compress2(cctx, out.data(), out.size(), pool.bytes.data() + at, n);
    if (ZSTD_isError(got)) throw std::runtime_error(ZSTD_getErrorName(got));
    out.resize(got);
    blocks.packed.push_back(std::move(out));
    blocks.rawSizes.push_back(n);
  }
  ZSTD_freeCCtx(cctx);
  return blocks;
}

// Median seconds of `runs` timed calls of `pass`; a first, untimed call warms
// up and is the one told to check the bytes.
template <class Pass>
double TimePasses(int runs, Pass pass) {
  std::vector<double> times;
  for (int r = 0; r <= runs; ++r) {
    const auto start = Clock::now();
    pass(r == 0);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    if (r > 0) times.push_back(s);
  }
  return Median(times);
}

// Median seconds to decode every block once, after checking the bytes come back.
double DecodeZstd(const Pool& pool, const Blocks& blocks, int runs) {
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  // Windows as large as the whole pool need their limit raised.
  ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, 31);
  std::vector<uint8_t> out(*std::max_element(blocks.rawSizes.begin(), blocks.rawSizes.end()));
  const double seconds = TimePasses(runs, [&](bool check) {
    size_t at = 0;
    for (size_t b = 0; b < blocks.packed.size(); ++b) {
      const size_t got = ZSTD_decompressDCtx(dctx, out.data(), blocks.rawSizes[b], blocks.packed[b].data(),
                                             blocks.packed[b].size());
      if (got != blocks.rawSizes[b]) throw std::runtime_error("zstd: a block did not come back");
      if (check && std::memcmp(out.data(), pool.bytes.data() + at, got) != 0)
        throw std::runtime_error("zstd: a block came back different");
      at += got;
    }
  });
  ZSTD_freeDCtx(dctx);
  return seconds;
}

// One stream over the whole pool with long-distance matching: what independent
// blocks give up at most.
size_t CompressZstdLong(const Pool& pool, int level) {
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, 27);
  std::string out(ZSTD_compressBound(pool.bytes.size()), '\0');
  const size_t got = ZSTD_compress2(cctx, out.data(), out.size(), pool.bytes.data(), pool.bytes.size());
  ZSTD_freeCCtx(cctx);
  if (ZSTD_isError(got)) throw std::runtime_error(ZSTD_getErrorName(got));
  return got;
}

// A dictionary trained on the pool's own blocks (as a file would store it
// beside them), then every block compressed with it; returns blocks + dictionary.
struct DictResult {
  size_t dictBytes = 0, blockBytes = 0;
  double seconds = 0;
  size_t blocks = 0;
};

DictResult WithDictionary(const Pool& pool, int64_t rowsPerBlock, int level, int runs) {
  const size_t blockBytes = rowsPerBlock * pool.rowBytes;
  const size_t count = (pool.bytes.size() + blockBytes - 1) / blockBytes;
  // Training time grows with the samples: every k-th block, some 16 MB in all.
  const size_t step = std::max<size_t>(1, pool.bytes.size() / (16u << 20));
  std::vector<uint8_t> samples;
  std::vector<size_t> sampleSizes;
  for (size_t b = 0; b < count; b += step) {
    const size_t at = b * blockBytes, n = std::min(blockBytes, pool.bytes.size() - at);
    samples.insert(samples.end(), pool.bytes.begin() + at, pool.bytes.begin() + at + n);
    sampleSizes.push_back(n);
  }
  std::vector<uint8_t> dict(112640);
  const size_t dictSize = ZDICT_trainFromBuffer(dict.data(), dict.size(), samples.data(), sampleSizes.data(),
                                                static_cast<unsigned>(sampleSizes.size()));
  if (ZDICT_isError(dictSize)) throw std::runtime_error(std::string("dictionary: ") + ZDICT_getErrorName(dictSize));
  ZSTD_CDict* cdict = ZSTD_createCDict(dict.data(), dictSize, level);
  ZSTD_DDict* ddict = ZSTD_createDDict(dict.data(), dictSize);
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  DictResult result;
  result.dictBytes = dictSize;
  result.blocks = count;
  std::vector<std::string> packed;
  for (size_t at = 0; at < pool.bytes.size(); at += blockBytes) {
    const size_t n = std::min(blockBytes, pool.bytes.size() - at);
    std::string out(ZSTD_compressBound(n), '\0');
    const size_t got = ZSTD_compress_usingCDict(cctx, out.data(), out.size(), pool.bytes.data() + at, n, cdict);
    if (ZSTD_isError(got)) throw std::runtime_error(ZSTD_getErrorName(got));
    out.resize(got);
    result.blockBytes += got;
    packed.push_back(std::move(out));
  }
  std::vector<uint8_t> back(blockBytes);
  result.seconds = TimePasses(runs, [&](bool check) {
    size_t at = 0;
    for (const auto& p : packed) {
      const size_t got = ZSTD_decompress_usingDDict(dctx, back.data(), back.size(), p.data(), p.size(), ddict);
      if (ZSTD_isError(got) || (check && std::memcmp(back.data(), pool.bytes.data() + at, got) != 0))
        throw std::runtime_error("dictionary: a block came back different");
      at += got;
    }
  });
  ZSTD_freeCDict(cdict);
  ZSTD_freeDDict(ddict);
  ZSTD_freeCCtx(cctx);
  ZSTD_freeDCtx(dctx);
  return result;
}

struct DeflateResult {
  size_t bytes = 0;
  double seconds = 0;
};

DeflateResult Deflate(const Pool& pool, int64_t rowsPerBlock, int runs) {
  const size_t blockBytes = rowsPerBlock * pool.rowBytes;
  std::vector<std::vector<uint8_t>> packed;
  DeflateResult result;
  for (size_t at = 0; at < pool.bytes.size(); at += blockBytes) {
    const uLong n = static_cast<uLong>(std::min(blockBytes, pool.bytes.size() - at));
    uLongf size = compressBound(n);
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, pool.bytes.data() + at, n, 6) != Z_OK)
      throw std::runtime_error("deflate failed");
    out.resize(size);
    result.bytes += size;
    packed.push_back(std::move(out));
  }
  std::vector<uint8_t> back(blockBytes);
  result.seconds = TimePasses(runs, [&](bool) {
    size_t at = 0;
    for (const auto& p : packed) {
      uLongf n = static_cast<uLongf>(std::min(blockBytes, pool.bytes.size() - at));
      if (uncompress(back.data(), &n, p.data(), p.size()) != Z_OK) throw std::runtime_error("inflate failed");
      at += n;
    }
  });
  return result;
}

// Mean distinct blocks a frame's rows lie in.
double BlocksPerFrame(const std::vector<std::vector<int32_t>>& frames, int64_t rowsPerBlock) {
  if (frames.empty()) return 0;
  double sum = 0;
  for (const auto& rows : frames) {
    std::set<int64_t> blocks;
    for (int32_t t : rows) blocks.insert(t / rowsPerBlock);
    sum += static_cast<double>(blocks.size());
  }
  return sum / static_cast<double>(frames.size());
}

std::vector<int> ParseList(const char* text) {
  std::vector<int> values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) values.push_back(std::atoi(item.c_str()));
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: codec_measure STACK_FILE [--flow FLOW_TEXT] [--runs N] [--levels 3,9,19] "
                         "[--blocks 8,16,32,64,128,256,0] [--dict]\n");
    return 2;
  }
  std::string flowPath;
  bool dictionaries = false;
  int runs = 5;
  std::vector<int> levels{3, 9, 19};
  std::vector<int> sizes{8, 16, 32, 64, 128, 256, 0};
  for (int i = 2; i < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--dict") {
      dictionaries = true;
      --i;
    } else if (i + 1 >= argc) {
      std::fprintf(stderr, "codec_measure: %s needs a value\n", opt.c_str());
      return 2;
    } else if (opt == "--flow") flowPath = argv[i + 1];
    else if (opt == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    else if (opt == "--levels") levels = ParseList(argv[i + 1]);
    else if (opt == "--blocks") sizes = ParseList(argv[i + 1]);
    else {
      std::fprintf(stderr, "codec_measure: unknown option %s\n", opt.c_str());
      return 2;
    }
  }
  try {
    const Pool pool = ReadPool(argv[1]);
    const std::vector<std::vector<int32_t>> frames =
        flowPath.empty() ? std::vector<std::vector<int32_t>>{} : ReadFrameRows(flowPath);
    const double raw = static_cast<double>(pool.bytes.size());
    std::printf("%s: width %d, %lld rows, %.0f raw bytes; %zu frames named; medians of %d runs\n", argv[1],
                pool.width, static_cast<long long>(pool.rows), raw, frames.size(), runs);
    std::printf("%-6s %-5s %7s %12s %7s %12s %10s %9s %12s %8s\n", "codec", "rows", "blocks", "bytes", "ratio",
                "decode all", "per block", "per row", "cold frame", "pack");
    for (int level : levels) {
      for (int size : sizes) {
        const int64_t rowsPerBlock = size > 0 ? size : pool.rows;
        const auto packStart = Clock::now();
        const Blocks blocks = CompressZstd(pool, rowsPerBlock, level);
        const double packSeconds = std::chrono::duration<double>(Clock::now() - packStart).count();
        const double s = DecodeZstd(pool, blocks, runs);
        const double perBlock = s / static_cast<double>(blocks.packed.size());
        const double bpf = BlocksPerFrame(frames, rowsPerBlock);
        std::printf("zstd%-2d %-5s %7zu %12zu %6.2f%% %10.1fms %8.1fus %7.2fus %10.0fus %7.1fs %s\n", level,
                    size > 0 ? std::to_string(size).c_str() : "all", blocks.packed.size(), blocks.Total(),
                    100.0 * static_cast<double>(blocks.Total()) / raw, s * 1e3, perBlock * 1e6,
                    s / static_cast<double>(pool.rows) * 1e6, bpf * perBlock * 1e6, packSeconds,
                    frames.empty() ? "" : ("(" + std::to_string(bpf).substr(0, 5) + " blocks)").c_str());
        std::fflush(stdout);
      }
      for (int size : sizes) {
        if (!dictionaries || size <= 0) continue;
        const DictResult d = WithDictionary(pool, size, level, runs);
        std::printf("zstd%-2d %-5d %7zu %12zu %6.2f%% %10.1fms %8.1fus %7.2fus   (dictionary: %zu of the bytes)\n",
                    level, size, d.blocks, d.blockBytes + d.dictBytes,
                    100.0 * static_cast<double>(d.blockBytes + d.dictBytes) / raw, d.seconds * 1e3,
                    d.seconds / static_cast<double>(d.blocks) * 1e6, d.seconds / static_cast<double>(pool.rows) * 1e6,
                    d.dictBytes);
        std::fflush(stdout);
      }
      const size_t longBytes = CompressZstdLong(pool, level);
      std::printf("zstd%-2d %-5s %7d %12zu %6.2f%%   (one stream, long-distance matching, window 128 MiB)\n",
                  level, "long", 1, longBytes, 100.0 * static_cast<double>(longBytes) / raw);
      std::fflush(stdout);
    }
    for (int size : sizes) {
      const int64_t rowsPerBlock = size > 0 ? size : pool.rows;
      const DeflateResult d = Deflate(pool, rowsPerBlock, runs);
      const double blocks = std::ceil(static_cast<double>(pool.rows) / static_cast<double>(rowsPerBlock));
      std::printf("zlib6  %-5s %7.0f %12zu %6.2f%% %10.1fms %8.1fus %7.2fus\n",
                  size > 0 ? std::to_string(size).c_str() : "all", blocks, d.bytes,
                  100.0 * static_cast<double>(d.bytes) / raw, d.seconds * 1e3, d.seconds / blocks * 1e6,
                  d.seconds / static_cast<double>(pool.rows) * 1e6);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "codec_measure: %s\n", e.what());
    return 1;
  }
  return 0;
}
