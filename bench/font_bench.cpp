// Text measurement: the interface measures every label, list row and caret position, so
// GetTextExtentPoint32A over CP936 text must stay linear and allocation-light.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/font_engine.h"
#include "platform/win_base.h"
#include "platform/win_gdi_text.h"

namespace {

std::string MixedText(size_t repeats) {
  const std::string unit = Utf8ToCp936("欢迎使用 Image Viewer 专题收藏 AbCd ");
  std::string text;
  text.reserve(unit.size() * repeats);
  for (size_t i = 0; i < repeats; ++i) text += unit;
  return text;
}

void BM_GetTextExtentPoint32A(benchmark::State& state) {
  auto face = font_engine::Face::Open(Utf8ToCp936("宋体").c_str(), 14, false);
  int token = 0;
  HDC dc = reinterpret_cast<HDC>(&token);
  BindFontToDC(dc, face);
  const std::string text = MixedText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  UnbindFontFromDC(dc);
}
BENCHMARK(BM_GetTextExtentPoint32A)->Arg(1)->Arg(100)->Arg(10000);

void BM_RenderGlyphs(benchmark::State& state) {
  // Rasterising a fresh face's glyphs: what the first frame of a screen full of text costs.
  const std::u32string text = font_engine::DecodeCp936(MixedText(1).c_str(), MixedText(1).size());
  for (auto _ : state) {
    auto face = font_engine::Face::Open(Utf8ToCp936("宋体").c_str(), 14, false);
    for (char32_t ch : text) benchmark::DoNotOptimize(face->Render(ch));
  }
}
BENCHMARK(BM_RenderGlyphs);

}  // namespace
