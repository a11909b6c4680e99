// The node pool behind the event queue. Each node carries one word in front
// that points back at its block, so freeing needs no search; while a node is
// free that word links it into its block's free list instead. Blocks are
// zero-filled when obtained and given back as soon as every node they handed
// out has returned.
#include "toolkit/node_pool.h"

#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "toolkit/object_table.h"

namespace {

struct pool_block {
    pool_block* next;  // neighbours in the full or the available list
    pool_block* prev;
    void* free_list;   // most recently freed node first
    std::int32_t capacity;
    std::int32_t next_unused;  // index of the next never-used node
    std::int32_t free_count;
};

constexpr std::size_t round_up(std::size_t value, std::size_t step)
{
    return (value + step - 1) / step * step;
}

// Nodes start on a pointer boundary, so the front word and a payload that
// holds pointers are both aligned.
constexpr std::size_t block_header = round_up(sizeof(pool_block), alignof(std::max_align_t));
constexpr std::size_t front_word = sizeof(void*);

}  // namespace

struct node_pool {
    pool_block* full;
    pool_block* available;  // allocation takes from the first block
    std::int32_t total;     // capacities of all blocks held
    std::size_t node_size;
    std::int32_t min_per_block;
    std::int32_t max_per_block;
};

namespace {

void** front_of(void* payload)
{
    return reinterpret_cast<void**>(static_cast<unsigned char*>(payload) - front_word);
}

void* node_at(const node_pool* pool, pool_block* block, std::int32_t index)
{
    return reinterpret_cast<unsigned char*>(block) + block_header + std::size_t(index) * pool->node_size;
}

bool block_full(const pool_block* block)
{
    return block->free_count == 0 && block->next_unused == block->capacity;
}

void push_front(pool_block** list, pool_block* block)
{
    block->prev = nullptr;
    block->next = *list;
    if (*list)
        (*list)->prev = block;
    *list = block;
}

void unlink(pool_block** list, pool_block* block)
{
    if (block->prev)
        block->prev->next = block->next;
    else
        *list = block->next;
    if (block->next)
        block->next->prev = block->prev;
    block->next = block->prev = nullptr;
}

// Total / 16 cut down to a multiple of 16, so blocks grow with the pool.
std::int32_t next_capacity(const node_pool* pool)
{
    std::int32_t capacity = (pool->total >> 4) & ~0xF;
    if (capacity < pool->min_per_block)
        capacity = pool->min_per_block;
    if (capacity > pool->max_per_block)
        capacity = pool->max_per_block;
    return capacity;
}

pool_block* block_obtain(const node_pool* pool, std::int32_t capacity)
{
    if (capacity < 1 || pool->node_size > (std::numeric_limits<std::size_t>::max() - block_header) /
                                               std::size_t(capacity))
        return nullptr;
    auto* block = static_cast<pool_block*>(memory_zeroed(block_header + std::size_t(capacity) * pool->node_size));
    if (block)
        block->capacity = capacity;
    return block;
}

// A new block with its node 0 already handed out.
void* alloc_from_new_block(node_pool* pool)
{
    pool_block* block = block_obtain(pool, next_capacity(pool));
    if (!block)
        block = block_obtain(pool, 1);
    if (!block)
        return nullptr;
    pool->total += block->capacity;
    block->next_unused = 1;
    push_front(block_full(block) ? &pool->full : &pool->available, block);
    void* node = node_at(pool, block, 0);
    *static_cast<void**>(node) = block;
    return static_cast<unsigned char*>(node) + front_word;
}

}  // namespace

node_pool* pool_create(std::size_t payload_size, std::int32_t min_per_block, std::int32_t max_per_block)
{
    if (min_per_block < 1 || max_per_block < min_per_block ||
        payload_size > std::numeric_limits<std::size_t>::max() / 2)
        return nullptr;
    auto* pool = static_cast<node_pool*>(memory_zeroed(sizeof(node_pool)));
    if (!pool)
        return nullptr;
    pool->node_size = round_up(front_word + round_up(payload_size, 4), alignof(void*));
    pool->min_per_block = min_per_block;
    pool->max_per_block = max_per_block;
    return pool;
}

void pool_destroy(node_pool* pool)
{
    if (!pool)
        return;
    for (pool_block** list : {&pool->full, &pool->available})
        while (pool_block* block = *list) {
            *list = block->next;
            std::free(block);
        }
    std::free(pool);
}

void* pool_alloc(node_pool* pool)
{
    if (!pool)
        return nullptr;
    pool_block* block = pool->available;
    if (!block)
        return alloc_from_new_block(pool);
    void* node;
    if (block->free_count > 0) {
        node = block->free_list;
        block->free_list = *static_cast<void**>(node);
        --block->free_count;
    } else {
        node = node_at(pool, block, block->next_unused++);
    }
    if (block_full(block)) {
        unlink(&pool->available, block);
        push_front(&pool->full, block);
    }
    *static_cast<void**>(node) = block;
    return static_cast<unsigned char*>(node) + front_word;
}

void pool_free(node_pool* pool, void* payload)
{
    if (!pool || !payload)
        return;
    void** front = front_of(payload);
    auto* block = static_cast<pool_block*>(*front);
    bool was_full = block_full(block);
    *front = block->free_list;
    block->free_list = front;
    ++block->free_count;
    if (block->free_count == block->next_unused) {
        unlink(was_full ? &pool->full : &pool->available, block);
        pool->total -= block->capacity;
        std::free(block);
    } else if (was_full) {
        unlink(&pool->full, block);
        push_front(&pool->available, block);
    }
}

std::int32_t pool_total(const node_pool* pool)
{
    return pool ? pool->total : 0;
}

std::int32_t pool_block_count(const node_pool* pool)
{
    if (!pool)
        return 0;
    std::int32_t count = 0;
    for (const pool_block* list : {pool->full, pool->available})
        for (const pool_block* block = list; block; block = block->next)
            ++count;
    return count;
}
