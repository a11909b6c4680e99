// Numbered object tables: every window, gadget, image and font is addressed by
// a number the caller chooses. A table maps numbers to records of one type,
// grows in one step to number + growth step, and keeps released record memory
// in its slot for reuse. Records are plain structs whose first field is the
// object's primary toolkit handle; a record is live while that field is set.
#pragma once

#include <cstddef>
#include <cstdint>

using object_number = std::int32_t;

// A creator given this number makes a record outside the slot array and
// returns its dynamic handle, which is the object's number from then on.
constexpr object_number dynamic_number = -1;

// What creators return: the toolkit object they made, the dynamic handle
// when asked for dynamic_number, or 0 on failure.
using created_object = std::intptr_t;

using release_action = void (*)(object_number number);

struct object_table;

// Null when record_size cannot hold the first pointer field, or without memory.
object_table* table_create(std::size_t record_size, std::int32_t growth_step, release_action release);
// Frees the table and every record memory in it without calling the release
// action. The system keeps its tables for the life of the process; tests that
// make their own tables give them back with this.
void table_destroy(object_table* table);

// The cleared record the caller fills in for a new object under number.
// For dynamic_number, *assigned receives the new dynamic handle (negative,
// counting down from -2, never given out twice); otherwise number itself.
// Returns null when memory cannot be had or number is below -1.
void* table_allocate(object_table* table, object_number number, object_number* assigned = nullptr);

// The live record of number, or null.
void* table_lookup(object_table* table, object_number number);

// Clears a slot record (its memory stays for reuse) or frees a dynamic one.
void table_release(object_table* table, object_number number);

// One iteration per table at a time: slots in ascending order, then dynamic
// records oldest first. The record just returned may be released before the
// next call.
void table_iterate_restart(object_table* table);
bool table_iterate_next(object_table* table, void** record, object_number* number);

// Calls the release action once for every live object, in iteration order.
void table_release_all(object_table* table);

std::int32_t table_capacity(const object_table* table);

// Zero-filled memory for records and buffers; null when it cannot be had.
void* memory_zeroed(std::size_t size);

template <class Record>
Record* table_lookup_as(object_table* table, object_number number)
{
    return static_cast<Record*>(table_lookup(table, number));
}
