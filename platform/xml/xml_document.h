#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// libxml2's types stay out of every header above this one.
struct _xmlNode;
struct _xmlDoc;

namespace orvida::xml {

// A non-owning handle to an element (or other node) of a Document. It stays valid while the
// node belongs to its Document (removed nodes are kept alive until the Document goes).
class Node {
 public:
  Node() = default;
  explicit Node(_xmlNode* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  std::string Name() const;

  // The text content: the text of the node and of everything inside it, joined (CDATA and
  // internal entities included, comments and processing instructions not), in UTF-8, with
  // XML white space (blank, tab, CR, LF) removed at both ends.
  std::string Text() const;

  // The value of an attribute, or an empty string when it is absent.
  std::string Attribute(std::string_view name) const;

  // The child elements called `name` (in no namespace), in document order: the same nodes as
  // the relative XPath step `name`, found without evaluating an expression, for readers that
  // walk thousands of records.
  std::vector<Node> ChildElements(std::string_view name) const;

  _xmlNode* raw() const { return node_; }
  bool operator==(const Node& other) const { return node_ == other.node_; }

 private:
  _xmlNode* node_ = nullptr;
};

// The result of a selection: the matching nodes in document order.
class NodeList {
 public:
  NodeList() = default;
  explicit NodeList(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
  std::size_t length() const { return nodes_.size(); }
  // The node at `index`, or a null Node when the index is not below the length.
  Node item(std::size_t index) const { return index < nodes_.size() ? nodes_[index] : Node(); }
  auto begin() const { return nodes_.begin(); }
  auto end() const { return nodes_.end(); }

 private:
  std::vector<Node> nodes_;
};

// The XML document component: an in-memory DOM over libxml2.
//
// Loading never touches the network and never loads an external entity or DTD; entity loops,
// absurd nesting and documents that are not well-formed are refused with an Error whose message
// names the file, the line and column, and libxml2's reason. All texts are UTF-8. Whitespace-only
// text between elements (indentation) is not kept, unless the element also holds text, CDATA,
// an entity reference, a comment or a processing instruction at its start or at that point.
class Document {
 public:
  // create: a new document with no nodes.
  Document();
  ~Document();
  Document(Document&& other) noexcept;
  Document& operator=(Document&& other) noexcept;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // load: parses the whole file, as it is read, into a new document. `shown_path` is
  // the name used in messages ("El archivo C:\datos\x.xml no es un documento XML válido
  // (línea 4, columna 13): Opening and ending tag mismatch: B line 4 and C").
  static Document Load(const std::filesystem::path& file, const std::string& shown_path);
  // The same for bytes already in memory (tests, fuzzing).
  static Document Parse(std::string_view bytes, const std::string& shown_path);

  bool IsEmpty() const;  // no nodes at all

  // selectNodes: an XPath 1.0 expression evaluated on the document (or relative to `context`).
  // An empty list when nothing matches, also on an empty document.
  NodeList SelectNodes(std::string_view xpath) const;
  NodeList SelectNodes(Node context, std::string_view xpath) const;
  // selectSingleNode: the first match, or a null Node.
  Node SelectSingleNode(std::string_view xpath) const;
  Node SelectSingleNode(Node context, std::string_view xpath) const;

  // documentElement: the root element, or a null Node.
  Node DocumentElement() const;

  // createElement: a new element outside the tree.
  Node CreateElement(std::string_view name);
  // setAttribute: sets (or replaces) an attribute; attributes keep the order they were set in.
  void SetAttribute(Node element, std::string_view name, std::string_view value);
  // text (write): the element's content becomes `text` (escaped as needed).
  void SetText(Node element, std::string_view text);
  // appendChild: `child` becomes the last child of `parent`.
  void AppendChild(Node parent, Node child);
  // appendChild on the document itself: `child` becomes the document's last child (and its
  // root element when it has none).
  void AppendToDocument(Node child);
  // removeChild: `child` leaves the tree (of `parent`, or of the document when `parent` is
  // null). Throws Error when `child` is null or not a child of `parent`.
  void RemoveChild(Node parent, Node child);

  // save: writes the whole document, nodes outside the root element included, in the encoding
  // its declaration names (UTF-8, declared explicitly, when it names none); characters that
  // encoding lacks become character references. Atomic: a temporary file in the target's
  // folder is renamed over the target, so a failed save leaves an earlier file untouched.
  // `shown_path` names the file in messages.
  void Save(const std::filesystem::path& file, const std::string& shown_path) const;
  // The serialised document, as Save would write it.
  std::string SaveToString() const;

  // The encoding named by the declaration, or an empty string.
  std::string Encoding() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvida::xml
