#include "platform/xml/xml_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/os/error.h"

namespace orvida::xml {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace fs = std::filesystem;

const fs::path kData = fs::path(ORVIDA_TEST_DATA) / "xml";

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// A folder of its own for each test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() / ("orvida_xml_test_" + std::to_string(::getpid()) + "_" +
                                         std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string LoadError(const fs::path& file, const std::string& shown) {
  try {
    Document::Load(file, shown);
  } catch (const Error& error) {
    return error.what();
  }
  return "(se cargó sin error)";
}

std::string ParseError(const std::string& bytes) {
  try {
    Document::Parse(bytes, "C:\\datos\\x.xml");
  } catch (const Error& error) {
    return error.what();
  }
  return "(se cargó sin error)";
}

TEST(XmlDocumentLoad, RefusesWhatIsNotAWellFormedDocumentNamingFileLineAndColumn) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<a>";
  struct Case {
    std::string name;
    std::string bytes;
    std::string where;   // "(línea L, columna C)" or empty when not checked
    std::string reason;  // part of libxml2's reason
  };
  const std::vector<Case> cases = {
      {"tag mismatch", "<A>\n<B>x</C></A>", "(línea 2, columna 9)",
       "Opening and ending tag mismatch: B line 2 and C"},
      {"empty file", "", "(línea 1, columna 1)", "Document is empty"},
      {"not XML", ReadBytes(kData / "not_xml.xml"), "(línea 1, columna 1)", "Start tag expected"},
      {"only a declaration and a comment", ReadBytes(kData / "no_root.xml"), "",
       "Start tag expected"},
      {"entity bomb", ReadBytes(kData / "entity_bomb.xml"), "",
       "Detected an entity reference loop"},
      {"10,000 levels of nesting", deep, "", "Excessive depth in document: 256"},
      {"undeclared entity", "<a>&nada;</a>", "(línea 1, columna 10)", "Entity 'nada' not defined"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string message = ParseError(c.bytes);
    EXPECT_THAT(message,
                StartsWith("El archivo C:\\datos\\x.xml no es un documento XML válido (línea "));
    EXPECT_THAT(message, HasSubstr(c.where));
    EXPECT_THAT(message, HasSubstr("): " + c.reason));
    EXPECT_THAT(message, Not(HasSubstr("\n")));
  }
}

TEST(XmlDocumentLoad, MissingOrUnreadableFileIsNamedWithItsReason) {
  TempFolder temp;
  EXPECT_EQ(LoadError(temp.path() / "no_esta.xml", "C:\\datos\\no_esta.xml"),
            "No se puede leer el archivo C:\\datos\\no_esta.xml: no existe");
  EXPECT_EQ(LoadError(temp.path(), "C:\\datos"),
            "No se puede leer el archivo C:\\datos: es una carpeta");
  // The error of a fixture read from disk names the file as shown, with the parser's reason.
  EXPECT_THAT(LoadError(kData / "not_xml.xml", "not_xml.xml"),
              StartsWith("El archivo not_xml.xml no es un documento XML válido (línea 1"));
}

// The parser never reads an external entity, whether named relative to the document, by an
// absolute path or URL, or as a parameter entity; its content appears nowhere. A document that
// declares an external general entity is refused, since its references would read as empty.
TEST(XmlDocumentLoad, NeverLoadsExternalEntities) {
  const std::string secret = "CONTENIDO-SECRETO-QUE-NUNCA-DEBE-APARECER";
  TempFolder temp;
  const fs::path secret_file = temp.path() / "secreto.txt";
  WriteBytes(secret_file, secret);
  const fs::path secret_dtd = temp.path() / "secreto.dtd";
  WriteBytes(secret_dtd, "<!ENTITY fuga \"" + secret + "\">");
  struct Case {
    std::string name;
    std::string bytes;
    std::string refusal;  // part of the error, or empty when the document loads
  };
  const std::vector<Case> cases = {
      {"fixture beside the secret", ReadBytes(kData / "external_entity.xml"),
       "declara la entidad externa 'secreto' (external_entity_secret.txt)"},
      {"absolute path",
       "<!DOCTYPE a [<!ENTITY s SYSTEM \"" + secret_file.string() + "\">]><a>&s;</a>",
       "declara la entidad externa 's'"},
      {"file URL",
       "<!DOCTYPE a [<!ENTITY u SYSTEM \"file://" + secret_file.string() + "\">]><a>&u;</a>",
       "declara la entidad externa 'u'"},
      {"network", "<!DOCTYPE a [<!ENTITY n SYSTEM \"http://127.0.0.1:9/x\">]><a>&n;</a>",
       "declara la entidad externa 'n'"},
      {"parameter entity",
       "<!DOCTYPE a [<!ENTITY % p SYSTEM \"" + secret_dtd.string() +
           "\"> %p;]><a><b>&fuga;</b></a>",
       ""},
      {"external DTD", "<!DOCTYPE a SYSTEM \"" + secret_dtd.string() + "\"><a><b>&fuga;</b></a>",
       ""},
  };
  // From the fixture's folder, so that a relative system id would find the file.
  const fs::path previous = fs::current_path();
  fs::current_path(kData);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string seen;
    try {
      Document document = Document::Parse(c.bytes, "x.xml");
      for (const Node& node : document.SelectNodes("//*")) seen += node.Text() + "|";
      seen += document.SaveToString();
      EXPECT_EQ(c.refusal, "") << "loaded";
    } catch (const Error& error) {
      seen = error.what();
      if (!c.refusal.empty()) {
        EXPECT_THAT(seen, HasSubstr(c.refusal));
      }
    }
    EXPECT_THAT(seen, Not(HasSubstr(secret)));
  }
  fs::current_path(previous);
}

TEST(XmlDocumentText, JoinsAllTextInsideAndTrimsXmlWhiteSpaceAtTheEnds) {
  Document document = Document::Parse(
      "<!DOCTYPE a [<!ENTITY ent \"ENT\">]>"
      "<a>\n\t x<b>y<c>z</c></b><![CDATA[<cd&ata>]]><!--comentario--><?pi datos?>&ent;&amp;w"
      "  \r\n</a>",
      "t.xml");
  EXPECT_EQ(document.DocumentElement().Text(), "xyz<cd&ata>ENT&w");
  Document blanks = Document::Parse("<a><b> \t uno  dos \n</b><d/></a>", "t.xml");
  EXPECT_EQ(blanks.SelectSingleNode("/a/b").Text(), "uno  dos");
  EXPECT_EQ(blanks.SelectSingleNode("/a/d").Text(), "");
  EXPECT_EQ(Node().Text(), "");
}

TEST(XmlDocumentSelect, GivesMatchesInDocumentOrderAndEmptyListsWhenNothingMatches) {
  Document document = Document::Parse(
      "<r><s k='1'><i>a</i><i>b</i></s><t><i>x</i></t><s k='1'><i>c</i></s><s k='2'><i>d</i></s>"
      "</r>",
      "t.xml");
  std::vector<std::string> texts;
  for (const Node& node : document.SelectNodes("/r/s[@k=\"1\"]/i")) texts.push_back(node.Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c"}));

  const NodeList none = document.SelectNodes("/r/s[@k='3']/i");
  EXPECT_EQ(none.length(), 0u);
  EXPECT_TRUE(none.item(0).IsNull());
  EXPECT_TRUE(document.SelectSingleNode("/R").IsNull());
  EXPECT_EQ(Document().SelectNodes("/r/s").length(), 0u);
  EXPECT_TRUE(Document().DocumentElement().IsNull());

  const Node second_s = document.SelectNodes("/r/s").item(1);
  EXPECT_EQ(document.SelectNodes(second_s, "i").length(), 1u);
  EXPECT_EQ(document.SelectSingleNode(second_s, "i").Text(), "c");
  EXPECT_EQ(second_s.Attribute("k"), "1");
  EXPECT_EQ(second_s.Attribute("falta"), "");
}

TEST(XmlDocumentSelect, ABadExpressionIsAnErrorNamingIt) {
  Document document = Document::Parse("<r/>", "t.xml");
  for (const std::string expression : {"/r/s[@k=", "count(/r)", "/r/s[@k='1'"}) {
    SCOPED_TRACE(expression);
    try {
      document.SelectNodes(expression);
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_THAT(error.what(), StartsWith("La expresión XPath '" + expression + "' no es válida"));
    }
  }
}

// ChildElements stands in for the relative step `dato` evaluated per record.
TEST(XmlDocumentSelect, ChildElementsEqualsTheRelativeStep) {
  Document document = Document::Parse(
      "<g xmlns:p='urn:p'>texto<dato>0</dato><!-- c --><otro><dato>dentro</dato></otro>"
      "<dato>1</dato>más texto<?pi x?><p:dato>ns</p:dato><DATO>M</DATO><dato/></g>",
      "t.xml");
  const Node record = document.DocumentElement();
  const NodeList by_xpath = document.SelectNodes(record, "dato");
  const std::vector<Node> by_walk = record.ChildElements("dato");
  ASSERT_EQ(by_walk.size(), 3u);
  ASSERT_EQ(by_xpath.length(), by_walk.size());
  for (std::size_t i = 0; i < by_walk.size(); ++i) EXPECT_EQ(by_xpath.item(i), by_walk[i]);
  EXPECT_EQ(by_walk[1].Text(), "1");
}

TEST(XmlDocumentBuild, BuildsEscapesAndKeepsAttributeOrder) {
  Document document;
  EXPECT_TRUE(document.IsEmpty());
  Node root = document.CreateElement("SERVICIO");
  document.SetAttribute(root, "modulo", "HORARIOS");
  document.SetAttribute(root, "tipo", "I");
  document.SetAttribute(root, "modulo", "A&B \"<c>\"");  // replaced in place
  document.AppendToDocument(root);
  Node dato = document.CreateElement("dato");
  document.SetText(dato, "antes");
  document.SetText(dato, "x &amp; <y> & 'z'");
  document.AppendChild(root, dato);
  Node control = document.CreateElement("dato");
  document.SetText(control, std::string("a\x01"
                                        "b\x1F"
                                        "c\t",
                                        6));
  document.AppendChild(root, control);
  Node empty = document.CreateElement("dato");
  document.SetText(empty, "");
  document.AppendChild(root, empty);

  const std::string saved = document.SaveToString();
  EXPECT_THAT(saved, HasSubstr("<SERVICIO modulo=\"A&amp;B &quot;&lt;c&gt;&quot;\" tipo=\"I\">"));
  EXPECT_THAT(saved, HasSubstr("<dato>x &amp;amp; &lt;y&gt; &amp; 'z'</dato>"));
  // A control character XML cannot carry becomes '?', so the file stays readable.
  EXPECT_THAT(saved, HasSubstr("<dato>a?b?c\t</dato>"));
  EXPECT_THAT(saved, HasSubstr("<dato/>"));

  Document reread = Document::Parse(saved, "t.xml");
  EXPECT_EQ(reread.DocumentElement().Attribute("modulo"), "A&B \"<c>\"");
  EXPECT_EQ(reread.SelectSingleNode("/SERVICIO/dato").Text(), "x &amp; <y> & 'z'");

  EXPECT_THROW(document.CreateElement("no valido"), Error);
  EXPECT_THROW(document.SetText(dato, "\xC3"), Error);  // not UTF-8
  EXPECT_THROW(document.AppendToDocument(document.CreateElement("OTRO")), Error);
}

TEST(XmlDocumentBuild, MovesRemovesAndKeepsRemovedNodesUsable) {
  Document document = Document::Parse("<r><a><x>1</x></a><b/></r>", "t.xml");
  const Node r = document.DocumentElement();
  const Node a = document.SelectSingleNode("/r/a");
  const Node b = document.SelectSingleNode("/r/b");
  const Node x = document.SelectSingleNode("/r/a/x");

  document.AppendChild(b, x);  // moves, does not copy
  EXPECT_EQ(document.SelectNodes("//x").length(), 1u);
  EXPECT_EQ(document.SelectSingleNode("/r/b/x"), x);
  EXPECT_THROW(document.AppendChild(x, r), Error);  // into itself

  EXPECT_THROW(document.RemoveChild(r, x), Error);  // not a child of r
  EXPECT_THROW(document.RemoveChild(r, Node()), Error);
  document.RemoveChild(r, b);
  EXPECT_TRUE(document.SelectSingleNode("/r/b").IsNull());
  EXPECT_EQ(b.Name(), "b");  // still alive after removal
  EXPECT_EQ(b.Text(), "1");
  document.RemoveChild(Node(), r);
  EXPECT_TRUE(document.DocumentElement().IsNull());
  EXPECT_EQ(a.Name(), "a");
  document.AppendToDocument(b);
  EXPECT_EQ(document.DocumentElement(), b);
}

// The timetable document is built in the loaded exchange document: the nodes outside the old
// root stay, the encoding of the declaration is kept, characters it lacks become references.
TEST(XmlDocumentSave, KeepsTheDeclaredEncodingAndTheNodesOutsideTheRoot) {
  Document document = Document::Load(kData / "latin1_accents.xml", "latin1_accents.xml");
  EXPECT_EQ(document.Encoding(), "ISO-8859-1");
  EXPECT_EQ(document.SelectSingleNode("//grupo_datos[@seq='EMPLEADOS']/grupo_datos/dato[5]").Text(),
            "Jos\xC3\xA9 \xC3\x81ngel");

  const Node old_root = document.SelectSingleNode("/SERVICIO");
  document.RemoveChild(old_root, document.SelectSingleNode("/SERVICIO/BLOQUE_DATOS"));
  document.RemoveChild(Node(), old_root);
  Node root = document.CreateElement("SERVICIO");
  document.SetAttribute(root, "autor",
                        "Espa\xC3\xB1"
                        "a 5\xE2\x82\xAC");
  document.AppendToDocument(root);
  Node dato = document.CreateElement("dato");
  document.SetText(dato, "ni\xC3\xB1o 5\xE2\x82\xAC");
  document.AppendChild(root, dato);

  const std::string saved = document.SaveToString();
  EXPECT_THAT(saved, StartsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"));
  EXPECT_THAT(saved, HasSubstr("autor=\"Espa\xF1"
                               "a 5&#8364;\""));
  EXPECT_THAT(saved, HasSubstr("<dato>ni\xF1o 5&#8364;</dato>"));
  // Both comments survive; the one that followed the old root now precedes the new one.
  const std::size_t before = saved.find("<!-- exportaci\xF3n del centro: Jos\xE9 Mu\xF1oz -->");
  const std::size_t after = saved.find("<!-- fin: a\xF1o 2026 -->");
  const std::size_t new_root = saved.find("<SERVICIO");
  ASSERT_NE(before, std::string::npos);
  ASSERT_NE(after, std::string::npos);
  EXPECT_LT(before, after);
  EXPECT_LT(after, new_root);

  TempFolder temp;
  document.Save(temp.path() / "salida.xml", "salida.xml");
  EXPECT_EQ(ReadBytes(temp.path() / "salida.xml"), saved);
  Document reread = Document::Load(temp.path() / "salida.xml", "salida.xml");
  EXPECT_EQ(reread.SelectSingleNode("/SERVICIO/dato").Text(), "ni\xC3\xB1o 5\xE2\x82\xAC");
}

TEST(XmlDocumentSave, ADocumentWithoutDeclaredEncodingIsSavedAsDeclaredUtf8) {
  for (const std::string input :
       {"<a>ni\xC3\xB1o</a>", "<?xml version=\"1.0\"?><a>ni\xC3\xB1o</a>"}) {
    SCOPED_TRACE(input);
    const std::string saved = Document::Parse(input, "t.xml").SaveToString();
    EXPECT_EQ(saved, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>ni\xC3\xB1o</a>\n");
  }
}

TEST(XmlDocumentSave, AFailedSaveLeavesTheEarlierFileUntouchedAndNoTemporaryFile) {
  TempFolder temp;
  const fs::path target = temp.path() / "ResultadoOrvidahorario.xml";
  WriteBytes(target, "anterior");
  Document document = Document::Parse("<SERVICIO/>", "t.xml");

  // A folder that is a regular file cannot take a new file, even for root.
  const fs::path not_a_folder = temp.path() / "archivo";
  WriteBytes(not_a_folder, "x");
  try {
    document.Save(not_a_folder / "salida.xml", "C:\\archivo\\salida.xml");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "No se puede escribir el archivo C:\\archivo\\salida.xml: una parte de la ruta no "
              "es una carpeta");
  }
  try {
    document.Save(temp.path() / "no_existe" / "salida.xml", "C:\\no_existe\\salida.xml");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), EndsWith("C:\\no_existe\\salida.xml: no existe"));
  }
  // A target that is a folder: the rename fails after the temporary file was written.
  fs::create_directory(temp.path() / "carpeta.xml");
  fs::create_directory(temp.path() / "carpeta.xml" / "dentro");
  EXPECT_THROW(document.Save(temp.path() / "carpeta.xml", "carpeta.xml"), Error);

  EXPECT_EQ(ReadBytes(target), "anterior");
  document.Save(target, "ResultadoOrvidahorario.xml");
  EXPECT_EQ(ReadBytes(target), document.SaveToString());
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(temp.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"ResultadoOrvidahorario.xml", "archivo", "carpeta.xml"}));
}

}  // namespace
}  // namespace orvida::xml
