// Numbered object tables and zero-filled memory. Slot records are kept after
// release so a number opened again gets the same memory back; dynamic records
// live in a list of their own and are freed on release. Dynamic handles count
// down from -2 and are never reused, so no handle can pass for a slot number or
// for a record that is gone.
#include "toolkit/object_table.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The links in front of a dynamic record; the record follows, aligned as any
// malloc result is.
struct dynamic_node {
    dynamic_node* newer;  // towards the head of the list
    dynamic_node* older;  // towards the tail
    object_number handle;
};
constexpr std::size_t dynamic_header =
    (sizeof(dynamic_node) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);

constexpr object_number first_dynamic_handle = -2;

}  // namespace

struct object_table {
    std::size_t record_size;
    std::int32_t growth_step;
    std::int32_t capacity;
    void** slots;
    dynamic_node* newest;  // head of the dynamic list
    dynamic_node* oldest;  // tail; iteration starts here
    release_action release;
    // The one iteration over this table: the next slot to look at, then the
    // next dynamic record. Pointing at the next record rather than the one
    // just returned lets the caller release that one.
    std::int32_t cursor_slot;
    bool cursor_in_dynamic;
    dynamic_node* cursor_node;
    object_number next_handle;  // the next dynamic handle to give out
};

void* memory_zeroed(std::size_t size)
{
    return std::calloc(1, size);
}

namespace {

void* node_record(dynamic_node* node)
{
    return reinterpret_cast<unsigned char*>(node) + dynamic_header;
}

bool record_live(const void* record)
{
    return record && *static_cast<void* const*>(record) != nullptr;
}

dynamic_node* find_dynamic(const object_table* table, object_number handle)
{
    for (dynamic_node* node = table->newest; node; node = node->older)
        if (node->handle == handle)
            return node;
    return nullptr;
}

bool is_slot(const object_table* table, object_number number)
{
    return number >= 0 && number < table->capacity;
}

void* allocate_dynamic(object_table* table, object_number* assigned)
{
    if (table->next_handle == std::numeric_limits<object_number>::min())
        return nullptr;  // every handle has been used once
    auto* node = static_cast<dynamic_node*>(memory_zeroed(dynamic_header + table->record_size));
    if (!node)
        return nullptr;
    node->handle = table->next_handle--;
    node->older = table->newest;
    if (table->newest)
        table->newest->newer = node;
    else
        table->oldest = node;
    table->newest = node;
    if (assigned)
        *assigned = node->handle;
    return node_record(node);
}

// One step to number + growth step; the new slots start empty.
bool grow_to_fit(object_table* table, object_number number)
{
    std::int64_t wanted = std::int64_t(number) + table->growth_step;
    if (wanted > std::numeric_limits<std::int32_t>::max())
        return false;
    auto* slots = static_cast<void**>(std::realloc(table->slots, std::size_t(wanted) * sizeof(void*)));
    if (!slots)
        return false;
    std::memset(slots + table->capacity, 0, std::size_t(wanted - table->capacity) * sizeof(void*));
    table->slots = slots;
    table->capacity = std::int32_t(wanted);
    return true;
}

void unlink_dynamic(object_table* table, dynamic_node* node)
{
    if (table->cursor_node == node)
        table->cursor_node = node->newer;
    if (node->newer)
        node->newer->older = node->older;
    else
        table->newest = node->older;
    if (node->older)
        node->older->newer = node->newer;
    else
        table->oldest = node->newer;
}

}  // namespace

object_table* table_create(std::size_t record_size, std::int32_t growth_step, release_action release)
{
    // Liveness is read from the first pointer-sized field.
    if (record_size < sizeof(void*) || growth_step < 1)
        return nullptr;
    auto* table = static_cast<object_table*>(memory_zeroed(sizeof(object_table)));
    if (!table)
        return nullptr;
    table->slots = static_cast<void**>(memory_zeroed(std::size_t(growth_step) * sizeof(void*)));
    if (!table->slots) {
        std::free(table);
        return nullptr;
    }
    table->record_size = record_size;
    table->growth_step = growth_step;
    table->capacity = growth_step;
    table->release = release;
    table->next_handle = first_dynamic_handle;
    return table;
}

void table_destroy(object_table* table)
{
    if (!table)
        return;
    for (std::int32_t n = 0; n < table->capacity; ++n)
        std::free(table->slots[n]);
    for (dynamic_node* node = table->newest; node;) {
        dynamic_node* older = node->older;
        std::free(node);
        node = older;
    }
    std::free(table->slots);
    std::free(table);
}

void* table_allocate(object_table* table, object_number number, object_number* assigned)
{
    if (!table)
        return nullptr;
    if (number == dynamic_number)
        return allocate_dynamic(table, assigned);
    if (number < 0)
        return nullptr;  // not an object number
    if (number >= table->capacity && !grow_to_fit(table, number))
        return nullptr;
    if (table->slots[number]) {
        // Destroy whatever still lives under the number before its memory is
        // handed out again; the action finds nothing when it was released.
        if (table->release)
            table->release(number);
        std::memset(table->slots[number], 0, table->record_size);
    } else {
        table->slots[number] = memory_zeroed(table->record_size);
        if (!table->slots[number])
            return nullptr;
    }
    if (assigned)
        *assigned = number;
    return table->slots[number];
}

void* table_lookup(object_table* table, object_number number)
{
    if (!table)
        return nullptr;
    void* record = nullptr;
    if (is_slot(table, number))
        record = table->slots[number];
    else if (number <= first_dynamic_handle)
        if (dynamic_node* node = find_dynamic(table, number))
            record = node_record(node);
    return record_live(record) ? record : nullptr;
}

void table_release(object_table* table, object_number number)
{
    if (!table)
        return;
    if (is_slot(table, number)) {
        if (table->slots[number])
            std::memset(table->slots[number], 0, table->record_size);
        return;
    }
    if (number > first_dynamic_handle)
        return;
    if (dynamic_node* node = find_dynamic(table, number)) {
        unlink_dynamic(table, node);
        std::free(node);
    }
}

void table_iterate_restart(object_table* table)
{
    if (!table)
        return;
    table->cursor_slot = 0;
    table->cursor_in_dynamic = false;
    table->cursor_node = nullptr;
}

bool table_iterate_next(object_table* table, void** record, object_number* number)
{
    if (!table)
        return false;
    while (!table->cursor_in_dynamic) {
        if (table->cursor_slot >= table->capacity) {
            table->cursor_in_dynamic = true;
            table->cursor_node = table->oldest;
            break;
        }
        std::int32_t n = table->cursor_slot++;
        if (record_live(table->slots[n])) {
            *record = table->slots[n];
            *number = n;
            return true;
        }
    }
    while (dynamic_node* node = table->cursor_node) {
        table->cursor_node = node->newer;
        if (record_live(node_record(node))) {
            *record = node_record(node);
            *number = node->handle;
            return true;
        }
    }
    return false;
}

void table_release_all(object_table* table)
{
    if (!table || !table->release)
        return;
    table_iterate_restart(table);
    void* record = nullptr;
    object_number number = 0;
    while (table_iterate_next(table, &record, &number))
        table->release(number);
}

std::int32_t table_capacity(const object_table* table)
{
    return table ? table->capacity : 0;
}
