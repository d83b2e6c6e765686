// The stand-in view's font, as GDI finds it under Wine or on Windows.
#include "sim/engine/stand_in_view_win.h"

#include <windows.h>
// After windows.h, which it needs.
#include <usp10.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace lanternquill::sim {
namespace {

// The glyphs of `text` in the font selected into `dc`, as Uniscribe shapes
// them: it reads the characters beyond the first plane (the emoji) too, which
// the per-unit GetGlyphIndicesW cannot.
std::vector<WORD> Shape(HDC dc, SCRIPT_CACHE* cache, const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  std::vector<SCRIPT_ITEM> items(text.size() + 1);
  int item_count = 0;
  if (ScriptItemize(text.c_str(), length, length, nullptr, nullptr,
                    items.data(), &item_count) != S_OK) {
    ADD_FAILURE() << "ScriptItemize failed";
    return {};
  }
  std::vector<WORD> glyphs;
  for (size_t i = 0; i < static_cast<size_t>(item_count); ++i) {
    const int start = items[i].iCharPos;
    const int units = items[i + 1].iCharPos - start;
    const int capacity = units * 3 / 2 + 16;
    std::vector<WORD> item_glyphs(static_cast<size_t>(capacity));
    std::vector<WORD> clusters(static_cast<size_t>(units));
    std::vector<SCRIPT_VISATTR> attributes(static_cast<size_t>(capacity));
    int glyph_count = 0;
    EXPECT_EQ(ScriptShape(dc, cache, text.c_str() + start, units, capacity,
                          &items[i].a, item_glyphs.data(), clusters.data(),
                          attributes.data(), &glyph_count),
              S_OK);
    glyphs.insert(glyphs.end(), item_glyphs.begin(),
                  item_glyphs.begin() + glyph_count);
  }
  return glyphs;
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") !=
         nullptr;
}

// No character the view writes is drawn as the empty box of a missing glyph:
// GDI silently puts another face in place of one it cannot find, so the face
// must be there, and it must have every glyph itself.
TEST(StandInViewTest, FontHasAGlyphForEveryCharacterTheViewWrites) {
  if (!UnderWine() && ViewFontFace() != std::wstring(kSelfContainedFace)) {
    GTEST_SKIP() << "Windows draws the view's missing glyphs from its other "
                    "fonts";
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateViewFont(-18, FW_NORMAL);
  HGDIOBJ old_font = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  EXPECT_STREQ(face, kSelfContainedFace);

  SCRIPT_CACHE cache = nullptr;
  SCRIPT_FONTPROPERTIES properties{};
  properties.cBytes = sizeof(properties);
  ASSERT_EQ(ScriptGetFontProperties(dc, &cache, &properties), S_OK);
  for (const std::wstring text : {
           L"Typed: Hello from Lanternquill: \u00fcn\u00efc\u00f6d\u00e9 "
           L"\u2713 \U0001F600",
           L"    mouseMove \u2192 error INVALID_ARGS",
       }) {
    const std::vector<WORD> glyphs = Shape(dc, &cache, text);
    EXPECT_FALSE(glyphs.empty());
    EXPECT_EQ(std::count(glyphs.begin(), glyphs.end(), properties.wgDefault), 0)
        << "missing glyphs in: " << ::testing::PrintToString(text);
  }

  ScriptFreeCache(&cache);
  SelectObject(dc, old_font);
  DeleteObject(font);
  DeleteDC(dc);
}

}  // namespace
}  // namespace lanternquill::sim
