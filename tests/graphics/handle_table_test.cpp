#include <gtest/gtest.h>

#include <vector>

#include "graphics/handle_kind.h"

namespace {

struct Item {
  uint32_t check;
};
using SmallTable = HandleTable<Item, 4, GraphHandle>;

TEST(HandleTableTest, KindCheckAndSlotMakeTheHandle) {
  EXPECT_EQ(MakeHandle(GraphHandle, 5, 7), 0x08050007);
  EXPECT_EQ(HandleSlot(0x3805FFFE), 0xFFFE);
  EXPECT_EQ(HandleCheck(0x3FFF0001), 2047u);
  EXPECT_EQ(MakeHandle(SurfaceDataHandle, 2047, 0) & HandleKindMask, SurfaceDataHandle);
}

TEST(HandleTableTest, HighWaterThenFirstFreeSlotAndFullTable) {
  static SmallTable table;
  table = SmallTable{};
  Item items[5];
  std::vector<int32_t> handles;
  for (int i = 0; i < 4; i++) {
    int slot = table.FreeSlot();
    EXPECT_EQ(slot, i);
    handles.push_back(table.Insert(slot, &items[i]));
  }
  EXPECT_EQ(table.FreeSlot(), -1);
  table.Remove(1);
  EXPECT_EQ(table.highWater, 4);
  // The high-water slot has reached the end: the first empty slot from 0.
  EXPECT_EQ(table.FreeSlot(), 1);
  int32_t again = table.Insert(1, &items[4]);
  EXPECT_NE(again, handles[1]);
  EXPECT_EQ(table.Find(handles[1]), nullptr);
  EXPECT_EQ(table.Find(again), &items[4]);
  // Removing the top slots lowers the high-water slot past empty slots below them.
  table.Remove(1);
  table.Remove(3);
  EXPECT_EQ(table.highWater, 3);
  table.Remove(2);
  EXPECT_EQ(table.highWater, 1);
  EXPECT_EQ(table.FreeSlot(), 1);
}

TEST(HandleTableTest, BadHandlesFindNothing) {
  static SmallTable table;
  table = SmallTable{};
  Item item;
  int32_t handle = table.Insert(0, &item);
  EXPECT_EQ(table.Find(handle), &item);
  EXPECT_EQ(table.Find(-1), nullptr);
  EXPECT_EQ(table.Find((handle & ~HandleKindMask) | SoundHandle), nullptr);
  EXPECT_EQ(table.Find(MakeHandle(GraphHandle, item.check, 4)), nullptr);
  EXPECT_EQ(table.Find(MakeHandle(GraphHandle, item.check + 1, 0)), nullptr);
  EXPECT_EQ(table.Find(MakeHandle(GraphHandle, item.check, 1)), nullptr);
}

TEST(HandleTableTest, CheckCounterWrapsAfter2047) {
  static SmallTable table;
  table = SmallTable{};
  Item item;
  for (uint32_t i = 0; i < 2048; i++) {
    int32_t handle = table.Insert(0, &item);
    EXPECT_EQ(HandleCheck(handle), i);
    table.Remove(0);
  }
  EXPECT_EQ(HandleCheck(table.Insert(0, &item)), 0u);
}

}  // namespace
