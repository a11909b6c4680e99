// The transposition table the threads of one check share: what the searches
// have proven about a position, found again by its full 64-bit key. It takes
// no lock: an entry is two 64-bit words written one at a time, the data and
// the key XOR the data, so a reader that meets a half-written entry finds a
// key that does not match and takes it as empty. Nothing here knows what the
// data means; a search reads it, merges what it learnt, and stores it again.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The most memory a table may take here: 1 GiB, or less on a machine with
// less memory (a quarter of it, and no more than half of what is free).
std::size_t table_memory_bound();

class shared_table {
public:
    // A table of the given bytes at first (a power of two of entries, at
    // least one page's worth); it grows between searches when it fills, up
    // to most_bytes.
    shared_table(std::size_t first_bytes, std::size_t most_bytes);
    ~shared_table();
    shared_table(const shared_table&) = delete;
    shared_table& operator=(const shared_table&) = delete;

    // The data stored for key, if any (a zero key is never stored).
    bool find(std::uint64_t key, std::uint64_t* data) const;
    // Stores data for key in the key's slot, over whatever was there.
    void store(std::uint64_t key, std::uint64_t data);

    // While no thread uses the table: when the last search filled a good part
    // of it, a larger table with every entry moved over. Proven results are
    // kept, so a search of one move more starts from all it knew.
    void grow_if_filling();
    std::size_t bytes() const { return entries_ * sizeof(entry); }

private:
    struct entry {
        std::atomic<std::uint64_t> check;  // key ^ data; 0 with data 0 is an empty slot
        std::atomic<std::uint64_t> data;
    };
    static_assert(sizeof(entry) == 16 && std::atomic<std::uint64_t>::is_always_lock_free);

    entry* slots_ = nullptr;
    std::size_t entries_ = 0;
    std::size_t most_entries_ = 0;
    std::atomic<std::size_t> filled_{0};  // stores into slots that were empty, roughly
};
