// The table the search threads share: a reader never takes another key's
// data, even while writers race it for the same slots, and growing keeps
// what was stored.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "solve/shared_table.h"

namespace {

// Data that names its key, so a torn or foreign entry shows.
std::uint64_t data_of(std::uint64_t key)
{
    return key * 0x9E3779B97F4A7C15ull + 1;
}

TEST(shared_table, racing_writers_never_give_a_reader_another_keys_data)
{
    shared_table table(1 << 16, 1 << 16);  // 4096 slots for many more keys: constant collisions
    std::atomic<bool> wrong{false};
    std::atomic<long> hits{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; t++)
        threads.emplace_back([&, t] {
            std::mt19937_64 random(t + 1);
            for (int i = 0; i < 400000; i++) {
                const std::uint64_t key = (random() % 20000 + 1) * 0x100000001ull;
                std::uint64_t data;
                if (t % 2 == 0) {
                    table.store(key, data_of(key));
                } else if (table.find(key, &data)) {
                    hits++;
                    if (data != data_of(key))
                        wrong = true;
                }
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_FALSE(wrong);
    EXPECT_GT(hits.load(), 0);
}

TEST(shared_table, grows_when_filling_and_keeps_every_entry_that_had_a_slot_of_its_own)
{
    shared_table table(1 << 16, 1 << 24);
    const std::size_t before = table.bytes();
    std::vector<std::uint64_t> kept;
    for (std::uint64_t slot = 0; slot < before / 16; slot += 2) {
        const std::uint64_t key = (slot << 20) | slot;  // one key per even slot, spread over the larger table
        table.store(key, data_of(key));
        kept.push_back(key);
    }
    table.grow_if_filling();
    EXPECT_GT(table.bytes(), before);
    EXPECT_LE(table.bytes(), std::size_t(1) << 24);
    for (std::uint64_t key : kept) {
        std::uint64_t data = 0;
        ASSERT_TRUE(table.find(key, &data)) << key;
        EXPECT_EQ(data, data_of(key));
    }
    std::uint64_t none;
    EXPECT_FALSE(table.find(12345, &none));
}

TEST(shared_table, memory_bound_suits_a_desktop)
{
    const std::size_t bound = table_memory_bound();
    EXPECT_LE(bound, std::size_t(1) << 30);
    EXPECT_GE(bound, std::size_t(1) << 16);
    EXPECT_EQ(bound & (bound - 1), 0u);
}

}  // namespace
