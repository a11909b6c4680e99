// A fixed-size node allocator: O(1) allocation and release, nodes carved from
// blocks whose capacity grows with the pool (total / 16, cut to a multiple of
// 16, kept between the pool's minimum and maximum). A block is released as
// soon as every node it handed out is back. Serves the event queue.
#pragma once

#include <cstddef>
#include <cstdint>

struct node_pool;

// Null when the bounds make no sense (minimum below 1 or above the maximum).
node_pool* pool_create(std::size_t payload_size, std::int32_t min_per_block, std::int32_t max_per_block);
// Frees the pool with every block it holds. The event queue's pool lives as
// long as the process; tests that make their own pools give them back.
void pool_destroy(node_pool* pool);
void* pool_alloc(node_pool* pool);  // null when even a one-node block cannot be had
void pool_free(node_pool* pool, void* node);

// Read-outs for tests and diagnostics.
std::int32_t pool_total(const node_pool* pool);        // sum of the block capacities held
std::int32_t pool_block_count(const node_pool* pool);  // blocks held, full and available
