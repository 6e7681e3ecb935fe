#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The dBase IV production index (.MDX): a 2048-byte file header with the tag table, then for
// every tag a header block and its B-tree of 1024-byte nodes. Leaves hold (record number, key)
// entries; an interior node holds (child page, largest key of that child) entries and, after
// the last one, the page of its rightmost child. Page numbers count 512-byte pages.
namespace orvida::dbase::internal {

inline constexpr std::uint32_t kMdxPageSize = 512;
inline constexpr std::uint32_t kMdxBlockSize = 1024;

struct MdxTag {
  std::string name;        // upper case, at most 10 characters
  std::string expression;  // for the tags this engine writes: the field name
  char key_type = 'N';     // 'N' (12-byte numeric key), 'C' (text), 'D'
  int key_length = 12;
  int item_length = 16;  // 4-byte pointer + key, rounded up to a multiple of 4
  bool descending = false;
  bool unique = false;
  std::uint32_t root_page = 0;
};

struct MdxFile {
  std::uint32_t block_size = kMdxBlockSize;
  std::vector<MdxTag> tags;
};

// Reads the file header, the tag table and every tag header. Throws Error "El índice
// <shown_name> está dañado: ..." when something does not fit in the file.
MdxFile ParseMdx(std::string_view bytes, const std::string& shown_name);

// Walks `tag`'s tree from its root, depth first: the (key, record number) entries in index
// order. Throws Error for a page outside the file, a node with too many keys or a loop.
std::vector<std::pair<std::string, std::uint32_t>> ReadTagEntries(std::string_view bytes,
                                                                  const MdxFile& file,
                                                                  const MdxTag& tag,
                                                                  const std::string& shown_name);

// What a tag holds when it is written: its definition and its entries already in index order
// (ascending key, equal keys by record number).
struct TagContent {
  std::string name;
  std::string expression;
  char key_type = 'N';
  int key_length = 12;
  std::vector<std::pair<std::string, std::uint32_t>> entries;  // key bytes (key_length), record
};

// A complete .MDX with one tag per element of `tags`, each a balanced tree: leaves of up to 63
// entries (with 16-byte items) and interior nodes of up to 64 children, as many levels as the
// keys need. `table_name` is the table's base name.
std::string BuildMdx(std::string_view table_name, const std::vector<TagContent>& tags, int year,
                     int month, int day);

// The item length of a key: 4-byte pointer plus the key, rounded up to a multiple of 4.
inline int ItemLength(int key_length) { return (4 + key_length + 3) / 4 * 4; }
// Entries that fit in one node of `block_size` bytes.
inline int KeysPerNode(std::uint32_t block_size, int item_length) {
  return static_cast<int>((block_size - 12) / static_cast<std::uint32_t>(item_length));
}

}  // namespace orvida::dbase::internal
