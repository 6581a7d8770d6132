#include "base/fastcast.h"

#include <gtest/gtest.h>

using namespace tw;

namespace {

struct Base {
    virtual ~Base() = default;
    int base = 1;
};
struct Extra {
    virtual ~Extra() = default;
    int extra = 2;
};
struct Left : Base {};
// Extra sits after Base: a cast to it moves the pointer.
struct Both : Left, Extra {};
struct Other : Base {};

} // namespace

// Every answer equals dynamic_cast's, also once the type's answer is kept, for objects of
// several types through the same cast, const ones, and null.
TEST(FastCast, AnswersAsDynamicCast)
{
    Both both;
    Left left;
    Other other;
    for (int round = 0; round < 3; ++round) {
        for (Base *b : {static_cast<Base *>(&both), static_cast<Base *>(&left), static_cast<Base *>(&other)}) {
            EXPECT_EQ(fastCast<Extra *>(b), dynamic_cast<Extra *>(b));
            EXPECT_EQ(fastCast<Left *>(b), dynamic_cast<Left *>(b));
            EXPECT_EQ(fastCast<const Both *>(static_cast<const Base *>(b)), dynamic_cast<const Both *>(b));
        }
    }
    ASSERT_NE(fastCast<Extra *>(static_cast<Base *>(&both)), nullptr);
    EXPECT_EQ(fastCast<Extra *>(static_cast<Base *>(&both))->extra, 2);
    EXPECT_EQ(fastCast<Extra *>(static_cast<Base *>(nullptr)), nullptr);
}
