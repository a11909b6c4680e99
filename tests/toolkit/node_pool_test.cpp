// The node pool: block capacities as the pool grows, blocks given back as
// soon as their nodes are, reuse order and node layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "toolkit/node_pool.h"

namespace {

struct node_pool_cases : testing::Test {
    node_pool* pool = nullptr;
    std::vector<void*> nodes;

    void make(std::size_t payload, std::int32_t min, std::int32_t max)
    {
        pool = pool_create(payload, min, max);
        ASSERT_NE(pool, nullptr);
    }
    void TearDown() override
    {
        for (void* node : nodes)
            pool_free(pool, node);
        EXPECT_EQ(pool_block_count(pool), 0) << "every node is back, so no block may stay";
        EXPECT_EQ(pool_total(pool), 0);
        pool_destroy(pool);
    }
    // Allocates one node; returns the capacity of the block it made, or 0
    // when it came from a block the pool already had.
    std::int32_t alloc_one()
    {
        std::int32_t before = pool_total(pool);
        void* node = pool_alloc(pool);
        EXPECT_NE(node, nullptr);
        nodes.push_back(node);
        return pool_total(pool) - before;
    }
};

}  // namespace

TEST_F(node_pool_cases, seventeen_nodes_make_two_blocks_and_the_lone_one_goes_back_at_once)
{
    make(24, 16, 256);
    for (int i = 0; i < 16; ++i)
        alloc_one();
    EXPECT_EQ(pool_block_count(pool), 1);
    EXPECT_EQ(pool_total(pool), 16);
    EXPECT_EQ(alloc_one(), 16);
    EXPECT_EQ(pool_block_count(pool), 2);

    pool_free(pool, nodes.back());
    nodes.pop_back();
    EXPECT_EQ(pool_block_count(pool), 1) << "the second block had handed out one node, now back";
    EXPECT_EQ(pool_total(pool), 16);

    // Freeing part of the first block keeps it.
    pool_free(pool, nodes.front());
    nodes.erase(nodes.begin());
    EXPECT_EQ(pool_block_count(pool), 1);
}

TEST_F(node_pool_cases, block_capacity_follows_the_pool_size)
{
    make(8, 16, 256);
    std::vector<std::pair<std::int32_t, std::int32_t>> blocks;  // (total before, capacity)
    while (pool_total(pool) < 8192) {
        std::int32_t before = pool_total(pool);
        if (std::int32_t made = alloc_one())
            blocks.emplace_back(before, made);
    }
    ASSERT_GE(blocks.size(), 33u);
    // Blocks of 16 until the pool holds 512 nodes, then 32.
    for (std::size_t i = 0; i < 32; ++i)
        EXPECT_EQ(blocks[i].second, 16) << "block " << i;
    EXPECT_EQ(blocks[32].first, 512);
    EXPECT_EQ(blocks[32].second, 32);
    for (auto [before, capacity] : blocks) {
        EXPECT_EQ(capacity % 16, 0) << "at total " << before;
        if (before < 4096)
            EXPECT_LT(capacity, 256) << "at total " << before;
        else
            EXPECT_EQ(capacity, 256) << "at total " << before;
    }
    // 768 / 16 = 48: the capacity is total / 16, not a doubling.
    bool saw_768 = false;
    for (auto [before, capacity] : blocks)
        if (before == 768) {
            saw_768 = true;
            EXPECT_EQ(capacity, 48);
        }
    EXPECT_TRUE(saw_768);
}

TEST_F(node_pool_cases, maximum_and_minimum_bound_the_block_capacity)
{
    make(4, 4, 32);
    EXPECT_EQ(alloc_one(), 4);
    while (pool_total(pool) < 1024)
        alloc_one();
    std::int32_t made = 0;
    while (!made)
        made = alloc_one();
    EXPECT_EQ(made, 32) << "1024 / 16 would be 64";
}

TEST_F(node_pool_cases, a_block_is_released_even_with_never_used_nodes_left)
{
    make(16, 16, 256);
    void* node = pool_alloc(pool);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(pool_block_count(pool), 1);
    pool_free(pool, node);
    EXPECT_EQ(pool_block_count(pool), 0);
    EXPECT_EQ(pool_total(pool), 0);
}

TEST_F(node_pool_cases, freed_nodes_are_reused_most_recent_first)
{
    make(24, 16, 256);
    for (int i = 0; i < 4; ++i)
        alloc_one();
    void* second = nodes[1];
    void* third = nodes[2];
    pool_free(pool, second);
    pool_free(pool, third);
    EXPECT_EQ(pool_alloc(pool), third);
    EXPECT_EQ(pool_alloc(pool), second);
}

TEST_F(node_pool_cases, a_full_block_with_a_freed_node_serves_before_newer_blocks)
{
    make(24, 16, 256);
    for (int i = 0; i < 17; ++i)
        alloc_one();
    // The first block is full; freeing one of its nodes makes it the first
    // available block again, ahead of the second one's unused nodes.
    void* freed = nodes[5];
    nodes.erase(nodes.begin() + 5);
    pool_free(pool, freed);
    void* again = pool_alloc(pool);
    EXPECT_EQ(again, freed);
    nodes.push_back(again);
    EXPECT_EQ(pool_block_count(pool), 2);
}

TEST_F(node_pool_cases, nodes_are_aligned_and_do_not_overlap)
{
    make(13, 16, 256);
    for (int i = 0; i < 40; ++i)
        alloc_one();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nodes[i]) % alignof(void*), 0u);
        std::memset(nodes[i], int(i + 1), 13);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i)
        for (int b = 0; b < 13; ++b)
            ASSERT_EQ(static_cast<unsigned char*>(nodes[i])[b], i + 1) << "node " << i << " byte " << b;
}

TEST(node_pool, nonsensical_bounds_are_refused)
{
    EXPECT_EQ(pool_create(8, 0, 16), nullptr);
    EXPECT_EQ(pool_create(8, 32, 16), nullptr);
}
