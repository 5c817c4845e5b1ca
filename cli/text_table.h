#pragma once
// The words for the values of an enum or code, as a table instead of a switch per enum.

#include <cstddef>

namespace cli {

template <typename Key> struct TextFor {
    Key key;
    const char* text;
};

// The text for `key` in `table`, or `otherwise` when the table does not name it.
template <typename Key, std::size_t N>
const char* textFor(Key key, const TextFor<Key> (&table)[N], const char* otherwise) {
    for (const TextFor<Key>& entry : table)
        if (entry.key == key)
            return entry.text;
    return otherwise;
}

} // namespace cli
