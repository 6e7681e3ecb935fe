#include "platform/xml/xml_document.h"

#include <fcntl.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xmlstring.h>
#include <libxml/xpath.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "platform/os/error.h"

namespace orvida::xml {
namespace {

using XmlCharPtr = std::unique_ptr<xmlChar, decltype([](xmlChar* p) { xmlFree(p); })>;
using XPathContextPtr =
    std::unique_ptr<xmlXPathContext,
                    decltype([](xmlXPathContextPtr p) { xmlXPathFreeContext(p); })>;
using XPathObjectPtr =
    std::unique_ptr<xmlXPathObject, decltype([](xmlXPathObjectPtr p) { xmlXPathFreeObject(p); })>;
using DocPtr = std::unique_ptr<xmlDoc, decltype([](xmlDocPtr p) { xmlFreeDoc(p); })>;
using ParserContextPtr =
    std::unique_ptr<xmlParserCtxt, decltype([](xmlParserCtxtPtr p) { xmlFreeParserCtxt(p); })>;

const xmlChar* Bad(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}
const char* Chars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

// No document this program reads may make the parser fetch anything: not a DTD, not an
// external entity, not over the network nor from the local disk.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternalEntity);
  });
}

// One error reported by libxml2, kept while the operation that caused it runs.
struct CollectedError {
  int level = 0;
  int line = 0;
  int column = 0;
  std::string message;
};

// The message without its trailing line break; libxml2 sometimes spreads one reason over
// several lines, which a one-line report joins with blanks.
std::string CleanMessage(const char* message) {
  std::string text = message != nullptr ? message : "";
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

class ErrorCollector {
 public:
  static void Handle(void* self, xmlErrorPtr error) {
    if (self == nullptr || error == nullptr) return;
    auto* collector = static_cast<ErrorCollector*>(self);
    collector->errors_.push_back(
        {error->level, error->line, error->int2, CleanMessage(error->message)});
  }

  // The error that explains the failure: the first fatal one, else the first error, else the
  // first warning.
  const CollectedError* Reason() const {
    for (int level : {XML_ERR_FATAL, XML_ERR_ERROR, XML_ERR_WARNING}) {
      for (const CollectedError& error : errors_) {
        if (error.level == level) return &error;
      }
    }
    return nullptr;
  }

 private:
  std::vector<CollectedError> errors_;
};

// Routes libxml2's errors on this thread to `collector` (so nothing is printed on stderr)
// while it lives, and puts the previous handler back afterwards. libxml2 keeps the handler
// per thread, so parses on different threads do not see each other's errors.
class ErrorCapture {
 public:
  explicit ErrorCapture(ErrorCollector* collector)
      : previous_handler_(xmlStructuredError), previous_context_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(collector, ErrorCollector::Handle);
  }
  ~ErrorCapture() { xmlSetStructuredErrorFunc(previous_context_, previous_handler_); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

 private:
  xmlStructuredErrorFunc previous_handler_;
  void* previous_context_;
};

// A file descriptor closed on scope exit.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, reporting the result (a delayed write error can surface here).
  int Close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Where a parse takes its bytes from: a file descriptor, read as the parser asks for more, or
// bytes already in memory. A read error is kept so that it can be reported with its reason
// instead of libxml2's generic one.
struct ParseSource {
  int fd = -1;
  std::string_view bytes;
  int read_error = 0;

  static int Read(void* context, char* buffer, int length) {
    auto* source = static_cast<ParseSource*>(context);
    if (length <= 0) return 0;
    if (source->fd < 0) {
      const std::size_t count = std::min(source->bytes.size(), static_cast<std::size_t>(length));
      std::memcpy(buffer, source->bytes.data(), count);
      source->bytes.remove_prefix(count);
      return static_cast<int>(count);
    }
    for (;;) {
      const ssize_t count = ::read(source->fd, buffer, static_cast<std::size_t>(length));
      if (count >= 0) return static_cast<int>(count);
      if (errno == EINTR) continue;
      source->read_error = errno;
      return -1;
    }
  }
};

// Whitespace-only text that libxml2 takes for indentation between elements is not kept: in a
// large document those nodes alone take more memory than the whole file. It is kept where it
// may separate two pieces of one text, in an element whose first or latest child is text,
// CDATA, an entity reference, a comment or a processing instruction
// ("<dato><![CDATA[a]]> <![CDATA[b]]></dato>" reads "a b").
void KeepBlanksBetweenTexts(void* context, const xmlChar* characters, int length) {
  const xmlNode* parent = static_cast<xmlParserCtxtPtr>(context)->node;
  if (parent == nullptr || parent->children == nullptr) return;
  if (parent->children->type != XML_ELEMENT_NODE || parent->last->type != XML_ELEMENT_NODE) {
    xmlSAX2Characters(context, characters, length);
  }
}

// The first external general entity the document's internal subset declares, if any.
const xmlEntity* FirstExternalEntity(xmlDocPtr doc) {
  if (doc->intSubset == nullptr || doc->intSubset->entities == nullptr) return nullptr;
  const xmlEntity* found = nullptr;
  xmlHashScan(
      static_cast<xmlHashTablePtr>(doc->intSubset->entities),
      [](void* payload, void* data, const xmlChar*) {
        auto* entity = static_cast<const xmlEntity*>(payload);
        auto* first = static_cast<const xmlEntity**>(data);
        if (*first == nullptr && (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                                  entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY)) {
          *first = entity;
        }
      },
      &found);
  return found;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string NodeLabel(const xmlNode* node) {
  if (node == nullptr) return "(ninguno)";
  if (node->type == XML_DOCUMENT_NODE) return "el documento";
  if (node->name == nullptr) return "(sin nombre)";
  return Chars(node->name);
}

// True when `ancestor` is `node` or one of its ancestors.
bool IsSelfOrAncestor(const xmlNode* ancestor, const xmlNode* node) {
  for (const xmlNode* n = node; n != nullptr; n = n->parent) {
    if (n == ancestor) return true;
  }
  return false;
}

// The text as XML 1.0 can carry it. libxml2 would write control characters as they are and
// so produce a file no parser accepts; each character XML 1.0 forbids (the C0 controls other
// than tab, line feed and carriage return, U+FFFE and U+FFFF) becomes '?', as a character the
// target code page lacks does. Text that is not UTF-8 is a fault of the caller.
std::string XmlText(std::string_view text, const std::string& what) {
  std::string result(text);
  for (std::size_t i = 0; i < result.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(result[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') result[i] = '?';
    if (c == 0xEF && i + 2 < result.size() && static_cast<unsigned char>(result[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(result[i + 2]) & 0xFE) == 0xBE) {
      result.replace(i, 3, "?");
    }
  }
  if (result.size() > INT_MAX || xmlCheckUTF8(BAD_CAST result.c_str()) == 0) {
    throw Error("El texto de " + what + " no es UTF-8 válido");
  }
  return result;
}

// Parses everything `source` gives into a new document, or throws an Error naming the file, the
// line and column and libxml2's reason. A document that declares an external entity is refused.
DocPtr ParseToDoc(ParseSource& source, const std::string& shown_path) {
  const std::string invalid = "El archivo " + shown_path + " no es un documento XML válido";
  ErrorCollector collector;
  DocPtr doc;
  {
    ErrorCapture capture(&collector);
    ParserContextPtr context(xmlCreateIOParserCtxt(nullptr, nullptr, ParseSource::Read, nullptr,
                                                   &source, XML_CHAR_ENCODING_NONE));
    if (!context) throw Error(invalid + ": falta memoria para leerlo");
    // NONET: nothing is fetched. Entities are not substituted (no NOENT), no DTD is loaded or
    // applied, and libxml2's limits on nesting depth and entity expansion stay on (no HUGE).
    // COMPACT keeps short texts inside their nodes; NOBLANKS, with the callback below, drops
    // the indentation between elements. Field values keep their text; only a blank standing
    // alone between two child elements of a field ("<i>a</i> <i>b</i>", markup the exchange
    // documents do not use) is dropped with the indentation.
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_NOBLANKS);
    context->sax->ignorableWhitespace = KeepBlanksBetweenTexts;
    xmlParseDocument(context.get());
    DocPtr parsed(context->myDoc);
    context->myDoc = nullptr;
    if (context->wellFormed != 0 && source.read_error == 0) doc = std::move(parsed);
  }
  if (source.read_error != 0) {
    throw Error("No se puede leer el archivo " + shown_path + ": " +
                DescribeSystemError(source.read_error));
  }
  if (doc == nullptr) {
    const CollectedError* reason = collector.Reason();
    if (reason == nullptr) throw Error(invalid + ": libxml2 no indicó el motivo");
    std::string where;
    if (reason->line > 0) {
      where = " (línea " + std::to_string(reason->line) + ", columna " +
              std::to_string(reason->column) + ")";
    }
    throw Error(invalid + where + ": " + reason->message);
  }
  // The parser leaves an external entity unread, so its references would read as empty text
  // and data would vanish without a word; a document that declares one is refused instead.
  if (const xmlEntity* entity = FirstExternalEntity(doc.get()); entity != nullptr) {
    throw Error("El archivo " + shown_path + " declara la entidad externa '" + Chars(entity->name) +
                "' (" + (entity->SystemID != nullptr ? Chars(entity->SystemID) : "") +
                "); por seguridad no se leen entidades externas");
  }
  return doc;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Node

std::string Node::Name() const {
  if (node_ == nullptr || node_->name == nullptr) return {};
  return Chars(node_->name);
}

std::string Node::Text() const {
  if (node_ == nullptr) return {};
  XmlCharPtr content(xmlNodeGetContent(node_));
  if (!content) return {};
  std::string_view text(Chars(content.get()));
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string Node::Attribute(std::string_view name) const {
  if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return {};
  XmlCharPtr value(xmlGetNoNsProp(node_, Bad(std::string(name))));
  return value ? std::string(Chars(value.get())) : std::string();
}

std::vector<Node> Node::ChildElements(std::string_view name) const {
  std::vector<Node> children;
  if (node_ == nullptr) return children;
  for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
    // The XPath step `name` matches elements of that name in no namespace.
    if (child->type == XML_ELEMENT_NODE && child->ns == nullptr && child->name != nullptr &&
        name == Chars(child->name)) {
      children.emplace_back(child);
    }
  }
  return children;
}

// ---------------------------------------------------------------------------------------------
// Document

struct Document::Impl {
  xmlDocPtr doc = nullptr;
  // Nodes this document handed out that may stand outside its tree: created elements and
  // removed nodes (and the text a SetText replaced). Handles to them stay valid until the
  // document goes; then those still detached are freed with their subtrees.
  std::vector<xmlNodePtr> loose;

  explicit Impl(xmlDocPtr d) : doc(d) {}
  ~Impl() {
    std::unordered_set<xmlNodePtr> seen;
    std::vector<xmlNodePtr> detached;
    // Decide every node before freeing any: a detached subtree may contain other listed nodes.
    for (xmlNodePtr node : loose) {
      if (seen.insert(node).second && node->parent == nullptr) detached.push_back(node);
    }
    // Free before the document: their names may live in the document's dictionary.
    for (xmlNodePtr node : detached) xmlFreeNode(node);
    if (doc != nullptr) xmlFreeDoc(doc);
  }
};

Document::Document() {
  InitLibxml();
  xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
  if (doc == nullptr) throw Error("No se puede crear el documento XML: falta memoria");
  impl_ = std::make_unique<Impl>(doc);
}

Document::~Document() = default;
Document::Document(Document&& other) noexcept = default;
Document& Document::operator=(Document&& other) noexcept = default;

Document Document::Load(const std::filesystem::path& file, const std::string& shown_path) {
  InitLibxml();
  auto fail = [&](int error_number) {
    return Error("No se puede leer el archivo " + shown_path + ": " +
                 DescribeSystemError(error_number));
  };
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw fail(errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw fail(errno);
  if (S_ISDIR(info.st_mode)) throw fail(EISDIR);
  // Parsed as it is read: the file's bytes are never all in memory beside the tree.
  ParseSource source;
  source.fd = fd.get();
  DocPtr doc = ParseToDoc(source, shown_path);
  Document document;
  document.impl_ = std::make_unique<Impl>(doc.get());
  doc.release();  // the document owns it now
  return document;
}

Document Document::Parse(std::string_view bytes, const std::string& shown_path) {
  InitLibxml();
  ParseSource source;
  source.bytes = bytes;
  DocPtr doc = ParseToDoc(source, shown_path);
  Document document;
  document.impl_ = std::make_unique<Impl>(doc.get());
  doc.release();  // the document owns it now
  return document;
}

bool Document::IsEmpty() const { return impl_->doc->children == nullptr; }

std::string Document::Encoding() const {
  return impl_->doc->encoding != nullptr ? Chars(impl_->doc->encoding) : std::string();
}

NodeList Document::SelectNodes(std::string_view xpath) const {
  return SelectNodes(Node(reinterpret_cast<xmlNodePtr>(impl_->doc)), xpath);
}

NodeList Document::SelectNodes(Node context, std::string_view xpath) const {
  if (context.IsNull()) context = Node(reinterpret_cast<xmlNodePtr>(impl_->doc));
  const std::string expression(xpath);
  auto invalid = [&](const std::string& reason) {
    return Error("La expresión XPath '" + expression + "' no es válida: " + reason);
  };
  ErrorCollector collector;
  ErrorCapture capture(&collector);
  XPathContextPtr xpath_context(xmlXPathNewContext(impl_->doc));
  if (!xpath_context) throw Error("No se puede evaluar la expresión XPath: falta memoria");
  xpath_context->node = context.raw();
  xpath_context->error = ErrorCollector::Handle;
  xpath_context->userData = &collector;
  XPathObjectPtr result(xmlXPathEvalExpression(Bad(expression), xpath_context.get()));
  if (!result) {
    const CollectedError* reason = collector.Reason();
    throw invalid(reason != nullptr ? reason->message : "libxml2 no indicó el motivo");
  }
  if (result->type != XPATH_NODESET) throw invalid("no selecciona nodos");
  std::vector<Node> nodes;
  if (xmlNodeSetPtr set = result->nodesetval; set != nullptr) {
    nodes.reserve(static_cast<std::size_t>(set->nodeNr));
    for (int i = 0; i < set->nodeNr; ++i) {
      // Namespace nodes are copies owned by the result; they are not part of the tree.
      if (set->nodeTab[i]->type == XML_NAMESPACE_DECL) continue;
      nodes.emplace_back(set->nodeTab[i]);
    }
  }
  return NodeList(std::move(nodes));
}

Node Document::SelectSingleNode(std::string_view xpath) const { return SelectNodes(xpath).item(0); }

Node Document::SelectSingleNode(Node context, std::string_view xpath) const {
  return SelectNodes(context, xpath).item(0);
}

Node Document::DocumentElement() const { return Node(xmlDocGetRootElement(impl_->doc)); }

Node Document::CreateElement(std::string_view name) {
  const std::string element_name(name);
  if (xmlValidateName(Bad(element_name), 0) != 0) {
    throw Error("'" + element_name + "' no es un nombre de elemento XML válido");
  }
  xmlNodePtr node = xmlNewDocNode(impl_->doc, nullptr, Bad(element_name), nullptr);
  if (node == nullptr) throw Error("No se puede crear el elemento " + element_name);
  impl_->loose.push_back(node);
  return Node(node);
}

void Document::SetAttribute(Node element, std::string_view name, std::string_view value) {
  if (element.IsNull() || element.raw()->type != XML_ELEMENT_NODE) {
    throw Error("No se puede poner el atributo " + std::string(name) +
                ": el nodo no es un elemento");
  }
  const std::string attribute_name(name);
  if (xmlValidateName(Bad(attribute_name), 0) != 0) {
    throw Error("'" + attribute_name + "' no es un nombre de atributo XML válido");
  }
  const std::string xml_value = XmlText(value, "el atributo " + attribute_name);
  // xmlSetProp keeps the value as text (escaped when saved) and replaces an earlier value in
  // place, so attributes stay in the order they were first set.
  if (xmlSetProp(element.raw(), Bad(attribute_name), Bad(xml_value)) == nullptr) {
    throw Error("No se puede poner el atributo " + attribute_name);
  }
}

void Document::SetText(Node element, std::string_view text) {
  if (element.IsNull() || element.raw()->type != XML_ELEMENT_NODE) {
    throw Error("No se puede poner el texto: el nodo no es un elemento");
  }
  const std::string xml_text = XmlText(text, "el elemento " + element.Name());
  xmlNodePtr node = element.raw();
  // The old children leave the tree but stay alive: someone may still hold a handle to them.
  while (xmlNodePtr child = node->children) {
    xmlUnlinkNode(child);
    impl_->loose.push_back(child);
  }
  if (xml_text.empty()) return;
  // A text node holds the text as it is; the serializer escapes '<', '&' and '>' when saving
  // (xmlNodeSetContent would instead read "&...;" in the text as entity references).
  xmlNodePtr text_node = xmlNewDocText(impl_->doc, Bad(xml_text));
  if (text_node == nullptr || xmlAddChild(node, text_node) == nullptr) {
    throw Error("No se puede poner el texto del elemento " + element.Name());
  }
}

void Document::AppendChild(Node parent, Node child) {
  if (parent.IsNull() || child.IsNull()) throw Error("No se puede añadir un nodo que no existe");
  xmlNodePtr parent_node = parent.raw();
  xmlNodePtr child_node = child.raw();
  if (parent_node->type == XML_DOCUMENT_NODE) {
    AppendToDocument(child);
    return;
  }
  if (parent_node->type != XML_ELEMENT_NODE) {
    throw Error("No se puede añadir " + NodeLabel(child_node) + " a " + NodeLabel(parent_node) +
                ": no es un elemento");
  }
  if (child_node->doc != impl_->doc) {
    throw Error("No se puede añadir " + NodeLabel(child_node) + ": es de otro documento");
  }
  if (IsSelfOrAncestor(child_node, parent_node)) {
    throw Error("No se puede añadir " + NodeLabel(child_node) + " dentro de sí mismo");
  }
  // A node already in a tree moves (xmlAddChild alone would leave it in both places).
  xmlUnlinkNode(child_node);
  if (xmlAddChild(parent_node, child_node) != child_node) {
    // xmlAddChild merges adjacent text nodes and frees the child; only elements come here.
    throw Error("No se puede añadir " + NodeLabel(child_node) + " a " + NodeLabel(parent_node));
  }
}

void Document::AppendToDocument(Node child) {
  if (child.IsNull()) throw Error("No se puede añadir un nodo que no existe");
  xmlNodePtr node = child.raw();
  if (node->doc != impl_->doc) {
    throw Error("No se puede añadir " + NodeLabel(node) + ": es de otro documento");
  }
  if (node->type == XML_ELEMENT_NODE) {
    xmlNodePtr root = xmlDocGetRootElement(impl_->doc);
    if (root == node) return;
    if (root != nullptr) {
      throw Error("No se puede añadir el elemento " + NodeLabel(node) +
                  " al documento: ya tiene el elemento raíz " + NodeLabel(root));
    }
    xmlUnlinkNode(node);
    // Without a root, xmlDocSetRootElement appends the element after the document's other
    // nodes, so it becomes the last child.
    xmlDocSetRootElement(impl_->doc, node);
    return;
  }
  if (node->type != XML_COMMENT_NODE && node->type != XML_PI_NODE) {
    throw Error("No se puede añadir " + NodeLabel(node) + " al documento");
  }
  xmlUnlinkNode(node);
  xmlAddChild(reinterpret_cast<xmlNodePtr>(impl_->doc), node);
}

void Document::RemoveChild(Node parent, Node child) {
  xmlNodePtr parent_node =
      parent.IsNull() ? reinterpret_cast<xmlNodePtr>(impl_->doc) : parent.raw();
  if (child.IsNull()) {
    throw Error("No se puede quitar un nodo de " + NodeLabel(parent_node) + ": el nodo no existe");
  }
  xmlNodePtr child_node = child.raw();
  if (child_node->parent != parent_node) {
    throw Error("No se puede quitar " + NodeLabel(child_node) + ": no es hijo de " +
                NodeLabel(parent_node));
  }
  xmlUnlinkNode(child_node);
  impl_->loose.push_back(child_node);
}

std::string Document::SaveToString() const {
  // A document that names no encoding is written as UTF-8 and says so: left unnamed, libxml2
  // would write every non-ASCII character as a character reference.
  const std::string encoding = Encoding().empty() ? std::string("UTF-8") : Encoding();
  ErrorCollector collector;
  ErrorCapture capture(&collector);
  xmlChar* memory = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(impl_->doc, &memory, &size, encoding.c_str(), 1);
  XmlCharPtr owned(memory);
  if (memory == nullptr) {
    const CollectedError* reason = collector.Reason();
    throw Error("No se puede escribir el documento en la codificación " + encoding +
                (reason != nullptr ? ": " + reason->message : std::string()));
  }
  return std::string(Chars(memory), static_cast<std::size_t>(size));
}

void Document::Save(const std::filesystem::path& file, const std::string& shown_path) const {
  auto fail = [&](const std::string& reason) {
    return Error("No se puede escribir el archivo " + shown_path + ": " + reason);
  };
  std::string bytes;
  try {
    bytes = SaveToString();
  } catch (const Error& error) {
    throw fail(error.what());
  }

  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder / ("." + file.filename().string() + ".tmp" + std::to_string(::getpid()) +
                          "-" + std::to_string(counter++));
    // The permissions a new file gets (0666 less the umask), as a plain write would give it.
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw fail(DescribeSystemError(errno));
  FileDescriptor output(fd);
  auto fail_and_remove = [&](int error_number) {
    ::unlink(temporary.c_str());
    return fail(DescribeSystemError(error_number));
  };

  // An existing file keeps its permissions.
  struct stat target_info {};
  if (::stat(file.c_str(), &target_info) == 0 && S_ISREG(target_info.st_mode)) {
    ::fchmod(output.get(), target_info.st_mode & 07777);
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t count = ::write(output.get(), bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw fail_and_remove(errno);
    }
    written += static_cast<std::size_t>(count);
  }
  if (::fsync(output.get()) != 0) throw fail_and_remove(errno);
  if (output.Close() != 0) throw fail_and_remove(errno);
  if (::rename(temporary.c_str(), file.c_str()) != 0) throw fail_and_remove(errno);
  // Make the rename itself durable; a failure here leaves a complete file either way.
  FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) ::fsync(directory.get());
}

}  // namespace orvida::xml
