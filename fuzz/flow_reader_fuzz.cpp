// Fuzz target: the flow reader against a plain model of a Windows text-mode stream over a byte range.
#include <algorithm>
#include <cstring>

#include "content/flow_reader.h"
#include "fuzz_support.h"

namespace {

// The model: CR LF is one character '\n' two bytes long; a read delivers
// characters up to and including '\n', at most maxChars of them; the range
// end is the end of the file.
struct ModelLine {
  std::string text;
  int64_t next;
};

ModelLine ModelRead(const std::string& file, int64_t pos, int64_t limit, int maxChars) {
  ModelLine line{"", pos};
  while (line.next < limit && static_cast<int>(line.text.size()) < maxChars) {
    const char c = file[static_cast<size_t>(line.next)];
    if (c == '\r' && line.next + 1 < limit && file[static_cast<size_t>(line.next) + 1] == '\n') {
      line.text.push_back('\n');
      line.next += 2;
      break;
    }
    line.text.push_back(c);
    ++line.next;
    if (c == '\n') break;
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const int maxChars = 1 + (data[0] | data[1] << 8) % demo::kFlowLineChars;
  const int keepChars = (data[2] & 1) ? maxChars : data[2] % 60;
  const std::string file(fuzz::Bytes(data + 8, size - 8));
  const int64_t fileSize = static_cast<int64_t>(file.size());
  const int64_t start = (data[3] | data[4] << 8) % (fileSize + 1);
  const int64_t end = data[5] == 255 ? INT64_MAX : start + (data[5] | data[6] << 8);
  const int64_t limit = std::min(end, fileSize);
  const int seekAfter = data[7] % 16;
  const std::string path = fuzz::WriteScratch("flow.txt", file);

  demo::FlowReader flow;
  fuzz::Check(flow.Open(path, start, end));
  int64_t pos = start;
  for (int n = 0; n < 100000; ++n) {
    if (n == seekAfter && limit > start) {
      pos = start + (static_cast<int64_t>(data[7]) * 7919) % (limit - start + 1);
      flow.Seek(pos);
    }
    const ModelLine want = ModelRead(file, pos, limit, maxChars);
    const bool got = flow.ReadLine(maxChars, keepChars);
    fuzz::Check(got == !want.text.empty());
    if (!got) {
      fuzz::Check(flow.Position() == pos && flow.AtEnd() == (pos >= limit));
      break;
    }
    fuzz::Check(flow.LineStart() == pos && flow.Position() == want.next);
    fuzz::Check(flow.Length() == static_cast<int>(want.text.size()));
    fuzz::Check(flow.EndsLine() == (want.text.back() == '\n'));
    const int kept = std::min(keepChars, flow.Length());
    fuzz::Check(std::memcmp(flow.Line(), want.text.data(), static_cast<size_t>(kept)) == 0);
    fuzz::Check(flow.Line()[kept] == 0 && flow.At(kept) == 0);
    fuzz::Check(flow.AtEnd() == (want.next >= limit));
    pos = want.next;
  }
  return 0;
}
