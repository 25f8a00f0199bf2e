// win_gdi_text: the context -> face table and GetTextExtentPoint32A.
#include "platform/win_gdi_text.h"

#include <cstring>
#include <unordered_map>

namespace {

// One thread draws and measures; the table still takes a lock because fonts may be created
// and destroyed from static destructors at exit.
struct DcFonts {
  CRITICAL_SECTION lock;
  std::unordered_map<HDC, std::shared_ptr<font_engine::Face>> faces;
  DcFonts() { InitializeCriticalSection(&lock); }
};

// Kept for the whole run: global fonts unbind themselves after other statics are gone.
DcFonts& Table() {
  static DcFonts* table = new DcFonts;
  return *table;
}

}  // namespace

void BindFontToDC(HDC dc, std::shared_ptr<font_engine::Face> face) {
  if (dc == nullptr) return;
  DcFonts& table = Table();
  EnterCriticalSection(&table.lock);
  if (face) {
    table.faces[dc] = std::move(face);
  } else {
    table.faces.erase(dc);
  }
  LeaveCriticalSection(&table.lock);
}

void UnbindFontFromDC(HDC dc) { BindFontToDC(dc, nullptr); }

std::shared_ptr<font_engine::Face> FontOfDC(HDC dc) {
  DcFonts& table = Table();
  EnterCriticalSection(&table.lock);
  auto found = table.faces.find(dc);
  std::shared_ptr<font_engine::Face> face = found != table.faces.end() ? found->second : nullptr;
  LeaveCriticalSection(&table.lock);
  return face;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
  if (text == nullptr || size == nullptr || count < 0) return FALSE;
  std::shared_ptr<font_engine::Face> face = FontOfDC(dc);
  if (!face) return FALSE;
  // A count past the terminating NUL would read beyond the caller's string: stop at the NUL.
  const size_t bytes = strnlen(text, static_cast<size_t>(count));
  size->cx = face->MeasureWidth(font_engine::DecodeCp936(text, bytes));
  size->cy = face->height();
  return TRUE;
}
