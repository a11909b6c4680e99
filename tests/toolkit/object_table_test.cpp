// Object tables: growth, reuse of record memory, the release action,
// dynamic handles and iteration order.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "toolkit/object_table.h"

namespace {

struct test_record {
    void* handle;  // liveness
    int payload[6];
};

void* const live_mark = reinterpret_cast<void*>(0x1);

// The release action of the table under test: records what it saw, then
// releases the object the way a destroy handler would.
object_table* current;
std::vector<object_number> released;
std::vector<bool> released_was_live;

void record_and_release(object_number number)
{
    released.push_back(number);
    released_was_live.push_back(table_lookup(current, number) != nullptr);
    table_release(current, number);
}

struct object_table_cases : testing::Test {
    void SetUp() override
    {
        released.clear();
        released_was_live.clear();
        current = table_create(sizeof(test_record), 16, record_and_release);
        ASSERT_NE(current, nullptr);
    }
    void TearDown() override { table_destroy(current); }

    test_record* make(object_number number, object_number* assigned = nullptr)
    {
        auto* record = static_cast<test_record*>(table_allocate(current, number, assigned));
        if (record)
            record->handle = live_mark;
        return record;
    }
};

bool all_zero(const void* memory, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(memory);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i])
            return false;
    return true;
}

}  // namespace

TEST_F(object_table_cases, grows_in_one_step_to_number_plus_growth)
{
    EXPECT_EQ(table_capacity(current), 16);
    ASSERT_NE(make(82), nullptr);
    EXPECT_EQ(table_capacity(current), 98);
    ASSERT_NE(make(199), nullptr);
    EXPECT_EQ(table_capacity(current), 215);
    ASSERT_NE(make(214), nullptr);
    EXPECT_EQ(table_capacity(current), 215);
    ASSERT_NE(make(215), nullptr);
    EXPECT_EQ(table_capacity(current), 231);
    // The slots added by growth start empty.
    for (object_number n : {16, 81, 83, 150, 198, 230})
        EXPECT_EQ(table_lookup(current, n), nullptr) << n;
    EXPECT_NE(table_lookup(current, 82), nullptr);
    EXPECT_NE(table_lookup(current, 199), nullptr);
}

TEST_F(object_table_cases, new_records_are_zero_filled_and_number_zero_is_ordinary)
{
    auto* record = static_cast<test_record*>(table_allocate(current, 0));
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(all_zero(record, sizeof(*record)));
    // Not live until the creator writes the first field.
    EXPECT_EQ(table_lookup(current, 0), nullptr);
    record->handle = live_mark;
    EXPECT_EQ(table_lookup(current, 0), record);
    EXPECT_TRUE(released.empty());  // an empty slot has nothing to destroy
}

TEST_F(object_table_cases, released_slot_keeps_its_memory_for_the_next_object)
{
    test_record* first = make(5);
    first->payload[3] = 77;
    table_release(current, 5);
    EXPECT_EQ(table_lookup(current, 5), nullptr);

    auto* again = static_cast<test_record*>(table_allocate(current, 5));
    EXPECT_EQ(again, first);
    EXPECT_TRUE(all_zero(again, sizeof(*again)));
    // The action is still asked, and finds the number already free.
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], 5);
    EXPECT_FALSE(released_was_live[0]);
}

TEST_F(object_table_cases, allocating_a_live_number_destroys_the_old_object_first)
{
    test_record* old = make(7);
    old->payload[0] = 1234;
    test_record* fresh = make(7);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], 7);
    EXPECT_TRUE(released_was_live[0]) << "the action must run before the record is cleared";
    EXPECT_EQ(fresh, old);
    EXPECT_EQ(fresh->payload[0], 0);
}

TEST_F(object_table_cases, lookups_outside_the_live_objects_find_nothing)
{
    make(3);
    for (object_number n : {-1, -2, -3, 4, 15, 16, 1000, INT_MAX, INT_MIN})
        EXPECT_EQ(table_lookup(current, n), nullptr) << n;
    EXPECT_EQ(table_allocate(current, -2), nullptr);
    EXPECT_EQ(table_allocate(current, INT_MIN), nullptr);
}

TEST_F(object_table_cases, dynamic_handles_never_match_a_slot_or_a_freed_handle)
{
    object_number a = 0, b = 0;
    test_record* ra = make(dynamic_number, &a);
    test_record* rb = make(dynamic_number, &b);
    ASSERT_NE(ra, nullptr);
    ASSERT_NE(rb, nullptr);
    EXPECT_NE(a, b);
    for (object_number handle : {a, b}) {
        EXPECT_LT(handle, dynamic_number);
        EXPECT_EQ(table_lookup(current, -handle), nullptr) << "a handle must not reach slot " << -handle;
    }
    EXPECT_EQ(table_lookup(current, a), ra);
    EXPECT_EQ(table_lookup(current, b), rb);

    // Slot objects under the same magnitudes do not disturb the handles.
    make(-a);
    make(-b);
    EXPECT_EQ(table_lookup(current, a), ra);

    table_release(current, a);
    EXPECT_EQ(table_lookup(current, a), nullptr);
    EXPECT_EQ(table_lookup(current, b), rb);
    object_number c = 0;
    make(dynamic_number, &c);
    EXPECT_NE(c, a) << "a freed handle is never given out again";
    EXPECT_NE(c, b);
    EXPECT_EQ(table_lookup(current, a), nullptr);
}

TEST_F(object_table_cases, iteration_takes_slots_in_order_then_dynamic_oldest_first)
{
    object_number d1 = 0, d2 = 0, d3 = 0;
    make(dynamic_number, &d1);
    make(40);
    make(dynamic_number, &d2);
    make(2);
    make(5);
    make(dynamic_number, &d3);
    make(7);
    table_release(current, 5);
    table_allocate(current, 9);  // allocated but never filled in: not live

    std::vector<object_number> seen;
    void* record = nullptr;
    object_number number = 0;
    table_iterate_restart(current);
    while (table_iterate_next(current, &record, &number)) {
        EXPECT_EQ(record, table_lookup(current, number));
        seen.push_back(number);
    }
    EXPECT_EQ(seen, (std::vector<object_number>{2, 7, 40, d1, d2, d3}));
    EXPECT_FALSE(table_iterate_next(current, &record, &number)) << "an ended iteration stays ended";
}

TEST_F(object_table_cases, releasing_the_record_just_returned_keeps_the_iteration_going)
{
    object_number d1 = 0, d2 = 0;
    make(1);
    make(dynamic_number, &d1);
    make(3);
    make(dynamic_number, &d2);
    std::vector<object_number> seen;
    void* record = nullptr;
    object_number number = 0;
    table_iterate_restart(current);
    while (table_iterate_next(current, &record, &number)) {
        seen.push_back(number);
        table_release(current, number);
    }
    EXPECT_EQ(seen, (std::vector<object_number>{1, 3, d1, d2}));
    table_iterate_restart(current);
    EXPECT_FALSE(table_iterate_next(current, &record, &number));
}

TEST_F(object_table_cases, release_all_calls_the_action_once_per_live_object_in_order)
{
    object_number d = 0;
    make(dynamic_number, &d);
    test_record* slot = make(12);
    make(0);
    table_allocate(current, 4);
    table_release_all(current);
    EXPECT_EQ(released, (std::vector<object_number>{0, 12, d}));
    for (object_number n : {0, 12, d})
        EXPECT_EQ(table_lookup(current, n), nullptr);
    // Slot memory stays for the next object of the number.
    EXPECT_EQ(table_allocate(current, 12), slot);
}

TEST(object_table, release_all_without_an_action_does_nothing)
{
    object_table* table = table_create(sizeof(test_record), 16, nullptr);
    auto* record = static_cast<test_record*>(table_allocate(table, 3));
    record->handle = live_mark;
    record->payload[1] = 9;
    table_release_all(table);
    EXPECT_EQ(table_lookup(table, 3), record);
    EXPECT_EQ(record->payload[1], 9);
    // Reallocating a live number with no action just clears the record.
    EXPECT_EQ(table_allocate(table, 3), record);
    EXPECT_EQ(record->payload[1], 0);
    table_destroy(table);
}

TEST(object_table, records_too_small_for_the_handle_are_refused)
{
    EXPECT_EQ(table_create(sizeof(int), 16, nullptr), nullptr);
    EXPECT_EQ(table_create(sizeof(void*), 0, nullptr), nullptr);
}
