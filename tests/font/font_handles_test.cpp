// Font handles: the handle scheme, defaults, the slot limit, creation fall-backs, bad arguments and re-creation.
#include "font/font_test_support.h"
#include "graphics/screen_mode.h"

namespace {

constexpr int kKind = 0x20000000;

TEST_F(FontTest, HandlesCarryKindCheckAndSlotAndTheFortyFirstFails) {
  ASSERT_EQ(StartWithFonts(32), 0);
  const int first = QueryDefaultFont();  // the default font takes slot 0
  EXPECT_EQ(first & 0x7800FFFF, kKind);
  std::vector<int> fonts;
  for (int i = 1; i < 40; ++i) fonts.push_back(CreateFontToHandle(nullptr, 10, -1, -1, -1, -1, -1, -1));
  for (int i = 0; i < 39; ++i) EXPECT_EQ(fonts[i], kKind | ((((first >> 16) & 0x7FF) + 1 + i) << 16) | (i + 1));
  EXPECT_EQ(CreateFontToHandle(nullptr, 10, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_TRUE(LogHas("作成できるフォントハンドル数 40 の限界を超えました"));
  EXPECT_EQ(DeleteFontHandle(fonts[4]), 0);
  EXPECT_EQ(IsValidFontHandle(fonts[4]), 0);
  EXPECT_EQ(DeleteFontHandle(fonts[4]), -1);
  int again = CreateFontToHandle(nullptr, 10, -1, -1, -1, -1, -1, -1);
  EXPECT_EQ(again & 0xFFFF, 5);
  EXPECT_NE(again, fonts[4]);  // a new check number: the old handle stays invalid
  EXPECT_EQ(IsValidFontHandle(fonts[4]), 0);
  EXPECT_EQ(DeleteFontHandle(again), 0);
  EXPECT_EQ(CreateFontToHandle(nullptr, 10, -1, -1, -1, -1, -1, fonts[4] >> 16 & 0x7FF), fonts[4]);
}

TEST_F(FontTest, DefaultsAndTheEdgedBit) {
  ASSERT_EQ(StartWithFonts(32), 0);
  struct Case {
    int type, edge;
    int wantType, wantEdge;
  } cases[] = {{-1, 3, 1, 3}, {-1, -1, 0, 1}, {2, -1, 2, 1}, {2, 2, 3, 2}};
  for (const Case& c : cases) {
    int font = CreateFontToHandle(nullptr, -1, -1, c.type, -1, c.edge, -1, -1);
    FontRecord* record = GetFontRecord(font);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, c.wantType);
    EXPECT_EQ(record->edgeSize, c.wantEdge);
    EXPECT_EQ(record->size, 16);
    EXPECT_EQ(record->thickness, 6);
    EXPECT_EQ(record->charSet, 1);
    DeleteFontHandle(font);
  }
  char face[256] = "x";
  int size = 0, thickness = 0;
  EXPECT_EQ(GetFontInfoOfHandle(face, &size, &thickness, QueryDefaultFont()), 0);
  EXPECT_EQ(std::string(face), "");
  EXPECT_EQ(size, 16);
  EXPECT_EQ(thickness, 6);
  EXPECT_EQ(GetFontInfoOfHandle(face, &size, &thickness, 0x20000000 | 39), -1);
}

TEST_F(FontTest, HangeulSystemsDefaultToTheHangeulCharSet) {
  ASSERT_EQ(StartWithFonts(32, {}, 949), 0);
  EXPECT_EQ(GetFontRecord(QueryDefaultFont())->charSet, 2);
  // Formatted text keeps the default font as it is.
  int before = QueryDefaultFont();
  RebuildDefaultFontIfChanged();
  EXPECT_EQ(QueryDefaultFont(), before);
}

TEST_F(FontTest, AnEightBitScreenDropsAntiAliasing) {
  ASSERT_EQ(StartWithFonts(8), 0);
  EXPECT_EQ(GetFontRecord(CreateFontToHandle(nullptr, 12, -1, 2, -1, -1, -1, -1))->type, 0);
  EXPECT_EQ(GetFontRecord(CreateFontToHandle(nullptr, 12, -1, 3, -1, -1, -1, -1))->type, 1);
}

TEST_F(FontTest, BadArgumentsAnswerMinusOneAndLeaveTheSlotFree) {
  ASSERT_EQ(StartWithFonts(32), 0);
  struct Case {
    int size, type, charSet, slot, check;
  } cases[] = {{12, 4, -1, -1, -1}, {12, -1, 3, -1, -1},  {12, -1, -2, -1, -1}, {12, -1, -1, 40, -1},
               {12, -1, -1, -2, -1}, {12, -1, -1, -1, 2048}, {12, -1, -1, 0, -1}, {5000, -1, -1, -1, -1},
               {-5000, -1, -1, -1, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(CreateFontToHandle(nullptr, c.size, -1, c.type, c.charSet, -1, c.slot, c.check), -1) << c.size;
  EXPECT_TRUE(LogHas("フォントの作成に失敗しました"));
  EXPECT_EQ(CreateFontToHandle("Synthetic", 5000, -1, -1, -1, -1, -1, -1), -1);
  EXPECT_TRUE(LogHas("指定のフォントの作成に失敗しました"));
  EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, -1, -1) & 0xFFFF, 1);
  EXPECT_EQ(SetFontDeletedFlagPointer(0x20000000 | 39, nullptr), -1);
}

// An edge of 0 is a font of its own: plain unless the type asks for an edge, and never refused.
TEST_F(FontTest, AnEdgeSizeOfZeroMakesAFont) {
  ASSERT_EQ(StartWithFonts(32), 0);
  struct Case {
    int type, wantType;
  } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {2, 2}, {3, 3}};
  const int plainCell = GetFontRecord(CreateFontToHandle(nullptr, 20, -1, 0, -1, -1, -1, -1))->cellWidth;
  for (const Case& c : cases) {
    const int font = CreateFontToHandle(nullptr, 20, -1, c.type, -1, 0, -1, -1);
    ASSERT_NE(font, -1) << c.type;
    EXPECT_EQ(GetFontRecord(font)->type, c.wantType);
    EXPECT_EQ(GetFontRecord(font)->edgeSize, 0);
    EXPECT_EQ(GetFontRecord(font)->cellWidth, plainCell);  // no edge around the cell
    DeleteFontHandle(font);
  }
}

// The edge's work grows with its square times the glyph's pixels: at most 127, and at most 2,048 over the height.
TEST_F(FontTest, EdgesBeyondTheirBoundAreRefusedWithALogLine) {
  ASSERT_EQ(StartWithFonts(32), 0);
  struct Case {
    int size, type, edge;
    bool made;
  } cases[] = {{512, -1, 4, true},   {512, -1, 5, false},  {16, -1, 127, true},  {16, -1, 128, false},
               {-1, -1, 127, true},  {17, -1, 121, false}, {256, 3, 8, true},    {256, 3, 9, false},
               {100, 1, 20, true},   {100, 1, 21, false},  {100, -1, -2, false}, {1024, 0, -1, true},
               {512, 1, -1, true},   {300, 2, 100, false}, {20, 2, 102, true}};
  for (const Case& c : cases) {
    std::remove((workDir() + "/AppLog.txt").c_str());
    const int font = CreateFontToHandle(nullptr, c.size, -1, c.type, -1, c.edge, -1, -1);
    EXPECT_EQ(font != -1, c.made) << c.size << " " << c.edge;
    const std::string refusal = "縁の太さ " + std::to_string(c.edge) + " のフォントは作成できません";
    EXPECT_EQ(LogHas(refusal), !c.made) << c.size << " " << c.edge;
    if (font != -1) {
      EXPECT_EQ(DrawTextWithFont(0, 0, "\x81\xA1", PackScreenColor(255, 255, 255), font, 0, 0), 0);
      DeleteFontHandle(font);
    }
  }
  // A refused font leaves its slot free.
  EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, -1, -1) & 0xFFFF, 1);
}

// A deleted font takes its glyph cache graph with it, so creating and deleting fonts never fills the graph table.
TEST_F(FontTest, DeletingAFontDeletesItsCacheGraph) {
  ASSERT_EQ(StartWithFonts(16), 0);
  const int font = CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, -1, -1);
  ASSERT_NE(font, -1);
  const int graph = GetFontRecord(font)->cacheGraph;
  ASSERT_NE(GetGraphRecord(graph), nullptr);
  EXPECT_EQ(DeleteFontHandle(font), 0);
  EXPECT_EQ(GetGraphRecord(graph), nullptr);
}

TEST_F(FontTest, CreationRetriesWithTwoMoreCharSetsForANamedFace) {
  ASSERT_EQ(StartWithFonts(32), 0);
  headless::FailCall("CreateFontA", 2);
  EXPECT_NE(CreateFontToHandle("Century Gothic", 15, 4, -1, -1, -1, -1, -1), -1);
  headless::FailCall("CreateFontA", 3);
  EXPECT_EQ(CreateFontToHandle("Century Gothic", 15, 4, -1, -1, -1, -1, -1), -1);
  EXPECT_TRUE(LogHas("指定のフォントの作成に失敗しました"));
  // The system default face is tried twice only.
  headless::FailCall("CreateFontA", 2);
  EXPECT_EQ(CreateFontToHandle(nullptr, 15, 4, -1, -1, -1, -1, -1), -1);
  headless::ClearFailures();
  EXPECT_NE(CreateFontToHandle(nullptr, 15, 4, -1, -1, -1, -1, -1), -1);
}

TEST_F(FontTest, LongFaceNamesAreCutAtACharacterBoundary) {
  ASSERT_EQ(StartWithFonts(32), 0);
  std::string face(254, 'a');
  face += "\x82\xA0";  // a double-byte character across the 255-byte limit
  int font = CreateFontToHandle(face.c_str(), 12, -1, -1, -1, -1, -1, -1);
  ASSERT_NE(font, -1);
  EXPECT_EQ(std::string(GetFontRecord(font)->faceName), std::string(254, 'a'));
  // A single-byte name is cut to the field's 255 bytes, and nothing past the field changes.
  const int longer = CreateFontToHandle(std::string(300, 'b').c_str(), 12, 7, -1, -1, -1, -1, -1);
  ASSERT_NE(longer, -1);
  EXPECT_EQ(std::string(GetFontRecord(longer)->faceName), std::string(255, 'b'));
  int thickness = 0;
  EXPECT_EQ(GetFontInfoOfHandle(nullptr, nullptr, &thickness, longer), 0);
  EXPECT_EQ(thickness, 7);
}

TEST_F(FontTest, RecreatedFontsKeepHandleEdgeAndDeletedFlag) {
  ASSERT_EQ(StartWithFonts(32), 0);
  int font = CreateFontToHandle(nullptr, 20, -1, -1, -1, 3, -1, -1);
  int32_t deleted = -1;
  EXPECT_EQ(SetFontDeletedFlagPointer(font, &deleted), 0);
  EXPECT_EQ(deleted, 0);
  const int cell = GetFontRecord(font)->cellWidth;
  RecreateAllFonts();
  ASSERT_EQ(IsValidFontHandle(font), 1);
  EXPECT_EQ(GetFontRecord(font)->edgeSize, 3);
  EXPECT_EQ(GetFontRecord(font)->cellWidth, cell);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(DrawTextWithFont(0, 0, "AB", PackScreenColor(255, 255, 255), font, 0, 0), 0);
  EXPECT_EQ(DeleteFontHandle(font), 0);
  EXPECT_EQ(deleted, 1);
}

TEST_F(FontTest, AModeChangeKeepsTheDefaultFontsSizeAndSignalsOtherFonts) {
  ASSERT_EQ(StartWithFonts(32), 0);
  int font = CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, -1, -1);
  int32_t deleted = 0;
  SetFontDeletedFlagPointer(font, &deleted);
  EXPECT_EQ(ChangeDefaultFontSize(nullptr, 24, 3), 0);
  EXPECT_EQ(ChangeScreenMode(-1, -1, 16, 1, -1), 0);
  EXPECT_EQ(deleted, 1);
  int size = 0, thickness = 0;
  EXPECT_EQ(GetFontInfoOfHandle(nullptr, &size, &thickness, QueryDefaultFont()), 0);
  EXPECT_EQ(size, 24);
  EXPECT_EQ(thickness, 3);
}

TEST(DoubleByteLead, ByCharSet) {
  struct Case {
    unsigned char byte;
    int charSet, lead;
  } cases[] = {{0xA4, 2, 1}, {0x80, 2, 1}, {0x7F, 2, 0}, {0xA4, 1, 0}, {0x81, 1, 1}, {0x9F, 1, 1}, {0xE0, 1, 1},
               {0xFC, 1, 1}, {0x80, 1, 0}, {0xA0, 1, 0}, {0xFD, 1, 0}, {0x81, 0, 1}, {0xA0, 0, 0}};
  for (const Case& c : cases) {
    char text[2] = {static_cast<char>(c.byte), 0};
    EXPECT_EQ(IsDoubleByteLead(text, c.charSet), c.lead) << int{c.byte} << " " << c.charSet;
  }
}

}  // namespace
