#include "platform/dbase/mdx.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>

#include "platform/dbase/dbf_format.h"
#include "platform/os/error.h"

namespace orvida::dbase::internal {
namespace {

constexpr std::size_t kHeaderSize = 2048;
constexpr std::size_t kTagTableOffset = 544;
constexpr std::size_t kTagEntrySize = 32;
constexpr std::size_t kMaxTags = (kHeaderSize - kTagTableOffset) / kTagEntrySize;
constexpr std::uint32_t kPagesPerBlock = kMdxBlockSize / kMdxPageSize;
constexpr int kMaxDepth = 32;

Error Damaged(const std::string& shown_name, const std::string& why) {
  return Error("El índice " + shown_name + " está dañado: " + why);
}

std::string CString(std::string_view bytes) {
  std::string text(bytes.substr(0, bytes.find('\0')));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

void PutDate(std::string& bytes, std::size_t offset, int year, int month, int day) {
  bytes[offset] = static_cast<char>(std::clamp(year - 1900, 0, 255));
  bytes[offset + 1] = static_cast<char>(month);
  bytes[offset + 2] = static_cast<char>(day);
}

struct Node {
  std::uint32_t page = 0;
  std::string_view last_key;
};

void PutU32At(char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Builds one tag's tree at the end of `file` (pages from `next_page` on) and returns its root,
// its leftmost and rightmost leaves and its node count.
struct Tree {
  std::uint32_t root = 0;
  std::uint32_t leftmost = 0;
  std::uint32_t rightmost = 0;
  std::uint32_t nodes = 0;
};

Tree BuildTree(const TagContent& tag, std::string& file, std::uint32_t& next_page) {
  const std::size_t item = static_cast<std::size_t>(ItemLength(tag.key_length));
  const std::size_t per_node =
      static_cast<std::size_t>(KeysPerNode(kMdxBlockSize, static_cast<int>(item)));
  Tree tree;
  // A new zero-filled block; returns its offset in `file`.
  auto new_block = [&](std::uint32_t& page) {
    page = next_page;
    next_page += kPagesPerBlock;
    ++tree.nodes;
    const std::size_t at = file.size();
    file.append(kMdxBlockSize, '\0');
    return at;
  };
  auto put_entry = [&](std::size_t block, std::size_t i, std::uint32_t pointer,
                       std::string_view key) {
    char* at = file.data() + block + 8 + i * item;
    PutU32At(at, pointer);
    std::memcpy(at + 4, key.data(), std::min(key.size(), item - 4));
  };

  // Leaves: the entries spread evenly, so that every leaf holds at least one of them.
  const std::size_t n = tag.entries.size();
  const std::size_t leaf_count = std::max<std::size_t>(1, (n + per_node - 1) / per_node);
  std::vector<Node> level;
  level.reserve(leaf_count);
  std::size_t next = 0;
  for (std::size_t j = 0; j < leaf_count; ++j) {
    const std::size_t count = n / leaf_count + (j < n % leaf_count ? 1 : 0);
    Node node;
    const std::size_t block = new_block(node.page);
    PutU32At(file.data() + block, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i, ++next) {
      put_entry(block, i, tag.entries[next].second, tag.entries[next].first);
    }
    if (count > 0) node.last_key = tag.entries[next - 1].first;
    // The pointer after the last entry stays 0: that is what marks a leaf.
    level.push_back(node);
  }
  tree.leftmost = level.front().page;
  tree.rightmost = level.back().page;

  // Interior levels: up to per_node separators plus the rightmost pointer per node.
  while (level.size() > 1) {
    const std::size_t fan_out = per_node + 1;
    const std::size_t parent_count = (level.size() + fan_out - 1) / fan_out;
    std::vector<Node> parents;
    std::size_t child = 0;
    for (std::size_t p = 0; p < parent_count; ++p) {
      const std::size_t count =
          level.size() / parent_count + (p < level.size() % parent_count ? 1 : 0);
      Node node;
      const std::size_t block = new_block(node.page);
      PutU32At(file.data() + block, static_cast<std::uint32_t>(count - 1));
      for (std::size_t i = 0; i + 1 < count; ++i, ++child) {
        put_entry(block, i, level[child].page, level[child].last_key);
      }
      PutU32At(file.data() + block + 8 + (count - 1) * item, level[child].page);
      node.last_key = level[child].last_key;
      ++child;
      parents.push_back(node);
    }
    level = std::move(parents);
  }
  tree.root = level.front().page;
  return tree;
}

}  // namespace

std::string BuildMdx(std::string_view table_name, const std::vector<TagContent>& tags, int year,
                     int month, int day) {
  std::string header(kHeaderSize, '\0');
  header[0] = 0x02;
  PutDate(header, 1, year, month, day);
  std::string base(table_name.substr(0, 16));
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  header.replace(4, base.size(), base);
  PutU16(header, 20, static_cast<std::uint16_t>(kPagesPerBlock));
  PutU16(header, 22, static_cast<std::uint16_t>(kMdxBlockSize));
  header[24] = 0x01;  // production index
  header[25] = 0x30;  // tag table capacity
  header[26] = static_cast<char>(kTagEntrySize);
  PutU16(header, 28, static_cast<std::uint16_t>(tags.size()));
  PutDate(header, 44, year, month, day);

  std::size_t blocks = 0;
  for (const TagContent& tag : tags) blocks += 2 + 2 * (tag.entries.size() / 32 + 1);
  std::string file = std::move(header);
  file.reserve(kHeaderSize + blocks * kMdxBlockSize);
  std::uint32_t next_page = static_cast<std::uint32_t>(kHeaderSize / kMdxPageSize);
  for (std::size_t t = 0; t < tags.size() && t < kMaxTags; ++t) {
    const TagContent& tag = tags[t];
    const std::uint32_t header_page = next_page;
    next_page += kPagesPerBlock;
    const std::size_t header_block = file.size();
    file.append(kMdxBlockSize, '\0');
    const Tree tree = BuildTree(tag, file, next_page);

    std::string th(kMdxBlockSize, '\0');
    const int item = ItemLength(tag.key_length);
    PutU32(th, 0, tree.root);
    PutU32(th, 4, (tree.nodes + 1) * kPagesPerBlock);
    th[8] = 0x10;  // key is a field, ascending, duplicates allowed
    th[9] = tag.key_type;
    PutU16(th, 12, static_cast<std::uint16_t>(tag.key_length));
    PutU16(th, 14, static_cast<std::uint16_t>(KeysPerNode(kMdxBlockSize, item)));
    PutU16(th, 16, tag.key_type == 'D' ? 1 : 0);
    PutU16(th, 18, static_cast<std::uint16_t>(item));
    th.replace(24, std::min<std::size_t>(tag.expression.size(), 220),
               tag.expression.substr(0, 220));
    th[246] = tag.entries.empty() ? 0x00 : 0x01;
    PutU32(th, 248, tree.leftmost);
    PutU32(th, 252, tree.rightmost);
    PutDate(th, 257, year, month, day);
    th[480] = 0x01;  // the key is a single field
    file.replace(header_block, kMdxBlockSize, th);

    const std::size_t entry = kTagTableOffset + t * kTagEntrySize;
    PutU32(file, entry, header_page);
    file.replace(entry + 4, std::min<std::size_t>(tag.name.size(), 10), tag.name.substr(0, 10));
    file[entry + 15] = 0x10;
    file[entry + 19] = 0x02;
    file[entry + 20] = tag.key_type;
  }

  // The tag table doubles as a binary search tree over the tag names: bytes 16 and 17 lead to
  // the names before and after, byte 18 back to the parent (tag numbers from 1).
  for (std::size_t t = 1; t < tags.size() && t < kMaxTags; ++t) {
    std::size_t node = 0;
    while (true) {
      const std::size_t link = tags[t].name < tags[node].name ? 16 : 17;
      const std::size_t at = kTagTableOffset + node * kTagEntrySize + link;
      if (file[at] == 0) {
        file[at] = static_cast<char>(t + 1);
        file[kTagTableOffset + t * kTagEntrySize + 18] = static_cast<char>(node + 1);
        break;
      }
      node = static_cast<std::uint8_t>(file[at]) - 1;
    }
  }

  PutU32(file, 32, next_page);
  return file;
}

MdxFile ParseMdx(std::string_view bytes, const std::string& shown_name) {
  if (bytes.size() < kTagTableOffset) {
    throw Damaged(shown_name,
                  "tiene " + std::to_string(bytes.size()) + " bytes, menos que su cabecera");
  }
  MdxFile file;
  const std::uint16_t block_bytes = ReadU16(bytes, 22);
  file.block_size = block_bytes != 0 ? block_bytes : ReadU16(bytes, 20) * kMdxPageSize;
  if (file.block_size < kMdxPageSize || file.block_size % kMdxPageSize != 0) {
    throw Damaged(shown_name, "tamaño de bloque " + std::to_string(file.block_size) + " no válido");
  }
  const std::size_t tag_count = ReadU16(bytes, 28);
  if (tag_count > kMaxTags || kTagTableOffset + tag_count * kTagEntrySize > bytes.size()) {
    throw Damaged(shown_name, "declara " + std::to_string(tag_count) + " etiquetas");
  }
  for (std::size_t t = 0; t < tag_count; ++t) {
    const std::string_view entry = bytes.substr(kTagTableOffset + t * kTagEntrySize, kTagEntrySize);
    MdxTag tag;
    tag.name = CString(entry.substr(4, 11));
    const std::uint64_t offset = static_cast<std::uint64_t>(ReadU32(entry, 0)) * kMdxPageSize;
    if (offset + 24 > bytes.size()) {
      throw Damaged(shown_name,
                    "la cabecera de la etiqueta " + tag.name + " cae fuera del archivo");
    }
    const std::string_view th =
        bytes.substr(offset, std::min<std::uint64_t>(245, bytes.size() - offset));
    tag.root_page = ReadU32(th, 0);
    tag.descending = (th[8] & 0x08) != 0;
    tag.unique = (th[8] & 0x40) != 0;
    tag.key_type = th[9];
    tag.key_length = ReadU16(th, 12);
    tag.item_length = ReadU16(th, 18);
    tag.expression = CString(th.substr(24));
    if (tag.key_length < 1 || tag.item_length < tag.key_length + 4 ||
        static_cast<std::uint32_t>(tag.item_length) > file.block_size - 12) {
      throw Damaged(shown_name, "la etiqueta " + tag.name + " tiene una longitud de clave (" +
                                    std::to_string(tag.key_length) + ") o de entrada (" +
                                    std::to_string(tag.item_length) + ") imposible");
    }
    file.tags.push_back(tag);
  }
  return file;
}

std::vector<std::pair<std::string, std::uint32_t>> ReadTagEntries(std::string_view bytes,
                                                                  const MdxFile& file,
                                                                  const MdxTag& tag,
                                                                  const std::string& shown_name) {
  struct Frame {
    std::string_view node;
    std::uint32_t count;
    std::uint32_t next_child;  // 0..count, where count means the rightmost pointer
  };
  const std::uint32_t max_keys = KeysPerNode(file.block_size, tag.item_length);
  const auto item = static_cast<std::size_t>(tag.item_length);
  std::unordered_set<std::uint32_t> visited;
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  std::vector<Frame> stack;

  // Reads a node, checking that it lies in the file and that its keys fit in it. Returns
  // whether it is a leaf, whose entries are then added at once.
  auto enter = [&](std::uint32_t page) {
    const std::uint64_t offset = static_cast<std::uint64_t>(page) * kMdxPageSize;
    if (page < kHeaderSize / kMdxPageSize || offset + file.block_size > bytes.size()) {
      throw Damaged(shown_name, "la etiqueta " + tag.name + " apunta a la página " +
                                    std::to_string(page) + ", fuera del archivo");
    }
    if (!visited.insert(page).second || stack.size() >= kMaxDepth) {
      throw Damaged(shown_name, "el árbol de la etiqueta " + tag.name + " tiene un ciclo");
    }
    const std::string_view node = bytes.substr(offset, file.block_size);
    const std::uint32_t count = ReadU32(node, 0);
    if (count > max_keys) {
      throw Damaged(shown_name, "un nodo de la etiqueta " + tag.name + " declara " +
                                    std::to_string(count) + " claves");
    }
    const std::uint32_t right = ReadU32(node, 8 + count * item);
    if (right == 0) {
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view e = node.substr(8 + i * item, item);
        entries.emplace_back(std::string(e.substr(4, tag.key_length)), ReadU32(e, 0));
      }
      return;
    }
    stack.push_back(Frame{node, count, 0});
  };

  enter(tag.root_page);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next_child > top.count) {
      stack.pop_back();
      continue;
    }
    const std::uint32_t child = top.next_child < top.count
                                    ? ReadU32(top.node, 8 + top.next_child * item)
                                    : ReadU32(top.node, 8 + top.count * item);
    ++top.next_child;
    enter(child);
  }
  return entries;
}

}  // namespace orvida::dbase::internal
