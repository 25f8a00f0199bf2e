#include "core/byte_cursor.h"

#include <gtest/gtest.h>

TEST(ByteCursor, ReadsBothByteOrdersAndFailsStickilyPastTheEnd) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  ByteCursor c(bytes, sizeof bytes);
  EXPECT_EQ(c.u16le(), 0x0201);
  EXPECT_EQ(c.u16be(), 0x0304);
  EXPECT_FALSE(c.failed());
  EXPECT_EQ(c.u32le(), 0u);  // only two bytes left
  EXPECT_TRUE(c.failed());
  EXPECT_EQ(c.u8(), 0);  // sticky: even a byte that exists is not read any more
}

TEST(ByteCursor, SubCursorIsClampedToTheParent) {
  const uint8_t bytes[] = {1, 2, 3, 4};
  ByteCursor c(bytes, sizeof bytes);
  c.skip(1);
  ByteCursor child = c.sub(10);
  EXPECT_TRUE(c.failed());
  EXPECT_EQ(child.size(), 3u);
  EXPECT_EQ(child.u8(), 2);
  EXPECT_FALSE(child.failed());
  EXPECT_TRUE(c.at(2, 3).failed());
  EXPECT_EQ(c.at(2, 2).u16le(), 0x0403);
}

TEST(ByteCursor, CheckedArithmeticRefusesOverflow) {
  size_t out = 0;
  EXPECT_FALSE(CheckedMul(SIZE_MAX / 2 + 1, 2, &out));
  EXPECT_TRUE(CheckedMul(1000, 1000, &out));
  EXPECT_EQ(out, 1000000u);
  EXPECT_FALSE(CheckedAdd(SIZE_MAX, 1, &out));
}
