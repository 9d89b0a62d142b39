#include "store/xml.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "fuzz/xml_round_trip.h"

namespace tw {
namespace {

// A compact picture of a tree: E(name attrs)[children], T'text'.
std::string Dump(const XmlNode* n) {
    std::string s;
    if (!n->name) return "T'" + n->text.value_or("") + "'";
    s = "E(" + *n->name;
    for (const auto& [k, v] : n->attributes) s += " " + k + "=" + v;
    s += ")";
    if (n->first_child) {
        s += "[";
        for (const XmlNode* c = n->first_child.get(); c; c = c->next.get()) {
            if (c != n->first_child.get()) s += ",";
            s += Dump(c);
        }
        s += "]";
    }
    return s;
}

std::string DumpDoc(const XmlNode& root) {
    std::string s;
    for (const XmlNode* c = root.first_child.get(); c; c = c->next.get()) {
        if (!s.empty()) s += ",";
        s += Dump(c);
    }
    return s;
}

struct ParseResult {
    std::string tree;
    std::string written;
    std::string error;
};

ParseResult ParseText(const std::string& text) {
    XmlNode root;
    char error[kXmlErrorSize];
    Parse(&root, text.c_str(), error);
    return {DumpDoc(root), fuzz::WriteDocument(root), error};
}

struct Case {
    const char* input;
    const char* tree;
    const char* written;  // null: not checked
};

TEST(XmlReadWrite, TreesAndTheirWrittenForm) {
    const Case cases[] = {
        {"<a x=\"1\"><b/>hi</a>", "E(a x=1)[E(b),T'hi']", "<a x=\"1\">\n\t<b/>\nhi</a>\n"},
        {"<e z=\"1\" a=\"2\"/>", "E(e a=2 z=1)", "<e a=\"2\" z=\"1\"/>\n"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "E(?xml encoding=UTF-8 version=1.0)",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"},
        {"<?xml version=\"\" encoding=\"x\"?>", "E(?xml encoding=x version=)",
         "<?xml encoding=\"x\"?>\n"},
        {"<a>a &amp; b 'q'</a>", "E(a)[T'a & b 'q'']", "<a>a &amp; b 'q'</a>\n"},
        {"<a>&#x41;&#65;&#x141;&#x4a;</a>", "E(a)[T'AAAJ']", "<a>AAAJ</a>\n"},
        {"<a>&lt;&gt;&quot;&apos;&nbsp;</a>", "E(a)[T'<>\"'&']", "<a>&lt;&gt;&quot;'&amp;</a>\n"},
        {"<!--x-->", "E(!--)[T'x']", "<!--x-->\n"},
        {"<a><![CDATA[1<2 &amp;]]></a>", "E(a)[E(![CDATA[)[T'1<2 &amp;']]",
         "<a>\n\t<![CDATA[1<2 &amp;]]>\n</a>\n"},
        {"<!DOCTYPE n [<!ENTITY e \"a>b\">]><n/>", "E(!DOCTYPE)[T' n [<!ENTITY e \"a>b\">]'],E(n)",
         "<!DOCTYPE n [<!ENTITY e \"a>b\">]>\n<n/>\n"},
        {"<!---->", "E(!--)[T'']", "<!---->\n"},
        // White space between elements stays in the tree but is never written.
        {"<a>\n\t<b/>\n</a>", "E(a)[T'\n\t',E(b),T'\n']", "<a>\n\t<b/>\n</a>\n"},
        {"<a>  </a>", "E(a)[T'  ']", "<a/>\n"},
        // Every kind of line break reaches the tree as one LF.
        {"<a>x\r\ny\n\rz\rw</a>", "E(a)[T'x\ny\nz\nw']", "<a>x\ny\nz\nw</a>\n"},
        {"<a b='x y' c=\"p>q\" d=e f/>", "E(a b=x y c=p>q d=e f=)", nullptr},
        {"<a b = \"1\" c= 2>t</a>", "E(a b=1 c=2)[T't']", "<a b=\"1\" c=\"2\">t</a>\n"},
        {"<a xml:space=\"default\" XML:SPACE=\"x\">t</a>", "E(a)[T't']", "<a>t</a>\n"},
        {"<?pi a=\"1\"?>", "E(?pi a=1)", "<?pi a=\"1\"?>\n"},
        // A value ending in "?" keeps it outside declarations, so that it reads back.
        {"<a x=\"what?\">t</a>", "E(a x=what?)[T't']", "<a x=\"what?\">t</a>\n"},
        {"<?xml?>", "E(?xml)", "<?xml?>\n"},
        // Only tag names end early at "!--"; an attribute of that name is an ordinary one.
        {"<?p !--=\"1\" ![CDATA[=\"\"?>", "E(?p !--=1 ![CDATA[=)",
         "<?p !--=\"1\" ![CDATA[=\"\"?>\n"},
        {"<a><b><c/></b></a>", "E(a)[E(b)[E(c)]]", "<a>\n\t<b>\n\t\t<c/>\n\t</b>\n</a>\n"},
        {"text<a/>more", "T'text',E(a),T'more'", "text<a/>\nmore"},
        {"", "", ""},
        {" \r\n\t ", "T' \n\t '", ""},
        {"<a\"b c\"/>", "E(ab c)", nullptr},
        {"<a>&#0;gone</a>", "E(a)", "<a/>\n"},
        // A reference name may be 23 characters long: "#" and 22 digits, or 23 letters.
        {"<a>&#0000000000000000000065;</a>", "E(a)[T'A']", "<a>A</a>\n"},
        {"<a>&abcdefghijklmnopqrstuvw;</a>", "E(a)[T'&']", "<a>&amp;</a>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        ParseResult r = ParseText(c.input);
        EXPECT_EQ(r.tree, c.tree);
        if (c.written) {
            EXPECT_EQ(r.written, c.written);
        }
        EXPECT_EQ(r.error, "");
    }
}

TEST(XmlReadWrite, ErrorsCarryPositionAndKeepTheTree) {
    const Case cases[] = {
        {"<a><b></a>", "E(a)[E(b)]",
         "Ln 1, Col 11: Element <b> should be terminated with </b>, was with a. Check you have "
         "terminated your element properly."},
        {"<a>", "E(a)",
         "Ln 1, Col 4: (EOF) Element <a> should be terminated with </a>. Check you have terminated "
         "your element properly."},
        {"<a>\n  <b>text", "E(a)[T'\n  ',E(b)[T'text']]",
         "Ln 2, Col 10: (EOF) Element <b> should be terminated with </b>. Check you have "
         "terminated "
         "your element properly."},
        {"</x><y/>", "", "Ln 1, Col 5: Misplaced </x> which does not match a <x>."},
        {"<a>1 < 2</a>", "E(a)[T'1 '],T'2'",
         "Ln 1, Col 8: Misplaced < without name. Use &lt; instead of < if appropriate."},
        {"<a b=\"1\"", "E(a b=1)", "Ln 1, Col 9: Tag <a> does not have a closing '>'"},
        {"<a>x & y</a>", "E(a)[T'x ']",
         "Ln 1, Col 7: Strings starting with an ampersand (&) must end with a semicolon (;). "
         "Either "
         "replace the '&' with '&amp;' or add a ';' at the end of the control string."},
        // One character more than a reference name may have.
        {"<a>&abcdefghijklmnopqrstuvwx;</a>", "E(a)",
         "Ln 1, Col 29: Strings starting with an ampersand (&) must end with a semicolon (;). "
         "Either replace the '&' with '&amp;' or add a ';' at the end of the control string."},
        {"<a><!ELEMENT x><b/></a>", "E(a)[E(!ELEMENT)]",
         "Ln 1, Col 24: (EOF) Element <!ELEMENT> should be terminated with </!ELEMENT>. Check you "
         "have terminated your element properly."},
        {"<a><!-- open", "E(a)[E(!--)]",
         "Ln 1, Col 13: (EOF) Element <!--> should be terminated with </!-->. Check you have "
         "terminated your element properly."},
        // Only the first error counts.
        {"<a><b></c></d>", "E(a)[E(b)]",
         "Ln 1, Col 11: Element <b> should be terminated with </b>, was with c. Check you have "
         "terminated your element properly."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        ParseResult r = ParseText(c.input);
        EXPECT_EQ(r.tree, c.tree);
        EXPECT_EQ(r.error, c.written);
    }
}

TEST(XmlReadWrite, LongErrorIsCutTo259Characters) {
    std::string name(250, 'n');
    ParseResult r = ParseText("<" + name + ">");
    EXPECT_EQ(r.error.size(), kXmlErrorSize - 1);
    EXPECT_EQ(r.error.compare(0, 24, "Ln 1, Col 253: (EOF) Ele"), 0);
}

TEST(XmlReadWrite, NamesKeepAtMost259Characters) {
    ParseResult r =
        ParseText("<" + std::string(300, 'n') + " a=\"" + std::string(400, 'v') + "\"/>");
    EXPECT_EQ(r.tree, "E(" + std::string(259, 'n') + " a=" + std::string(400, 'v') + ")");
}

TEST(XmlReadWrite, ProgramWrittenTreeReadsBackTheSame) {
    XmlNode doc;
    XmlNode* decl = AppendChild(&doc, NewElement("?xml"));
    SetAttribute(decl, "version", "1.0");
    XmlNode* sec = AppendChild(&doc, NewElement("Distributor"));
    XmlNode* url = AppendChild(sec, NewElement("URL"));
    SetAttribute(url, "value", "http://x.example/?a=1&b=\"2\" <'3'>\ttab");
    SetText(AppendChild(AppendChild(sec, NewElement("!--")), std::make_unique<XmlNode>()),
            " note ");
    XmlNode* note = AppendChild(sec, NewElement("Note"));
    XmlNode* text = AppendChild(note, std::make_unique<XmlNode>());
    SetText(text, "line 1\nline & 2");
    XmlNode* cdata = AppendChild(sec, NewElement("![CDATA["));
    SetText(AppendChild(cdata, std::make_unique<XmlNode>()), "raw <b> & ]] stuff");

    std::string written = fuzz::WriteDocument(doc);
    XmlNode back;
    char error[kXmlErrorSize];
    Parse(&back, written.c_str(), error);
    EXPECT_EQ(std::string(error), "");
    // Layout white space comes back as blank text nodes; drop them before comparing.
    bool writable = true;
    EXPECT_EQ(fuzz::CanonicalDocument(doc, &writable), fuzz::CanonicalDocument(back, &writable))
        << written;
    EXPECT_TRUE(writable);
    EXPECT_EQ(fuzz::WriteDocument(back), written);
}

TEST(XmlReadWrite, FindGetSetAndText) {
    XmlNode root;
    Parse(&root, "<s><k value=\"1\"/><k value=\"2\"/><K/></s>", nullptr);
    XmlNode* s = FindChild(&root, "s");
    ASSERT_NE(s, nullptr);
    XmlNode* k = FindChild(s, "k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(GetAttribute(k, "value", "d"), "1");
    EXPECT_EQ(GetAttribute(k, "VALUE", "d"), "d");
    EXPECT_EQ(FindChild(s, "missing"), nullptr);
    SetAttribute(k, "value", "3");
    SetAttribute(k, "b", "4");
    EXPECT_EQ(Dump(k), "E(k b=4 value=3)");
    SetText(k, "now text");
    EXPECT_FALSE(k->is_element());
    SetName(k, "again");
    EXPECT_TRUE(k->is_element());
}

TEST(XmlReadWrite, AppendedChildTakesParentsPreserveFlag) {
    auto parent = NewElement("p");
    parent->preserve_whitespace = false;
    XmlNode* c = AppendChild(parent.get(), NewElement("c"));
    EXPECT_FALSE(c->preserve_whitespace);
    // Without the preserve flag, control characters at both ends of text are dropped.
    XmlNode root;
    root.preserve_whitespace = false;
    Parse(&root, "<a>\n\tx y\n</a>", nullptr);
    EXPECT_EQ(DumpDoc(root), "E(a)[T'x y']");
}

// Deep and wide documents must neither exhaust the stack nor take quadratic time.
TEST(XmlReadWrite, DeepAndWideDocuments) {
    const int depth = 200000;
    std::string deep;
    for (int i = 0; i < depth; ++i) deep += "<d>";
    XmlNode root;
    char error[kXmlErrorSize];
    Parse(&root, deep.c_str(), error);
    EXPECT_NE(std::string(error).find("(EOF) Element <d>"), std::string::npos);

    // Writing indents every level, so keep this one smaller.
    const int written_depth = 5000;
    std::string nested;
    for (int i = 0; i < written_depth; ++i) nested += "<d>";
    Parse(&root, nested.c_str(), error);
    std::string out;
    EXPECT_TRUE(Serialize(root.first_child.get(), &out, 0));
    size_t expected = static_cast<size_t>(written_depth - 1) + 5;  // innermost "<d/>"
    for (int i = 0; i < written_depth - 1; ++i) expected += 2 * static_cast<size_t>(i) + 9;
    EXPECT_EQ(out.size(), expected);
    EXPECT_EQ(out.substr(out.size() - 5), "</d>\n");

    std::string wide;
    for (int i = 0; i < 300000; ++i) wide += "<w/>";
    Parse(&root, wide.c_str(), error);
    int n = 0;
    for (const XmlNode* c = root.first_child.get(); c; c = c->next.get()) ++n;
    EXPECT_EQ(n, 300000);
    EXPECT_EQ(std::string(error), "");
}

// The same promise the fuzz target checks, over its seeds and over generated documents
// made of the constructs that interact most.
TEST(XmlReadWrite, RoundTripPropertyOnSeedsAndGeneratedDocuments) {
    std::vector<std::string> inputs;
    for (const auto& e :
         std::filesystem::directory_iterator(TW_SOURCE_DIR "/tests/fuzz/corpus/xml")) {
        inputs.push_back(test::ReadFileText(e.path().string()));
    }
    ASSERT_GE(inputs.size(), 5u);
    const char* pieces[] = {"<a",        "<b ",  ">",   "/>",    "</a>", "</b>", " x=\"1\"",
                            " y='?'",    "?>",   "<?p", "<!--",  "-->",  "]]>",  "<![CDATA[",
                            "<!DOCTYPE", "[",    "]",   "&amp;", "&#x4", "1;",   "&",
                            "\r\n",      "\n\r", "\t",  " ",     "text", "=",    "\"",
                            "'",         "<",    "?",   "/"};
    std::mt19937 gen(12345);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(pieces)) - 1);
    std::uniform_int_distribution<int> length(1, 40);
    for (int i = 0; i < 20000; ++i) {
        std::string doc;
        for (int n = length(gen); n > 0; --n) doc += pieces[pick(gen)];
        inputs.push_back(doc);
    }
    std::size_t compared_count = 0;
    for (const std::string& in : inputs) {
        bool compared = false;
        std::string problem = fuzz::CheckRoundTrip(in, &compared);
        ASSERT_EQ(problem, "") << "input: " << in;
        compared_count += compared;
    }
    // Most documents have names the writer can put out, so most are really compared.
    EXPECT_GT(compared_count, inputs.size() / 2);
}

class XmlFileTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) { return home_.root() + "/" + name; }
    test::TempHome home_;
};

TEST_F(XmlFileTest, LoadFileDecodesByteOrderMarks) {
    struct BomCase {
        std::string bytes;
        const char* tree;
    };
    const std::string le =
        std::string("\xFF\xFE", 2) + std::string("<\0a\0>\0\xE9\0<\0/\0a\0>\0", 16);
    const std::string be = std::string("\xFE\xFF", 2) +
                           std::string("\0<\0a\0>\x20\xAC\0<\0/\0a\0>", 16) +
                           std::string("\0\0\0<", 4);
    const BomCase cases[] = {
        {"\xEF\xBB\xBF<a>t</a>", "E(a)[T't']"},
        {le, "E(a)[T'\xC3\xA9']"},
        {be, "E(a)[T'\xE2\x82\xAC']"},  // stops at the zero unit
        {std::string("<a>t</a>\0<b/>", 13), "E(a)[T't']"},
        {"\xEF\xBB", "T'\xEF\xBB'"},
    };
    for (const BomCase& c : cases) {
        test::WriteFileText(Path("bom.xml"), c.bytes);
        XmlNode root;
        char error[kXmlErrorSize];
        LoadFile(&root, Path("bom.xml").c_str(), error);
        EXPECT_EQ(DumpDoc(root), c.tree);
        EXPECT_EQ(std::string(error), "");
    }
}

TEST_F(XmlFileTest, LoadFileErrorsHaveNoPosition) {
    XmlNode root;
    Parse(&root, "<old/>", nullptr);
    char error[kXmlErrorSize];
    std::string missing = Path("missing.xml");
    LoadFile(&root, missing.c_str(), error);
    EXPECT_EQ(std::string(error), "File does not exist: " + missing);
    EXPECT_EQ(root.first_child, nullptr);

    // A file far beyond what the process may allocate is refused before it is read. It
    // is sparse, so it costs no disk space.
    std::string huge = Path("huge.xml");
    int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 300LL * 1024 * 1024), 0);
    close(fd);
    LoadFile(&root, huge.c_str(), error);
    EXPECT_EQ(std::string(error), "Not enough memory available to load " + huge);

    test::WriteFileText(Path("empty.xml"), "  \n ");
    LoadFile(&root, Path("empty.xml").c_str(), error);
    EXPECT_EQ(std::string(error), "");
    EXPECT_EQ(FindChild(&root, "a"), nullptr);
}

TEST_F(XmlFileTest, SaveWritesLayoutAndRefusesALockedFile) {
    XmlNode doc;
    Parse(&doc, "<s><k value=\"v\"/></s>", nullptr);
    std::string path = Path("out.xml");
    ASSERT_TRUE(SaveXmlFile(&doc, path.c_str()));
    EXPECT_EQ(test::ReadFileText(path), "<s>\n\t<k value=\"v\"/>\n</s>\n");
    std::filesystem::perms perms = std::filesystem::status(path).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);

    // Someone else reading (shared lock) or writing (exclusive lock): nothing is written.
    for (int op : {LOCK_SH, LOCK_EX}) {
        int holder = open(path.c_str(), O_RDONLY);
        ASSERT_EQ(flock(holder, op | LOCK_NB), 0);
        XmlNode other;
        Parse(&other, "<changed/>", nullptr);
        EXPECT_FALSE(SaveXmlFile(&other, path.c_str()));
        close(holder);
    }
    EXPECT_EQ(test::ReadFileText(path), "<s>\n\t<k value=\"v\"/>\n</s>\n");
    // No temporary files are left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(home_.root()))
        ++files;
    EXPECT_EQ(files, 2);  // home/ and out.xml

    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    EXPECT_TRUE(SaveToFile(&doc, pipefd[1]));
    close(pipefd[1]);
    char buf[64] = {};
    EXPECT_EQ(read(pipefd[0], buf, sizeof buf - 1), 25);
    close(pipefd[0]);
    EXPECT_FALSE(SaveToFile(&doc, pipefd[1]));  // closed descriptor
}

TEST_F(XmlFileTest, LoadWaitsAboutASecondForAWriterThenReadsAnyway) {
    std::string path = Path("locked.xml");
    test::WriteFileText(path, "<a/>");
    int writer = open(path.c_str(), O_RDWR);
    ASSERT_EQ(flock(writer, LOCK_EX | LOCK_NB), 0);
    auto start = std::chrono::steady_clock::now();
    XmlNode root;
    char error[kXmlErrorSize];
    LoadFile(&root, path.c_str(), error);
    auto waited = std::chrono::steady_clock::now() - start;
    close(writer);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_EQ(DumpDoc(root), "E(a)");

    // Other readers do not make it wait.
    int reader = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(flock(reader, LOCK_SH | LOCK_NB), 0);
    start = std::chrono::steady_clock::now();
    LoadFile(&root, path.c_str(), error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    close(reader);
}

}  // namespace
}  // namespace tw
