// Fuzz target: a record's mode and tile lines composed into a frame, for any frame size.
#include "content/flow_reader.h"
#include "fuzz_support.h"
#include "imaging/stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + (data[0] | data[1] << 8) % demo::kImageWidth;
  const int height = 1 + (data[2] | data[3] << 8) % demo::kImageHeight;
  const std::string_view body = fuzz::Bytes(data + 4, size - 4);
  std::string flow = "~frame\n";
  flow.append(body);
  demo::Player& p = fuzz::UseSideFiles(flow, width, height);

  const std::string_view first = body.substr(0, body.find('\n'));
  const demo::FrameComposition mode = demo::ParseModeLine(first.data(), static_cast<int>(first.size()));
  const demo::UpdateRect clipped = demo::ClipToFrame(mode.rect, width, height);
  if (clipped.x1 <= clipped.x2 && clipped.y1 <= clipped.y2)
    fuzz::Check(clipped.x1 >= 0 && clipped.x2 < width && clipped.y1 >= 0 && clipped.y2 < height);

  demo::FlowReader reader;
  fuzz::Check(reader.Open(p.package.flowPath, 0, static_cast<int64_t>(flow.size())));
  reader.ReadLine();
  p.frameBuffer.ForgetRows();
  demo::FrameComposition got;
  // A refusal is a clean outcome; only what is composed is checked.
  if (!demo::ReadFrameImageLines(p.package, reader, p.frameBuffer, got).ok()) return 0;
  const demo::UpdateRect& r = got.rect;
  if (r.x1 <= r.x2 && r.y1 <= r.y2)
    fuzz::Check(r.x1 >= 0 && r.x2 < width && r.y1 >= 0 && r.y2 < height);
  return 0;
}
