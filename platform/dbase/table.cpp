#include "platform/dbase/table.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "platform/dbase/dbf_format.h"
#include "platform/dbase/decimal.h"
#include "platform/dbase/field_value.h"
#include "platform/dbase/file_io.h"
#include "platform/dbase/mdx.h"
#include "platform/os/error.h"
#include "platform/os/file_lock.h"
#include "platform/os/local_time.h"
#include "platform/os/paths.h"
#include "platform/os/text.h"

// Locking: the .DBF alone carries the lock, and it stands for the table and its .MDX. The
// locks are advisory (open file description locks): they exclude the handles of this engine,
// in this process and in others, but not a program that opens the files without asking, such
// as a host running under Wine.
namespace orvida::dbase {
namespace {

using internal::Flavor;
using internal::TableLayout;

constexpr char kEndOfFile = 0x1A;
constexpr char kDeleted = '*';

// Field and tag names are ASCII: the user's locale has no say in them (and asking it for every
// field of every row costs more than the rest of the lookup).
std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool SameAscii(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

// `upper` (already upper case) equals `name` ignoring ASCII case, without building a string.
bool EqualsUpper(std::string_view upper, std::string_view name) {
  if (upper.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

os::LocalDate Today() { return os::ToLocalDate(std::chrono::system_clock::now()); }

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

// The .MDX beside a .DBF: "<stem>.MDX" in any letter case.
std::optional<std::filesystem::path> FindMdx(const std::filesystem::path& dbf) {
  return os::FindEntryIgnoreCase(FolderOf(dbf), dbf.stem().string() + ".MDX");
}

// The name a new .MDX gets: its extension in the letter case of the .DBF's.
std::filesystem::path NewMdxPath(const std::filesystem::path& dbf) {
  const std::string ext = dbf.extension().string();
  const bool lower = !ext.empty() && std::islower(static_cast<unsigned char>(ext.back()));
  std::filesystem::path mdx = dbf;
  mdx.replace_extension(lower ? ".mdx" : ".MDX");
  return mdx;
}

// How a message names the .MDX of a table shown as `shown_name`.
std::string ShownMdx(const std::string& shown_name) {
  const std::size_t dot = shown_name.find_last_of('.');
  const std::size_t sep = shown_name.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
    return shown_name + ".MDX";
  return shown_name.substr(0, dot) + ".MDX";
}

// How a tag this engine keeps up to date finds the place of a new key: the field it is made
// from and, for numeric tags, the value of every key in index order.
struct TagKeys {
  std::size_t field = 0;
  std::vector<internal::Decimal> numbers;
};

void ValidateDefinition(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes,
                        const std::string& shown_name) {
  auto bad = [&](const std::string& why) {
    return Error("No se puede crear la tabla " + shown_name + ": " + why);
  };
  if (fields.empty()) throw bad("no tiene campos");
  std::vector<std::string> seen;
  for (const FieldDef& f : fields) {
    const bool valid_name = !f.name.empty() && f.name.size() <= 10 &&
                            std::isalpha(static_cast<unsigned char>(f.name[0])) &&
                            std::all_of(f.name.begin(), f.name.end(), [](char c) {
                              return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                            });
    if (!valid_name) throw bad("el nombre de campo '" + f.name + "' no es válido");
    if (std::find(seen.begin(), seen.end(), Upper(f.name)) != seen.end()) {
      throw bad("el campo " + f.name + " aparece dos veces");
    }
    seen.push_back(Upper(f.name));
    if (f.type == FieldType::kText && (f.size < 1 || f.size > 254)) {
      throw bad("el campo " + f.name + " mide " + std::to_string(f.size) +
                " caracteres; se admiten de 1 a 254");
    }
  }
  std::vector<std::string> tags;
  for (const IndexDef& index : indexes) {
    if (index.name.empty() || index.name.size() > 10) {
      throw bad("el nombre de índice '" + index.name + "' no es válido");
    }
    if (std::find(tags.begin(), tags.end(), Upper(index.name)) != tags.end()) {
      throw bad("el índice " + index.name + " aparece dos veces");
    }
    tags.push_back(Upper(index.name));
    const auto field = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& f) {
      return SameAscii(f.name, index.field);
    });
    if (field == fields.end())
      throw bad("el índice " + index.name + " usa el campo " + index.field + ", que no existe");
    if (field->type == FieldType::kLogical ||
        (field->type == FieldType::kText && field->size > 100)) {
      throw bad("no se puede indexar el campo " + field->name);
    }
  }
}

}  // namespace

struct Table::Impl {
  std::filesystem::path dbf_path;
  std::string shown_name;
  OpenMode mode = OpenMode::kShared;
  bool open = false;
  os::LockedFile lock;
  internal::UniqueFd write_fd;  // shared handles write through their own descriptor
  TableLayout layout;
  std::vector<FieldInfo> fields;                               // without FoxPro's hidden fields
  std::unordered_map<std::string, std::size_t> field_by_name;  // upper-case name -> layout index
  // The same, in field order: a table has few fields and every Set... and Get... looks one up,
  // so a scan that builds no string beats the map.
  std::vector<std::pair<std::string, std::size_t>> field_names;
  std::string records;  // every complete row, rows * record_length bytes
  std::uint32_t rows = 0;

  // What the cursor walks: row numbers (0-based) in natural or index order, filtered. `view`
  // points at one of the lists below, so that switching a filter costs no copy of the table.
  std::vector<std::uint32_t> natural;  // the live rows in the order they were appended
  std::vector<std::uint32_t> index_view;
  const std::vector<std::uint32_t>* view = &natural;
  std::size_t position = 0;
  bool eof = true;

  std::optional<std::string> index_tag;
  std::vector<std::uint32_t> index_order;

  std::optional<std::size_t> filter_field;
  std::string filter_value;
  bool filtered = false;
  // Per field: each value's rows in natural order, built at the first filter on that field.
  std::unordered_map<std::size_t, std::unordered_map<std::string, std::vector<std::uint32_t>>>
      rows_by_value;

  bool appending = false;
  std::string pending;
  bool prepared_for_writing = false;
  std::optional<std::filesystem::path> mdx_path;  // the index this handle keeps up to date
  internal::UniqueFd mdx_fd;
  // The production index as this handle rewrites it at every Post: one content per tag,
  // entries in index order, and beside it what places new keys.
  std::vector<internal::TagContent> mdx_tags;
  std::vector<TagKeys> tag_keys;

  std::string_view Row(std::uint32_t row) const {
    return std::string_view(records).substr(static_cast<std::size_t>(row) * layout.record_length,
                                            layout.record_length);
  }
  bool Deleted(std::uint32_t row) const { return Row(row)[0] == kDeleted; }

  void RequireOpen() const {
    if (!open) throw Error("La tabla " + shown_name + " no está abierta");
  }

  void RequireAppending(std::string_view field) const {
    RequireOpen();
    if (!appending) {
      throw Error("No se puede escribir el campo " + std::string(field) + " de la tabla " +
                  shown_name + ": no hay ninguna fila nueva (falta Append)");
    }
  }

  const internal::FieldLayout& Field(std::string_view name) const {
    RequireOpen();
    for (const auto& [upper, index] : field_names) {
      if (EqualsUpper(upper, name)) return layout.fields[index];  // the first one wins
    }
    throw Error("La tabla " + shown_name + " no tiene el campo " + std::string(name));
  }

  // The row the Get... calls read: the one being appended, else the cursor's.
  std::optional<std::string_view> CurrentRecord() const {
    if (appending) return std::string_view(pending);
    if (view->empty()) return std::nullopt;
    return Row((*view)[position]);
  }

  const std::unordered_map<std::string, std::vector<std::uint32_t>>& ValueMap(std::size_t field) {
    auto found = rows_by_value.find(field);
    if (found != rows_by_value.end()) return found->second;
    auto& map = rows_by_value[field];
    for (std::uint32_t row = 0; row < rows; ++row) {
      if (!Deleted(row)) {
        map[internal::FieldText(layout.flavor, layout.fields[field], Row(row))].push_back(row);
      }
    }
    return map;
  }

  bool Matches(std::uint32_t row) const {
    return internal::FieldText(layout.flavor, layout.fields[*filter_field], Row(row)) ==
           filter_value;
  }

  void RebuildNatural() {
    natural.clear();
    natural.reserve(rows);
    for (std::uint32_t row = 0; row < rows; ++row) {
      if (!Deleted(row)) natural.push_back(row);
    }
  }

  void RebuildView() {
    static const std::vector<std::uint32_t> kNone;
    const bool filtering = filtered && filter_field.has_value();
    if (index_tag) {
      index_view.clear();
      for (std::uint32_t row : index_order) {
        if (!filtering || Matches(row)) index_view.push_back(row);
      }
      view = &index_view;
    } else if (filtering) {
      const auto& map = ValueMap(*filter_field);
      const auto found = map.find(filter_value);
      view = found != map.end() ? &found->second : &kNone;
    } else {
      view = &natural;
    }
  }

  void MoveFirst() {
    position = 0;
    eof = view->empty();
  }

  // The rows of `tag`, in its order, read from the .MDX on disk.
  std::vector<std::uint32_t> ReadIndexOrder(const std::string& tag) const {
    const std::optional<std::filesystem::path> mdx = FindMdx(dbf_path);
    if (!mdx) {
      throw Error("La tabla " + shown_name + " no tiene el índice " + tag + ": no existe " +
                  ShownMdx(shown_name));
    }
    const std::string shown_mdx = ShownMdx(shown_name);
    const internal::UniqueFd fd = internal::OpenReadOnly(*mdx, shown_mdx);
    const std::string bytes = internal::ReadAll(fd.get(), shown_mdx);
    const internal::MdxFile file = internal::ParseMdx(bytes, shown_mdx);
    const auto found =
        std::find_if(file.tags.begin(), file.tags.end(),
                     [&](const internal::MdxTag& t) { return SameAscii(t.name, tag); });
    if (found == file.tags.end()) {
      throw Error("La tabla " + shown_name + " no tiene el índice " + tag);
    }
    std::vector<std::uint32_t> order;
    for (const auto& entry : internal::ReadTagEntries(bytes, file, *found, shown_mdx)) {
      const std::uint32_t record = entry.second;
      if (record >= 1 && record <= rows && !Deleted(record - 1)) order.push_back(record - 1);
    }
    return order;
  }

  // The key of `record` in a tag: its bytes and, for a numeric key, its value.
  std::pair<std::string, internal::Decimal> KeyOf(const internal::TagContent& tag,
                                                  const TagKeys& keys,
                                                  std::string_view record) const {
    const internal::FieldLayout& field = layout.fields[keys.field];
    if (tag.key_type == 'N') {
      // A blank or unreadable number is indexed as 0, as dBase evaluates it.
      const internal::Decimal number =
          internal::ParseDecimal(internal::FieldText(layout.flavor, field, record))
              .value_or(internal::Decimal{});
      const internal::NumericKey key = internal::EncodeNumericKey(number);
      return {std::string(key.begin(), key.end()), number};
    }
    std::string key(record.substr(field.offset, static_cast<std::size_t>(field.info.length)));
    key.resize(static_cast<std::size_t>(tag.key_length), ' ');
    return {key, internal::Decimal{}};
  }

  // Places the key of row `row` (0-based) after every key not greater than it, so that equal
  // keys keep the order of their rows.
  void InsertKey(std::size_t t, std::uint32_t row) {
    internal::TagContent& tag = mdx_tags[t];
    TagKeys& keys = tag_keys[t];
    auto [key, number] = KeyOf(tag, keys, Row(row));
    std::size_t at = 0;
    if (tag.key_type == 'N') {
      at = static_cast<std::size_t>(
          std::upper_bound(keys.numbers.begin(), keys.numbers.end(), number,
                           [](const internal::Decimal& a, const internal::Decimal& b) {
                             return internal::CompareDecimal(a, b) < 0;
                           }) -
          keys.numbers.begin());
      keys.numbers.insert(keys.numbers.begin() + static_cast<std::ptrdiff_t>(at), number);
    } else {
      at = static_cast<std::size_t>(
          std::upper_bound(tag.entries.begin(), tag.entries.end(), key,
                           [](const std::string& k, const auto& e) { return k < e.first; }) -
          tag.entries.begin());
    }
    tag.entries.insert(tag.entries.begin() + static_cast<std::ptrdiff_t>(at),
                       {std::move(key), row + 1});
  }

  // Loads the definitions of the production index's tags so that every Post can rewrite it.
  // A tag whose key this engine cannot compute stops the writing before anything is written.
  void PrepareForWriting() {
    if (prepared_for_writing) return;
    for (const internal::FieldLayout& field : layout.fields) {
      if (field.info.type == '+') {
        throw Error("No se pueden añadir filas a la tabla " + shown_name +
                    ": su campo autoincremental " + field.info.name + " no se sabe mantener");
      }
    }
    if (mode == OpenMode::kShared) write_fd = internal::OpenReadWrite(dbf_path, shown_name);
    if (layout.production_index) mdx_path = FindMdx(dbf_path);
    if (mdx_path) {
      const std::string shown_mdx = ShownMdx(shown_name);
      mdx_fd = internal::OpenReadWrite(*mdx_path, shown_mdx);
      const internal::MdxFile file =
          internal::ParseMdx(internal::ReadAll(mdx_fd.get(), shown_mdx), shown_mdx);
      mdx_tags.clear();
      tag_keys.clear();
      std::vector<std::size_t> key_fields;
      for (const internal::MdxTag& t : file.tags) {
        const auto found = field_by_name.find(Upper(t.expression));
        const FieldInfo* field =
            found == field_by_name.end() ? nullptr : &layout.fields[found->second].info;
        const bool numeric = field && t.key_type == 'N' && t.key_length == 12 &&
                             (field->type == 'N' || field->type == 'F');
        const bool text =
            field && t.key_type == 'C' && field->type == 'C' && t.key_length == field->length;
        if (t.descending || t.unique || !(numeric || text)) {
          throw Error("No se pueden añadir filas a la tabla " + shown_name + ": su índice " +
                      t.name + " (" + t.expression + ") no se sabe mantener");
        }
        key_fields.push_back(found->second);
      }
      for (std::size_t i = 0; i < file.tags.size(); ++i) {
        internal::TagContent tag;
        tag.name = file.tags[i].name;
        tag.expression = file.tags[i].expression;
        tag.key_type = file.tags[i].key_type;
        tag.key_length = file.tags[i].key_length;
        mdx_tags.push_back(std::move(tag));
        tag_keys.push_back(TagKeys{key_fields[i], {}});
        for (std::uint32_t row = 0; row < rows; ++row) InsertKey(i, row);
      }
    }
    prepared_for_writing = true;
  }

  int WriteFd() const { return mode == OpenMode::kExclusive ? lock.fd() : write_fd.get(); }

  // Takes in rows that another shared handle appended since this one read the file, so that
  // a new row never overwrites one.
  void CatchUp() {
    const int fd = WriteFd();
    const std::string head = internal::ReadAt(fd, 0, 8, shown_name);
    if (head.size() < 8)
      throw Error("La tabla " + shown_name + " ha sido truncada por otro programa");
    const std::uint64_t size = internal::FileSize(fd, shown_name);
    const std::uint64_t stored =
        size > layout.header_length ? (size - layout.header_length) / layout.record_length : 0;
    const auto on_disk =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(internal::ReadU32(head, 4), stored));
    if (on_disk <= rows) return;
    const std::string added = internal::ReadAt(
        fd, layout.header_length + std::uint64_t{rows} * layout.record_length,
        static_cast<std::size_t>(on_disk - rows) * layout.record_length, shown_name);
    const auto complete = static_cast<std::uint32_t>(added.size() / layout.record_length);
    records.append(added, 0, static_cast<std::size_t>(complete) * layout.record_length);
    const std::uint32_t first_new = rows;
    rows += complete;
    for (std::size_t t = 0; t < mdx_tags.size(); ++t) {
      for (std::uint32_t row = first_new; row < rows; ++row) InsertKey(t, row);
    }
    rows_by_value.clear();
    RebuildNatural();
    RebuildView();
  }

  // Rows posted but not yet written (write-behind): `held` holds rows `first_held` on, and the
  // .MDX lacks their keys while `mdx_behind` is set.
  std::size_t write_behind = 0;
  std::string held;
  std::uint32_t first_held = 0;
  std::size_t held_rows = 0;
  bool mdx_behind = false;

  void WriteHeld() {
    if (!held.empty()) {
      const int fd = WriteFd();
      internal::WriteAt(fd, layout.header_length + std::uint64_t{first_held} * layout.record_length,
                        held + kEndOfFile, shown_name);
      const os::LocalDate today = Today();
      internal::WriteAt(fd, 1, internal::DateAndCount(today.year, today.month, today.day, rows),
                        shown_name);
      held.clear();
      held_rows = 0;
    }
    if (mdx_behind) {
      WriteMdx();
      mdx_behind = false;
    }
  }

  ~Impl() {
    // A handle dropped while an error unwinds still leaves every posted row on disk; a failure
    // here leaves the file as valid as it was, counting the rows written before.
    if (!open) return;
    try {
      WriteHeld();
    } catch (...) {
    }
  }

  void WriteMdx() const {
    const os::LocalDate today = Today();
    // Rewritten in place: the tree only grows as rows are added, and replacing the file by a
    // rename at every row would make some file systems flush it to disk each time.
    const std::string bytes =
        internal::BuildMdx(dbf_path.stem().string(), mdx_tags, today.year, today.month, today.day);
    internal::WriteAt(mdx_fd.get(), 0, bytes, ShownMdx(shown_name));
    if (internal::FileSize(mdx_fd.get(), ShownMdx(shown_name)) > bytes.size()) {
      internal::Truncate(mdx_fd.get(), bytes.size(), ShownMdx(shown_name));
    }
  }
};

void CreateTable(const std::filesystem::path& dbf, const std::vector<FieldDef>& fields,
                 const std::vector<IndexDef>& indexes, const std::string& shown_name) {
  ValidateDefinition(fields, indexes, shown_name);
  std::vector<std::string> indexed_fields;
  std::vector<internal::TagContent> tags;
  for (const IndexDef& index : indexes) {
    const auto field = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& f) {
      return SameAscii(f.name, index.field);
    });
    indexed_fields.push_back(field->name);
    internal::TagContent tag;
    tag.name = Upper(index.name);
    tag.expression = field->name;
    if (field->type == FieldType::kText) {
      tag.key_type = 'C';
      tag.key_length = field->size;
    }
    tags.push_back(std::move(tag));
  }
  const os::LocalDate today = Today();

  // Any index of the table being replaced goes; the new one (if any) is written before the
  // table that announces it.
  const std::filesystem::path folder = FolderOf(dbf);
  const std::filesystem::path new_mdx = NewMdxPath(dbf);
  for (const auto& old : os::FindAllEntriesIgnoreCase(folder, dbf.stem().string() + ".MDX")) {
    if (!indexes.empty() && old.filename() == new_mdx.filename()) continue;
    std::error_code ec;
    std::filesystem::remove(old, ec);
    if (ec) throw Error("No se puede borrar " + ShownMdx(shown_name) + ": " + ec.message());
  }
  if (!indexes.empty()) {
    internal::ReplaceFile(
        new_mdx, internal::BuildMdx(dbf.stem().string(), tags, today.year, today.month, today.day),
        ShownMdx(shown_name));
  }
  std::string bytes =
      internal::BuildHeader(fields, indexed_fields, today.year, today.month, today.day);
  bytes.push_back(kEndOfFile);
  internal::ReplaceFile(dbf, bytes, shown_name);
}

Table::Table(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Table::Impl& Table::Live() const {
  if (!impl_) throw Error("La tabla no está abierta");
  return *impl_;
}
Table::Table(Table&& other) noexcept = default;
Table& Table::operator=(Table&& other) noexcept = default;
Table::~Table() = default;

Table Table::Open(const std::filesystem::path& dbf, OpenMode mode, const std::string& shown_name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(dbf, ec)) throw Error("No existe la tabla " + shown_name);
  auto impl = std::make_unique<Impl>();
  impl->dbf_path = dbf;
  impl->shown_name = shown_name;
  impl->mode = mode;
  impl->lock = os::LockedFile(
      dbf, mode == OpenMode::kExclusive ? os::LockKind::kExclusive : os::LockKind::kShared,
      shown_name, "La tabla " + shown_name + " está abierta en otro programa");
  const std::string bytes = internal::ReadAll(impl->lock.fd(), shown_name);
  impl->layout = internal::ParseHeader(bytes, bytes.size(), shown_name);
  const TableLayout& layout = impl->layout;
  // A header that counts more rows than the file holds: only the complete rows are read.
  const std::uint64_t stored = (bytes.size() - layout.header_length) / layout.record_length;
  impl->rows = static_cast<std::uint32_t>(std::min<std::uint64_t>(layout.header_count, stored));
  impl->records = bytes.substr(layout.header_length,
                               static_cast<std::size_t>(impl->rows) * layout.record_length);
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    if (layout.fields[i].system) continue;
    impl->fields.push_back(layout.fields[i].info);
    impl->field_by_name.emplace(Upper(layout.fields[i].info.name), i);  // the first one wins
    impl->field_names.emplace_back(Upper(layout.fields[i].info.name), i);
  }
  impl->open = true;
  impl->RebuildNatural();
  impl->RebuildView();
  impl->MoveFirst();
  return Table(std::move(impl));
}

void Table::Close() {
  if (!impl_ || !impl_->open) return;
  impl_->WriteHeld();
  impl_->open = false;
  impl_->appending = false;  // a row appended and never posted is dropped
  impl_->write_fd.Reset();
  impl_->mdx_fd.Reset();
  impl_->lock.Close();
  impl_->records.clear();
  impl_->records.shrink_to_fit();
  impl_->rows_by_value.clear();
  impl_->natural.clear();
  impl_->index_view.clear();
  impl_->view = &impl_->natural;
  impl_->mdx_tags.clear();
  impl_->tag_keys.clear();
}

bool Table::IsOpen() const { return impl_ && impl_->open; }

const std::string& Table::shown_name() const {
  static const std::string kNone;
  return impl_ ? impl_->shown_name : kNone;
}

const std::vector<FieldInfo>& Table::Fields() const {
  Live().RequireOpen();
  return impl_->fields;
}

bool Table::HasField(std::string_view name) const {
  return IsOpen() && impl_->field_by_name.count(Upper(name)) != 0;
}

void Table::First() {
  Live().RequireOpen();
  impl_->appending = false;
  impl_->MoveFirst();
}

void Table::Next() {
  Live().RequireOpen();
  impl_->appending = false;
  if (impl_->eof) return;
  // At the last row the cursor stays there and the end is reached, as dBase engines do.
  if (impl_->position + 1 < impl_->view->size()) {
    ++impl_->position;
  } else {
    impl_->eof = true;
  }
}

bool Table::Eof() const {
  Live().RequireOpen();
  return impl_->eof;
}

int Table::RecordCount() const {
  Live().RequireOpen();
  return static_cast<int>(impl_->view->size());
}

AnsiString Table::GetText(std::string_view field) const {
  Live();
  const internal::FieldLayout& f = impl_->Field(field);
  const auto record = impl_->CurrentRecord();
  return record ? internal::FieldText(impl_->layout.flavor, f, *record) : AnsiString();
}

std::int32_t Table::GetInteger(std::string_view field) const {
  Live();
  const internal::FieldLayout& f = impl_->Field(field);
  const auto record = impl_->CurrentRecord();
  return record ? internal::FieldInteger(impl_->layout.flavor, f, *record, impl_->shown_name) : 0;
}

double Table::GetFloat(std::string_view field) const {
  Live();
  const internal::FieldLayout& f = impl_->Field(field);
  const auto record = impl_->CurrentRecord();
  return record ? internal::FieldFloat(impl_->layout.flavor, f, *record, impl_->shown_name) : 0.0;
}

void Table::SetFilter(std::string_view expression) {
  Live().RequireOpen();
  auto invalid = [&] {
    return Error("El filtro \"" + os::AnsiToUtf8(expression) + "\" de la tabla " +
                 impl_->shown_name + " no es válido: se espera CAMPO='texto'");
  };
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < expression.size() && expression[i] == ' ') ++i;
  };
  skip_blanks();
  if (i == expression.size()) {
    impl_->filter_field.reset();
    impl_->filter_value.clear();
  } else {
    const std::size_t name_start = i;
    while (i < expression.size() &&
           (std::isalnum(static_cast<unsigned char>(expression[i])) || expression[i] == '_')) {
      ++i;
    }
    const std::string_view name = expression.substr(name_start, i - name_start);
    skip_blanks();
    if (name.empty() || i == expression.size() || expression[i] != '=') throw invalid();
    ++i;
    skip_blanks();
    if (i == expression.size() || expression[i] != '\'') throw invalid();
    ++i;
    std::string value;
    bool closed = false;
    while (i < expression.size()) {
      if (expression[i] == '\'') {
        if (i + 1 < expression.size() && expression[i + 1] == '\'') {
          value.push_back('\'');
          i += 2;
          continue;
        }
        closed = true;
        ++i;
        break;
      }
      value.push_back(expression[i++]);
    }
    skip_blanks();
    if (!closed || i != expression.size()) throw invalid();
    const internal::FieldLayout& field = impl_->Field(name);
    impl_->filter_field = static_cast<std::size_t>(&field - impl_->layout.fields.data());
    impl_->filter_value = std::move(value);
  }
  if (impl_->filtered) {
    impl_->appending = false;
    impl_->RebuildView();
    impl_->MoveFirst();
  }
}

void Table::SetFiltered(bool on) {
  Live().RequireOpen();
  impl_->appending = false;
  impl_->filtered = on;
  impl_->RebuildView();
  impl_->MoveFirst();
}

void Table::SetIndexOrder(std::string_view tag) {
  Live().RequireOpen();
  impl_->appending = false;
  impl_->WriteHeld();  // the order is read from the index on disk
  impl_->index_order = impl_->ReadIndexOrder(std::string(tag));
  impl_->index_tag = std::string(tag);
  impl_->RebuildView();
  impl_->MoveFirst();
}

void Table::Append() {
  Live().RequireOpen();
  impl_->PrepareForWriting();
  impl_->pending.assign(impl_->layout.record_length, ' ');
  for (const internal::FieldLayout& field : impl_->layout.fields) {
    internal::ClearField(impl_->layout.flavor, field, impl_->pending);
  }
  impl_->appending = true;
}

void Table::SetText(std::string_view field, std::string_view value) {
  Live().RequireAppending(field);
  internal::StoreText(impl_->layout.flavor, impl_->Field(field), impl_->pending, value,
                      impl_->shown_name);
}

void Table::SetInteger(std::string_view field, std::int32_t value) {
  Live().RequireAppending(field);
  internal::StoreInteger(impl_->layout.flavor, impl_->Field(field), impl_->pending, value,
                         impl_->shown_name);
}

void Table::SetFloat(std::string_view field, double value) {
  Live().RequireAppending(field);
  internal::StoreFloat(impl_->layout.flavor, impl_->Field(field), impl_->pending, value,
                       impl_->shown_name);
}

void Table::SetLogical(std::string_view field, bool value) {
  Live().RequireAppending(field);
  internal::StoreLogical(impl_->layout.flavor, impl_->Field(field), impl_->pending, value,
                         impl_->shown_name);
}

void Table::Post() {
  Live();
  Impl& t = *impl_;
  t.RequireOpen();
  if (!t.appending) {
    throw Error("No se puede grabar en la tabla " + t.shown_name +
                ": no hay ninguna fila nueva (falta Append)");
  }
  // Write-behind needs an exclusive handle, so no other handle can have appended meanwhile.
  const bool behind = t.write_behind > 0;
  if (!behind) t.CatchUp();
  const std::uint32_t row = t.rows;
  if (behind) {
    if (t.held.empty()) t.first_held = row;
    t.held += t.pending;
    ++t.held_rows;
  } else {
    // The row first, then the header that counts it: a file cut short between the two writes
    // still reads as the rows before.
    const int fd = t.WriteFd();
    internal::WriteAt(fd, t.layout.header_length + std::uint64_t{row} * t.layout.record_length,
                      t.pending + kEndOfFile, t.shown_name);
    const os::LocalDate today = Today();
    internal::WriteAt(fd, 1, internal::DateAndCount(today.year, today.month, today.day, row + 1),
                      t.shown_name);
  }
  t.records += t.pending;
  t.rows = row + 1;
  t.appending = false;

  for (auto& [field, map] : t.rows_by_value) {
    map[internal::FieldText(t.layout.flavor, t.layout.fields[field], t.Row(row))].push_back(row);
  }
  if (!t.mdx_tags.empty()) {
    for (std::size_t tag = 0; tag < t.mdx_tags.size(); ++tag) t.InsertKey(tag, row);
    if (behind) {
      t.mdx_behind = true;
    } else {
      t.WriteMdx();
    }
  }
  if (behind && (t.held_rows >= t.write_behind || t.index_tag)) t.WriteHeld();

  // The cursor moves to the new row when the current order shows it.
  if (!t.Deleted(row)) t.natural.push_back(row);
  if (t.index_tag) t.index_order = t.ReadIndexOrder(*t.index_tag);
  t.RebuildView();
  const std::vector<std::uint32_t>& view = *t.view;
  const auto at = t.index_tag ? std::find(view.begin(), view.end(), row)
                              : (!view.empty() && view.back() == row ? view.end() - 1 : view.end());
  t.eof = at == view.end();
  t.position =
      !t.eof ? static_cast<std::size_t>(at - view.begin()) : (view.empty() ? 0 : view.size() - 1);
}

void Table::SetWriteBehind(int rows) {
  Impl& t = Live();
  t.RequireOpen();
  if (rows > 0 && t.mode != OpenMode::kExclusive) {
    throw Error("La tabla " + t.shown_name +
                " solo puede retener filas sin escribir si está abierta en exclusiva");
  }
  if (rows <= 0) t.WriteHeld();
  t.write_behind = rows > 0 ? static_cast<std::size_t>(rows) : 0;
}

void Table::Flush() {
  Impl& t = Live();
  t.RequireOpen();
  t.WriteHeld();
}

}  // namespace orvida::dbase
