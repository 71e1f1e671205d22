#include "ModalHolders.h"

#include <gtest/gtest.h>

#include <utility>

TEST(ModalHolders, SetWhileAnyHoldLivesAndEachReleasesOnce)
{
    ModalHolders modal;
    EXPECT_FALSE(modal.IsSet());
    ModalHolders::Hold batch = modal.Take();
    {
        ModalHolders::Hold question = modal.Take();
        EXPECT_EQ(modal.Count(), 2);
        question.Release();
        question.Release(); // a second release must not free the batch's hold
        EXPECT_EQ(modal.Count(), 1);
    }
    EXPECT_TRUE(modal.IsSet());
    ModalHolders::Hold moved = std::move(batch);
    EXPECT_FALSE(batch.Holding());
    EXPECT_EQ(modal.Count(), 1);
    moved = modal.Take(); // the old hold goes as the new one comes
    EXPECT_EQ(modal.Count(), 1);
    moved.Release();
    EXPECT_FALSE(modal.IsSet());
}
