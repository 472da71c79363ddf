#include "convert/PaletteSearch.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "convert/reference/LiteralStages.h"

namespace velmira {
namespace {

std::array<int32_t, kSlotCount> Codes(const Palette& p) {
  std::array<int32_t, kSlotCount> c{};
  for (int32_t s = 0; s < kSlotCount; ++s) c[s] = p.slots[s].code;
  return c;
}

class PaletteSearchTest : public ::testing::Test {
 protected:
  // Runs the search and its literal twin; they must agree slot for slot.
  std::array<int32_t, kSlotCount> Search(const AccumulatedHistogram& w,
                                         int32_t mode) {
    BuildDistanceTable(mode, *table);
    Palette fast, literal;
    fast.Reset();
    literal.Reset();
    SearchPalette(w, *table, fast);
    reference::SearchPaletteLiteral(w, *table, literal);
    EXPECT_EQ(Codes(fast), Codes(literal)) << "mode " << mode;
    for (int32_t s = 0; s < kSlotCount; ++s) {
      const PaletteSlot& slot = fast.slots[s];
      EXPECT_EQ(slot.r3, RedOf(slot.code));
      EXPECT_EQ(slot.g3, GreenOf(slot.code));
      EXPECT_EQ(slot.b3, BlueOf(slot.code));
    }
    return Codes(fast);
  }
  std::unique_ptr<DistanceTable> table = std::make_unique<DistanceTable>();
};

TEST_F(PaletteSearchTest, DistanceTablesOfTheFourModes) {
  for (int32_t mode = 0; mode < 4; ++mode) {
    BuildDistanceTable(mode, *table);
    EXPECT_EQ(table->at(0, 511), mode == 3 ? 21u : 7203u);
    EXPECT_EQ(table->at(511, 0), table->at(0, 511));
    EXPECT_EQ(table->at(448, 448), 0u);
    // (7, 0, 0) to (5, 3, 4): 2, 3, 4 apart.
    EXPECT_EQ(table->at(448, 348), mode == 3 ? 9u : 16u + 81u + 256u);
  }
}

TEST_F(PaletteSearchTest, EmptyAndBlackFramesGiveAnAllBlackPalette) {
  AccumulatedHistogram w{};
  EXPECT_EQ(Search(w, 0), (std::array<int32_t, kSlotCount>{}));
  w[0] = 54272;
  EXPECT_EQ(Search(w, 0), (std::array<int32_t, kSlotCount>{}));
}

TEST_F(PaletteSearchTest, OneColourTakesSlotOneAndTheRestStayBlack) {
  for (int32_t mode = 0; mode < 4; ++mode) {
    AccumulatedHistogram w{};
    w[300] = 5;
    std::array<int32_t, kSlotCount> expected{};
    expected[1] = 300;
    EXPECT_EQ(Search(w, mode), expected);
  }
}

TEST_F(PaletteSearchTest, LaterPassesFreeASlotThatOthersMadeUseless) {
  // Pass 0 takes 348 (5, 3, 4) first, then 448, 511 and 7; pass 1 finds
  // slot 1 useless (every candidate costs 0) and gives it the lowest code.
  AccumulatedHistogram w{};
  w[511] = 10;
  w[448] = 10;
  w[7] = 3;
  std::array<int32_t, kSlotCount> expected{};
  expected[2] = 448;
  expected[3] = 511;
  expected[4] = 7;
  EXPECT_EQ(Search(w, 0), expected);
}

TEST_F(PaletteSearchTest, EquallyCheapCandidatesGoToTheLowestCode) {
  // Mode D, equal weights at (0, 0, 1) and (0, 1, 0): against black alone,
  // codes 1 and 8 both cost one unit; the lower takes slot 1, and slot 2
  // then takes the other colour.
  AccumulatedHistogram w{};
  w[1] = 4;
  w[8] = 4;
  const auto codes = Search(w, 3);
  EXPECT_EQ(codes[1], 1);
  EXPECT_EQ(codes[2], 8);
  EXPECT_EQ(codes[3], 0);
}

TEST_F(PaletteSearchTest, AgreesWithTheLiteralSearchOnRandomWeights) {
  std::mt19937 rng(2024);
  for (int32_t trial = 0; trial < 8; ++trial) {
    AccumulatedHistogram w{};
    const int32_t colours = trial % 2 == 0 ? 40 : 512;
    for (int32_t i = 0; i < colours; ++i) {
      w[rng() % 512] = static_cast<int32_t>(rng() % (trial < 4 ? 50 : 9850256));
    }
    Search(w, trial % 4);
  }
}

TEST(ExpandPalette, SpreadsThreeBitsOverTheByte) {
  Palette p;
  p.Reset();
  for (int32_t s = 0; s < 8; ++s) {
    p.slots[s].r3 = s;
    p.slots[s].g3 = 7 - s;
    p.slots[s].b3 = s;
  }
  ExpandPalette(p);
  const int32_t expected[8] = {0, 36, 72, 109, 145, 182, 218, 255};
  for (int32_t s = 0; s < 8; ++s) {
    EXPECT_EQ(p.slots[s].r8, expected[s]);
    EXPECT_EQ(p.slots[s].g8, expected[7 - s]);
  }
}

}  // namespace
}  // namespace velmira
